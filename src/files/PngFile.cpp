#include "files/PngFile.h"

#include <png.h>
#include <zlib.h>

#include <cmath>
#include <csetjmp>
#include <cstring>
#include <new>
#include <vector>

#include "imaging/DibImage.h"
#include "imaging/PngReader.h"
#include "platform/AtomicFile.h"

namespace {

constexpr size_t kSignatureBytes = 8;
constexpr uint64_t kMaxPixels = uint64_t(64) << 20;
constexpr char kScaleKey[] = "nxviewer.scale";
constexpr char kNotesKey[] = "nxviewer.measurements";

// libpng's errors end the call through its jump buffer; nothing is printed (hostile files are everyday input).
void onError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

// The grey level of a colour-table entry (the entry's own level in a grey table).
uint8_t greyOf(const RgbQuad& c)
{
    return uint8_t((77 * c.red + 150 * c.green + 29 * c.blue + 128) >> 8);
}

struct WriteState {
    const DibImage* picture = nullptr;
    std::vector<uint8_t>* out = nullptr;
    uint8_t* greyRow = nullptr;
};

void onWrite(png_structp png, png_bytep data, png_size_t length)
{
    auto* state = static_cast<WriteState*>(png_get_io_ptr(png));
    bool grown = true;
    try {
        state->out->insert(state->out->end(), data, data + length);
    } catch (const std::bad_alloc&) {
        grown = false;
    }
    if (!grown)
        png_error(png, "out of memory");
}

void onFlush(png_structp) {}

// The encode proper; nothing with a destructor lives in the frame setjmp returns to twice.
bool encode(png_structp png, png_infop info, WriteState* state, png_text* scaleText, png_text* notesText,
    const png_uint_32* pixelsPerMetre)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    const DibImage& picture = *state->picture;
    const bool grey = picture.bitsPerPixel() == 8;
    png_set_write_fn(png, state, onWrite, onFlush);
    // Saving must keep up with the camera: the fastest zlib level, run-length matches only and a single
    // cheap filter (on camera pictures this is both faster and smaller than level 1's usual matching).
    png_set_compression_level(png, Z_BEST_SPEED);
    png_set_compression_strategy(png, Z_RLE);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_text_compression_level(png, Z_BEST_SPEED);
    png_set_IHDR(png, info, png_uint_32(picture.width()), png_uint_32(picture.height()), 8,
        grey ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE,
        PNG_FILTER_TYPE_BASE);
    if (pixelsPerMetre)
        png_set_pHYs(png, info, pixelsPerMetre[0], pixelsPerMetre[1], PNG_RESOLUTION_METER);
    if (scaleText)
        png_set_text(png, info, scaleText, 1);
    png_write_info(png, info);
    if (!grey)
        png_set_bgr(png); // the rows go out as they lie in memory
    for (int32_t y = 0; y < picture.height(); ++y) {
        const uint8_t* row = picture.rowTopDown(y);
        if (grey) {
            for (int32_t x = 0; x < picture.width(); ++x)
                state->greyRow[x] = greyOf(picture.colorTable()[row[x]]);
            row = state->greyRow;
        }
        png_write_row(png, row);
    }
    // The document after the pixels: a file cut short in it still has its picture.
    if (notesText)
        png_set_text(png, info, notesText, 1);
    png_write_end(png, info);
    return true;
}

struct ReadState {
    PngMemorySource source;
    DibImage* picture = nullptr;
    png_bytep* rows = nullptr;
    bool pixelsRead = false;
};

// The decode proper; false with pixelsRead set when only what follows the pixels was broken.
bool decode(png_structp png, png_infop info, ReadState* state)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    SetPngMemorySource(png, &state->source);
    png_set_benign_errors(png, 1);
    // Room for the largest document we keep (and a little more, so that one just too large is seen and
    // named rather than dropped by libpng unseen).
    png_set_chunk_malloc_max(png, png_alloc_size_t(PictureTags::kMaxNotes) + 4096);
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, nullptr, nullptr, nullptr);
    if (width == 0 || height == 0 || uint64_t(width) * height > kMaxPixels)
        png_error(png, "too large");
    // Deflate packs at most about 1032 bytes into one: a header claiming more pixels than the file could
    // hold is refused before the picture is allocated.
    if (uint64_t(width) * height > uint64_t(state->source.size) * 1100)
        png_error(png, "more pixels than the data holds");
    // Whatever the file holds becomes 8-bit BGR.
    png_set_strip_16(png);
    png_set_expand(png);
    png_set_strip_alpha(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_channels(png, info) != 3 || png_get_rowbytes(png, info) != size_t(width) * 3)
        png_error(png, "unexpected layout");
    DibImage& picture = *state->picture;
    if (!picture.Create(int32_t(width), int32_t(height), 24))
        png_error(png, "out of memory");
    state->rows = new (std::nothrow) png_bytep[height];
    if (!state->rows)
        png_error(png, "out of memory");
    for (png_uint_32 y = 0; y < height; ++y)
        state->rows[y] = picture.rowTopDown(int32_t(y));
    png_read_image(png, state->rows);
    state->pixelsRead = true;
    png_read_end(png, info);
    return true;
}

