// A rectangle of four 32-bit integers: columns left..right-1, rows top..bottom-1.
#pragma once

#include <cstdint>

struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    constexpr int32_t width() const { return right - left; }
    constexpr int32_t height() const { return bottom - top; }
    constexpr bool isEmpty() const { return right <= left || bottom <= top; }
    constexpr bool contains(int32_t x, int32_t y) const { return x >= left && x < right && y >= top && y < bottom; }
    friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

struct Point {
    int32_t x = 0;
    int32_t y = 0;
    friend constexpr bool operator==(const Point&, const Point&) = default;
};

struct Size {
    int32_t cx = 0;
    int32_t cy = 0;
};
