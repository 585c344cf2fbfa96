// The range of a camera control as the camera reports it: whether it has the control at all, its limits,
// step and default.
#pragma once

#include <cstdint>

struct ControlRange {
    bool present = false;
    int32_t min = 0, max = 0, step = 1, def = 0;
};
