// The ten calibrations of the viewer in their fixed order, with the entry the last seek landed on.
// Entries never move, so dialogs may keep a pointer to the one they edit.
#pragma once

#include <array>
#include <cstdint>

#include "calib/CalibEntry.h"

class CalibTable {
public:
    static constexpr int32_t kCount = 10;

    // The defaults: Data1..Data10 (in the current language), 10 x 10 cm over (0, 0)-(200, 200).
    CalibTable();
    CalibTable(const CalibTable&) = delete;
    CalibTable& operator=(const CalibTable&) = delete;

    void setDefaults();

    // Recomputes every entry's factors from its lengths and frame (after the settings are loaded).
    void recomputeFactors();

    // Seeks entry n from the first (the walk the combo box selection goes through): a negative n, such as
    // a combo box without selection, gives the first entry; an n beyond the table gives null and leaves
    // the cursor on the last entry.
    CalibEntry* itemAt(int32_t n);
    CalibEntry* current() { return &m_Entries[size_t(m_Cursor)]; }
    // The entry a combo box selection names, through the same walk; the first entry when the walk finds
    // none, so results always have a calibration.
    CalibEntry& selected(int32_t selection);

    int32_t count() const { return kCount; }
    CalibEntry& operator[](int32_t i) { return m_Entries[size_t(i)]; }
    const CalibEntry& operator[](int32_t i) const { return m_Entries[size_t(i)]; }
    auto begin() { return m_Entries.begin(); }
    auto end() { return m_Entries.end(); }
    auto begin() const { return m_Entries.cbegin(); }
    auto end() const { return m_Entries.cend(); }

private:
    std::array<CalibEntry, kCount> m_Entries;
    int32_t m_Cursor = 0;
};
