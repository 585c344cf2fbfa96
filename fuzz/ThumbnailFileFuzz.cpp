// The ThumbNail file loader on arbitrary bytes, every named picture taken to exist. Whatever loads is saved
// by our writer and loaded again: the second load gives the same entries (paths and thumbnails) in the same
// order.
#include "files/ThumbnailStore.h"
#include "FuzzSupport.h"

namespace {

const QString kFolder = QStringLiteral("/pictures/");

bool everyPictureExists(const QString&)
{
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ThumbnailStore first;
    if (!first.LoadBytes(data, size, kFolder, everyPictureExists)) {
        fuzzCheck(first.count() == 0, "bytes that are no ThumbNail file add nothing");
        return 0;
    }
    const QString file = ThumbnailStore::FileIn(scratchFolder());
    fuzzCheck(first.Save(file) == (first.count() > 0 ? 1 : 0), "a loaded store saves (an empty one deletes)");
    const QByteArray saved = first.count() > 0 ? readWhole(file) : QByteArray();

    ThumbnailStore second;
    second.LoadBytes(
        reinterpret_cast<const uint8_t*>(saved.constData()), size_t(saved.size()), kFolder, everyPictureExists);
    fuzzCheck(second.count() == first.count(), "a saved store loads as many entries");
    const ThumbnailEntry* a = first.first();
    const ThumbnailEntry* b = second.first();
    for (; a && b; a = a->next, b = b->next) {
        fuzzCheck(a->path == b->path, "a saved entry loads with its path");
        fuzzCheck(samePicture(a->image, b->image), "a saved entry loads with its thumbnail");
    }
    fuzzCheck(!a && !b, "a saved store loads the same list");
    return 0;
}
