// What the processor reports about its instruction sets, and which of them actually run here.
#pragma once

#include <cstdint>

// Feature bits of ProcessorInfo::reported and ProcessorInfo::usable.
enum ProcessorFeature : uint32_t {
    kFeatureMmx = 1,
    kFeatureSse = 2,
    kFeatureSse2 = 4,
    kFeature3dNow = 8,
};

struct ProcessorInfo {
    char vendor[13] = {};  // twelve characters and a terminating zero
    int32_t family = 0;
    int32_t model = 0;
    int32_t stepping = 0;
    uint32_t reported = 0;  // what the processor says it has
    uint32_t usable = 0;    // reported and shown to run under this operating system
};

// Fills info (x86: CPUID, then one instruction of each reported set is tried; elsewhere an empty
// record) and returns the reported feature bits.
uint32_t DetectProcessor(ProcessorInfo* info);
