// ExpandTemplate: the template of an EXECUTE request filled for one mail.
//
// The placeholders are "!From!", "!Subject!", "!Date!" and "!Content-Type!", ASCII case
// ignored; each stands for the value of that header field in the mail, or for nothing when the
// mail lacks it. Every other byte is copied, a "!" that begins no placeholder included. After a
// placeholder the scan goes on behind its closing "!", so "!From!Subject!" is the From value
// followed by "Subject!".
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "common/add_product.h"
#include "mail/find_header_value.h"
#include "mail/mail_list.h"

namespace quillet {

// A template read once, to be filled for any number of mails: its text runs and placeholders
// in order, and a copy of its bytes.
class TemplatePlan {
 public:
  static constexpr int kFieldCount = 4;
  // The bytes that writing into memory may change past the end of a filled template.
  static constexpr std::size_t kSlack = 16;

  // The values one mail gives the placeholders, and the size of its filled template.
  struct Fill {
    std::string_view values[kFieldCount];
    std::size_t size = 0;
  };

  TemplatePlan(const char* text, std::size_t size);

  // The template filled for a mail, in two steps, so that a caller can make room before it
  // writes: measure looks the fields up (each field that the template names once, however many
  // placeholders ask for it) and returns the size of the filled template (the largest size
  // when it does not fit in memory); write appends the filled template to result.
  std::size_t measure(const Mail& mail, Fill& fill) const;
  void write(const Fill& fill, std::string& result) const;
  // write into memory that has room for fill.size + kSlack bytes at out; returns the end of
  // the fill.size bytes. The kSlack bytes after them may change: short runs of the template's
  // text are copied a whole 16 bytes at a time.
  char* write(const Fill& fill, char* out) const;

  // How many bytes of the template are not placeholders: what every mail adds at the least.
  std::size_t textLength() const { return textLength_; }
  // How many placeholders the template holds, of all fields together.
  std::size_t placeholderCount() const { return uses_[0] + uses_[1] + uses_[2] + uses_[3]; }

 private:
  struct Run {
    std::size_t offset;  // of a run of text in the template (may be empty)
    std::size_t length;
  };
  struct Piece {
    Run run;
    int field;  // the placeholder after the run
  };
  // Copies a run of the template's text to out and returns the position after it.
  char* copyRun(char* out, Run run) const;

  std::string text_ = std::string(kSlack, '\0');  // the template's bytes, kSlack zeros after them
  HeaderNames names_;                             // of the fields, in placeholder order
  std::vector<Piece> pieces_;
  Run last_ = {0, 0};  // the text after the last placeholder
  std::size_t textLength_ = 0;
  std::size_t uses_[kFieldCount] = {};  // placeholders per field
  unsigned wanted_ = 0;                 // bit n for each field n with a placeholder
};

// Copies size bytes (n to 2 * n of them) as the first n and the last n, which may overlap.
template <std::size_t n>
inline void CopyHeadAndTail(char* out, const char* from, std::size_t size) {
  char head[n];
  char tail[n];
  std::memcpy(head, from, n);
  std::memcpy(tail, from + size - n, n);
  std::memcpy(out, head, n);
  std::memcpy(out + size - n, tail, n);
}

// Copies size bytes to out and returns the position after them. The pieces of a template and
// the values of a mail are mostly a few dozen bytes long: those are moved in one or two
// fixed-size loads and stores (which may overlap) rather than by a call.
inline char* CopyShortBytes(char* out, const char* from, std::size_t size) {
  if (size <= 16) {
    if (size >= 8) {
      CopyHeadAndTail<8>(out, from, size);
    } else if (size >= 4) {
      CopyHeadAndTail<4>(out, from, size);
    } else if (size != 0) {
      out[0] = from[0];
      out[size / 2] = from[size / 2];
      out[size - 1] = from[size - 1];
    }
  } else if (size <= 32) {
    CopyHeadAndTail<16>(out, from, size);
  } else if (size <= 64) {
    CopyHeadAndTail<32>(out, from, size);
  } else {
    std::memcpy(out, from, size);
  }
  return out + size;
}

// measure and write are inline: a caller fills the template once a mail, and a call for each
// would cost as much as the filling.
inline std::size_t TemplatePlan::measure(const Mail& mail, Fill& fill) const {
  std::size_t size = textLength_;
  for (int field = 0; field < kFieldCount; ++field) fill.values[field] = std::string_view();
  // The fields the template names, found in one pass over the mail's lines.
  names_.find(mail, wanted_, fill.values);
  for (int field = 0; field < kFieldCount; ++field) {
    size = AddProduct(size, uses_[field], fill.values[field].size());
  }
  fill.size = size;
  return size;
}

inline char* TemplatePlan::copyRun(char* out, Run run) const {
  if (run.length <= kSlack) {
    // The template's bytes are followed by kSlack more: 16 can be read at any run.
    std::memcpy(out, text_.data() + run.offset, kSlack);
    return out + run.length;
  }
  return CopyShortBytes(out, text_.data() + run.offset, run.length);
}

inline char* TemplatePlan::write(const Fill& fill, char* out) const {
  if (fill.size == 0) return out;
  for (const Piece& piece : pieces_) {
    out = copyRun(out, piece.run);
    const std::string_view value = fill.values[piece.field];
    out = CopyShortBytes(out, value.data(), value.size());
  }
  return copyRun(out, last_);
}

// Appends the template [text, text + size) filled for mail to result.
void ExpandTemplate(const Mail& mail, const char* text, std::size_t size, std::string& result);

}  // namespace quillet
