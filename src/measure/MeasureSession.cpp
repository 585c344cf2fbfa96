// Changes to the measurements, each followed by the rows and recorded for undo.
#include "measure/MeasureSession.h"

#include <utility>

#include "measure/MeasureResults.h"

MeasureSession::MeasureSession() = default;

MeasureSession::MeasureSession(MeasureList::IdSource ids)
    : m_Items(std::move(ids))
{
}

CalibEntry& MeasureSession::selectedCalib()
{
    if (m_CalibIndex == CalibTable::kCount && m_FileCalib)
        return *m_FileCalib;
    return m_Calib.selected(m_CalibIndex);
}

void MeasureSession::setFileCalibration(std::optional<CalibEntry> entry)
{
    m_FileCalib = std::move(entry);
    if (m_FileCalib) // it is no table entry: the calibration dialog and the settings pass it by
        m_FileCalib->position = CalibTable::kCount;
    if (m_CalibIndex == CalibTable::kCount)
        selectCalibration(m_FileCalib ? CalibTable::kCount : 0, nullptr);
}

void MeasureSession::selectCalibration(int32_t index, const DibImage* picture)
{
    m_CalibIndex = index;
    // Any other index computes with the first entry (the table's walk), so that is the one to remember.
    if (index != CalibTable::kCount || !m_FileCalib)
        m_TableIndex = index >= 0 && index < CalibTable::kCount ? index : 0;
    recalculate(picture);
    const CalibEntry& calib = selectedCalib();
    m_Scale.unit = calib.unit;
    m_Scale.mppX = calib.mppX;
    m_Scale.mppY = calib.mppY;
    m_Results.refresh();
}

void MeasureSession::recalculate(const DibImage* picture)
{
    const CalibEntry& calib = selectedCalib();
    for (MeasureItem& item : m_Items) {
        // Angles do not depend on the calibration; items without a type, points or rows have no results.
        if (item.type == -ToolAngle || item.pointCount == 0 || resultRowName(item.type, 0) == 0)
            continue;
        computeResults(item, calib, picture);
    }
}

void MeasureSession::replaceItems(const std::vector<MeasureItem>& items, const DibImage* picture)
{
    if (!m_Items.isEmpty() || !items.empty())
        record();
    m_Items.clear();
    const CalibEntry& calib = selectedCalib();
    for (const MeasureItem& item : items)
        if (MeasureItem* appended = m_Items.append(item))
            computeResults(*appended, calib, picture);
    m_Results.refresh();
}

const MeasureItem* MeasureSession::add(const MeasureItem& finished)
{
    record();
    const MeasureItem* appended = m_Items.append(finished);
    m_Results.refresh();
    return appended;
}

void MeasureSession::deleteItems(const std::vector<int32_t>& ids)
{
    MeasureHistory::Items before = snapshot();
    bool removed = false;
    for (int32_t id : ids)
        removed = m_Items.removeById(id) != 0 || removed;
    if (removed) {
        ++m_Revision;
        m_History.record(std::move(before));
    }
    m_Results.refresh();
}

void MeasureSession::setTolerance(int32_t itemId, std::optional<Tolerance> tolerance)
{
    if (tolerance && !tolerance->valid())
        return;
    MeasureItem* item = nullptr;
    for (MeasureItem& candidate : m_Items)
        if (candidate.id == itemId)
            item = &candidate;
    if (!item || item->tolerance == tolerance)
        return;
    record();
    item->tolerance = tolerance;
    m_Results.refresh();
}

void MeasureSession::clear()
{
    if (!m_Items.isEmpty())
        record();
    m_Items.clear();
    m_Results.refresh();
}

bool MeasureSession::undo(const DibImage* picture)
{
    return restore(m_History.undo(snapshot()), picture);
}

bool MeasureSession::redo(const DibImage* picture)
{
    return restore(m_History.redo(snapshot()), picture);
}

bool MeasureSession::restore(std::optional<MeasureHistory::Items> items, const DibImage* picture)
{
    if (!items)
        return false;
    m_Items.restore(*items);
    ++m_Revision;
    // Items come back in the calibration chosen now, as every other item shows.
    recalculate(picture);
    m_Results.refresh();
    return true;
}

void MeasureSession::record()
{
    ++m_Revision;
    m_History.record(snapshot());
}

MeasureHistory::Items MeasureSession::snapshot() const { return { m_Items.begin(), m_Items.end() }; }
