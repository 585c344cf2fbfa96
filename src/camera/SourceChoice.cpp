#include "camera/SourceChoice.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace {

std::string trimmed(const std::string& text)
{
    const auto space = [](unsigned char c) { return std::isspace(c) != 0; };
    const auto first = std::find_if_not(text.begin(), text.end(), space);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), space).base();
    return first < last ? std::string(first, last) : std::string();
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

// What one setting asks for; nothing when it leaves the choice to the next one.
std::optional<SourceChoice> asked(const std::string& value)
{
    const std::string v = trimmed(value);
    if (lower(v) == "own")
        return SourceChoice {};
    if (v.size() > 5 && v.compare(0, 5, "/dev/") == 0)
        return SourceChoice { SourceChoice::Kind::Video, v };
    return std::nullopt;
}

} // namespace

bool ParseFrameSize(const std::string& text, int* width, int* height)
{
    const std::string t = lower(trimmed(text));
    const size_t x = t.find('x');
    if (x == std::string::npos)
        return false;
    const auto number = [](const std::string& s) {
        const std::string digits = trimmed(s);
        if (digits.empty() || digits.size() > 4 || !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c) != 0; }))
            return 0;
        const int n = std::stoi(digits);
        return n <= 8192 ? n : 0;
    };
    const int w = number(t.substr(0, x)), h = number(t.substr(x + 1));
    if (w == 0 || h == 0)
        return false;
    *width = w;
    *height = h;
    return true;
}

SourceChoice ChooseCameraSource(const std::string& option, const std::string& stored,
                                const std::vector<VideoDeviceInfo>& devices)
{
    if (const auto c = asked(option))
        return *c;
    if (const auto c = asked(stored))
        return *c;
    for (const VideoDeviceInfo& d : devices)
        if (!d.path.empty())
            return { SourceChoice::Kind::Video, d.path };
    return {};
}
