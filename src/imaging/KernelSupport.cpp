// The cap on the vector forms' instruction set (see KernelSupport.h).
#include "imaging/KernelSupport.h"

#include <atomic>

namespace kernel {

namespace {
std::atomic<int> g_simdCap{int(SimdLevel::Best)};
}

void setSimdCap(SimdLevel cap)
{
    g_simdCap.store(int(cap), std::memory_order_relaxed);
}

bool useSimd(SimdLevel level)
{
#if defined(__x86_64__) || defined(__i386__)
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    static const bool sse41 = __builtin_cpu_supports("sse4.1");
    static const bool avx2 = __builtin_cpu_supports("avx2");
    static const bool vbmi = __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi");
    const bool present = level == SimdLevel::None || (level == SimdLevel::Ssse3 && ssse3) ||
                         (level == SimdLevel::Sse41 && sse41) || (level == SimdLevel::Avx2 && avx2) ||
                         (level == SimdLevel::Avx512Vbmi && vbmi);
#else
    const bool present = level == SimdLevel::None;
#endif
    return present && int(level) <= g_simdCap.load(std::memory_order_relaxed);
}

}  // namespace kernel
