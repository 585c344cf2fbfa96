// What the PNG and TIFF tag targets check of a decode: it fails leaving nothing, or gives a 24-bit picture
// with sane tags; and the picture written again with its tags decodes to the same pixels and tags.
#pragma once

#include <cmath>

#include "FuzzSupport.h"
#include "files/PictureTags.h"

template <typename Decode, typename Encode> void checkTaggedDecode(const uint8_t* data, size_t size, Decode decode, Encode encode)
{
    DibImage picture;
    PictureTags tags;
    IgnoredTags ignored;
    if (!decode(data, size, picture, tags, ignored)) {
        fuzzCheck(picture.isEmpty() && !tags.hasScale() && tags.notes.isEmpty(), "a failed decode leaves nothing");
        return;
    }
    fuzzCheck(!picture.isEmpty() && picture.bitsPerPixel() == 24, "a decode is a 24-bit picture");
    if (tags.hasScale())
        fuzzCheck((tags.unit == "mm" || tags.unit == "um" || tags.unit == "cm") && std::isfinite(tags.unitsPerPixelX)
                && std::isfinite(tags.unitsPerPixelY) && tags.unitsPerPixelX > 0 && tags.unitsPerPixelY > 0,
            "a scale has a known unit and finite factors above zero");
    fuzzCheck(tags.notes.size() <= PictureTags::kMaxNotes, "notes are bounded");
    if (int64_t(picture.width()) * picture.height() > (1 << 20) || tags.notes.contains('\0'))
        return; // the round trip below only for small pictures, and notes a PNG text can carry
    QByteArray again;
    fuzzCheck(encode(picture, tags, again), "a decoded picture encodes");
    DibImage second;
    PictureTags secondTags;
    IgnoredTags secondIgnored;
    fuzzCheck(decode(reinterpret_cast<const uint8_t*>(again.constData()), size_t(again.size()), second, secondTags,
                  secondIgnored),
        "a written picture decodes");
    fuzzCheck(samePicture(picture, second), "a written picture decodes to the same pixels");
    fuzzCheck(secondTags.unit == tags.unit && secondTags.unitsPerPixelX == tags.unitsPerPixelX
            && secondTags.unitsPerPixelY == tags.unitsPerPixelY && secondTags.notes == tags.notes
            && secondIgnored.isEmpty(),
        "a written picture decodes to the same tags");
}
