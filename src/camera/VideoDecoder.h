// VideoDecoder: one frame of a video device's format into a DibImage, read straight from the device's
// buffer. Frames arrive top row first; the DibImage keeps its rows bottom-up, so frame row y lands in
// rowTopDown(y) and the picture stays upright. Also the table of the formats we take and the Bayer mode of
// a mosaic format.
#pragma once

#include <cstddef>
#include <cstdint>

#include "camera/VideoDevice.h"

class DibImage;

struct VideoFormat {
    uint32_t fourcc;
    int bytesPerPixel; // 0: compressed
    VideoDevice::Pixels pixels;
    int rank; // preference when two formats give the same size: lower is better
};

// The format's entry, or nullptr when we cannot decode it.
const VideoFormat* videoFormat(uint32_t fourcc);

// The Bayer kernel's mode (bit 0 row phase, bit 1 column phase of bottom-up row 0, column 0) for a mosaic
// format whose frame of the given height is stored upside down into the picture. -1 for other formats.
int bayerModeFor(uint32_t fourcc, int height);

// Row conversions. YUYV: integer BT.601 (video range) to blue-green-red; RGB: red-green-blue to
// blue-green-red. width pixels each.
void yuyvRowToBgr(const uint8_t* src, uint8_t* dst, int width);
void rgbRowToBgr(const uint8_t* src, uint8_t* dst, int width);

// The picture size a JPEG's frame header gives (read without decoding); false when there is none before
// the scan, or the markers run past size.
bool jpegFrameSize(const uint8_t* src, size_t size, int* width, int* height);

class VideoDecoder {
public:
    VideoDecoder();
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    // Decodes a frame of fourcc, dst's size, from src[0, size): rows bytesPerLine apart for uncompressed
    // formats, a whole JPEG for MJPEG. dst must already have the format's depth. False for a short frame,
    // a JPEG of another size, a truncated or corrupt JPEG; dst is untouched unless the corruption is only
    // found inside the compressed data.
    bool Decode(uint32_t fourcc, const uint8_t* src, size_t size, uint32_t bytesPerLine, DibImage& dst);

private:
    bool decodeJpeg(const uint8_t* src, size_t size, DibImage& dst);

    void* m_Jpeg = nullptr; // the TurboJPEG decompressor, made on first use
};
