// DecodeTiff on arbitrary bytes: see PictureTagsFuzz.h for what is checked.
#include "PictureTagsFuzz.h"
#include "files/TiffFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    checkTaggedDecode(data, size, DecodeTiff, EncodeTiff);
    return 0;
}
