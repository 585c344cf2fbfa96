#include "platform/StringTable.h"

#include <iterator>

#include "platform/Language.h"

namespace {

struct Entry {
    int id;
    const char* english;
    const char* japanese;  // UTF-8
};

// Sorted by id.
constexpr Entry kStrings[] = {
    {1006, "Data", "校正値"},
};

}  // namespace

QString LoadString(int id, bool japanese)
{
    for (const Entry& e : kStrings) {
        if (e.id == id)
            return QString::fromUtf8(japanese ? e.japanese : e.english);
    }
    return {};
}

QString LoadString(int id) { return LoadString(id, g_bJapanese != 0); }
