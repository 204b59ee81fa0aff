#!/usr/bin/env python3
"""Writes the UTF-8 example data in examples/: a mail header list of real-world shapes
(mails-utf8.bin), an EXECUTE request that carries it with Charset UTF-8 (request-utf8.txt),
the response it must get (response-utf8.txt), and notes on the shapes (notes-utf8.txt).

The expected header values are made by Python's email.header (decode_header, then
make_header), not by the plug-in. Where the plug-in's rules differ from Python's on purpose,
the value is worked out by the plug-in's rule instead, and notes-utf8.txt says so beside the
mail. Every other byte of the list and of the template is copied as it is.

Run from anywhere: python3 tools/make_utf8_examples.py
"""

import base64
import os
from email.header import decode_header, make_header

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLES = os.path.join(HERE, os.pardir, "examples")

END_LINE = "\x01"
END_MAIL = "\x02"

def b_word(charset, raw):
    return "=?%s?B?%s?=" % (charset, base64.b64encode(raw).decode("ascii"))


def q_word(charset, raw):
    text = ""
    for byte in raw:
        c = chr(byte)
        if c == " ":
            text += "_"
        elif c.isalnum() and byte < 0x80:
            text += c
        else:
            text += "=%02X" % byte
    return "=?%s?Q?%s?=" % (charset, text)


def split_b_words(charset, raw, size, glue):
    """raw cut every `size` bytes (inside characters too), one B word per piece."""
    pieces = [raw[i : i + size] for i in range(0, len(raw), size)]
    return glue.join(b_word(charset, piece) for piece in pieces)


YAMADA_TARO = "\u5c71\u7530\u592a\u90ce"  # a name
# "the subject of a Japanese mail is long, so it is cut into several words"
LONG_SUBJECT = ("\u65e5\u672c\u8a9e\u306e\u30e1\u30fc\u30eb\u306e\u4ef6\u540d\u306f\u9577\u3044"
                "\u306e\u3067\u3001\u3044\u304f\u3064\u304b\u306e\u5358\u8a9e\u306b\u5206\u3051"
                "\u3089\u308c\u307e\u3059")
NOTICE = "\u304a\u77e5\u3089\u305b"  # "notice"
SATO_HANAKO = "\u4f50\u85e4\u82b1\u5b50"  # a name
MEETING = "\u4f1a\u8b70\u306e\u304a\u77e5\u3089\u305b"  # "notice of a meeting"
NI_HAO = "\u4f60\u597d"  # "hello" in Chinese
KIM_CHEOLSU = "\uae40\ucca0\uc218"  # a Korean name
PRIVET = "\u041f\u0440\u0438\u0432\u0435\u0442"  # "hello" in Russian

# Each mail is one shape; NOTES says what it shows and, where it applies, how the plug-in's
# rule differs from Python's.
MAILS = [
    [
        "From: %s <taro@example.jp>" % b_word("UTF-8", YAMADA_TARO.encode()),
        "Subject: Re: %s" % q_word("UTF-8", ("Caf\u00e9 \u2615 " + NOTICE).encode()),
        "Date: Mon, 7 Dec 2026 09:15:00 +0900",
    ],
    [
        "From: %s <hanako@example.co.jp>" % b_word("utf-8", SATO_HANAKO.encode()),
        # 16 bytes a word: most cuts fall inside a character; words apart by SP, TAB or nothing.
        "Subject: %s" % split_b_words("UTF-8", LONG_SUBJECT.encode(), 16, " \t "),
        "Date: Mon, 7 Dec 2026 10:02:41 +0900",
    ],
    [
        "From: =?UTF-8?Q?Jos=C3?= =?UTF-8?Q?=A9?= <jose@example.com>",
        "Subject: %s %s" % (b_word("ISO-2022-JP", MEETING.encode("iso2022_jp")),
                            b_word("Shift_JIS", YAMADA_TARO.encode("shift_jis"))),
        "Date: Tue, 8 Dec 2026 18:30:05 +0900",
    ],
    [
        "From: =?iso-8859-1?q?Fran=E7ois?= <francois@example.fr>",
        "Subject: =?ISO-8859-1?Q?Caf=E9_menu_for_June?=",
        "Date: Wed, 9 Dec 2026 07:45:00 +0100",
    ],
    [
        "From: %s <wang@example.cn>" % b_word("GB2312", NI_HAO.encode("gb2312")),
        "Subject: %s %s" % (b_word("GB2312", NI_HAO.encode("gb2312")),
                            b_word("UTF-8", NOTICE.encode())),
        "Date: Thu, 10 Dec 2026 12:00:00 +0800",
    ],
    [
        "From: %s <kim@example.kr>" % b_word("EUC-KR", KIM_CHEOLSU.encode("euc_kr")),
        "Subject: %s" % q_word("KOI8-R", PRIVET.encode("koi8_r")),
        "Date: Fri, 11 Dec 2026 08:20:00 +0900",
    ],
]

