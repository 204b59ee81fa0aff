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
// Each table starts from the one below it and names only the kernels it adds or replaces, so a
// new kernel is one line where its tier begins (a null entry keeps the scalar code).
constexpr Kernels ScalarKernels() {
  Kernels kernels{};
  kernels.tier = Tier::kScalar;
  return kernels;
}
constexpr Kernels kScalar = ScalarKernels();
#if defined(QUILLET_SIMD_X86)
constexpr Kernels Sse2Kernels() {
  Kernels kernels = ScalarKernels();
  kernels.tier = Tier::kSse2;
  kernels.findMark = FindMarkSse2;
  kernels.findWordEnd = FindWordEndSse2;
  kernels.findLineEnd = FindLineEndSse2;
  kernels.copyAsciiRun = CopyAsciiRunSse2;
  kernels.sjisToEucRun = SjisToEucRunSse2;
  kernels.eucToSjisRun = EucToSjisRunSse2;
  // The ISO-2022-JP kernels are bound by copying out the stretches between escape sequences,
  // which wider vectors do not speed up: SSE2 serves every tier.
  kernels.jisToSjisRun = JisToSjisRunSse2;
  kernels.jisToEucRun = JisToEucRunSse2;
  kernels.sjisToJisRun = SjisToJisRunSse2;
  kernels.eucToJisRun = EucToJisRunSse2;
  kernels.jisRunShortest = 2 * 64 + 2;  // one block and the scalar code cost as much
  // Into and out of UTF-8: a character at a time along a block's bit masks, a few table loads
  // and a store each with no branch on its kind.
  kernels.sjisToUtf8Run = SjisToUtf8RunSse2;
  kernels.eucToUtf8Run = EucToUtf8RunSse2;
  kernels.jisToUtf8Run = JisToUtf8RunSse2;
  kernels.utf8ToSjisRun = Utf8ToSjisRunSse2;
  kernels.utf8ToEucRun = Utf8ToEucRunSse2;
  return kernels;
}
// Base64's look-ups need SSSE3's byte shuffle.
constexpr Kernels Ssse3Kernels() {
  Kernels kernels = Sse2Kernels();
  kernels.tier = Tier::kSsse3;
  kernels.decodeBase64Run = DecodeBase64RunSsse3;
  kernels.decodeBase64Word = DecodeBase64WordSsse3;
  return kernels;
}
constexpr Kernels Avx2Kernels() {
  Kernels kernels = Ssse3Kernels();
  kernels.tier = Tier::kAvx2;
  kernels.findMark = FindMarkAvx2;
  kernels.findWordEnd = FindWordEndAvx2;
  kernels.findLineEnd = FindLineEndAvx2;
  kernels.decodeBase64Run = DecodeBase64RunAvx2;
  kernels.decodeBase64Word = DecodeBase64WordAvx2;  // AVX-512 too: a word is one or two blocks
  kernels.copyAsciiRun = CopyAsciiRunAvx2;
  kernels.sjisToEucRun = SjisToEucRunAvx2;
  kernels.eucToSjisRun = EucToSjisRunAvx2;
  return kernels;
}
constexpr Kernels kSse2 = Sse2Kernels();
constexpr Kernels kSsse3 = Ssse3Kernels();
constexpr Kernels kAvx2 = Avx2Kernels();
#if defined(QUILLET_SIMD_AVX512)
constexpr Kernels Avx512Kernels() {
  Kernels kernels = Avx2Kernels();
  kernels.tier = Tier::kAvx512;
  // The scans and the ASCII copy stay AVX2's: a request's ranges are mostly short, where 64-byte
  // steps find nothing sooner, and code with 512-bit registers throughout a request ran it
  // about 6% slower on the whole than the same request with 256-bit ones.
  return kernels;
}
// With VBMI's byte permutes base64 goes 64 characters a step.
constexpr Kernels Avx512VbmiKernels() {
  Kernels kernels = Avx512Kernels();
  kernels.decodeBase64Run = DecodeBase64RunAvx512Vbmi;
  return kernels;
}
// With VBMI2's byte compress the conversions into and out of UTF-8 pack any mix of characters at
// once (below it the SSE2 runs write them one by one).
constexpr Kernels Avx512Vbmi2Kernels() {
  Kernels kernels = Avx512VbmiKernels();
  kernels.sjisToUtf8Run = SjisToUtf8RunVbmi2;
  kernels.eucToUtf8Run = EucToUtf8RunVbmi2;
  kernels.jisToUtf8Run = JisToUtf8RunVbmi2;
  kernels.utf8ToEucRun = Utf8ToEucRunVbmi2;
  kernels.utf8ToSjisBytesRun = Utf8ToSjisBytesRunVbmi2;
  // A block at a time with no loop over the stretches between escape sequences: the byte
  // compress drops the sequences, the byte expand makes room for them.
  kernels.jisToSjisRun = JisToSjisRunVbmi2;
  kernels.jisToEucRun = JisToEucRunVbmi2;
  kernels.sjisToJisRun = SjisToJisRunVbmi2;
  kernels.eucToJisRun = EucToJisRunVbmi2;
  kernels.jisRunShortest = 64 + 2;
  return kernels;
}
constexpr Kernels kAvx512 = Avx512Kernels();
constexpr Kernels kAvx512Vbmi = Avx512VbmiKernels();
constexpr Kernels kAvx512Vbmi2 = Avx512Vbmi2Kernels();
constexpr const Kernels* kTables[kTierCount] = {&kScalar, &kSse2, &kSsse3, &kAvx2, &kAvx512};
#else
constexpr const Kernels* kTables[kTierCount] = {&kScalar, &kSse2, &kSsse3, &kAvx2, &kAvx2};
#endif
#else
constexpr const Kernels* kTables[kTierCount] = {&kScalar, &kScalar, &kScalar, &kScalar, &kScalar};
#endif

#if defined(QUILLET_SIMD_AVX512)
// What Detect returns for AVX-512 with VBMI: the AVX-512 tier, with the VBMI kernels.
constexpr Tier kAvx512WithVbmi = static_cast<Tier>(kTierCount);
// And with VBMI2 besides.
constexpr Tier kAvx512WithVbmi2 = static_cast<Tier>(kTierCount + 1);
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
  [[maybe_unused]] const bool popcnt = (c & bit_POPCNT) != 0;  // read by the AVX-512 tiers
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
  if ((c & bit_AVX512VBMI) == 0) return Tier::kAvx512;
  // The VBMI2 kernels count bits and use BMI2's pdep and pext besides.
  return (c & bit_AVX512VBMI2) != 0 && (b & bit_BMI2) != 0 && popcnt ? kAvx512WithVbmi2
                                                                     : kAvx512WithVbmi;
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

// Detect's answer, kAvx512WithVbmi and kAvx512WithVbmi2 included.
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
  if (tier == static_cast<int>(Tier::kAvx512) && Detected() == static_cast<int>(kAvx512WithVbmi2)) {
    kernels = &kAvx512Vbmi2;
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
