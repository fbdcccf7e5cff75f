// What the fuzz targets share: a check that stops the run with a message when a property of the
// code under test does not hold, so the fuzzer keeps the input that broke it.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

// True when `field` holds a NUL within its `width` bytes.
inline bool IsTerminatedWithin(const char* field, int width) {
    for (int i = 0; i < width; ++i) {
        if (field[i] == '\0') {
            return true;
        }
    }
    return false;
}
