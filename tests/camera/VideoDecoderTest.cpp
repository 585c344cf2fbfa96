// The video formats' decoding into DibImage rows: bit-exact against slow references, pictures upright,
// the Bayer phase handed to our own kernel, and damaged frames refused.
#include <gtest/gtest.h>

#include <linux/videodev2.h>

#include "camera/VideoDecoder.h"
#include "imaging/Kernels.h"
#include "imaging/KernelSupport.h"
#include "VideoTestSupport.h"

using namespace videotest;

namespace {

void checkYuyvRows()
{
    for (int width : { 1, 2, 3, 7, 8, 9, 31, 64, 1281 }) {
        const auto frame = randomBytes(size_t(width + 1) * 2, uint32_t(width));
        std::vector<uint8_t> out(size_t(width) * 3);
        yuyvRowToBgr(frame.data(), out.data(), width);
        EXPECT_EQ(out, yuyvReference(frame.data(), width, 1, frame.size())) << width;
    }
    const int corners[] = { 0, 16, 128, 235, 240, 255 };
    std::vector<uint8_t> frame;
    for (int y : corners)
        for (int u : corners)
            for (int v : corners)
                frame.insert(frame.end(), { uint8_t(y), uint8_t(u), uint8_t(255 - y), uint8_t(v) });
    const int width = int(frame.size() / 2);
    std::vector<uint8_t> out(size_t(width) * 3);
    yuyvRowToBgr(frame.data(), out.data(), width);
    EXPECT_EQ(out, yuyvReference(frame.data(), width, 1, frame.size()));
}

} // namespace

TEST(VideoDecoder, Yuyv_BitExact_AgainstReference_EveryForm)
{
    // Random rows, odd and even widths (an odd last pixel has no chroma; widths around the vector form's
    // 8 pixels), and every corner of the ranges: luma and chroma at 0, 16, 128, 235, 240 and 255 make the
    // clamping at both ends count. Scalar and vector forms alike.
    for (auto level : { kernel::SimdLevel::None, kernel::SimdLevel::Best }) {
        kernel::setSimdCap(level);
        checkYuyvRows();
    }
}

TEST(VideoDecoder, UncompressedFormats_UprightAndExact_WithPaddedRows)
{
    // Rows bytesPerLine apart with padding; frame row 0 must be the picture's top row.
    const int width = 37, height = 9;
    struct Case {
        uint32_t fourcc;
        int bytes;
    };
    for (const Case c : { Case { V4L2_PIX_FMT_GREY, 1 }, Case { V4L2_PIX_FMT_SGRBG8, 1 }, Case { V4L2_PIX_FMT_YUYV, 2 },
             Case { V4L2_PIX_FMT_RGB24, 3 }, Case { V4L2_PIX_FMT_BGR24, 3 } }) {
        const size_t pitch = size_t(width) * size_t(c.bytes) + 10;
        const auto frame = randomBytes(pitch * height, c.fourcc);
        std::vector<uint8_t> expected;
        const bool colour = c.fourcc == V4L2_PIX_FMT_YUYV || c.bytes == 3;
        if (c.fourcc == V4L2_PIX_FMT_YUYV) {
            expected = yuyvReference(frame.data(), width, height, pitch);
        } else {
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const uint8_t* p = &frame[size_t(y) * pitch + size_t(x) * size_t(c.bytes)];
                    if (c.fourcc == V4L2_PIX_FMT_RGB24)
                        expected.insert(expected.end(), { p[2], p[1], p[0] });
                    else
                        expected.insert(expected.end(), p, p + c.bytes);
                }
        }
        DibImage dst;
        dst.Create(width, height, colour ? 24 : 8);
        VideoDecoder decoder;
        ASSERT_TRUE(decoder.Decode(c.fourcc, frame.data(), frame.size(), uint32_t(pitch), dst)) << c.fourcc;
        EXPECT_TRUE(sameTopDown(dst, expected, size_t(width) * (colour ? 3 : 1))) << c.fourcc;

        // The last row may end without its padding; one byte less than that is a short frame, left alone.
        const size_t minimum = pitch * (height - 1) + size_t(width) * size_t(c.bytes);
        EXPECT_TRUE(decoder.Decode(c.fourcc, frame.data(), minimum, uint32_t(pitch), dst));
        dst.Fill(nullptr, 0);
        EXPECT_FALSE(decoder.Decode(c.fourcc, frame.data(), minimum - 1, uint32_t(pitch), dst));
        for (int y = 0; y < height; ++y)
            EXPECT_EQ(dst.rowTopDown(y)[0], 0);
    }
}

TEST(VideoDecoder, BayerMode_GivesOurKernelTheRightColours)
{
    // A flat scene of red 200, green 100, blue 50 sampled through each colour-filter pattern, stored upside
    // down as the device delivers it, must come out of our Bayer kernel as that colour, for even and odd
    // heights (the bottom row's phase changes with the height).
    struct Case {
        uint32_t fourcc;
        const char* pattern;
    };
    for (const Case c : { Case { V4L2_PIX_FMT_SBGGR8, "BGGR" }, Case { V4L2_PIX_FMT_SGBRG8, "GBRG" },
             Case { V4L2_PIX_FMT_SGRBG8, "GRBG" }, Case { V4L2_PIX_FMT_SRGGB8, "RGGB" } })
        for (int height : { 12, 13 }) {
            const int width = 40;
            std::vector<uint8_t> frame(size_t(width) * size_t(height));
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const char site = c.pattern[(y & 1) * 2 + (x & 1)];
                    frame[size_t(y) * size_t(width) + size_t(x)] = site == 'R' ? 200 : site == 'G' ? 100 : 50;
                }
            DibImage raw, colour;
            raw.Create(width, height, 8);
            colour.Create(width, height, 24);
            VideoDecoder decoder;
            ASSERT_TRUE(decoder.Decode(c.fourcc, frame.data(), frame.size(), uint32_t(width), raw));
            BayerParams params { bayerModeFor(c.fourcc, height), 100, 100, 100 };
            BayerParams* p = &params;
            colour.Apply(BayerToRgb, raw, nullptr, 0, 0, &p, nullptr);
            const uint8_t* px = colour.rowTopDown(height / 2) + 3 * (width / 2);
            EXPECT_EQ(px[0], 50) << c.pattern << " height " << height;
            EXPECT_EQ(px[1], 100) << c.pattern << " height " << height;
            EXPECT_EQ(px[2], 200) << c.pattern << " height " << height;
        }
    EXPECT_EQ(bayerModeFor(V4L2_PIX_FMT_YUYV, 10), -1);
}

