#include "mail/decode_encoded_word.h"

#include <cstring>

#include "common/byte_at.h"
#include "common/charset_code_of.h"
#include "jtext/base64.h"
#include "jtext/convert_charset.h"
#include "mail/find_mark.h"

namespace quillet {
namespace {

constexpr unsigned char kEndLine = 0x01;
constexpr unsigned char kEndMail = 0x02;

// The encoding field selects base64 when it is "B" or "b" or empty (a leading part of "B",
// ASCII case ignored). A longer field never does, even when a zero byte inside it would stop
// the comparison early.
bool SelectsBase64(const char* field, std::size_t size) {
  return size == 0 || (size == 1 && (field[0] == 'B' || field[0] == 'b'));
}

}  // namespace

// The first separator (0x01, 0x02) or closing "?" "=" at or after from, or end_. Results are
// reused while from stays inside the range already scanned.
const char* EncodedWordScanner::nextStop(const char* from) {
  if (stop_ != nullptr && from >= stopFrom_ && from <= stop_) return stop_;
  stopFrom_ = from;
  lastQuestion_ = nullptr;
  const char* q = from;
  for (; (q = FindMark(q, end_, '?')) < end_; ++q) {
    const unsigned char c = static_cast<unsigned char>(*q);
    if (c == kEndLine || c == kEndMail) break;
    if (c == '?') {
      if (ByteAt(q + 1, end_) == '=') break;
      lastQuestion_ = q;
    }
  }
  stop_ = q;
  return stop_;
}

// The first "?" at or after from, or end_.
const char* EncodedWordScanner::nextQuestion(const char* from) {
  if (question_ != nullptr && from >= questionFrom_ && from <= question_) return question_;
  questionFrom_ = from;
  const void* found =
      from < end_ ? std::memchr(from, '?', static_cast<std::size_t>(end_ - from)) : nullptr;
  question_ = found != nullptr ? static_cast<const char*>(found) : end_;
  return question_;
}

std::size_t EncodedWordScanner::take(const char* p, int target, std::string& out) {
  if (p >= end_ || *p != '=' || ByteAt(p + 1, end_) != '?') return 0;
  const char* const first = p + 2;  // the first byte of the first field

  // The word ends at its closing "?=": a separator or the end of the list before it means
  // that there is no word here at all.
  const char* const close = nextStop(first);
  if (close == end_ || *close != '?') return 0;

  // Every "?" before the closing one ends a field; since close is a "?", these searches never
  // look past it.
  const char* payload = first;
  int code = kCharsetJis;
  const char* const charsetEnd = nextQuestion(first);
  if (charsetEnd < close) {
    const char* const encodingEnd = nextQuestion(charsetEnd + 1);
    if (encodingEnd < close &&
        !SelectsBase64(charsetEnd + 1, static_cast<std::size_t>(encodingEnd - charsetEnd - 1))) {
      return 0;  // not B: the caller keeps the word as text
    }
    // lastQuestion_ covers [stopFrom_, close), which holds charsetEnd.
    payload = lastQuestion_ + 1;
    code = CharsetCodeOf(first, static_cast<std::size_t>(charsetEnd - first));
  }

  decoded_.clear();
  DecodeBase64(payload, static_cast<std::size_t>(close - payload), decoded_);
  ConvertCharset(code, decoded_, target, out);
  return static_cast<std::size_t>(close + 2 - p);
}

std::size_t DecodeEncodedWord(const char* p, const char* end, int target, std::string& out) {
  EncodedWordScanner scanner(end);
  return scanner.take(p, target, out);
}

}  // namespace quillet
