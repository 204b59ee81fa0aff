// The vector kernels, one file per instruction set; kernels.cpp puts them in its tables. Every
// one behaves exactly as the matching entry of Kernels says.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillet {
namespace simd {

#if defined(__x86_64__) || defined(__i386__)
#define QUILLET_SIMD_X86 1

const char* FindMarkSse2(const char* p, const char* end, unsigned char mark);
const char* FindWordEndSse2(const char* p, const char* end);
const char* FindLineEndSse2(const char* p, const char* end, bool& zero);
const char* FindMarkAvx2(const char* p, const char* end, unsigned char mark);
const char* FindWordEndAvx2(const char* p, const char* end);
const char* FindLineEndAvx2(const char* p, const char* end, bool& zero);

std::size_t DecodeBase64RunSsse3(const unsigned char* in, std::size_t size, unsigned char* out,
                                 std::size_t room);
std::size_t DecodeBase64RunAvx2(const unsigned char* in, std::size_t size, unsigned char* out,
                                std::size_t room);
bool DecodeBase64WordSsse3(const unsigned char* in, std::size_t size, unsigned char* out,
                           std::size_t& written);
bool DecodeBase64WordAvx2(const unsigned char* in, std::size_t size, unsigned char* out,
                          std::size_t& written);

std::size_t CopyAsciiRunSse2(const unsigned char* in, std::size_t size, unsigned char* out);
std::size_t CopyAsciiRunAvx2(const unsigned char* in, std::size_t size, unsigned char* out);
std::size_t SjisToEucRunSse2(const unsigned char* in, std::size_t size, unsigned char* out);
std::size_t EucToSjisRunSse2(const unsigned char* in, std::size_t size, unsigned char* out);
std::size_t SjisToEucRunAvx2(const unsigned char* in, std::size_t size, unsigned char* out);
std::size_t EucToSjisRunAvx2(const unsigned char* in, std::size_t size, unsigned char* out);
std::size_t JisToSjisRunSse2(const unsigned char* in, std::size_t size, unsigned char*& out,
                             bool& twoByte);
std::size_t JisToEucRunSse2(const unsigned char* in, std::size_t size, unsigned char*& out,
                            bool& twoByte);
std::size_t SjisToJisRunSse2(const unsigned char* in, std::size_t size, unsigned char*& out,
                             bool& twoByte);
std::size_t EucToJisRunSse2(const unsigned char* in, std::size_t size, unsigned char*& out,
                            bool& twoByte);
// The conversion runs into and out of UTF-8.
const unsigned char* SjisToUtf8RunSse2(const unsigned char* p, const unsigned char* end,
                                       unsigned char*& o, const std::uint32_t* packed);
const unsigned char* EucToUtf8RunSse2(const unsigned char* p, const unsigned char* end,
                                      unsigned char*& o, const std::uint32_t* packed);
const unsigned char* JisToUtf8RunSse2(const unsigned char* p, const unsigned char* end,
                                      unsigned char*& o, const std::uint32_t* packed,
                                      bool& twoByte);
const unsigned char* Utf8ToSjisRunSse2(const unsigned char* p, const unsigned char* end,
                                       unsigned char*& o, const std::uint8_t* blockOf,
                                       const std::uint16_t* codes);
const unsigned char* Utf8ToEucRunSse2(const unsigned char* p, const unsigned char* end,
                                      unsigned char*& o, const std::uint8_t* blockOf,
                                      const std::uint16_t* codes);

#if defined(__x86_64__)
// 64-byte masks need 64-bit registers: the 32-bit build stops at AVX2.
#define QUILLET_SIMD_AVX512 1
// Needs AVX-512 VBMI besides.
std::size_t DecodeBase64RunAvx512Vbmi(const unsigned char* in, std::size_t size, unsigned char* out,
                                      std::size_t room);
// Need AVX-512 VBMI2 besides.
const unsigned char* SjisToUtf8RunVbmi2(const unsigned char* p, const unsigned char* end,
                                        unsigned char*& o, const std::uint32_t* packed);
const unsigned char* EucToUtf8RunVbmi2(const unsigned char* p, const unsigned char* end,
                                       unsigned char*& o, const std::uint32_t* packed);
// These need BMI2 besides (pdep, pext).
const unsigned char* JisToUtf8RunVbmi2(const unsigned char* p, const unsigned char* end,
                                       unsigned char*& o, const std::uint32_t* packed,
                                       bool& twoByte);
const unsigned char* Utf8ToEucRunVbmi2(const unsigned char* p, const unsigned char* end,
                                       unsigned char*& o, const std::uint8_t* blockOf,
                                       const std::uint16_t* codes);
const unsigned char* Utf8ToSjisBytesRunVbmi2(const unsigned char* p, const unsigned char* end,
                                             unsigned char*& o, const std::uint8_t* blockOf,
                                             const std::uint16_t* sjisCodes);
std::size_t JisToSjisRunVbmi2(const unsigned char* in, std::size_t size, unsigned char*& out,
                              bool& twoByte);
std::size_t JisToEucRunVbmi2(const unsigned char* in, std::size_t size, unsigned char*& out,
                             bool& twoByte);
std::size_t SjisToJisRunVbmi2(const unsigned char* in, std::size_t size, unsigned char*& out,
                              bool& twoByte);
std::size_t EucToJisRunVbmi2(const unsigned char* in, std::size_t size, unsigned char*& out,
                             bool& twoByte);
#endif

#endif

}  // namespace simd
}  // namespace quillet