TEST(VideoDecoder, Mjpeg_SameAsTurboJpeg_Upright)
{
    // Each common subsampling; the decoded picture must equal TurboJPEG's own top-down decoding row for
    // row, so no flip and no colour order is wrong.
    const int width = 123, height = 45;
    const auto rgb = smoothRgb(width, height);
    for (int subsampling : { TJSAMP_444, TJSAMP_422, TJSAMP_420, TJSAMP_GRAY }) {
        const auto jpeg = encodeJpeg(rgb, width, height, subsampling);
        DibImage dst;
        dst.Create(width, height, 24);
        VideoDecoder decoder;
        ASSERT_TRUE(decoder.Decode(V4L2_PIX_FMT_MJPEG, jpeg.data(), jpeg.size(), 0, dst)) << subsampling;
        EXPECT_TRUE(sameTopDown(dst, decodeJpegTopDown(jpeg, width, height), size_t(width) * 3)) << subsampling;
    }
}

TEST(VideoDecoder, Mjpeg_DamagedFrames_RefusedWithPictureKept)
{
    const int width = 64, height = 48;
    const auto jpeg = encodeJpeg(smoothRgb(width, height), width, height, TJSAMP_422);
    DibImage dst;
    dst.Create(width, height, 24);
    VideoDecoder decoder;
    auto refusedUntouched = [&](const std::vector<uint8_t>& bytes) {
        dst.Fill(nullptr, 0x123456);
        const bool ok = decoder.Decode(V4L2_PIX_FMT_MJPEG, bytes.data(), bytes.size(), 0, dst);
        const uint8_t* p = dst.rowTopDown(height - 1);
        return !ok && p[0] == 0x12 && p[1] == 0x34 && p[2] == 0x56; // blue, green, red
    };
    // Cut short in transfer, not a JPEG at all, another size, nothing.
    EXPECT_TRUE(refusedUntouched(std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + long(jpeg.size() / 2))));
    EXPECT_TRUE(refusedUntouched(randomBytes(jpeg.size(), 7)));
    EXPECT_TRUE(refusedUntouched(encodeJpeg(smoothRgb(32, 48), 32, 48, TJSAMP_422)));
    EXPECT_TRUE(refusedUntouched({ 0xFF, 0xD8 }));

    // Garbage inside the compressed data: refused (the rows before it may be written).
    auto broken = jpeg;
    for (size_t i = broken.size() / 2; i < broken.size() - 2; ++i)
        broken[i] = uint8_t(i * 37);
    EXPECT_FALSE(decoder.Decode(V4L2_PIX_FMT_MJPEG, broken.data(), broken.size(), 0, dst));

    // Padding after the end of the picture, as some cameras send it, is fine: any amount of it.
    for (size_t padding : { 1000, 5000, 300000 }) {
        auto padded = jpeg;
        padded.resize(jpeg.size() + padding, 0);
        EXPECT_TRUE(decoder.Decode(V4L2_PIX_FMT_MJPEG, padded.data(), padded.size(), 0, dst)) << padding;
        EXPECT_TRUE(sameTopDown(dst, decodeJpegTopDown(jpeg, width, height), size_t(width) * 3)) << padding;
    }
}

TEST(VideoDecoder, Mjpeg_StreamOfMixedTables_EachFrameAsAlone)
{
    // One decoder through a stream: frames with Huffman tables made for their picture, camera frames that
    // rely on the standard ones (not on those of the frame before), and a frame that uses quantisation
    // tables it never defines (refused, as it is alone).
    const int width = 64, height = 48;
    const auto smooth = smoothRgb(width, height), noisy = randomBytes(size_t(width) * height * 3, 5);
    const auto plain = encodeJpeg(smooth, width, height, TJSAMP_422), busy = encodeJpeg(noisy, width, height, TJSAMP_420, 75);
    const std::vector<uint8_t> refused;
    const std::pair<std::vector<uint8_t>, std::vector<uint8_t>> stream[] = {
        { encodeJpeg(noisy, width, height, TJSAMP_420, 75, true), busy },
        { withoutSegments(plain, 0xC4), plain },
        { encodeJpeg(smooth, width, height, TJSAMP_422, 90, true), plain },
        { withoutSegments(busy, 0xC4), busy },
        { withoutSegments(plain, 0xDB), refused },
        { withoutSegments(busy, 0xC4), busy },
    };
    VideoDecoder decoder;
    DibImage dst;
    dst.Create(width, height, 24);
    for (size_t i = 0; i < std::size(stream); ++i) {
        const auto& [frame, alone] = stream[i];
        EXPECT_EQ(decoder.Decode(V4L2_PIX_FMT_MJPEG, frame.data(), frame.size(), 0, dst), !alone.empty()) << i;
        if (!alone.empty()) {
            EXPECT_TRUE(sameTopDown(dst, decodeJpegTopDown(alone, width, height), size_t(width) * 3)) << i;
        }
    }
}
