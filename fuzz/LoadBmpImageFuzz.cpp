// DibImage::LoadBmpImage on arbitrary bytes (a whole BMP file, as a ThumbNail entry stores one).
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzBitmapLoader([&](DibImage& image) { return image.LoadBmpImage(data, size); });
    return 0;
}
