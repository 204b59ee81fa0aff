#!/usr/bin/env python3
"""Writes the example data in examples/: a mail header list and EXECUTE requests that carry it
with Charset Shift_JIS, EUC-JP and ISO-2022-JP, each with the response it must get.

The expected responses are worked out here from Python's own codecs and Unicode tables, not
from the plug-in: a B-encoded word is base64-decoded, read in its charset and written in the
requested one; adjacent words of one charset are read together and the white space between two
words goes; half-width katakana are widened (NFKC, which also merges a kana with its sound
mark) only on the way into ISO-2022-JP; a Shift_JIS or EUC-JP word whose charset is the
requested one keeps its bytes (ISO-2022-JP is written again with ESC $ B and ESC ( B only). A Q-encoded word in ISO-8859-1 is read as Windows-1252, and a character the requested
charset lacks becomes the geta mark. Every other byte of the list and of the template is copied
as it is.

Run from anywhere: python3 tools/make_examples.py
"""

import base64
import os
import re
import unicodedata

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLES = os.path.join(HERE, os.pardir, "examples")

END_LINE = "\x01"
END_MAIL = "\x02"

CODECS = {"ISO-2022-JP": "iso2022_jp", "Shift_JIS": "shift_jis", "EUC-JP": "euc_jp"}


def word(charset, text):
    """An encoded word: text in charset, base64, as a mail program writes it."""
    payload = base64.b64encode(text.encode(CODECS[charset])).decode("ascii")
    return "=?%s?B?%s?=" % (charset, payload)


# Japanese sample texts.
YAMADA_TARO = "\u5c71\u7530\u592a\u90ce"  # a name
NEXT_MEETING = "\u6765\u9031\u306e\u4f1a\u8b70"  # "next week's meeting"
ABOUT = "\u306b\u3064\u3044\u3066"  # "about"
SATO_HANAKO = "\u4f50\u85e4\u82b1\u5b50"  # a name
# "test mail guide" in half-width katakana: TE SU TO, ME (long mark) RU, KA+dakuten I DO+dakuten
HALF_WIDTH_SUBJECT = "\uff83\uff7d\uff84 \uff92\uff70\uff99 \uff76\uff9e\uff72\uff84\uff9e"
SUZUKI_ICHIRO = "\u9234\u6728\u4e00\u90ce"  # a name
WEEKLY_REPORT = "\u9031\u5831 (\u7b2c23\u9031) \u63d0\u51fa\u3057\u307e\u3059"  # "weekly report"
TAKAHASHI_JIRO = "\u9ad8\u6a4b\u6b21\u90ce"  # a name
NOTICE = "\u304a\u77e5\u3089\u305b"  # "notice"

# Five mails. Everything outside encoded words is ASCII, so it reads the same in every charset.
MAILS = [
    [
        "From: %s <taro@example.jp>" % word("ISO-2022-JP", YAMADA_TARO),
        # Two words side by side: read together, the space between them goes.
        "Subject: %s %s" % (word("ISO-2022-JP", NEXT_MEETING), word("ISO-2022-JP", ABOUT)),
        "Date: Mon, 2 Jun 2025 09:15:00 +0900",
        "Content-Type: text/plain; charset=ISO-2022-JP",
    ],
    [
        "From: %s <hanako@example.co.jp>" % word("Shift_JIS", SATO_HANAKO),
        # Half-width katakana, with sound marks and a prolonged sound mark.
        "Subject: Re: %s" % word("Shift_JIS", HALF_WIDTH_SUBJECT),
        "Date: Mon, 2 Jun 2025 10:02:41 +0900",
        "Content-Type: text/plain; charset=Shift_JIS",
    ],
    [
        "From: %s <ichiro@example.ne.jp>" % word("EUC-JP", SUZUKI_ICHIRO),
        "Subject: %s" % word("EUC-JP", WEEKLY_REPORT),
        "Date: Tue, 3 Jun 2025 18:30:05 +0900",
        "Content-Type: text/plain; charset=EUC-JP",
    ],
    [
        "From: Support Desk <support@example.com>",
        # A Q word in a Latin charset: the e acute has no place in the Japanese charsets and
        # becomes the geta mark.
        "Subject: =?ISO-8859-1?Q?Caf=E9_menu_for_June?=",
        "Date: Wed, 4 Jun 2025 07:45:00 +0000",
        "Content-Type: text/plain; charset=ISO-8859-1",
    ],
    [
        "From: %s <jiro@example.jp>" % word("ISO-2022-JP", TAKAHASHI_JIRO),
        # Cut short by a mail program: the word never closes, so it stays as text.
        "Subject: %s" % word("ISO-2022-JP", NOTICE)[:-6],
        "Date: Thu, 5 Jun 2025 12:00:00 +0900",
    ],
]

