#include "files/ThumbnailReader.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

#include <turbojpeg.h>

#include "imaging/BitmapHeader.h"
#include "imaging/DibImage.h"

namespace {

// Larger files are no picture of ours; a JPEG is read whole.
constexpr off_t kMaxJpegBytes = off_t(1) << 28;
constexpr int32_t kMaxSide = 65535;

struct Fd {
    int fd;
    explicit Fd(const QString& path)
        : fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC))
    {
    }
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
    bool readAt(void* to, size_t n, off_t at) const
    {
        auto* p = static_cast<char*>(to);
        while (n > 0) {
            const ssize_t got = ::pread(fd, p, n, at);
            if (got <= 0)
                return false;
            p += got, at += got, n -= size_t(got);
        }
        return true;
    }
};

// The source pixel of each thumbnail column and row, as ScaleRgb picks them for the whole picture: steps
// rounded to single precision, positions truncated; rows counted from the bottom.
struct Sampling {
    std::vector<int32_t> cols, rowsFromBottom;
    Sampling(int32_t srcWidth, int32_t srcHeight, int32_t width, int32_t height)
        : cols(size_t(width))
        , rowsFromBottom(size_t(height))
    {
        const float rw = float(double(srcWidth) / width), rh = float(double(srcHeight) / height);
        for (int32_t j = 0; j < width; ++j)
            cols[size_t(j)] = std::clamp(int32_t(rw * float(j)), 0, srcWidth - 1);
        for (int32_t i = 0; i < height; ++i)
            rowsFromBottom[size_t(i)] = std::clamp(int32_t(rh * float(i)), 0, srcHeight - 1);
    }
};

bool reduceBmp(const Fd& file, off_t fileSize, int width, int height, DibImage& thumbnail)
{
    uint8_t head[sizeof(BitmapFileHeader) + sizeof(BitmapInfoHeader)];
    if (fileSize < off_t(sizeof head) || !file.readAt(head, sizeof head, 0))
        return false;
    BitmapFileHeader fh;
    BitmapInfoHeader info;
    std::memcpy(&fh, head, sizeof fh);
    std::memcpy(&info, head + sizeof fh, sizeof info);
    // Only the plain kind our pictures are; the image plugins read every other.
    if (fh.type != 0x4D42 || info.size < 40 || info.planes != 1 || info.bitCount != 24 || info.compression != 0
        || info.width <= 0 || info.width > kMaxSide || info.height == 0 || info.height < -kMaxSide
        || info.height > kMaxSide)
        return false;
    const int32_t w = info.width, h = info.height < 0 ? -info.height : info.height;
    const off_t stride = (off_t(w) * 3 + 3) & ~off_t(3);
    if (off_t(fh.offBits) < off_t(sizeof head) || off_t(fh.offBits) + stride * h > fileSize)
        return false;
    DibImage out;
    if (!out.Create(width, height, 24))
        return false;
    const Sampling at(w, h, width, height);
    std::vector<uint8_t> row(size_t(w) * 3);
    int32_t loaded = -1;
    for (int32_t i = 0; i < height; ++i) {
        const int32_t r = at.rowsFromBottom[size_t(i)];
        if (r != loaded) {
            const int32_t stored = info.height > 0 ? r : h - 1 - r; // a negative height stores rows top-down
            if (!file.readAt(row.data(), row.size(), off_t(fh.offBits) + stride * stored))
                return false;
            loaded = r;
        }
        uint8_t* d = out.rowBottomUp(i);
        for (int32_t j = 0; j < width; ++j)
            std::memcpy(d + 3 * j, row.data() + 3 * at.cols[size_t(j)], 3);
    }
    thumbnail = std::move(out);
    return true;
}

struct Decompressor {
    tjhandle handle = tjInitDecompress();
    ~Decompressor()
    {
        if (handle)
            tjDestroy(handle);
    }
};

