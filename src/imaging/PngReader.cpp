#include "imaging/PngReader.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

constexpr size_t kSignatureBytes = 8;
// Headers claiming more are corrupt for our purposes; refusing them early keeps allocation bounded.
constexpr png_uint_32 kMaxSide = 32768;
constexpr size_t kMaxPixelBytes = size_t(1) << 30;

// One decode's state; libpng reaches it through its io pointer, never through globals.
struct ReadState {
    PngMemorySource source;  // the signature is checked before libpng starts reading
    PngImage* out = nullptr;
    png_bytep* rows = nullptr;
};

void onError(png_structp png, png_const_charp message)
{
    std::fprintf(stderr, "libpng error: %s\n", message);
    png_longjmp(png, 1);
}

void onRead(png_structp png, png_bytep target, png_size_t length)
{
    auto* source = static_cast<PngMemorySource*>(png_get_io_ptr(png));
    if (length > source->size - source->offset)
        png_error(png, "read past the end of the data");
    std::memcpy(target, source->data + source->offset, length);
    source->offset += length;
}

// Runs the decode; kept apart from ReadPng so nothing with a destructor lives in the frame that
// setjmp returns to twice.
bool decode(png_structp png, png_infop info, ReadState* state)
{
    if (setjmp(png_jmpbuf(png)))
        return false;

    SetPngMemorySource(png, &state->source);
    png_set_user_limits(png, kMaxSide, kMaxSide);
    png_read_info(png, info);

    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, nullptr, nullptr, nullptr);

    if (bitDepth == 16)
        png_set_strip_16(png);
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_expand(png);
    if (bitDepth < 8)
        png_set_expand(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_expand(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    double fileGamma = 0.0;
    if (png_get_gAMA(png, info, &fileGamma))
        png_set_gamma(png, 2.2, fileGamma);

    png_set_interlace_handling(png);  // whole-image reads of interlaced files need the passes combined

    png_read_update_info(png, info);
    width = png_get_image_width(png, info);
    height = png_get_image_height(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    const int channels = png_get_channels(png, info);
    if (height == 0 || rowBytes == 0 || rowBytes > kMaxPixelBytes / height)
        png_error(png, "Visual PNG: out of memory");

    PngImage& out = *state->out;
    bool allocated = true;
    try {
        out.pixels.resize(rowBytes * height);
        state->rows = new png_bytep[height];
    } catch (const std::bad_alloc&) {
        allocated = false;
    }
    if (!allocated)
        png_error(png, "Visual PNG: out of memory");
    for (png_uint_32 y = 0; y < height; ++y)
        state->rows[y] = out.pixels.data() + rowBytes * y;
    png_read_image(png, state->rows);
    png_read_end(png, nullptr);

    out.width = int(width);
    out.height = int(height);
    out.channels = channels;
    return true;
}

}  // namespace

void SetPngMemorySource(png_struct_def* png, PngMemorySource* source)
{
    png_set_read_fn(png, source, onRead);
    png_set_sig_bytes(png, int(source->offset));
}

bool OpenPngRead(const uint8_t* data, size_t size, PngMessageHandler onError, PngMessageHandler onWarning,
    png_struct_def*& png, png_info_def*& info)
{
    png = nullptr;
    info = nullptr;
    if (!data || size < kSignatureBytes || png_sig_cmp(data, 0, kSignatureBytes) != 0)
        return false;
    png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
    if (!png)
        return false;
    info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        png = nullptr;
        return false;
    }
    return true;
}

bool ReadPng(const uint8_t* data, size_t size, PngImage& out)
{
    out = PngImage{};
    png_structp png = nullptr;
    png_infop info = nullptr;
    if (!OpenPngRead(data, size, onError, nullptr, png, info))
        return false;
    ReadState state;
    state.source.data = data;
    state.source.size = size;
    state.out = &out;
    const bool ok = decode(png, info, &state);
    delete[] state.rows;
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok || out.channels < 3)
        out = PngImage{};
    return ok && out.channels >= 3;
}
