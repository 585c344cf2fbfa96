// The private-profile functions over a text file kept as lines, so unknown content survives a write.
#include "platform/PrivateProfile.h"

#include <QFile>
#include <QFileInfo>

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/AtomicFile.h"

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

std::string trim(std::string_view s)
{
    size_t b = 0, e = s.size();
    while (b < e && isSpace(s[b]))
        ++b;
    while (e > b && isSpace(s[e - 1]))
        --e;
    return std::string(s.substr(b, e - b));
}

bool equalNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = char(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// Length of the valid UTF-8 sequence starting at s[i], or 0.
size_t utf8SequenceLength(const std::string& s, size_t i)
{
    const auto c = uint8_t(s[i]);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (n == 0 || i + n > s.size())
        return 0;
    for (size_t k = 1; k < n; ++k)
        if ((uint8_t(s[i + k]) & 0xC0) != 0x80)
            return 0;
    return n;
}

bool isValidUtf8(const std::string& s)
{
    for (size_t i = 0; i < s.size();) {
        const size_t n = utf8SequenceLength(s, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

std::string shiftJisToUtf8(const std::string& bytes)
{
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == iconv_t(-1))
        return bytes;
    std::string out;
    std::vector<char> chunk(4096);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* o = chunk.data();
        size_t oLeft = chunk.size();
        const size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        out.append(chunk.data(), chunk.size() - oLeft);
        if (r == size_t(-1) && errno != E2BIG) {
            // An undecodable or truncated byte: show it as '?' and go on with the next one.
            out.push_back('?');
            ++in;
            --inLeft;
        }
    }
    iconv_close(cd);
    return out;
}

// A value the reader takes one pair of quotes off.
bool isQuoted(std::string_view v)
{
    return v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0];
}

bool breaksLine(std::string_view s)
{
    return s.find_first_of("\r\n") != std::string_view::npos;
}

// Names the reader finds again: without surrounding spaces (it trims them), a section without the ']' that
// would end its name early, a key without the '=' that would end it early and not starting like a section
// header or a comment.
bool isReadableSection(std::string_view s)
{
    return !breaksLine(s) && s.find(']') == std::string_view::npos && trim(s) == s;
}

bool isReadableKey(std::string_view s)
{
    return !breaksLine(s) && s.find('=') == std::string_view::npos && trim(s) == s
        && (s.empty() || (s[0] != '[' && s[0] != ';'));
}

// At most bufferSize - 1 bytes of v, cut at a character boundary so a truncated value is still valid text.
std::string cutToBuffer(std::string v, size_t bufferSize)
{
    size_t n = 0;
    while (bufferSize > 0 && n < v.size()) {
        const size_t len = std::max<size_t>(utf8SequenceLength(v, n), 1);
        if (n + len > bufferSize - 1)
            break;
        n += len;
    }
    v.resize(n);
    return v;
}

} // namespace

std::string ProfileTextToUtf8(const std::string& fileBytes)
{
    // The mark is dropped and the rest decoded as any other file: the file is written back without it, and a
    // value must read the same before and after that write. So is every further mark right behind it, which
    // would otherwise become the mark of the file written back and hide its first line's section.
    size_t marks = 0;
    while (fileBytes.compare(marks, 3, "\xEF\xBB\xBF") == 0)
        marks += 3;
    const std::string bytes = fileBytes.substr(marks);
    if (isValidUtf8(bytes))
        return bytes;
    // Line by line, so that one stray byte does not turn the file's UTF-8 lines into Shift-JIS mojibake that
    // the next write would keep. Shift-JIS never uses the line-feed or carriage-return byte inside a character.
    std::string out;
    out.reserve(bytes.size());
    for (size_t start = 0; start < bytes.size();) {
        size_t end = bytes.find_first_of("\r\n", start);
        end = end == std::string::npos ? bytes.size() : end + 1;
        const std::string line = bytes.substr(start, end - start);
        out += isValidUtf8(line) ? line : shiftJisToUtf8(line);
        start = end;
    }
    return out;
}

int ProfileInt(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && isSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    uint32_t v = 0; // unsigned: overflow wraps instead of being undefined
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        v = v * 10u + uint32_t(text[i] - '0');
    return int(negative ? 0u - v : v);
}