NOTES = [
    "UTF-8 B word next to plain text; a UTF-8 Q word with _ for spaces and =XX for the bytes of "
    "non-ASCII characters.",
    "A long Subject cut every 16 bytes into B words, most cuts inside a character; the words "
    "stand apart by SP TAB SP. The bytes of adjacent words are joined before they are read, "
    "and the white space between them goes.",
    "A Q word cut inside a character (e-acute split into =C3 and =A9); ISO-2022-JP and Shift_JIS "
    "words in a UTF-8 request, read into UTF-8. Words in different charsets are not joined, so "
    "the space between these two goes but each is read on its own.",
    "ISO-8859-1 Q words, charset and encoding letter in either case.",
    "Chinese in GB2312 words next to a UTF-8 word: the white space between two words goes, "
    "whatever their charsets.",
    "A Korean name in an EUC-KR word, a Russian subject in a KOI8-R Q word.",
]

TEMPLATE = "[!Date!] !From! \u300c!Subject!\u300d"  # the Subject in Japanese corner brackets
SEPARATOR = " | "



def mail_list():
    text = ""
    for lines in MAILS:
        text += END_LINE.join(lines) + END_MAIL
    return text.encode("ascii")


def expected_value(value):
    """The UTF-8 bytes of a header value, by Python's email.header."""
    return str(make_header(decode_header(value))).encode("utf-8")


def field(lines, name):
    for line in lines:
        if line.lower().startswith(name.lower() + ": "):
            return expected_value(line.split(": ", 1)[1])
    return b""


def expected_result():
    texts = []
    for lines in MAILS:
        text = TEMPLATE.encode("utf-8")
        for name in ("From", "Subject", "Date", "Content-Type"):
            text = text.replace(("!%s!" % name).encode("ascii"), field(lines, name))
        texts.append(text)
    return SEPARATOR.encode("ascii").join(texts)


def request():
    return (
        b"EXECUTE SAORI/1.0\r\n"
        + b"Charset: UTF-8\r\n"
        + b"Sender: example\r\n"
        + b"Argument0: " + TEMPLATE.encode("utf-8") + b"\r\n"
        + b"Argument1: " + SEPARATOR.encode("ascii") + b"\r\n"
        + b"Argument2: " + mail_list() + b"\r\n"
        + b"\r\n"
    )


def response():
    result = expected_result()
    assert b"\r\n" not in result
    result.decode("utf-8")  # valid UTF-8
    return (
        b"SAORI/1.0 200 OK\r\n"
        + b"Result: " + result + b"\r\n"
        + b"Charset: UTF-8\r\n"
        + b"\r\n"
    )


def notes():
    text = ("Notes on examples/mails-utf8.bin (request-utf8.txt, response-utf8.txt), mail by mail.\n"
            "Expected values come from Python's email.header (decode_header + make_header).\n\n")
    for i, note in enumerate(NOTES):
        text += "Mail %d: %s\n" % (i + 1, note)
    return text.encode("ascii")


def write(name, data):
    with open(os.path.join(EXAMPLES, name), "wb") as f:
        f.write(data)


def main():
    os.makedirs(EXAMPLES, exist_ok=True)
    write("mails-utf8.bin", mail_list())
    write("request-utf8.txt", request())
    write("response-utf8.txt", response())
    write("notes-utf8.txt", notes())


if __name__ == "__main__":
    main()
