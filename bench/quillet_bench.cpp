// The benchmark program: every hot path beside its peer in one run (our converters against
// glibc's iconv and memcpy, our base64 against a textbook decoder, whole requests of every
// size and hostile shape). Inputs are generated with fixed seeds; nothing is read from disk.
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "bench_inputs.h"
#include "charsets/iso_2022_jp2.h"
#include "charsets/single_byte.h"
#include "common/charset_code_of.h"
#include "jtext/base64.h"
#include "jtext/convert_charset.h"
#include "module/plugin_module.h"
#include "simd/kernels.h"

namespace quillet::bench {
namespace {

constexpr std::size_t kMiB = 1024 * 1024;

struct Encoding {
  const char* shortName;  // as in the benchmark names
  const char* iconvName;
  int code;
};

constexpr Encoding kEncodings[] = {
    {"jis", "ISO-2022-JP", kCharsetJis},
    {"sjis", "SHIFT_JIS", kCharsetSjis},
    {"euc", "EUC-JP", kCharsetEuc},
};

// Into and out of UTF-8 the peer of our Shift_JIS is iconv's Windows-31J (CP932).
constexpr Encoding kUtf8 = {"utf8", "UTF-8", kCharsetUtf8};
constexpr Encoding kUtf8Peers[] = {
    {"sjis", "CP932", kCharsetSjis},
    {"euc", "EUC-JP", kCharsetEuc},
    {"jis", "ISO-2022-JP", kCharsetJis},
};

// The same text in each encoding, per size; made once and kept for the whole run.
const std::string& Text(std::size_t size, int code) {
  static std::map<std::pair<std::size_t, int>, std::string> texts;
  auto found = texts.find({size, code});
  if (found != texts.end()) return found->second;
  std::string euc = JapaneseTextEuc(size, 20261208);
  for (const Encoding& e : kEncodings) {
    std::string converted;
    if (e.code == kCharsetEuc) {
      converted = euc;
    } else {
      ConvertCharset(kCharsetEuc, euc, e.code, converted);
    }
    texts[{size, e.code}] = std::move(converted);
  }
  ConvertCharset(kCharsetEuc, euc, kCharsetUtf8, texts[{size, kCharsetUtf8}]);
  return texts[{size, code}];
}

// The UTF-8 that iconv reads from the text in encoding e, so that it can write it back (it
// reads some JIS X 0208 symbols as other characters in EUC-JP than in Windows-31J).
const std::string& Utf8Text(std::size_t size, const Encoding& e) {
  static std::map<std::pair<std::size_t, int>, std::string> texts;
  std::string& text = texts[{size, e.code}];
  if (!text.empty()) return text;
  const std::string& input = Text(size, e.code);
  iconv_t cd = iconv_open("UTF-8", e.iconvName);
  text.assign(2 * input.size() + 16, '\0');
  char* in = const_cast<char*>(input.data());
  std::size_t inLeft = input.size();
  char* out = &text[0];
  std::size_t outLeft = text.size();
  if (cd == reinterpret_cast<iconv_t>(-1) ||
      iconv(cd, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1)) {
    std::fprintf(stderr, "iconv cannot read the %s text\n", e.iconvName);
  }
  if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  text.resize(text.size() - outLeft);
  return text;
}

// The input of a direction: from UTF-8, the UTF-8 that iconv makes of the other end's text.
const std::string& Input(const Encoding& from, const Encoding& to, std::size_t size) {
  return from.code == kCharsetUtf8 ? Utf8Text(size, to) : Text(size, from.code);
}

void ConvertQuillet(benchmark::State& state, const Encoding& from, const Encoding& to,
                    std::size_t size) {
  const std::string& input = Input(from, to, size);
  std::string output;
  output.reserve(input.size() * 2 + 16);
  for (auto _ : state) {
    output.clear();
    ConvertCharset(from.code, input, to.code, output);
    benchmark::DoNotOptimize(output.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

void ConvertIconv(benchmark::State& state, const Encoding& from, const Encoding& to,
                  std::size_t size) {
  const std::string& input = Input(from, to, size);
  iconv_t cd = iconv_open(to.iconvName, from.iconvName);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    state.SkipWithError("iconv_open failed");
    return;
  }
  std::vector<char> output(input.size() * 2 + 16);
  for (auto _ : state) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char* out = output.data();
    std::size_t outLeft = output.size();
    if (iconv(cd, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1) ||
        iconv(cd, nullptr, nullptr, &out, &outLeft) == static_cast<std::size_t>(-1)) {
      state.SkipWithError("iconv failed on the benchmark text");
      break;
    }
    benchmark::DoNotOptimize(output.data());
  }
  iconv_close(cd);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

void ConvertSjisJisKana(benchmark::State& state) {
  static const std::string input = JapaneseTextSjisWithKana(kMiB, 7);
  std::string output;
  output.reserve(input.size() * 4);
  for (auto _ : state) {
    output.clear();
    ConvertCharset(kCharsetSjis, input, kCharsetJis, output);
    benchmark::DoNotOptimize(output.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

void CopyMemcpy(benchmark::State& state, std::size_t size) {
  const std::string& input = Text(size, kCharsetEuc);
  std::vector<char> output(input.size());
  for (auto _ : state) {
    std::memcpy(output.data(), input.data(), input.size());
    benchmark::DoNotOptimize(output.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

const std::string& Base64Input() {
  static const std::string input = EncodeBase64(JapaneseTextEuc(kMiB / 4 * 3, 11)).substr(0, kMiB);
  return input;
}

constexpr int (*kMailReading)(const std::string&, std::string&) = DecodeMailBase64;

// The first `size` characters of the 1 MiB input (a whole word where size is small).
void DecodeBase64Quillet(benchmark::State& state, int (*decode)(const std::string&, std::string&),
                         std::size_t size) {
  const std::string input = Base64Input().substr(0, size);
  std::string output;
  output.reserve(input.size());
  for (auto _ : state) {
    output.clear();
    decode(input, output);
    benchmark::DoNotOptimize(output.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

// The baseline: a plain table-driven decoder of canonical base64, as a textbook writes it.
void TextbookDecode(const std::string& input, std::string& output) {
  static const std::vector<int> values = [] {
    std::vector<int> v(256, -1);
    const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i) v[static_cast<unsigned char>(alphabet[i])] = i;
    return v;
  }();
  unsigned buffer = 0;
  int bits = 0;
  for (unsigned char c : input) {
    const int value = values[c];
    if (value < 0) continue;
    buffer = (buffer << 6) | static_cast<unsigned>(value);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      output.push_back(static_cast<char>((buffer >> bits) & 0xFF));
    }
  }
}

void DecodeBase64Textbook(benchmark::State& state) {
  const std::string& input = Base64Input();
  std::string output;
  output.reserve(input.size());
  for (auto _ : state) {
    output.clear();
    TextbookDecode(input, output);
    benchmark::DoNotOptimize(output.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

// Bytes processed are the request's bytes, or the response's where the output is what grows.
void RunRequests(benchmark::State& state, const std::string& request, bool countResponse = false) {
  PluginModule module;
  module.load("./");
  std::string response;
  for (auto _ : state) {
    module.request(request, response);
    benchmark::DoNotOptimize(response.data());
  }
  const std::size_t counted = countResponse ? response.size() : request.size();
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * counted));
  state.counters["request_bytes"] = static_cast<double>(request.size());
  state.counters["response_bytes"] = static_cast<double>(response.size());
}

std::string Repeat(const std::string& unit, std::size_t size) {
  std::string out;
  out.reserve(size + unit.size());
  while (out.size() < size) out += unit;
  return out;
}

std::string HostileRequest(const std::string& name) {
  if (name == "open_words") return ExecuteRequest("!Subject!", Repeat("=?", 2 * kMiB));
  if (name == "unfinished_fields") {
    return ExecuteRequest("!Subject!", Repeat("=?x", 2 * kMiB) + "?=\x02");
  }
  if (name == "long_line") return ExecuteRequest("!Subject!", Repeat("a", 2 * kMiB) + "\x02");
  if (name == "placeholders") {
    std::string mails;
    for (int i = 0; i < 100; ++i) mails += "From: a\x01Subject: " + std::to_string(i) + "\x02";
    return ExecuteRequest(Repeat("!Subject!", 64 * 1024), mails);
  }
  // A subject folded at every word: one run of 2 MiB, joined across the folds.
  if (name == "folded_words") {
    return ExecuteRequest(
        "!Subject!", "Subject: " + Repeat("=?ISO-2022-JP?B?GyRCJCI=?=\x01 ", 2 * kMiB) + "\x02");
  }
  // ESC runs and escape sequences cut by the word ends: every ESC is read once.
  if (name == "escape_runs") {
    return ExecuteRequest("!Subject!", "Subject: " +
                                           Repeat("=?ISO-2022-JP?B?GxsbGyQbKBskKA==?= "
                                                  "=?SJIS?B?GxsbGxsb?=",
                                                  2 * kMiB) +
                                           "\x02");
  }
  if (name == "ascii_16M") {
    return ExecuteRequest("!From! !Subject!",
                          Repeat("From: someone@example.com\x01Subject: plain ascii text line"
                                 "\x01"
                                 "Date: Tue, 08 Dec 2026\x02",
                                 16 * kMiB));
  }
  return {};
}

// ISO-2022-JP-2 read into UTF-8, 1 MiB of each shape: the benchmark's Japanese text (no
// sequence of ISO-2022-JP-2's own, so the converter reads it whole) and hostile ones, a few
// bytes repeated: single shifts alone, between ASCII letters and between JIS X 0208 pairs,
// unknown escapes in GB 2312, GB 2312 and JIS X 0208 pairs in turn, a run of bare ESCs.
std::string Iso2022Jp2Input(const std::string& shape) {
  if (shape == "plain") return Text(kMiB, kCharsetJis);
  if (shape == "single_shifts") return "\x1B.A" + Repeat("\x1BNi", kMiB);
  if (shape == "single_shifts_ascii") return "\x1B.A" + Repeat("\x1BNix", kMiB);
  if (shape == "single_shifts_kanji") return "\x1B.A\x1B$B" + Repeat("\x1BNi0!", kMiB);
  if (shape == "unknown_escapes") return "\x1B$A" + Repeat("\x1BZ0!", kMiB);
  if (shape == "sets_in_turn") return Repeat("\x1B$A0!\x1B$B0!", kMiB);
  if (shape == "esc_run") return "\x1B.A" + Repeat("\x1B", kMiB);
  return {};
}

void DecodeIso2022Jp2Shape(benchmark::State& state, const std::string& shape) {
  const std::string input = Iso2022Jp2Input(shape);
  std::string output;
  output.reserve(input.size() * 3);
  for (auto _ : state) {
    output.clear();
    DecodeIso2022Jp2(input.data(), input.size(), output);
    benchmark::DoNotOptimize(output.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

// 1 MiB of windows-1252 text: French with a letter of 0x80 and up every few words, or English
// with one every 200 bytes.
void DecodeWindows1252(benchmark::State& state, bool english) {
  static const std::string french =
      Repeat("Le caf\xE9 du march\xE9 ouvre \xE0 sept heures, ferm\xE9 le lundi. ", kMiB);
  static const std::string plain = Repeat(
      "The quarterly report for the northern region is attached; please read it before the "
      "meeting on Thursday, where we will go through the figures and agree on the next steps "
      "\x96 thanks. ",
      kMiB);
  const std::string& input = english ? plain : french;
  std::string output;
  output.reserve(input.size() * 2);
  for (auto _ : state) {
    output.clear();
    DecodeSingleByte(quillet::Encoding::kWindows1252, input.data(), input.size(), output);
    benchmark::DoNotOptimize(output.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
}

void RegisterAll() {
  const std::pair<const char*, std::size_t> sizes[] = {{"1M", kMiB}, {"16M", 16 * kMiB}};
  for (const Encoding& from : kEncodings) {
    for (const Encoding& to : kEncodings) {
      if (from.code == to.code) continue;
      for (const auto& [sizeName, size] : sizes) {
        const std::string dir = std::string(from.shortName) + "_" + to.shortName;
        benchmark::RegisterBenchmark(("Convert/" + dir + "/quillet/" + sizeName).c_str(),
                                     ConvertQuillet, from, to, size)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("Convert/" + dir + "/iconv/" + sizeName).c_str(),
                                     ConvertIconv, from, to, size)
            ->Unit(benchmark::kMicrosecond);
      }
    }
  }
  for (const Encoding& peer : kUtf8Peers) {
    for (const auto& [from, to] : {std::make_pair(kUtf8, peer), std::make_pair(peer, kUtf8)}) {
      const std::string dir = std::string(from.shortName) + "_" + to.shortName;
      benchmark::RegisterBenchmark(("Convert/" + dir + "/quillet/1M").c_str(), ConvertQuillet, from,
                                   to, kMiB)
          ->Unit(benchmark::kMicrosecond);
      benchmark::RegisterBenchmark(("Convert/" + dir + "/iconv/1M").c_str(), ConvertIconv, from, to,
                                   kMiB)
          ->Unit(benchmark::kMicrosecond);
    }
  }
  benchmark::RegisterBenchmark("Convert/sjis_jis_kana/quillet/1M", ConvertSjisJisKana)
      ->Unit(benchmark::kMicrosecond);
  for (const auto& [sizeName, size] : sizes) {
    benchmark::RegisterBenchmark((std::string("Copy/memcpy/") + sizeName).c_str(), CopyMemcpy, size)
        ->Unit(benchmark::kMicrosecond);
  }
  benchmark::RegisterBenchmark("DecodeBase64/mail/1M", DecodeBase64Quillet, kMailReading, kMiB)
      ->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("DecodeBase64/textbook/1M", DecodeBase64Textbook)
      ->Unit(benchmark::kMicrosecond);
  for (std::size_t mails : {1000u, 10000u, 100000u}) {
    const std::string name = "Execute/mails:" + std::to_string(mails);
    benchmark::RegisterBenchmark(name.c_str(), [mails](benchmark::State& state) {
      static std::map<std::size_t, std::string> requests;
      if (!requests.count(mails)) requests[mails] = MailListRequest(mails, 42);
      RunRequests(state, requests[mails]);
    })->Unit(benchmark::kMillisecond);
  }
  benchmark::RegisterBenchmark("Execute/utf8_mails:10000", [](benchmark::State& state) {
    static const std::string request = Utf8MailListRequest(10000, 42);
    RunRequests(state, request);
  })->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Execute/world_mails:10000", [](benchmark::State& state) {
    static const std::string request = WorldMailListRequest(10000, 42);
    RunRequests(state, request);
  })->Unit(benchmark::kMillisecond);
  // The paths with vector kernels at each tier the processor has, the scalar code first, in
  // one run: Tiers/<path>/<tier>.
  const std::pair<const char*, std::function<void(benchmark::State&)>> tierRows[] = {
      {"base64_mail/1M",
       [](benchmark::State& state) { DecodeBase64Quillet(state, kMailReading, kMiB); }},
      {"base64_mail/48",
       [](benchmark::State& state) { DecodeBase64Quillet(state, kMailReading, 48); }},
      {"base64_mail/16",
       [](benchmark::State& state) { DecodeBase64Quillet(state, kMailReading, 16); }},
      {"mails:10000",
       [](benchmark::State& state) {
         static const std::string request = MailListRequest(10000, 42);
         RunRequests(state, request);
       }},
      {"utf8_mails:10000",
       [](benchmark::State& state) {
         static const std::string request = Utf8MailListRequest(10000, 42);
         RunRequests(state, request);
       }},
      {"hostile/long_line",
       [](benchmark::State& state) {
         static const std::string request = HostileRequest("long_line");
         RunRequests(state, request);
       }},
      // The decoders into UTF-8, whose ASCII runs go through the vector copy.
      {"windows1252_french/1M", [](benchmark::State& state) { DecodeWindows1252(state, false); }},
      {"windows1252_english/1M", [](benchmark::State& state) { DecodeWindows1252(state, true); }},
      {"world_mails:10000",
       [](benchmark::State& state) {
         static const std::string request = WorldMailListRequest(10000, 42);
         RunRequests(state, request);
       }},
      // Into and out of UTF-8: 1 MiB of the Japanese text, and short texts of one mail header.
      {"convert_sjis_utf8/1M",
       [](benchmark::State& state) { ConvertQuillet(state, kUtf8Peers[0], kUtf8, kMiB); }},
      {"convert_euc_utf8/1M",
       [](benchmark::State& state) { ConvertQuillet(state, kUtf8Peers[1], kUtf8, kMiB); }},
      {"convert_jis_utf8/1M",
       [](benchmark::State& state) { ConvertQuillet(state, kUtf8Peers[2], kUtf8, kMiB); }},
      {"convert_utf8_sjis/1M",
       [](benchmark::State& state) { ConvertQuillet(state, kUtf8, kUtf8Peers[0], kMiB); }},
      {"convert_utf8_euc/1M",
       [](benchmark::State& state) { ConvertQuillet(state, kUtf8, kUtf8Peers[1], kMiB); }},
      {"convert_sjis_utf8/64",
       [](benchmark::State& state) { ConvertQuillet(state, kUtf8Peers[0], kUtf8, 64); }},
      {"convert_sjis_utf8/24",
       [](benchmark::State& state) { ConvertQuillet(state, kUtf8Peers[0], kUtf8, 24); }},
      // The other directions with vector runs, short: the scalar code at every tier.
      {"convert_jis_utf8/64",
       [](benchmark::State& state) { ConvertQuillet(state, kUtf8Peers[2], kUtf8, 64); }},
      {"convert_utf8_sjis/64",
       [](benchmark::State& state) { ConvertQuillet(state, kUtf8, kUtf8Peers[0], 64); }},
  };
  for (const auto& [path, run] : tierRows) {
    for (int tier = 0; tier <= static_cast<int>(simd::DetectedTier()); ++tier) {
      const std::string name =
          std::string("Tiers/") + path + "/" + simd::TierName(static_cast<simd::Tier>(tier));
      benchmark::RegisterBenchmark(name.c_str(), [run = run, tier](benchmark::State& state) {
        simd::SetTierCap(static_cast<simd::Tier>(tier));
        run(state);
        simd::SetTierCap(simd::Tier::kAvx512);
      });
    }
  }
  // The conversions among the Japanese encodings at each tier: Tiers/convert_<from>_<to>/<size>.
  for (const Encoding& from : kEncodings) {
    for (const Encoding& to : kEncodings) {
      if (from.code == to.code) continue;
      for (const auto& [sizeName, size] :
           {std::make_pair("1M", kMiB), std::make_pair("64", std::size_t{64})}) {
        for (int tier = 0; tier <= static_cast<int>(simd::DetectedTier()); ++tier) {
          const std::string name = std::string("Tiers/convert_") + from.shortName + "_" +
                                   to.shortName + "/" + sizeName + "/" +
                                   simd::TierName(static_cast<simd::Tier>(tier));
          benchmark::RegisterBenchmark(
              name.c_str(), [&from = from, &to = to, bytes = size, tier](benchmark::State& state) {
                simd::SetTierCap(static_cast<simd::Tier>(tier));
                ConvertQuillet(state, from, to, bytes);
                simd::SetTierCap(simd::Tier::kAvx512);
              });
        }
      }
    }
  }
  for (const char* hostile : {"open_words", "unfinished_fields", "long_line", "placeholders",
                              "ascii_16M", "folded_words", "escape_runs"}) {
    const std::string name = std::string("Execute/hostile/") + hostile;
    benchmark::RegisterBenchmark(name.c_str(), [hostile](benchmark::State& state) {
      const std::string request = HostileRequest(hostile);
      RunRequests(state, request, std::string(hostile) == "placeholders");
    })->Unit(benchmark::kMillisecond);
  }
  for (const char* shape : {"plain", "single_shifts", "single_shifts_ascii", "single_shifts_kanji",
                            "unknown_escapes", "sets_in_turn", "esc_run"}) {
    benchmark::RegisterBenchmark((std::string("Decode/iso2022jp2/") + shape + "/1M").c_str(),
                                 DecodeIso2022Jp2Shape, std::string(shape))
        ->Unit(benchmark::kMicrosecond);
  }
}

// --write-request FILE: writes an EXECUTE request of 16 MiB or a little more (for measuring the
// peak memory of one request through saori_host) and exits.
bool WriteRequestFile(int& argc, char** argv) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--write-request") != 0) continue;
    const std::size_t perMail = MailListRequest(1000, 42).size() / 1000;
    const std::string request = MailListRequest(16 * kMiB / perMail + 1, 42);
    std::FILE* file = std::fopen(argv[i + 1], "wb");
    if (file == nullptr) return true;
    std::fwrite(request.data(), 1, request.size(), file);
    std::fclose(file);
    std::printf("%zu bytes written to %s\n", request.size(), argv[i + 1]);
    return true;
  }
  return false;
}

}  // namespace
}  // namespace quillet::bench

int main(int argc, char** argv) {
  if (quillet::bench::WriteRequestFile(argc, argv)) return 0;
  quillet::bench::RegisterAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
