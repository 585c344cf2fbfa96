// The encoder's internal failures. They are thrown inside the JPEG encoder and caught at its top level,
// which turns them into the result -1; nothing escapes the encoder.
#pragma once

#include <cstdint>

// A table index out of range (table size, the index, where it happened).
struct EIndexError {
    int32_t size;
    int32_t index;
    const char* where;
};

// The output buffer is full, or a bit count is out of range.
struct EBufferError {
    const char* where;
};

// A buffer could not be allocated (the requested size).
struct EMemoryError {
    int64_t size;
    const char* where;
};
