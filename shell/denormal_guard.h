// Flush-to-zero and denormals-are-zero for the duration of one processing
// call. Decaying filter tails otherwise compute with denormal numbers, which
// cost up to a hundred cycles per operation on many x86 processors. The host's
// floating-point mode is restored when the guard goes out of scope.
#pragma once

#if defined(__SSE__) || defined(_M_X64) || defined(_M_IX86_FP)
#include <xmmintrin.h>
#endif

namespace shell {

class DenormalGuard {
public:
#if defined(__SSE__) || defined(_M_X64) || defined(_M_IX86_FP)
    static constexpr unsigned kFlushToZero = 0x8000;
    static constexpr unsigned kDenormalsAreZero = 0x0040;

    DenormalGuard() : savedMode(_mm_getcsr()) {
        _mm_setcsr(savedMode | kFlushToZero | kDenormalsAreZero);
    }
    ~DenormalGuard() { _mm_setcsr(savedMode); }

private:
    unsigned savedMode;
#else
    DenormalGuard() = default;
#endif

public:
    DenormalGuard(const DenormalGuard&) = delete;
    DenormalGuard& operator=(const DenormalGuard&) = delete;
};

}  // namespace shell
