// The instruction sets each tier's kernels are compiled for, one attribute a tier. Detect() in
// kernels.cpp checks every set named here before it picks the tier's table.
#pragma once

#define QUILLET_SSE2 __attribute__((target("sse2")))
#define QUILLET_SSSE3 __attribute__((target("ssse3")))
#define QUILLET_AVX2 __attribute__((target("avx2")))
#define QUILLET_AVX512 __attribute__((target("avx512f,avx512bw,avx512vl")))
#define QUILLET_VBMI __attribute__((target("avx512f,avx512bw,avx512vbmi")))
// The VBMI2 kernels count bits and use BMI2's pdep and pext besides.
#define QUILLET_VBMI2 \
  __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,bmi,bmi2,popcnt")))
