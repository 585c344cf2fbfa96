// The cap on the vector forms' instruction set (see KernelSupport.h).
#include "imaging/KernelSupport.h"

#include <atomic>

namespace kernel {

namespace {
std::atomic<int> g_simdCap{int(SimdLevel::Avx2)};
}

void setSimdCap(SimdLevel cap)
{
    g_simdCap.store(int(cap), std::memory_order_relaxed);
}

bool simdAllowed(SimdLevel level)
{
    return int(level) <= g_simdCap.load(std::memory_order_relaxed);
}

}  // namespace kernel
