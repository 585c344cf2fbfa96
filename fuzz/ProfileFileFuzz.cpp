// The profile reader on arbitrary bytes. Every entry it finds reads, and reads the same after any write and
// after the file is written and read again; every value written (the file's own values and a few that the
// reader would change if they were written plainly) reads back exactly.
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "platform/PrivateProfile.h"

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

ProfileFile reread(const ProfileFile& profile)
{
    ProfileFile again;
    fuzzCheck(again.loadBytes(profile.text()), "a profile's own text loads");
    return again;
}

// What every listed entry reads in the profile.
std::vector<std::string> valuesOf(const ProfileFile& profile, const Entries& entries)
{
    std::vector<std::string> values;
    for (const auto& [section, key] : entries) {
        const std::optional<std::string> v = profile.value(section, key);
        fuzzCheck(v.has_value(), "every listed entry reads");
        values.push_back(*v);
    }
    return values;
}

// The profile's values written as UTF-8 text (the program's values are); each must come back as written.
bool isUtf8(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size())).toUtf8() == QByteArray(s.data(), qsizetype(s.size()));
}

// Names match without regard to ASCII case, as the reader matches them.
bool sameName(std::string_view a, std::string_view b)
{
    return QByteArray(a.data(), qsizetype(a.size())).toLower() == QByteArray(b.data(), qsizetype(b.size())).toLower();
}

struct Write {
    std::string section, key, value;
};

// Applies the writes to a copy of the profile, saves and reads it again: each written key reads its last
// value exactly, listed entries of a written name read it too (the first of them is the one written), all
// other entries read as before.
void checkWrites(const ProfileFile& profile, const Entries& entries, const std::vector<std::string>& values,
    const std::vector<Write>& writes)
{
    ProfileFile p = reread(profile);
    for (const Write& w : writes)
        fuzzCheck(p.setValue(w.section, w.key, w.value), "a value without a line break is taken");
    const ProfileFile saved = reread(p);
    std::vector<std::string> expected = values;
    for (const Write& w : writes) {
        for (size_t i = 0; i < entries.size(); ++i)
            if (sameName(entries[i].first, w.section) && sameName(entries[i].second, w.key))
                expected[i] = w.value;
    }
    fuzzCheck(valuesOf(saved, entries) == expected, "a write changes no other entry");
    for (size_t i = 0; i < writes.size(); ++i) {
        bool last = true; // a later write to the same name wins
        for (size_t j = i + 1; j < writes.size(); ++j)
            last = last && !(sameName(writes[j].section, writes[i].section) && sameName(writes[j].key, writes[i].key));
        if (last)
            fuzzCheck(
                saved.value(writes[i].section, writes[i].key) == writes[i].value, "a written value reads back exactly");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ProfileFile profile;
    if (!profile.loadBytes(std::string_view(reinterpret_cast<const char*>(data), size)))
        return 0;
    const Entries entries = profile.entries();
    const std::vector<std::string> values = valuesOf(profile, entries);

    // Saved unchanged: the same entries, each reading the same.
    const ProfileFile unchanged = reread(profile);
    fuzzCheck(unchanged.entries() == entries, "an unchanged profile has the same entries after a save");
    fuzzCheck(valuesOf(unchanged, entries) == values, "an unchanged profile reads the same after a save");

    // Every entry written back with its own value, then values that need quoting (and the input's first
    // line) written to new keys and to the first entry.
    std::vector<Write> writes;
    for (size_t i = 0; i < entries.size(); ++i)
        writes.push_back({ entries[i].first, entries[i].second, values[i] });
    std::string firstLine(reinterpret_cast<const char*>(data), size);
    firstLine = firstLine.substr(0, firstLine.find_first_of("\r\n"));
    std::vector<std::string> tricky = { "", " lead", "trail ", " both ", "\"quoted\"", "'single'", "\"", "\"\"", "a=b",
        "[x]", ";c", "\t", "\"x\" ", "あ" };
    if (isUtf8(firstLine))
        tricky.push_back(firstLine);
    for (size_t i = 0; i < tricky.size(); ++i)
        writes.push_back({ "FuzzSection", "FuzzKey" + std::to_string(i), tricky[i] });
    if (!entries.empty())
        writes.push_back({ entries.front().first, entries.front().second, tricky[size % tricky.size()] });
    checkWrites(profile, entries, values, writes);
    return 0;
}
