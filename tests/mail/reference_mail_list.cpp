#include "reference_mail_list.h"

#include <vector>

#include "common/charset_code_of.h"
#include "jtext/base64.h"
#include "jtext/decode_q.h"
#include "mail/word_charset.h"

namespace quillet {
namespace reference {
namespace {

char At(const std::string& text, std::size_t i) {
  return i < text.size() ? text[i] : '\0';
}

bool IsLetterBOrQ(const std::string& field) {
  return field == "B" || field == "b" || field == "Q" || field == "q";
}

// A word cut out of the list: its raw bytes, and how they are read.
struct RawWord {
  std::size_t length = 0;  // 0: no word
  std::string bytes;
  Encoding encoding = Encoding::kIso2022Jp;  // a word without fields names no charset
};

RawWord CutWord(const std::string& text, std::size_t p) {
  RawWord word;
  if (At(text, p) != '=' || At(text, p + 1) != '?') return word;
  std::vector<std::string> fields;
  std::string field;
  for (std::size_t q = p + 2; q < text.size(); ++q) {
    const char c = text[q];
    if (c == '\x01' || c == '\x02') return word;
    if (c != '?') {
      field += c;
      continue;
    }
    // The "?" after a one-letter B or Q field ends that field, whatever follows it.
    if (At(text, q + 1) != '=' || (fields.size() == 1 && IsLetterBOrQ(field))) {
      fields.push_back(field);
      field.clear();
      continue;
    }
    // Closed: field holds the payload.
    bool q_encoding = false;
    if (fields.size() >= 2) {
      q_encoding = fields[1] == "Q" || fields[1] == "q";
      if (!q_encoding && !(fields[1].empty() || fields[1] == "B" || fields[1] == "b")) return word;
    }
    if (!fields.empty()) {
      const std::string name = fields[0].substr(0, fields[0].find('*'));
      word.encoding = WordEncodingOf(CharsetCodeOf(name), name.data(), name.size());
    }
    if (q_encoding) {
      DecodeMailQ(field.data(), field.size(), word.bytes);
    } else {
      DecodeMailBase64(field.data(), field.size(), word.bytes);
    }
    word.length = q + 2 - p;
    return word;
  }
  return word;
}

// The conversion itself is the converters' business, checked on their own.
void Convert(const RawWord& word, int target, std::string& out) {
  std::string bytes = word.bytes;
  std::string scratch;
  ConvertMailText(word.encoding, bytes, target, out, scratch);
}

bool OnlyWhite(const std::string& text) {
  return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

// A line in pieces: text as it came, or a word.
struct Piece {
  std::string text;
  RawWord word;
};

std::string JoinLine(const std::vector<Piece>& pieces, int target) {
  std::string line;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const Piece& piece = pieces[i];
    if (piece.word.length == 0) {
      // White space between two words goes.
      const bool between = i > 0 && i + 1 < pieces.size() && pieces[i - 1].word.length > 0 &&
                           pieces[i + 1].word.length > 0;
      if (!(between && OnlyWhite(piece.text))) line += piece.text;
      continue;
    }
    RawWord joined = piece.word;
    // Words of the same encoding with nothing but dropped white space between them join.
    for (;;) {
      std::size_t next = i + 1;
      if (next < pieces.size() && pieces[next].word.length == 0 && OnlyWhite(pieces[next].text)) {
        ++next;
      }
      if (next >= pieces.size() || pieces[next].word.length == 0 ||
          pieces[next].word.encoding != joined.encoding) {
        break;
      }
      joined.bytes += pieces[next].word.bytes;
      i = next;
    }
    Convert(joined, target, line);
  }
  return line;
}

}  // namespace

std::size_t DecodeWord(const std::string& text, std::size_t p, int target, std::string& out) {
  const RawWord word = CutWord(text, p);
  if (word.length > 0) Convert(word, target, out);
  return word.length;
}

testing_support::Mails ParseList(const std::string& text, int target) {
  std::size_t p = 0;
  while (p < text.size()) {
    const char c = text[p];
    if (c == ' ' || c == '\t') {
      ++p;
    } else if (c == '\r' && At(text, p + 1) == '\n' &&
               (At(text, p + 2) == ' ' || At(text, p + 2) == '\t')) {
      p += 3;
    } else {
      break;
    }
  }
  testing_support::Mails mails;
  testing_support::Lines mail;
  std::vector<Piece> pieces;
  const auto addText = [&](char c) {
    if (pieces.empty() || pieces.back().word.length > 0) pieces.emplace_back();
    pieces.back().text += c;
  };
  while (p < text.size()) {
    const char c = text[p];
    if (c == '\x01' && (At(text, p + 1) == ' ' || At(text, p + 1) == '\t')) {
      ++p;  // a folded line goes on
      continue;
    }
    if (c == '\x01' || c == '\x02') {
      mail.push_back(JoinLine(pieces, target));
      pieces.clear();
      if (c == '\x02') {
        mails.push_back(mail);
        mail.clear();
      }
      ++p;
      continue;
    }
    RawWord word = CutWord(text, p);
    if (word.length > 0) {
      p += word.length;
      pieces.push_back(Piece{"", std::move(word)});
    } else {
      addText(c);
      ++p;
    }
  }
  return mails;
}

}  // namespace reference
}  // namespace quillet
