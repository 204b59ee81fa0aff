// The half-width katakana tables and the widening step itself, inline so that the converters
// widen a kana without a call; WidenKana (widen_kana.h) is the public form.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace quillet {
namespace kana {

// Full-width JIS X 0208 code (row byte high, column byte low) of each half-width katakana
// byte 0xA0..0xDF, indexed by the byte minus 0xA0. 0xA0 widens to the ideographic space,
// 0xA1..0xA5 to the punctuation marks, 0xB0 to the prolonged sound mark, 0xDE and 0xDF to
// the stand-alone sound marks, and the rest to the katakana of row 0x25.
inline constexpr std::uint16_t halfKanaToJis[64] = {
    /* 0xA0 */ 0x2121, 0x2123, 0x2156, 0x2157, 0x2122, 0x2126, 0x2572, 0x2521,
    /* 0xA8 */ 0x2523, 0x2525, 0x2527, 0x2529, 0x2563, 0x2565, 0x2567, 0x2543,
    /* 0xB0 */ 0x213C, 0x2522, 0x2524, 0x2526, 0x2528, 0x252A, 0x252B, 0x252D,
    /* 0xB8 */ 0x252F, 0x2531, 0x2533, 0x2535, 0x2537, 0x2539, 0x253B, 0x253D,
    /* 0xC0 */ 0x253F, 0x2541, 0x2544, 0x2546, 0x2548, 0x254A, 0x254B, 0x254C,
    /* 0xC8 */ 0x254D, 0x254E, 0x254F, 0x2552, 0x2555, 0x2558, 0x255B, 0x255E,
    /* 0xD0 */ 0x255F, 0x2560, 0x2561, 0x2562, 0x2564, 0x2566, 0x2568, 0x2569,
    /* 0xD8 */ 0x256A, 0x256B, 0x256C, 0x256D, 0x256F, 0x2573, 0x212B, 0x212C,
};

struct KanaPair {
  unsigned char kana;
  std::uint16_t code;
};

// Half-width kana that merge with a following voiced sound mark (0xDE), and the code of the
// voiced form: u, ka..to, ha..ho.
inline constexpr KanaPair dakutenPairs[21] = {
    {0xB3, 0x2574}, {0xB6, 0x252C}, {0xB7, 0x252E}, {0xB8, 0x2530}, {0xB9, 0x2532}, {0xBA, 0x2534},
    {0xBB, 0x2536}, {0xBC, 0x2538}, {0xBD, 0x253A}, {0xBE, 0x253C}, {0xBF, 0x253E}, {0xC0, 0x2540},
    {0xC1, 0x2542}, {0xC2, 0x2545}, {0xC3, 0x2547}, {0xC4, 0x2549}, {0xCA, 0x2550}, {0xCB, 0x2553},
    {0xCC, 0x2556}, {0xCD, 0x2559}, {0xCE, 0x255C},
};

// Half-width kana that merge with a following semi-voiced sound mark (0xDF): ha..ho.
inline constexpr KanaPair handakutenPairs[5] = {
    {0xCA, 0x2551}, {0xCB, 0x2554}, {0xCC, 0x2557}, {0xCD, 0x255A}, {0xCE, 0x255D},
};

// The pair lists spread out by kana byte (0 where a kana has no merged form), so that a
// lookup needs no search; built from the lists above at compile time.
template <std::size_t N>
constexpr std::array<std::uint16_t, 64> SpreadPairs(const KanaPair (&pairs)[N]) {
  std::array<std::uint16_t, 64> table{};
  for (const KanaPair& pair : pairs) table[pair.kana - 0xA0] = pair.code;
  return table;
}

inline constexpr std::array<std::uint16_t, 64> voicedOf = SpreadPairs(dakutenPairs);
inline constexpr std::array<std::uint16_t, 64> semiVoicedOf = SpreadPairs(handakutenPairs);

inline bool IsHalfKana(unsigned c) {
  return c - 0xA0 < 0x40;
}

// Widens the half-width kana c (0xA0..0xDF), followed by mark (0x00 at the end of its run):
// sets code and returns 2 when the two merge, else sets code for c alone and returns 1.
inline int Widen(unsigned c, unsigned mark, std::uint16_t& code) {
  const unsigned index = c - 0xA0;
  std::uint16_t merged = 0;
  if (mark == 0xDE) merged = voicedOf[index];
  if (mark == 0xDF) merged = semiVoicedOf[index];
  if (merged != 0) {
    code = merged;
    return 2;
  }
  code = halfKanaToJis[index];
  return 1;
}

}  // namespace kana
}  // namespace quillet
