// toolkit/foundation/cpu_features.h
// What the processor running us can do, asked once. The library targets
// plain x86-64; hot loops that have an AVX2 form choose it at run time.
#pragma once

#if defined(__x86_64__)
inline bool kfHaveAvx2() {
    static const bool have = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return have;
}
#else
inline bool kfHaveAvx2() { return false; }
#endif
