// The millisecond clock over std::chrono::steady_clock.
#include "platform/Clock.h"

#include <chrono>
#include <thread>

uint32_t timeGetTime()
{
    static const auto start = std::chrono::steady_clock::now();
    auto elapsed = std::chrono::steady_clock::now() - start;
    return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

uint32_t GetTickCount()
{
    return timeGetTime();
}

void Sleep(uint32_t ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
