// The encoder's colour conversion from red, green and blue bytes to level-shifted Y, Cb and Cr:
//   Y  = trunc(0.587 G + 0.299 R + 0.114 B - 128)
//   Cb = trunc(0.5 B - (0.1687 R + 0.3313 G))
//   Cr = trunc(0.5 R - 0.4187 G - 0.0813 B)
// with the double constants and the sums formed in x87 extended precision, the arithmetic our files were
// always made with. Extended precision happens to form these sums exactly (each constant has 53 bits and
// the widest sum spans 64 bits), so we compute the same exact values in 64-bit integers, scaled by 2^56:
// same bytes, no long double in the hot loop. Plain double would round and change about 6,600 Y values.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jpeg {

int ColorY(uint8_t r, uint8_t g, uint8_t b);
int ColorCb(uint8_t r, uint8_t g, uint8_t b);
int ColorCr(uint8_t r, uint8_t g, uint8_t b);

// count pixels from r, g, b (each advancing by step bytes) into out.
void ConvertRowY(const uint8_t* r, const uint8_t* g, const uint8_t* b, ptrdiff_t step, int count, int16_t* out);
void ConvertRowChroma(
    const uint8_t* r, const uint8_t* g, const uint8_t* b, ptrdiff_t step, int count, int16_t* cb, int16_t* cr);

// Both of the above on one row: Y of count pixels, Cb and Cr of the (count + 1) / 2 even ones.
void ConvertRowYChroma(const uint8_t* r, const uint8_t* g, const uint8_t* b, ptrdiff_t step, int count, int16_t* y,
    int16_t* cb, int16_t* cr);

// Cb and Cr of the means of the 2 x 2 groups of a row and the row `next` bytes on ((width + 1) / 2 of
// them; an odd width's last group takes its last column twice), each mean (sum + 2) / 4.
void ConvertRowChromaMean(const uint8_t* r, const uint8_t* g, const uint8_t* b, ptrdiff_t step, ptrdiff_t next,
    int width, int16_t* cb, int16_t* cr);

} // namespace jpeg
