// Small fixed-width vectors for the effects' inner loops, where the work of
// a frame is the same on several independent lanes (a stereo pair, the
// reverb's eight lines) and the compiler does not find that by itself: a
// recursive filter runs sample after sample, and eight lines are a shape
// its loop vectoriser does not take. GCC and clang lower these to the
// baseline SSE2 instructions on x86-64 (and to NEON or plain code
// elsewhere); each lane computes exactly what the scalar code did.
#pragma once

#include <cstring>

namespace engine::fx {

using Float4 = float __attribute__((vector_size(16)));
using Double2 = double __attribute__((vector_size(16)));

inline Float4 loadFloat4(const float* from) {
    Float4 v;
    std::memcpy(&v, from, sizeof v);
    return v;
}

inline void storeFloat4(float* to, Float4 v) {
    std::memcpy(to, &v, sizeof v);
}

// The four-point Walsh-Hadamard transform (unnormalised): butterflies over
// neighbours, then over pairs.
inline Float4 hadamard4(Float4 v) {
    const Float4 signs1 = {1, -1, 1, -1}, signs2 = {1, 1, -1, -1};
    v = __builtin_shufflevector(v, v, 0, 0, 2, 2) + __builtin_shufflevector(v, v, 1, 1, 3, 3) * signs1;
    return __builtin_shufflevector(v, v, 0, 1, 0, 1) + __builtin_shufflevector(v, v, 2, 3, 2, 3) * signs2;
}

inline float sumOf(Float4 v) {
    return (v[0] + v[1]) + (v[2] + v[3]);
}

}  // namespace engine::fx
