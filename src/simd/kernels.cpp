#include "simd/kernels.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "simd/kernel_list.h"

#if defined(QUILLET_SIMD_X86)
#include <cpuid.h>
#endif

namespace quillet {
namespace simd {
namespace {

constexpr const char* kTierNames[kTierCount] = {"scalar", "sse2", "ssse3", "avx2", "avx512"};

// One constant table per tier; a tier this build has no kernels for takes the one below it.
#if defined(QUILLET_SIMD_X86)
constexpr Kernels kScalar{Tier::kScalar, nullptr, nullptr, nullptr, nullptr, nullptr,
                          nullptr,       nullptr, nullptr, nullptr, nullptr};
constexpr Kernels kSse2{Tier::kSse2,     FindMarkSse2,     FindWordEndSse2,  FindLineEndSse2,
                        nullptr,         SjisToEucRunSse2, EucToSjisRunSse2, JisToSjisRunSse2,
                        JisToEucRunSse2, SjisToJisRunSse2, EucToJisRunSse2};
constexpr Kernels kSsse3{Tier::kSsse3,         FindMarkSse2,     FindWordEndSse2,  FindLineEndSse2,
                         DecodeBase64RunSsse3, SjisToEucRunSse2, EucToSjisRunSse2, JisToSjisRunSse2,
                         JisToEucRunSse2,      SjisToJisRunSse2, EucToJisRunSse2};
constexpr Kernels kAvx2{Tier::kAvx2,         FindMarkAvx2,     FindWordEndAvx2,  FindLineEndAvx2,
                        DecodeBase64RunAvx2, SjisToEucRunAvx2, EucToSjisRunAvx2, JisToSjisRunSse2,
                        JisToEucRunSse2,     SjisToJisRunSse2, EucToJisRunSse2};
#if defined(QUILLET_SIMD_AVX512)
constexpr Kernels kAvx512{Tier::kAvx512,     FindMarkAvx512,      FindWordEndAvx512,
                          FindLineEndAvx512, DecodeBase64RunAvx2, SjisToEucRunAvx2,
                          EucToSjisRunAvx2,  JisToSjisRunSse2,    JisToEucRunSse2,
                          SjisToJisRunSse2,  EucToJisRunSse2};
constexpr const Kernels* kTables[kTierCount] = {&kScalar, &kSse2, &kSsse3, &kAvx2, &kAvx512};
// With VBMI's byte permutes base64 goes 64 characters a step.
constexpr Kernels kAvx512Vbmi{Tier::kAvx512,
                              FindMarkAvx512,
                              FindWordEndAvx512,
                              FindLineEndAvx512,
                              DecodeBase64RunAvx512Vbmi,
                              SjisToEucRunAvx2,
                              EucToSjisRunAvx2,
                              JisToSjisRunSse2,
                              JisToEucRunSse2,
                              SjisToJisRunSse2,
                              EucToJisRunSse2};
#else
constexpr const Kernels* kTables[kTierCount] = {&kScalar, &kSse2, &kSsse3, &kAvx2, &kAvx2};
#endif
#else
constexpr Kernels kScalar{Tier::kScalar, nullptr, nullptr, nullptr, nullptr, nullptr,
                          nullptr,       nullptr, nullptr, nullptr, nullptr};
constexpr const Kernels* kTables[kTierCount] = {&kScalar, &kScalar, &kScalar, &kScalar, &kScalar};
#endif

#if defined(QUILLET_SIMD_AVX512)
// What Detect returns for AVX-512 with VBMI: the AVX-512 tier, with the VBMI kernels.
constexpr Tier kAvx512WithVbmi = static_cast<Tier>(kTierCount);
#endif

#if defined(QUILLET_SIMD_X86)
// The register state the operating system saves on a thread switch (XCR0): the upper halves
// of the vector registers are usable only where it saves them.
std::uint64_t ReadXcr0() {
  std::uint32_t low = 0;
  std::uint32_t high = 0;
  __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  return static_cast<std::uint64_t>(high) << 32 | low;
}

Tier Detect() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid(1, &a, &b, &c, &d) == 0 || (d & bit_SSE2) == 0) return Tier::kScalar;
  if ((c & bit_SSSE3) == 0) return Tier::kSse2;
  constexpr unsigned kNeeded = bit_SSE4_1 | bit_OSXSAVE | bit_AVX;
  if ((c & kNeeded) != kNeeded || __get_cpuid_max(0, nullptr) < 7) return Tier::kSsse3;
  const std::uint64_t xcr0 = ReadXcr0();
  constexpr std::uint64_t kYmm = 0x06;  // SSE and AVX state
  constexpr std::uint64_t kZmm = 0xE6;  // and the mask, upper-ZMM and high-ZMM state
  if ((xcr0 & kYmm) != kYmm) return Tier::kSsse3;
  __cpuid_count(7, 0, a, b, c, d);
  if ((b & bit_AVX2) == 0) return Tier::kSsse3;
  constexpr unsigned k512 = bit_AVX512F | bit_AVX512BW | bit_AVX512VL;
  if ((b & k512) != k512 || (xcr0 & kZmm) != kZmm) return Tier::kAvx2;
#if defined(QUILLET_SIMD_AVX512)
  return (c & bit_AVX512VBMI) != 0 ? kAvx512WithVbmi : Tier::kAvx512;
#else
  return Tier::kAvx2;
#endif
}
#else
Tier Detect() {
  return Tier::kScalar;
}
#endif

// -1: not yet read.
std::atomic<int> detected{-1};
std::atomic<int> cap{-1};

int CapFromEnvironment() {
  const char* const value = std::getenv("QUILLET_SIMD");
  if (value != nullptr) {
    for (int i = 0; i < kTierCount; ++i) {
      if (std::strcmp(value, kTierNames[i]) == 0) return i;
    }
  }
  return kTierCount - 1;
}

// Detect's answer, kAvx512WithVbmi included.
int Detected() {
  int tier = detected.load(std::memory_order_relaxed);
  if (tier < 0) {
    tier = static_cast<int>(Detect());
    detected.store(tier, std::memory_order_relaxed);
  }
  return tier;
}

}  // namespace

std::atomic<const Kernels*> activeKernels{nullptr};

Tier DetectedTier() {
  return static_cast<Tier>(std::min(Detected(), kTierCount - 1));
}

const char* TierName(Tier tier) {
  return kTierNames[static_cast<int>(tier)];
}

// Every thread that gets here first computes the same table from the same inputs, so racing
// first calls publish equal pointers.
const Kernels& ChooseKernels() {
  int limit = cap.load(std::memory_order_relaxed);
  if (limit < 0) {
    limit = CapFromEnvironment();
    cap.store(limit, std::memory_order_relaxed);
  }
  const int tier = std::min(limit, static_cast<int>(DetectedTier()));
  const Kernels* kernels = kTables[tier];
#if defined(QUILLET_SIMD_AVX512)
  if (tier == static_cast<int>(Tier::kAvx512) && Detected() == static_cast<int>(kAvx512WithVbmi)) {
    kernels = &kAvx512Vbmi;
  }
#endif
  activeKernels.store(kernels, std::memory_order_release);
  return *kernels;
}

Tier SetTierCap(Tier tierCap) {
  cap.store(static_cast<int>(tierCap), std::memory_order_relaxed);
  return ChooseKernels().tier;
}

}  // namespace simd
}  // namespace quillet
