// The millisecond clock over std::chrono::steady_clock.
#include "platform/Clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {

std::atomic<ClockHook> g_ClockHook { nullptr };

} // namespace

uint32_t timeGetTime()
{
    if (const ClockHook hook = g_ClockHook.load(std::memory_order_acquire))
        return hook();
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

void setClockHook(ClockHook hook)
{
    g_ClockHook.store(hook, std::memory_order_release);
}
