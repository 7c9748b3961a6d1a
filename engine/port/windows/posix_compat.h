// The few POSIX and GNU functions the portable code uses that the Windows C
// library lacks. Included in every translation unit of the Windows build (a
// forced include), so the portable files need no platform branches.
#pragma once

#ifdef __cplusplus
#include <cstddef>
extern "C" {
#else
#include <stddef.h>
#endif

// The last byte equal to `c` among the first `n` bytes of `s`, or NULL.
void* memrchr(const void* s, int c, size_t n);

#ifdef __cplusplus
}
#endif
