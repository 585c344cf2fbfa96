// Processor time, in seconds, of the whole process or of the calling thread.
#pragma once

#include <ctime>

namespace bench {

inline double cpuSeconds(clockid_t clock)
{
    timespec ts {};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

inline double processCpuSeconds()
{
    return cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
}

} // namespace bench
