// Defaults, factor recomputation and the seek by index of the calibration table.
#include "calib/CalibTable.h"

#include <algorithm>

#include "platform/StringTable.h"

namespace {
// "Data" / "校正値": the stem of the default calibration names.
constexpr int kDefaultNameString = 1006;
}  // namespace

CalibTable::CalibTable() { setDefaults(); }

void CalibTable::setDefaults()
{
    const QString stem = LoadString(kDefaultNameString);
    for (int32_t i = 0; i < kCount; ++i) {
        CalibEntry& e = m_Entries[size_t(i)];
        e = CalibEntry{};
        e.position = i;
        e.name = stem + QString::number(i + 1);
        e.recomputeFactors();
    }
    m_Cursor = 0;
}

void CalibTable::recomputeFactors()
{
    for (CalibEntry& e : m_Entries)
        e.recomputeFactors();
}

CalibEntry* CalibTable::itemAt(int32_t n)
{
    if (n >= kCount) {
        m_Cursor = kCount - 1;
        return nullptr;
    }
    m_Cursor = std::max(n, 0);
    return current();
}

CalibEntry& CalibTable::selected(int32_t selection)
{
    CalibEntry* entry = itemAt(selection);
    return entry ? *entry : *itemAt(0);
}
