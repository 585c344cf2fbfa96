// Lays a reference picture onto the live one: the shift between two pictures of one scene found by phase
// correlation, coarse on reduced copies and then refined on a full-resolution crop.
#pragma once

#include <optional>

#include "imaging/ViewGeometry.h"

class DibImage;

struct ReferenceShift {
    // The reference drawn moved by this many picture pixels lies on the live picture: live(x, y) shows what
    // reference(x - shift.x, y - shift.y) shows (top-down pixel coordinates).
    PicturePoint shift;
    // The correlation peak's strength (0..1): low when the pictures hardly show the same thing.
    double response = 0.0;
};

// The shift of live against reference (both 8-bit or 24-bit, compared on lightness; sizes may differ, the
// common top-left part is compared). Shifts up to a quarter of the smaller side are found; nothing for
// pictures under 64 pixels on a side, or without any common structure.
std::optional<ReferenceShift> AlignReference(const DibImage& reference, const DibImage& live);
