// The thumbnailer that reads only what a thumbnail needs (a BMP's sampled rows, a JPEG at reduced scale), on
// arbitrary bytes in a file. A file it takes gives a thumbnail of exactly the size asked, in 24 bits; one it
// does not take leaves the thumbnail as it was (the caller then decodes the file whole).
#include "files/ThumbnailReader.h"
#include "imaging/DibImage.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    constexpr int kWidth = 140, kHeight = 105;
    const QString path = scratchFile("reduce", data, size);
    DibImage before;
    fuzzCheck(before.Create(5, 3, 24) && before.Fill(nullptr, Rgb(0x12, 0x34, 0x56)), "a small image can be made");
    DibImage thumbnail;
    fuzzCheck(thumbnail.Create(5, 3, 24) && thumbnail.Fill(nullptr, Rgb(0x12, 0x34, 0x56)), "a small image can be made");
    if (ReducePictureFile(path, kWidth, kHeight, thumbnail))
        fuzzCheck(thumbnail.width() == kWidth && thumbnail.height() == kHeight && thumbnail.bitsPerPixel() == 24,
            "a thumbnail has the size asked, in 24 bits");
    else
        fuzzCheck(samePicture(thumbnail, before), "a file not taken leaves the thumbnail as it was");
    return 0;
}
