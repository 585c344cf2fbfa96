// The "private profile" (INI) file functions the settings and timing files are written with: sections and
// keys matched without regard to case, values trimmed, new keys appended in write order, everything else in
// the file kept, and the file replaced atomically on every write. Files may be UTF-8 or Shift-JIS, their lines
// may end in CR LF, LF or a lone CR.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A profile file held in memory, for callers that read or write many keys at once.
class ProfileFile {
public:
    // No settings or timing file comes near this size; a larger file is not read (and not replaced).
    static constexpr qint64 kMaxFileBytes = qint64(1) << 20;

    // Reads the file's bytes: more than kMaxFileBytes leave an empty, oversized profile and false.
    bool loadBytes(std::string_view bytes);
    // Reads the file; a missing, unreadable or oversized file, or one that is no regular file, leaves an empty
    // profile and returns false.
    bool load(const QString& fileName);
    // Writes the whole profile to a temporary beside fileName and renames it over the file (AtomicFile):
    // false, with the file unchanged, when that fails. Refused (false) when the profile came from an
    // oversized file, which would otherwise be replaced by next to nothing.
    bool save(const QString& fileName) const;

    // The value of key in section (trimmed, one pair of surrounding quotes removed); nullopt when absent.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    // Every entry as (section, key), in file order, named as value() finds them; entries above the first
    // section are not listed (no lookup reaches them).
    std::vector<std::pair<std::string, std::string>> entries() const;
    // GetPrivateProfileIntA and GetPrivateProfileStringA over this profile (bufferSize counts the terminator).
    int intValue(std::string_view section, std::string_view key, int defaultValue) const;
    std::string stringValue(
        std::string_view section, std::string_view key, std::string_view defaultValue, size_t bufferSize) const;

    // Replaces the key's value in place, or appends the key after the section's last entry, or appends the
    // section at the end of the file. A line break in section, key or value (a folder name may hold one)
    // would split the line into other entries: such a write is refused (false) and the profile unchanged. So
    // is a name the reader could never find again, which every repeated write would add once more: a section
    // holding ']' or with surrounding spaces, a key holding '=', with surrounding spaces or starting with '['
    // or ';'. A value with surrounding spaces or already in quotes is written in quotes, so that it reads
    // back exactly.
    bool setValue(std::string_view section, std::string_view key, std::string_view value);
    void removeKey(std::string_view section, std::string_view key);
    void removeSection(std::string_view section);

    // The file's text as it would be saved (UTF-8).
    std::string text() const;

private:
    struct Line {
        std::string text; // as read, without the line end
        // The line's own end as read (one of the literals "\r\n", "\n", "\r"); empty for an added line or a
        // last line without one.
        std::string_view eol;
        enum Kind { Other, Section, Entry } kind = Other;
        std::string name; // section name or key, trimmed
        std::string value; // trimmed entry value
    };
    static Line parse(std::string text);
    // Index of the section header line, or -1.
    int findSection(std::string_view section, int from = 0) const;
    // One past the section's last line (the next header or the end).
    int sectionEnd(int header) const;

    std::vector<Line> m_Lines;
    std::string_view m_Eol = "\n"; // the end of added lines and of a last line that had none
    bool m_Oversized = false;
};

// Win32-shaped helpers, each loading (and for writes, saving) the file once. Reading with a null section or
// key (the list of section or key names in Windows) is not offered: it reads as a missing key.
// Missing file or key yields defaultValue; otherwise the value's leading optional sign and decimal digits
// (no digits: 0).
int GetPrivateProfileIntA(const char* section, const char* key, int defaultValue, const QString& fileName);
// Copies the value (or defaultValue) into buffer, at most size - 1 bytes and never splitting a UTF-8
// character, always terminated when size > 0. Returns the number of bytes copied.
uint32_t GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue, char* buffer,
    uint32_t size, const QString& fileName);
// Sets key to value; a null value removes the key, a null key removes the section. Returns 0 when the file
// could not be written or the write was refused (see ProfileFile::setValue).
int WritePrivateProfileStringA(const char* section, const char* key, const char* value, const QString& fileName);

// The leading "[+-]digits" of text as GetPrivateProfileIntA reads it (32-bit wrap-around on overflow).
int ProfileInt(std::string_view text);
// Text as UTF-8: leading byte-order marks are dropped; each line that is not valid UTF-8 (lines end at CR or
// LF) is decoded as Shift-JIS (code page 932).
std::string ProfileTextToUtf8(const std::string& bytes);
