// The pixel kernels of the live picture: Bayer conversion with colour gains, white-balance measurement,
// hue/lightness/saturation, gamma, contrast, sharpening, binarisation, nearest-neighbour scaling and two
// statistics. Each is a plain PixelKernel or ScaleKernel run by DibImage::Apply / ApplyScaled.
//
// Parameters: user1 is the address of a pointer to the kernel's parameter block, e.g.
//     BayerParams params{mode, 100, 100, 100};
//     BayerParams* p = &params;
//     color.Apply(BayerToRgb, raw, nullptr, 0, 0, &p, nullptr);
// Kernels with a single integer parameter take the address of a pointer to an int32_t the same way.
// user2 is never read. Every kernel returns 1 unless it returns a statistic.
#pragma once

#include <cstdint>

#include "imaging/DibImage.h"

// Bayer conversion: mode 0-3 is the sensor's colour phase at the first pixel (bit 0: row phase, bit 1:
// column phase); gains are times 100 (100 = unchanged). The green gain is carried but not applied.
struct BayerParams {
    int32_t mode = 0;
    int32_t gainR = 100;
    int32_t gainG = 100;
    int32_t gainB = 100;
};

// White-balance measurement: mode in, the gains (times 100) that make the blue and red sites' means
// equal to the green sites' mean out.
struct BalanceStats {
    int32_t gainBlue = 100;
    int32_t gainGreen = 100;
    int32_t gainRed = 100;
    int32_t mode = 0;
};

// The m_HLS settings record: hue, lightness and saturation offsets, contrast and sharpness.
struct HlsData {
    int32_t H = 0;
    int32_t L = 0;
    int32_t S = 0;
    int32_t C = 0;
    int32_t SP = 0;
};

// 8-bit raw mosaic -> 24-bit colour (BayerParams). The two-pixel frame of the rectangle, which lacks the
// neighbours the conversion needs, repeats the nearest converted pixel; a rectangle of four pixels or fewer
// across turns black.
int32_t BayerToRgb(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                   uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                   void* user1, void* user2);
// 8-bit raw mosaic, read in place (BalanceStats).
int32_t MeasureBalance(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                       uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                       void* user1, void* user2);
// 24-bit, in place (HlsData: H, L and S are read).
int32_t AdjustHls(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                  uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                  void* user1, void* user2);

// Byte-to-byte maps, in place; the parameter is an int32_t (gamma level, 100 = off; contrast).
int32_t GammaGray(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                  uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                  void* user1, void* user2);
int32_t GammaRgb(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                 uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                 void* user1, void* user2);
int32_t ContrastGray(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                     uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                     void* user1, void* user2);
int32_t ContrastRgb(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                    uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                    void* user1, void* user2);

// Unsharp mask from a copy of the image (source) into the image (destination); parameter: sharpness.
// A two-pixel frame of the rectangle is not written.
int32_t SharpenGray(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                    uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                    void* user1, void* user2);
int32_t SharpenRgb(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                   uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                   void* user1, void* user2);

// In place; parameter: threshold. Values above it become white, the rest black.
int32_t BinarizeGray(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                     uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                     void* user1, void* user2);
int32_t BinarizeRgb(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                    uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                    void* user1, void* user2);

// Nearest-neighbour scaling of the source rectangle onto the destination rectangle (no parameter).
// Rectangles are in the caller's top-down coordinates; destination pixels outside the image are skipped.
// ScaleGray writes one byte per pixel (the source pixel's first byte), ScaleRgb three (an 8-bit source
// pixel is repeated as grey).
int32_t ScaleGray(uint8_t* dst, const uint8_t* src, const Rect* dstRect, const Rect* srcRect, int32_t dstWidth,
                  int32_t dstHeight, int32_t srcWidth, int32_t srcHeight, uint16_t dstBytesPerPixel,
                  uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride, void* user1, void* user2);
int32_t ScaleRgb(uint8_t* dst, const uint8_t* src, const Rect* dstRect, const Rect* srcRect, int32_t dstWidth,
                 int32_t dstHeight, int32_t srcWidth, int32_t srcHeight, uint16_t dstBytesPerPixel,
                 uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride, void* user1, void* user2);

// Statistics over the rectangle, read through the destination pointer (apply with the image as its own
// source). MeanLevel: mean of each pixel's first byte (0 for no pixels). CountZero: pixels whose first
// byte is 0.
int32_t MeanLevel(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                  uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                  void* user1, void* user2);
int32_t CountZero(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                  uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                  void* user1, void* user2);