ProfileFile::Line ProfileFile::parse(std::string text)
{
    Line line;
    const std::string t = trim(text);
    if (!t.empty() && t[0] == '[') {
        line.kind = Line::Section;
        const size_t close = t.find(']');
        line.name = trim(std::string_view(t).substr(1, close == std::string::npos ? std::string::npos : close - 1));
    } else if (!t.empty() && t[0] != ';') {
        const size_t eq = t.find('=');
        if (eq != std::string::npos) {
            line.kind = Line::Entry;
            line.name = trim(std::string_view(t).substr(0, eq));
            line.value = trim(std::string_view(t).substr(eq + 1));
        }
    }
    line.text = std::move(text);
    return line;
}

bool ProfileFile::load(const QString& fileName)
{
    // Only a regular file: opening a named pipe for reading would wait for a writer that never comes.
    QFile file(fileName);
    if (!QFileInfo(fileName).isFile() || !file.open(QIODevice::ReadOnly)) {
        loadBytes({}); // an empty profile
        return false;
    }
    // Read at most one byte past the limit: the file may grow meanwhile or be no regular file at all.
    const QByteArray raw = file.read(kMaxFileBytes + 1);
    return loadBytes(std::string_view(raw.constData(), size_t(raw.size())));
}

bool ProfileFile::loadBytes(std::string_view bytes)
{
    m_Lines.clear();
    m_Eol = "\n";
    m_Oversized = qint64(bytes.size()) > kMaxFileBytes;
    if (m_Oversized)
        return false;
    const std::string text = ProfileTextToUtf8(std::string(bytes));
    // Lines end in CR LF, LF or a lone CR (an old editor's), each kept as it was; added lines take the first.
    bool eolSeen = false;
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        Line line = parse(text.substr(start, end - start));
        line.eol = end == text.size()           ? ""
            : text.compare(end, 2, "\r\n") == 0 ? "\r\n"
            : text[end] == '\r'                 ? "\r"
                                                : "\n";
        if (!eolSeen && !line.eol.empty()) {
            m_Eol = line.eol;
            eolSeen = true;
        }
        start = end + std::max<size_t>(line.eol.size(), 1);
        m_Lines.push_back(std::move(line));
    }
    return true;
}

std::string ProfileFile::text() const
{
    std::string out;
    for (const Line& line : m_Lines) {
        out += line.text;
        out += line.eol.empty() ? m_Eol : line.eol;
    }
    return out;
}

bool ProfileFile::save(const QString& fileName) const
{
    if (m_Oversized)
        return false;
    const std::string out = text();
    return WriteFileAtomically(fileName, out.data(), qint64(out.size()));
}

int ProfileFile::findSection(std::string_view section, int from) const
{
    for (int i = from; i < int(m_Lines.size()); ++i)
        if (m_Lines[size_t(i)].kind == Line::Section && equalNoCase(m_Lines[size_t(i)].name, section))
            return i;
    return -1;
}

int ProfileFile::sectionEnd(int header) const
{
    int i = header + 1;
    while (i < int(m_Lines.size()) && m_Lines[size_t(i)].kind != Line::Section)
        ++i;
    return i;
}

std::vector<std::pair<std::string, std::string>> ProfileFile::entries() const
{
    std::vector<std::pair<std::string, std::string>> out;
    const Line* section = nullptr;
    for (const Line& line : m_Lines) {
        if (line.kind == Line::Section)
            section = &line;
        else if (line.kind == Line::Entry && section)
            out.emplace_back(section->name, line.name);
    }
    return out;
}

std::optional<std::string> ProfileFile::value(std::string_view section, std::string_view key) const
{
    for (int h = findSection(section); h >= 0; h = findSection(section, h + 1)) {
        for (int i = h + 1, end = sectionEnd(h); i < end; ++i) {
            const Line& line = m_Lines[size_t(i)];
            if (line.kind != Line::Entry || !equalNoCase(line.name, key))
                continue;
            std::string v = line.value;
            if (isQuoted(v))
                v = v.substr(1, v.size() - 2);
            return v;
        }
    }
    return std::nullopt;
}

