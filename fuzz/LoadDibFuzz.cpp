// DibImage::LoadDib on arbitrary bytes (a packed bitmap, as a clipboard or a resource holds one).
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzBitmapLoader([&](DibImage& image) { return image.LoadDib(data, size); });
    return 0;
}
