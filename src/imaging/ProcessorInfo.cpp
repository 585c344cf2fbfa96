// DetectProcessor: CPUID for the vendor, model and instruction sets, and a trial run of one instruction
// of each reported set. An instruction the operating system does not support raises SIGILL, which is
// caught here (the Linux counterpart of running it under an exception handler).
#include "imaging/ProcessorInfo.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <csetjmp>
#include <csignal>
#define NX_CPUID 1
#endif

#if NX_CPUID
namespace {

sigjmp_buf g_probeJump;

void onIllegalInstruction(int)
{
    siglongjmp(g_probeJump, 1);
}

void runMmx() { asm volatile("pxor %%mm0, %%mm0\n\temms" ::: "mm0"); }
void runSse() { asm volatile("xorps %%xmm0, %%xmm0" ::: "xmm0"); }
void runSse2() { asm volatile("pxor %%xmm0, %%xmm0" ::: "xmm0"); }
void run3dNow() { asm volatile("pfrcp %%mm0, %%mm0\n\tfemms" ::: "mm0"); }

// Whether the instruction runs here; a processor that reports a set the system does not enable faults.
bool runs(void (*instruction)())
{
    struct sigaction handler = {}, previous = {};
    handler.sa_handler = onIllegalInstruction;
    sigemptyset(&handler.sa_mask);
    if (sigaction(SIGILL, &handler, &previous) != 0)
        return false;
    volatile bool ok = false;  // kept in memory across the jump
    if (sigsetjmp(g_probeJump, 1) == 0) {
        instruction();
        ok = true;
    }
    sigaction(SIGILL, &previous, nullptr);
    return ok;
}

}  // namespace
#endif

uint32_t DetectProcessor(ProcessorInfo* info)
{
    if (!info)
        return 0;
    *info = ProcessorInfo{};
#if NX_CPUID
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(0, &eax, &ebx, &ecx, &edx))
        return 0;
    std::memcpy(info->vendor, &ebx, 4);  // "Genu" "ineI" "ntel": ebx, edx, ecx
    std::memcpy(info->vendor + 4, &edx, 4);
    std::memcpy(info->vendor + 8, &ecx, 4);
    info->vendor[12] = 0;
    uint32_t reported = 0;
    if (eax >= 1 && __get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
        // Signature: stepping 3:0, model 7:4, family 11:8, extended model 19:16, extended family 27:20.
        const int32_t baseFamily = int32_t((eax >> 8) & 0xF);
        info->stepping = int32_t(eax & 0xF);
        info->model = int32_t((eax >> 4) & 0xF);
        info->family = baseFamily;
        if (baseFamily == 0xF)
            info->family += int32_t((eax >> 20) & 0xFF);
        if (baseFamily == 0x6 || baseFamily == 0xF)
            info->model += int32_t(((eax >> 16) & 0xF) << 4);
        if (edx & (1u << 23))
            reported |= kFeatureMmx;
        if (edx & (1u << 25))
            reported |= kFeatureSse;
        if (edx & (1u << 26))
            reported |= kFeatureSse2;
    }
    // Leaf 0x80000001 exists only when the extended-leaf query names it (or a later one).
    if (__get_cpuid(0x80000000, &eax, &ebx, &ecx, &edx) && eax >= 0x80000001 &&
        __get_cpuid(0x80000001, &eax, &ebx, &ecx, &edx) && (edx & (1u << 31)))
        reported |= kFeature3dNow;
    info->reported = reported;
    const struct {
        uint32_t bit;
        void (*instruction)();
    } probes[] = {{kFeatureMmx, runMmx}, {kFeatureSse, runSse}, {kFeatureSse2, runSse2}, {kFeature3dNow, run3dNow}};
    for (const auto& probe : probes)
        if ((reported & probe.bit) && runs(probe.instruction))
            info->usable |= probe.bit;
    return reported;
#else
    return 0;
#endif
}