// The tags among the file's chunks read so far.
void readTags(png_structp png, png_infop info, PictureTags& tags, IgnoredTags& ignored)
{
    png_textp texts = nullptr;
    const int count = png_get_text(png, info, &texts, nullptr);
    bool exactScale = false, notesSeen = false;
    for (int i = 0; i < count; ++i) {
        const png_text& t = texts[i];
        const bool international = t.compression == PNG_ITXT_COMPRESSION_NONE
            || t.compression == PNG_ITXT_COMPRESSION_zTXt;
        const size_t length = international ? t.itxt_length : t.text_length;
        if (!t.key || !t.text)
            continue;
        if (std::strcmp(t.key, kScaleKey) == 0 && !exactScale) {
            exactScale = true;
            if (length > 200)
                picture_tags::Ignore(ignored, QStringLiteral("scale"));
            else
                picture_tags::ReadExactScale(QByteArray(t.text, qsizetype(length)), tags, ignored);
        } else if (std::strcmp(t.key, kNotesKey) == 0 && !notesSeen) {
            notesSeen = true;
            if (length > size_t(PictureTags::kMaxNotes))
                picture_tags::Ignore(ignored, QStringLiteral("measurements"));
            else
                tags.notes = QByteArray(t.text, qsizetype(length));
        }
    }
    if (tags.hasScale())
        return;
    png_uint_32 x = 0, y = 0;
    int unit = PNG_RESOLUTION_UNKNOWN;
    if (!png_get_pHYs(png, info, &x, &y, &unit) || unit != PNG_RESOLUTION_METER)
        return; // an aspect ratio alone is no scale
    if (x == 0 || y == 0 || x > 0x7FFFFFFFu || y > 0x7FFFFFFFu) {
        picture_tags::Ignore(ignored, QStringLiteral("scale"));
        return;
    }
    // Millimetres down to a hundredth of one per pixel, micrometres below.
    const double mmX = 1e3 / x, mmY = 1e3 / y;
    if (mmX >= 0.01)
        picture_tags::SetScale(tags, QStringLiteral("mm"), mmX, mmY, ignored);
    else
        picture_tags::SetScale(tags, QStringLiteral("um"), 1e6 / x, 1e6 / y, ignored);
}

} // namespace

bool EncodePng(const DibImage& picture, const PictureTags& tags, QByteArray& out)
{
    out.clear();
    if (picture.isEmpty() || (picture.bitsPerPixel() != 8 && picture.bitsPerPixel() != 24)
        || tags.notes.contains('\0'))
        return false;
    // The pHYs chunk only when both resolutions fit its 31 bits; the exact chunk goes with it regardless.
    png_uint_32 pixelsPerMetre[2] = {};
    bool withPhys = false;
    QByteArray scale;
    if (tags.hasScale()) {
        const double metres = picture_tags::MetresPerUnit(tags.unit);
        const double px = std::nearbyint(1.0 / (tags.unitsPerPixelX * metres));
        const double py = std::nearbyint(1.0 / (tags.unitsPerPixelY * metres));
        withPhys = px >= 1.0 && px <= 2147483647.0 && py >= 1.0 && py <= 2147483647.0;
        if (withPhys) {
            pixelsPerMetre[0] = png_uint_32(px);
            pixelsPerMetre[1] = png_uint_32(py);
        }
        scale = picture_tags::ExactScaleText(tags);
    }
    png_text scaleText {};
    scaleText.compression = PNG_TEXT_COMPRESSION_NONE;
    scaleText.key = const_cast<char*>(kScaleKey);
    scaleText.text = scale.data();
    scaleText.text_length = size_t(scale.size());
    QByteArray notes = tags.notes; // libpng takes non-const text
    png_text notesText {};
    notesText.compression = PNG_ITXT_COMPRESSION_zTXt;
    notesText.key = const_cast<char*>(kNotesKey);
    notesText.text = notes.data();
    notesText.itxt_length = size_t(notes.size());

    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> greyRow;
    bool ok = info != nullptr;
    try {
        bytes.reserve(size_t(picture.byteSize()) / 2 + 4096);
        greyRow.resize(size_t(picture.width()));
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    WriteState state;
    state.picture = &picture;
    state.out = &bytes;
    state.greyRow = greyRow.data();
    ok = ok
        && encode(png, info, &state, tags.hasScale() ? &scaleText : nullptr, notes.isEmpty() ? nullptr : &notesText,
            withPhys ? pixelsPerMetre : nullptr);
    png_destroy_write_struct(&png, info ? &info : nullptr);
    if (ok)
        out = QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    return ok;
}

bool WritePng(const QString& path, const DibImage& picture, const PictureTags& tags)
{
    QByteArray bytes;
    return EncodePng(picture, tags, bytes) && WriteFileAtomically(path, bytes.constData(), bytes.size());
}

bool DecodePng(const uint8_t* data, size_t size, DibImage& picture, PictureTags& tags, IgnoredTags& ignored)
{
    tags = PictureTags {};
    picture.Destroy();
    png_structp png = nullptr;
    png_infop info = nullptr;
    if (!OpenPngRead(data, size, onError, onWarning, png, info))
        return false;
    // The data ends before the first chunk that claims more bytes than are left: libpng would allocate what
    // the header claims (up to 2 GB) before finding out the file is short.
    size_t usable = kSignatureBytes;
    while (size - usable >= 12) {
        const uint32_t length = png_get_uint_32(data + usable);
        if (length > size - usable - 12)
            break;
        usable += 12 + size_t(length);
    }
    ReadState state;
    state.source.data = data;
    state.source.size = usable;
    state.picture = &picture;
    const bool whole = decode(png, info, &state);
    delete[] state.rows;
    // Every pixel is there even when what follows them is broken: the picture opens, and a document
    // that was cut off with the rest is named.
    const bool ok = whole || state.pixelsRead;
    if (ok) {
        readTags(png, info, tags, ignored);
        const QByteArray key(kNotesKey);
        if (!whole && tags.notes.isEmpty()
            && QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)).indexOf(key) >= 0)
            picture_tags::Ignore(ignored, QStringLiteral("measurements"));
    } else {
        picture.Destroy();
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return ok;
}
