#!/usr/bin/env python3
"""Writes the end-to-end cases in tests/e2e/cases/ for Japanese mail shapes that every mode must
read alike: ISO-2022-JP with ESC ( J, ESC $ @, ESC ( I and ESC $ ( D, a subject in two adjacent
words, a Shift_JIS character split over two words, and a folded subject whose second line comes
as an item of its own. Each shape goes to the plug-in in the four modes a host asks for
(Charset Shift_JIS, EUC_JP, UTF-8, ISO-2022-JP), as a SAORI host sends it.

The expected text comes from Python's email.header (which joins adjacent words of one charset and
drops the white space between words) and codecs, not from the plug-in: the words are read with
iso2022_jp_ext or iso2022_jp_2, cp932 and euc_jp, and written with cp932, euc_jp or iso2022_jp,
the geta mark for what the target lacks; half-width katakana are widened (NFKC) for ISO-2022-JP,
as the plug-in writes them there.

Run from anywhere: python3 tools/make_mail_cases.py
"""

import base64
import email.header
import os
import unicodedata

HERE = os.path.dirname(os.path.abspath(__file__))
CASES = os.path.join(HERE, os.pardir, "tests", "e2e", "cases")

ESC = "\x1b"
GETA = "\u3013"


def b_word(charset, raw):
    return "=?%s?B?%s?=" % (charset, base64.b64encode(raw).decode("ascii"))


def jis(text):
    return text.encode("iso2022_jp")


LONG_FIRST = "\u9577\u3044\u4ef6\u540d\u306e"  # "a long subject's"
LONG_SECOND = "\u524d\u534a\u3068\u5f8c\u534a"  # "first half and second half"
TEST_SJIS = "\u30c6\u30b9\u30c8".encode("cp932")  # katakana te su to

# name: the Subject value as the mail carries it, its folded lines as separate items.
SHAPES = {
    # "mitsumorisho" then " No.123" in JIS X 0201 Roman.
    "jis_roman": [b_word("ISO-2022-JP", jis("\u898b\u7a4d\u66f8")[:-3] + b"\x1b(J No.123\x1b(B")],
    # "kaigi" (meeting) after the older JIS X 0208 designation.
    "jis_x0208_1978": [b_word("ISO-2022-JP", b"\x1b$@" + jis("\u4f1a\u8b70")[3:])],
    # half-width katakana ka ta ka na.
    "jis_katakana": [b_word("ISO-2022-JP", b"\x1b(I\x36\x40\x36\x45\x1b(B")],
    # JIS X 0212 row 0x30 cell 0x21, between ASCII letters.
    "jis_x0212": [b_word("ISO-2022-JP", b"A\x1b$(D\x30\x21\x1b(BZ")],
    "two_adjacent_words": [b_word("ISO-2022-JP", jis(LONG_FIRST)) + " "
                           + b_word("ISO-2022-JP", jis(LONG_SECOND))],
    "shift_jis_split_over_two_words": [b_word("Shift_JIS", TEST_SJIS[:3]) + " "
                                       + b_word("Shift_JIS", TEST_SJIS[3:])],
    "folded_subject": [b_word("ISO-2022-JP", jis(LONG_FIRST)),
                       " " + b_word("ISO-2022-JP", jis(LONG_SECOND))],
}

READERS = {"iso-2022-jp": ("iso2022_jp_ext", "iso2022_jp_2"), "shift_jis": ("cp932",),
           "euc-jp": ("euc_jp",)}

# Charset as sent, the encoding of the Result.
MODES = {"sjis": (b"Shift_JIS", "cp932"), "euc": (b"EUC_JP", "euc_jp"),
         "utf8": (b"UTF-8", "utf-8"), "jis": (b"ISO-2022-JP", "iso2022_jp")}


def read_part(raw, charset):
    for codec in READERS[charset.lower()]:
        try:
            return raw.decode(codec)
        except UnicodeDecodeError:
            continue
    raise ValueError("no reader takes %r" % raw)


def write_text(text, codec):
    if codec == "iso2022_jp":
        text = "".join(unicodedata.normalize("NFKC", c) if "\uff61" <= c <= "\uff9f" else c
                       for c in text)
    return "".join(c if c.encode(codec, "ignore") else GETA for c in text).encode(codec)


def expected_value(lines, codec):
    # The host's items stand for the header's lines: unfolded as a mail reader reads them.
    parts = email.header.decode_header("\r\n".join(lines))
    out = b""
    for raw, charset in parts:
        if charset is None:
            out += raw if isinstance(raw, bytes) else raw.encode("ascii")
        else:
            out += write_text(read_part(raw, charset), codec)
    return out


def write(name, request, response):
    for suffix, data in (("request", request), ("response", response)):
        with open(os.path.join(CASES, "%s.%s" % (name, suffix)), "wb") as f:
            f.write(data)


def main():
    for shape, lines in SHAPES.items():
        items = ("Subject: " + lines[0],) + tuple(lines[1:])
        mail_list = "\x01".join(items).encode("ascii") + b"\x02"
        for mode, (sent, codec) in MODES.items():
            request = (b"EXECUTE SAORI/1.0\r\nCharset: " + sent + b"\r\nSender: AYA\r\n"
                       b"SecurityLevel: local\r\nArgument0: [!Subject!]\r\nArgument1: /\r\n"
                       b"Argument2: " + mail_list + b"\r\n\r\n")
            result = b"[" + expected_value(lines, codec) + b"]"
            assert ESC.encode() not in result or mode == "jis"
            response = (b"SAORI/1.0 200 OK\r\nResult: " + result + b"\r\nCharset: " + sent
                        + b"\r\n\r\n")
            write("mail_%s_into_%s" % (shape, mode), request, response)


if __name__ == "__main__":
    main()