TEMPLATE = "[!Date!] !From! : !Subject! (!Content-Type!)"
SEPARATOR = " | "

WORD = re.compile(r"=\?([^?\x01\x02]*)\?([BbQq])\?([^?\x01\x02]*)\?=")
GETA = "\u3013"
HALF_KANA = re.compile("[\uff61-\uff9f]+")


def mail_list():
    text = ""
    for lines in MAILS:
        text += END_LINE.join(lines) + END_MAIL
    return text.encode("ascii")


def decoded_line(line, target):
    """A header line with its encoded words in the target charset, as bytes."""

    def raw_bytes(match):
        if match.group(2) in "Qq":
            return re.sub(rb"=([0-9A-Fa-f]{2})", lambda m: bytes([int(m.group(1), 16)]),
                          match.group(3).replace("_", " ").encode("latin-1"))
        return base64.b64decode(match.group(3))

    def convert(source, raw):
        if source not in CODECS:  # a Latin charset, read as Windows-1252
            text = raw.decode("cp1252")
            return "".join(c if can_encode(c) else GETA for c in text).encode(CODECS[target])
        if source == target and target != "ISO-2022-JP":
            return raw
        text = raw.decode(CODECS[source])
        if target == "ISO-2022-JP":
            text = HALF_KANA.sub(lambda m: unicodedata.normalize("NFKC", m.group(0)), text)
        return text.encode(CODECS[target])

    # Runs of words with only white space between them: each run of one charset is read whole.
    out = b""
    at = 0
    run_charset, run_raw = None, b""
    for match in WORD.finditer(line):
        between = line[at : match.start()]
        if run_charset is not None and between.strip(" \t\r\n") == "":
            if match.group(1) != run_charset:
                out += convert(run_charset, run_raw)
                run_charset, run_raw = match.group(1), b""
        else:
            if run_charset is not None:
                out += convert(run_charset, run_raw)
            out += between.encode("ascii")
            run_charset, run_raw = match.group(1), b""
        run_raw += raw_bytes(match)
        at = match.end()
    if run_charset is not None:
        out += convert(run_charset, run_raw)
    return out + line[at:].encode("ascii")


def can_encode(char):
    """Whether Windows-31J, through which such words reach the Japanese charsets, has char."""
    try:
        char.encode("cp932")
        return True
    except UnicodeEncodeError:
        return False


def field(lines, name, target):
    for line in lines:
        if line.lower().startswith(name.lower() + ": "):
            return decoded_line(line, target).split(b": ", 1)[1]
    return b""


def expected_result(target):
    texts = []
    for lines in MAILS:
        text = TEMPLATE.encode("ascii")
        for name in ("From", "Subject", "Date", "Content-Type"):
            text = text.replace(("!%s!" % name).encode("ascii"), field(lines, name, target))
        texts.append(text)
    return SEPARATOR.encode("ascii").join(texts)


def request(charset):
    return (
        b"EXECUTE SAORI/1.0\r\n"
        + b"Argument0: " + TEMPLATE.encode("ascii") + b"\r\n"
        + b"Argument1: " + SEPARATOR.encode("ascii") + b"\r\n"
        + b"Argument2: " + mail_list() + b"\r\n"
        + b"Charset: " + charset.encode("ascii") + b"\r\n"
        + b"\r\n"
    )


def response(charset):
    result = expected_result(charset)
    assert b"\r\n" not in result
    return (
        b"SAORI/1.0 200 OK\r\n"
        + b"Result: " + result + b"\r\n"
        + b"Charset: " + charset.encode("ascii") + b"\r\n"
        + b"\r\n"
    )


def console_session():
    # template, separator, mail header list, then the quit word; the console names Shift_JIS.
    return (TEMPLATE + "\n" + SEPARATOR + "\n").encode("ascii") + mail_list() + b"\nquit\n"


def write(name, data):
    with open(os.path.join(EXAMPLES, name), "wb") as f:
        f.write(data)


def main():
    os.makedirs(EXAMPLES, exist_ok=True)
    write("mails.bin", mail_list())
    for suffix, charset in (("sjis", "Shift_JIS"), ("euc", "EUC-JP"), ("jis", "ISO-2022-JP")):
        write("request-%s.txt" % suffix, request(charset))
        write("response-%s.txt" % suffix, response(charset))
    write("console-session.txt", console_session())


if __name__ == "__main__":
    main()