bool readWhole(const Fd& file, off_t size, std::vector<uint8_t>& bytes)
{
    if (size <= 2 || size > kMaxJpegBytes)
        return false;
    bytes.resize(size_t(size));
    return file.readAt(bytes.data(), bytes.size(), 0);
}

// The picture's size, when libjpeg-turbo reads its header and can give it as blue-green-red (not CMYK).
bool readHeader(const Decompressor& d, const std::vector<uint8_t>& bytes, int& w, int& h)
{
    int subsampling = 0, colourspace = 0;
    return d.handle
        && tjDecompressHeader3(d.handle, bytes.data(), bytes.size(), &w, &h, &subsampling, &colourspace) == 0 && w > 0
        && h > 0 && w <= kMaxSide && h <= kMaxSide && colourspace != TJCS_CMYK && colourspace != TJCS_YCCK;
}

bool isJpeg(const uint8_t* head)
{
    return head[0] == 0xFF && head[1] == 0xD8;
}

bool reduceJpeg(const std::vector<uint8_t>& bytes, int width, int height, DibImage& thumbnail)
{
    Decompressor d;
    int w = 0, h = 0;
    if (!readHeader(d, bytes, w, h))
        return false;
    // The smallest scale that still leaves at least one decoded pixel per thumbnail pixel.
    int scale = 1;
    for (int s : { 8, 4, 2 })
        if ((w + s - 1) / s >= width && (h + s - 1) / s >= height) {
            scale = s;
            break;
        }
    const int sw = (w + scale - 1) / scale, sh = (h + scale - 1) / scale;
    std::vector<uint8_t> small(size_t(sw) * 3 * size_t(sh));
    if (tjDecompress2(d.handle, bytes.data(), bytes.size(), small.data(), sw, sw * 3, sh, TJPF_BGR, 0) != 0)
        return false;
    DibImage out;
    if (!out.Create(width, height, 24))
        return false;
    const Sampling at(w, h, width, height);
    for (int32_t i = 0; i < height; ++i) {
        const int32_t top = h - 1 - at.rowsFromBottom[size_t(i)];
        const uint8_t* s = small.data() + size_t(std::min(top / scale, sh - 1)) * size_t(sw) * 3;
        uint8_t* dst = out.rowBottomUp(i);
        for (int32_t j = 0; j < width; ++j)
            std::memcpy(dst + 3 * j, s + 3 * std::min(at.cols[size_t(j)] / scale, sw - 1), 3);
    }
    thumbnail = std::move(out);
    return true;
}

} // namespace

bool ReducePictureFile(const QString& path, int width, int height, DibImage& thumbnail)
{
    if (width <= 0 || height <= 0)
        return false;
    const Fd file(path);
    struct stat st;
    uint8_t head[2];
    // Regular files only: a pipe in a picture's place would never end.
    if (file.fd < 0 || fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 2 || !file.readAt(head, 2, 0))
        return false;
    if (head[0] == 'B' && head[1] == 'M')
        return reduceBmp(file, st.st_size, width, height, thumbnail);
    std::vector<uint8_t> bytes;
    return isJpeg(head) && readWhole(file, st.st_size, bytes) && reduceJpeg(bytes, width, height, thumbnail);
}

bool DecodeJpegFile(const QString& path, DibImage& picture)
{
    const Fd file(path);
    struct stat st;
    std::vector<uint8_t> bytes;
    if (file.fd < 0 || fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode) || !readWhole(file, st.st_size, bytes)
        || !isJpeg(bytes.data()))
        return false;
    Decompressor d;
    int w = 0, h = 0;
    if (!readHeader(d, bytes, w, h))
        return false;
    DibImage decoded;
    if (!decoded.Create(w, h, 24))
        return false;
    // Rows bottom-up, blue-green-red: straight into the bitmap's own layout.
    if (tjDecompress2(
            d.handle, bytes.data(), bytes.size(), decoded.bits(), w, decoded.stride(), h, TJPF_BGR, TJFLAG_BOTTOMUP)
        != 0)
        return false;
    picture = std::move(decoded);
    return true;
}
