// The measurement document reader on arbitrary bytes. Whatever it takes must keep to its bounds (counted
// points per kind, finite coordinates and factors, short names), and what it takes written again reads
// back to the same items and calibration.
#include <cmath>

#include "FuzzSupport.h"
#include "measure/MeasureList.h"
#include "measure/PictureNotes.h"

namespace {

bool within(double v)
{
    return std::isfinite(v) && std::abs(v) <= notes::kMaxMagnitude;
}

bool itemKeepsBounds(const MeasureItem& item)
{
    if (!item.isFinished() || item.pointCount < 1 || item.pointCount > notes::kMaxAreaPoints
        || item.countedPoints() != item.pointCount)
        return false;
    for (int32_t i = 0; i < item.pointCount; ++i)
        if (!within(item.point(i).x) || !within(item.point(i).y))
            return false;
    return true;
}

bool samePoints(const MeasureItem& a, const MeasureItem& b)
{
    if (a.type != b.type || a.pointCount != b.pointCount)
        return false;
    for (int32_t i = 0; i < a.pointCount; ++i)
        if (a.point(i).x != b.point(i).x || a.point(i).y != b.point(i).y)
            return false;
    return a.radius1 == b.radius1 && a.radius2 == b.radius2;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QStringList ignored;
    const std::optional<PictureNotes> notes
        = DecodeNotes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), ignored);
    if (!notes) {
        fuzzCheck(ignored == QStringList { QStringLiteral("measurements") }, "a refused document is named");
        return 0;
    }
    fuzzCheck(notes->items.size() <= size_t(notes::kMaxMeasurements), "at most the bounded number of items");
    for (const MeasureItem& item : notes->items)
        fuzzCheck(itemKeepsBounds(item), "items keep their bounds");
    if (notes->calib) {
        fuzzCheck(notes->calib->mppX > 0 && within(notes->calib->mppX) && notes->calib->mppY > 0
                && within(notes->calib->mppY) && notes->calib->name.size() <= notes::kMaxNameLength,
            "a calibration keeps its bounds");
        CalibEntry recomputed = *notes->calib;
        recomputed.recomputeFactors();
        fuzzCheck(recomputed.mppX == notes->calib->mppX && recomputed.mppY == notes->calib->mppY,
            "a calibration's frame gives its factors back");
    }

    MeasureList list;
    for (const MeasureItem& item : notes->items)
        list.append(item);
    QStringList again;
    const std::optional<PictureNotes> reread
        = DecodeNotes(EncodeNotes(notes->calib.value_or(CalibEntry {}), list), again);
    fuzzCheck(reread && again.isEmpty() && reread->items.size() == notes->items.size(), "written items read back");
    for (size_t i = 0; i < notes->items.size(); ++i)
        fuzzCheck(samePoints(reread->items[i], notes->items[i]), "written items read back the same");
    return 0;
}
