// The recipe reader on arbitrary bytes. What it takes keeps to its bounds (counted points per kind, finite
// coordinates, valid tolerances), and written again reads back to the same items.
#include <cmath>

#include "FuzzSupport.h"
#include "measure/MeasureList.h"
#include "measure/PictureNotes.h"
#include "measure/Recipe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QStringList ignored;
    const auto items = ReadRecipe(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), ignored);
    if (!items) {
        fuzzCheck(ignored == QStringList { QStringLiteral("recipe") }, "a refused recipe is named");
        return 0;
    }
    fuzzCheck(items->size() <= size_t(notes::kMaxMeasurements), "at most the bounded number of items");
    MeasureList list;
    for (const MeasureItem& item : *items) {
        fuzzCheck(item.isFinished() && item.pointCount >= 1 && item.pointCount <= notes::kMaxAreaPoints
                && item.countedPoints() == item.pointCount,
            "items keep their point counts");
        for (int32_t i = 0; i < item.pointCount; ++i)
            fuzzCheck(std::isfinite(item.point(i).x) && std::isfinite(item.point(i).y), "points are finite");
        fuzzCheck(!item.tolerance || item.tolerance->valid(), "tolerances are valid");
        list.append(item);
    }
    QStringList again;
    const auto reread = ReadRecipe(WriteRecipe(list), again);
    fuzzCheck(reread && again.isEmpty() && reread->size() == items->size(), "written items read back");
    for (size_t i = 0; i < items->size(); ++i) {
        const MeasureItem& a = (*items)[i];
        const MeasureItem& b = (*reread)[i];
        bool same = a.type == b.type && a.pointCount == b.pointCount && a.tolerance == b.tolerance;
        for (int32_t p = 0; same && p < a.pointCount; ++p)
            same = a.point(p).x == b.point(p).x && a.point(p).y == b.point(p).y;
        fuzzCheck(same, "written items read back the same");
    }
    return 0;
}
