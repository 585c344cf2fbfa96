// The measuring document: the finished items, the item being built, their undo history, the calibration
// table with the entry selected, the scale bar and the results rows. Every change to the items goes through
// here, so the rows, the units and the history follow it; nothing here touches a widget.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "calib/CalibTable.h"
#include "calib/ScaleData.h"
#include "measure/MeasureHistory.h"
#include "measure/MeasureItem.h"
#include "measure/MeasureList.h"
#include "measure/ResultsModel.h"

class DibImage;

class MeasureSession {
public:
    MeasureSession();
    explicit MeasureSession(MeasureList::IdSource ids);
    MeasureSession(const MeasureSession&) = delete;
    MeasureSession& operator=(const MeasureSession&) = delete;

    MeasureList& items() { return m_Items; }
    const MeasureList& items() const { return m_Items; }
    MeasureItem& current() { return m_Current; }
    const MeasureItem& current() const { return m_Current; }
    CalibTable& calibration() { return m_Calib; }
    // The selection: 0..9 a table entry, CalibTable::kCount the open picture's calibration while there is one.
    int32_t calibIndex() const { return m_CalibIndex; }
    // The table entry to remember in the settings (0..9): the selection, or while the picture's calibration
    // is selected the table entry chosen last.
    int32_t storedCalibIndex() const { return m_TableIndex; }
    // The entry results are computed with; the first when the index names none.
    CalibEntry& selectedCalib();

    // The calibration an opened picture carries, offered as an extra entry after the table's (index
    // CalibTable::kCount); it never goes into the table or the settings. Replacing it while it is selected
    // computes every item again with the new one; removing it then selects the first table entry.
    void setFileCalibration(std::optional<CalibEntry> entry);
    const std::optional<CalibEntry>& fileCalibration() const { return m_FileCalib; }
    ScaleData& scale() { return m_Scale; }
    const ScaleData& scale() const { return m_Scale; }
    ResultsModel& results() { return m_Results; }
    const ResultsModel& results() const { return m_Results; }
    const MeasureHistory& history() const { return m_History; }

    // Selects a calibration (also the same one again, after its entry was edited): every item is computed
    // again with it (angles as they are) and the scale bar takes its unit and factors.
    void selectCalibration(int32_t index, const DibImage* picture);

    // The list becomes these finished items (fresh ids), computed with the calibration selected: an opened
    // picture's measurements. Recorded for undo as CLEAR is, so undo brings the list before back.
    void replaceItems(const std::vector<MeasureItem>& items, const DibImage* picture);
    // Appends a finished item, recorded for undo. Returns the appended copy, null when none was appended.
    const MeasureItem* add(const MeasureItem& finished);
    // DELETE: the items with these ids leave the list (ids of no item are ignored); recorded when any went.
    void deleteItems(const std::vector<int32_t>& ids);
    // CLEAR: no items; recorded unless there were none.
    void clear();
    // The items as they were before the last change, or after the change last undone, computed with the
    // calibration selected now. False when there was nothing to go back or forward to.
    bool undo(const DibImage* picture);
    bool redo(const DibImage* picture);
    // The limits of an item's main result, in its unit (none: no longer inspected); recorded for undo. A
    // tolerance that is not valid, an id of no item, or the tolerance the item has already change nothing.
    void setTolerance(int32_t itemId, std::optional<Tolerance> tolerance);
    // Records the items as they are now, before a change made elsewhere (a drag of points).
    void record();
    // The points or results of items were changed in place: the rows show them again.
    void itemsChanged()
    {
        ++m_Revision;
        m_Results.refresh();
    }

    // The measurements as they are now went into a CSV file or were drawn into a saved picture.
    void markExported() { m_ExportedRevision = m_Revision; }
    // Measurements exist that changed since they last went into a CSV file or a saved picture: closing would
    // lose work.
    bool unexported() const { return !m_Items.isEmpty() && m_Revision != m_ExportedRevision; }

private:
    MeasureHistory::Items snapshot() const;
    bool restore(std::optional<MeasureHistory::Items> items, const DibImage* picture);
    void recalculate(const DibImage* picture);

    MeasureList m_Items;
    MeasureItem m_Current;
    MeasureHistory m_History;
    CalibTable m_Calib;
    int32_t m_CalibIndex = 0;
    int32_t m_TableIndex = 0;
    std::optional<CalibEntry> m_FileCalib;
    uint64_t m_Revision = 0; // counts the changes to the items
    uint64_t m_ExportedRevision = 0;
    ScaleData m_Scale;
    ResultsModel m_Results { m_Items };
};
