// The process's resident set size, for the tests and benchmarks that watch memory over a long run.
#pragma once

#include <cstdint>
#include <cstdio>

#include <unistd.h>

namespace livetest {

// Bytes of the process resident in memory now (from /proc/self/statm), or 0 where that cannot be read.
inline int64_t residentBytes()
{
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f)
        return 0;
    long long size = 0, resident = 0;
    const bool read = std::fscanf(f, "%lld %lld", &size, &resident) == 2;
    std::fclose(f);
    return read ? int64_t(resident) * int64_t(sysconf(_SC_PAGESIZE)) : 0;
}

} // namespace livetest