bool ProfileFile::setValue(std::string_view section, std::string_view key, std::string_view value)
{
    if (!isReadableSection(section) || !isReadableKey(key) || breaksLine(value))
        return false;
    // The reader trims a value and takes one pair of quotes off: a value it would change is written quoted.
    const bool quote = isQuoted(value) || trim(value).size() != value.size();
    std::string entry = std::string(key) + (quote ? "=\"" : "=") + std::string(value) + (quote ? "\"" : "");
    int h = findSection(section);
    if (h < 0) {
        if (!m_Lines.empty() && !trim(m_Lines.back().text).empty())
            m_Lines.push_back(parse(""));
        std::string header(1, '[');
        header.append(section).push_back(']');
        m_Lines.push_back(parse(std::move(header)));
        m_Lines.push_back(parse(std::move(entry)));
        return true;
    }
    for (int s = h; s >= 0; s = findSection(section, s + 1)) {
        for (int i = s + 1, end = sectionEnd(s); i < end; ++i) {
            if (m_Lines[size_t(i)].kind == Line::Entry && equalNoCase(m_Lines[size_t(i)].name, key)) {
                const std::string_view eol = m_Lines[size_t(i)].eol;
                m_Lines[size_t(i)] = parse(std::move(entry));
                m_Lines[size_t(i)].eol = eol;
                return true;
            }
        }
    }
    // New key: after the first section's last entry, so trailing blank lines and comments stay below it.
    int insertAt = h + 1;
    for (int i = h + 1, end = sectionEnd(h); i < end; ++i)
        if (m_Lines[size_t(i)].kind == Line::Entry)
            insertAt = i + 1;
    m_Lines.insert(m_Lines.begin() + insertAt, parse(std::move(entry)));
    return true;
}

void ProfileFile::removeKey(std::string_view section, std::string_view key)
{
    for (int s = findSection(section); s >= 0; s = findSection(section, s + 1)) {
        for (int i = s + 1; i < sectionEnd(s);) {
            if (m_Lines[size_t(i)].kind == Line::Entry && equalNoCase(m_Lines[size_t(i)].name, key))
                m_Lines.erase(m_Lines.begin() + i);
            else
                ++i;
        }
    }
}

void ProfileFile::removeSection(std::string_view section)
{
    for (int s = findSection(section); s >= 0; s = findSection(section, s))
        m_Lines.erase(m_Lines.begin() + s, m_Lines.begin() + sectionEnd(s));
}

int ProfileFile::intValue(std::string_view section, std::string_view key, int defaultValue) const
{
    const std::optional<std::string> v = value(section, key);
    return v && !v->empty() ? ProfileInt(*v) : defaultValue;
}

std::string ProfileFile::stringValue(
    std::string_view section, std::string_view key, std::string_view defaultValue, size_t bufferSize) const
{
    return cutToBuffer(value(section, key).value_or(trim(defaultValue)), bufferSize);
}

int GetPrivateProfileIntA(const char* section, const char* key, int defaultValue, const QString& fileName)
{
    if (!section || !key)
        return defaultValue;
    ProfileFile profile;
    profile.load(fileName);
    return profile.intValue(section, key, defaultValue);
}

uint32_t GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue, char* buffer,
    uint32_t size, const QString& fileName)
{
    if (!buffer || size == 0)
        return 0;
    const char* fallback = defaultValue ? defaultValue : "";
    std::string v;
    if (section && key) {
        ProfileFile profile;
        profile.load(fileName);
        v = profile.stringValue(section, key, fallback, size);
    } else {
        v = cutToBuffer(trim(fallback), size);
    }
    std::memcpy(buffer, v.data(), v.size());
    buffer[v.size()] = '\0';
    return uint32_t(v.size());
}

int WritePrivateProfileStringA(const char* section, const char* key, const char* value, const QString& fileName)
{
    if (!section)
        return 0;
    ProfileFile profile;
    profile.load(fileName);
    if (!key)
        profile.removeSection(section);
    else if (!value)
        profile.removeKey(section, key);
    else if (!profile.setValue(section, key, value))
        return 0;
    return profile.save(fileName) ? 1 : 0;
}
