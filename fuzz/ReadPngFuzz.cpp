// ReadPng on arbitrary bytes: a decode either fails or gives whole rows of 3 or 4 channels. libpng reports
// every broken input on stderr: run it with -close_fd_mask=2 (tools/run-fuzz.sh does).
#include <zlib.h>

#include <vector>

#include "FuzzSupport.h"
#include "imaging/PngReader.h"

namespace {

uint32_t bigEndian(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// Each whole chunk gets its right CRC: a mutation would otherwise almost always end at the first chunk's
// check, and the decoding behind it would never be reached.
void fixChunkCrcs(std::vector<uint8_t>& png)
{
    size_t at = 8; // the signature
    while (png.size() - at >= 12) { // length, type, CRC
        const uint32_t length = bigEndian(&png[at]);
        if (length > png.size() - at - 12)
            return;
        const uint32_t crc = uint32_t(crc32(0, &png[at + 4], uInt(length + 4)));
        uint8_t* out = &png[at + 8 + length];
        out[0] = uint8_t(crc >> 24);
        out[1] = uint8_t(crc >> 16);
        out[2] = uint8_t(crc >> 8);
        out[3] = uint8_t(crc);
        at += 12 + size_t(length);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> bytes(data, data + size);
    if (size >= 8)
        fixChunkCrcs(bytes);
    PngImage png;
    if (!ReadPng(bytes.data(), bytes.size(), png)) {
        fuzzCheck(png.pixels.empty() && png.width == 0 && png.height == 0, "a failed decode leaves nothing");
        return 0;
    }
    fuzzCheck(png.width > 0 && png.height > 0 && (png.channels == 3 || png.channels == 4), "a decode has pixels");
    fuzzCheck(
        png.pixels.size() == size_t(png.width) * size_t(png.height) * size_t(png.channels), "a decode fills every row");
    return 0;
}
