// Millisecond clock and sleep, as the viewer's timing code uses them (a steady clock, never the wall time).
#pragma once

#include <cstdint>

// Milliseconds since the clock was first read; wraps after about 49 days, so compare by unsigned difference.
uint32_t timeGetTime();
// The same clock (the viewer uses both names).
uint32_t GetTickCount();
// Blocks the calling thread for ms milliseconds.
void Sleep(uint32_t ms);

// Replaces the millisecond clock (null brings back the steady clock), so tests can run the timing rules of
// the live view independently of how fast the machine is. Set it while no other thread reads the clock.
using ClockHook = uint32_t (*)();
void setClockHook(ClockHook hook);
