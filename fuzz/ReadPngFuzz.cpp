// ReadPng on arbitrary bytes: a decode either fails or gives whole rows of 3 or 4 channels. libpng reports
// every broken input on stderr: run it with -close_fd_mask=2 (tools/run-fuzz.sh does).
#include <vector>

#include "FuzzSupport.h"
#include "imaging/PngReader.h"

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
