// DecodePng on arbitrary bytes (chunk checksums made right): see PictureTagsFuzz.h for what is checked.
#include "PictureTagsFuzz.h"
#include "files/PngFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> bytes(data, data + size);
    if (size >= 8)
        fixChunkCrcs(bytes);
    checkTaggedDecode(bytes.data(), bytes.size(), DecodePng, EncodePng);
    return 0;
}
