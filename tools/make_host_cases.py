#!/usr/bin/env python3
"""Writes the end-to-end cases in tests/e2e/cases/ that carry requests byte for byte as SAORI
hosts send them: GET Version with a Charset, and EXECUTE asking for UTF-8 and for EUC-JP under
the name "EUC_JP".

The expected responses are worked out here from Python's codecs, not from the plug-in. The mail
list holds one B-encoded word per header line in ISO-2022-JP, Shift_JIS or EUC-JP, of JIS X 0208
characters on which every codec agrees, so the decoded text is plain: the word's bytes read in
its charset and written in the requested one (a word already in that charset keeps its bytes).

Run from anywhere: python3 tools/make_host_cases.py
"""

import base64
import os
import re

HERE = os.path.dirname(os.path.abspath(__file__))
CASES = os.path.join(HERE, os.pardir, "tests", "e2e", "cases")

CODECS = {"ISO-2022-JP": "iso2022_jp", "Shift_JIS": "cp932", "EUC-JP": "euc_jp", "UTF-8": "utf-8"}
WORD = re.compile(rb"=\?([^?]*)\?B\?([A-Za-z0-9+/=]*)\?=")


def word(charset, text):
    return "=?%s?B?%s?=" % (charset, base64.b64encode(text.encode(CODECS[charset])).decode())


# Names and subjects: kanji, hiragana and katakana of JIS X 0208 only.
MAILS = [
    ["From: %s <taro@example.jp>" % word("ISO-2022-JP", "\u5c71\u7530\u592a\u90ce"),
     "Subject: Re: %s" % word("ISO-2022-JP", "\u4f1a\u8b70\u306e\u304a\u77e5\u3089\u305b")],
    ["From: %s <hanako@example.jp>" % word("Shift_JIS", "\u4f50\u85e4\u82b1\u5b50"),
     "Subject: %s (2)" % word("Shift_JIS", "\u30c6\u30b9\u30c8\u30e1\u30fc\u30eb")],
    ["Subject: %s" % word("EUC-JP", "\u9031\u5831\u3092\u9001\u308a\u307e\u3059"),
     "From: %s <ichiro@example.jp>" % word("EUC-JP", "\u9234\u6728\u4e00\u90ce")],
]
TEMPLATE = b"!From! : !Subject!"
SEPARATOR = b" / "


def mail_list():
    return b"".join("\x01".join(lines).encode("ascii") + b"\x02" for lines in MAILS)


def decoded(value, target):
    def convert(match):
        source = match.group(1).decode("ascii")
        raw = base64.b64decode(match.group(2))
        if source == target:
            return raw
        return raw.decode(CODECS[source]).encode(CODECS[target])

    return WORD.sub(convert, value.encode("ascii"))


def result(target):
    texts = []
    for lines in MAILS:
        fields = dict(line.split(": ", 1) for line in lines)
        text = TEMPLATE
        for name in ("From", "Subject"):
            text = text.replace(b"!%s!" % name.encode(), decoded(fields[name], target))
        texts.append(text)
    return SEPARATOR.join(texts)


def execute(charset_sent, target):
    request = (b"EXECUTE SAORI/1.0\r\nCharset: " + charset_sent + b"\r\nSender: AYA\r\n"
               b"SecurityLevel: local\r\nArgument0: " + TEMPLATE + b"\r\nArgument1: " + SEPARATOR
               + b"\r\nArgument2: " + mail_list() + b"\r\n\r\n")
    text = result(target)
    assert b"\r\n" not in text and b"\x00" not in text
    response = (b"SAORI/1.0 200 OK\r\nResult: " + text + b"\r\nCharset: " + charset_sent
                + b"\r\n\r\n")
    return request, response


def write(name, request, response):
    for suffix, data in (("request", request), ("response", response)):
        with open(os.path.join(CASES, "%s.%s" % (name, suffix)), "wb") as f:
            f.write(data)


def main():
    write("get_version_names_the_charset_asked_for",
          b"GET Version SAORI/1.0\r\nCharset: UTF-8\r\nSender: AYA\r\n\r\n",
          b"SAORI/1.0 200 OK\r\nCharset: UTF-8\r\n\r\n")
    write("get_version_as_a_host_sends_it_at_load",
          b"GET Version SAORI/1.0\r\nSecurityLevel: Local\r\nSender: host\r\nCharset: UTF-8\r\n\r\n",
          b"SAORI/1.0 200 OK\r\nCharset: UTF-8\r\n\r\n")
    write("execute_into_utf8", *execute(b"UTF-8", "UTF-8"))
    write("execute_into_euc_jp_named_euc_underscore_jp", *execute(b"EUC_JP", "EUC-JP"))


if __name__ == "__main__":
    main()
