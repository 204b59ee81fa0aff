#!/usr/bin/env python3
"""Writes src/charsets/label_table.h: every label of the Encoding Standard's label table
(encodings.json) with its Encoding, and the names mail programs write that the table lacks
(MAIL_ALIASES below), each in its folded form (lower case, without "-", "_", "." and spaces),
sorted by byte value for a binary search. Mail programs find "utf_8", "Windows1252" or
"latin-1" by that form, so the lookup folds a label the same way; the script stops if two
labels of different encodings ever fold alike, so a whole label always finds its own encoding.

The labels of the "replacement" encoding (ISO-2022-KR, ISO-2022-CN, ...) are left out, so that
they find nothing, as an unknown label does; its label hz-gb-2312 is read as HZ-GB-2312. Mail
reads UTF-16 without a byte order mark as big-endian, so the label utf-16 names UTF-16 (a
mark decides, big-endian without one), not the standard's UTF-16LE.

Run from the repository root: python3 tools/gen_encoding_labels.py > src/charsets/label_table.h
"""
import sys

import whatwg_index

# The enumerator of each encoding in the table; an encoding missing here stops the script.
ENUMERATORS = {
    "UTF-8": "kUtf8",
    "IBM866": "kIbm866",
    "ISO-8859-2": "kIso8859_2",
    "ISO-8859-3": "kIso8859_3",
    "ISO-8859-4": "kIso8859_4",
    "ISO-8859-5": "kIso8859_5",
    "ISO-8859-6": "kIso8859_6",
    "ISO-8859-7": "kIso8859_7",
    "ISO-8859-8": "kIso8859_8",
    "ISO-8859-8-I": "kIso8859_8I",
    "ISO-8859-10": "kIso8859_10",
    "ISO-8859-13": "kIso8859_13",
    "ISO-8859-14": "kIso8859_14",
    "ISO-8859-15": "kIso8859_15",
    "ISO-8859-16": "kIso8859_16",
    "KOI8-R": "kKoi8R",
    "KOI8-U": "kKoi8U",
    "macintosh": "kMacintosh",
    "windows-874": "kWindows874",
    "windows-1250": "kWindows1250",
    "windows-1251": "kWindows1251",
    "windows-1252": "kWindows1252",
    "windows-1253": "kWindows1253",
    "windows-1254": "kWindows1254",
    "windows-1255": "kWindows1255",
    "windows-1256": "kWindows1256",
    "windows-1257": "kWindows1257",
    "windows-1258": "kWindows1258",
    "x-mac-cyrillic": "kXMacCyrillic",
    "GBK": "kGbk",
    "gb18030": "kGb18030",
    "Big5": "kBig5",
    "EUC-JP": "kEucJp",
    "ISO-2022-JP": "kIso2022Jp",
    "Shift_JIS": "kShiftJis",
    "EUC-KR": "kEucKr",
    "UTF-16BE": "kUtf16Be",
    "UTF-16LE": "kUtf16Le",
    "x-user-defined": "kXUserDefined",
    # Beyond the standard's table, for mail.
    "UTF-16": "kUtf16",
    "UTF-32": "kUtf32",
    "UTF-32BE": "kUtf32Be",
    "UTF-32LE": "kUtf32Le",
    "UTF-7": "kUtf7",
    "HZ-GB-2312": "kHzGb2312",
}

# Labels of the standard's table that mail reads as another encoding.
OVERRIDES = {
    "utf-16": "UTF-16",
    "hz-gb-2312": "HZ-GB-2312",
}

LEFT_OUT = {"replacement"}

# Charset names that mail programs write beyond the standard's labels: for the Japanese
# encodings and UTF-8, and the code page and extension names of the Chinese and Korean
# encodings (whose decoders already read the supersets those names stand for). One already in
# the table is skipped (it must name the same encoding).
MAIL_ALIASES = [
    ("CP932", "Shift_JIS"),
    ("MS932", "Shift_JIS"),
    ("Shift_JIS-2004", "Shift_JIS"),
    ("eucJP", "EUC-JP"),
    ("EUC_JP", "EUC-JP"),
    ("eucJP-ms", "EUC-JP"),
    ("EUC-JP-MS", "EUC-JP"),
    ("ISO-2022-JP-1", "ISO-2022-JP"),
    ("ISO-2022-JP-2", "ISO-2022-JP"),
    ("ISO-2022-JP-3", "ISO-2022-JP"),
    ("CP50220", "ISO-2022-JP"),
    ("CP50221", "ISO-2022-JP"),
    ("CP50222", "ISO-2022-JP"),
    ("UTF8", "UTF-8"),
    ("Shift_JISX0213", "Shift_JIS"),
    ("EUC-JISX0213", "EUC-JP"),
    ("CP936", "GBK"),
    ("MS936", "GBK"),
    ("CP949", "EUC-KR"),
    ("MS949", "EUC-KR"),
    ("UHC", "EUC-KR"),
    ("CP950", "Big5"),
    ("MS950", "Big5"),
    ("Big5-HKSCS", "Big5"),
    ("UTF16", "UTF-16"),
    ("latin9", "ISO-8859-15"),
    ("euc-cn", "GBK"),
    ("ISO646-US", "windows-1252"),
    ("UTF-32", "UTF-32"),
    ("UTF-32BE", "UTF-32BE"),
    ("UTF-32LE", "UTF-32LE"),
    ("UTF-7", "UTF-7"),
]

# The bytes a label's folded form leaves out.
IGNORED = "-_. "


def fold(label):
    return "".join(c for c in label.lower() if c not in IGNORED)


def collect():
    """{lower-case label: encoding name}, the aliases included."""
    labels = {}
    for name, names in whatwg_index.read_labels():
        if name not in ENUMERATORS and name not in LEFT_OUT:
            raise SystemExit("no enumerator for the encoding %s" % name)
        for label in names:
            if label != label.lower() or label in labels or not label.isascii():
                raise SystemExit("unexpected label %r" % label)
            if label in OVERRIDES:
                labels[label] = OVERRIDES[label]
            elif name not in LEFT_OUT:
                labels[label] = name
    for alias, name in MAIL_ALIASES:
        label = alias.lower()
        if label in labels:
            if labels[label] != name:
                raise SystemExit("the alias %s is a label of %s" % (alias, labels[label]))
            continue
        labels[label] = name
    return labels


def fold_all(labels):
    """{folded label: encoding name}; stops where two labels of different encodings meet."""
    folded = {}
    for label, name in labels.items():
        key = fold(label)
        if not key or folded.get(key, name) != name:
            raise SystemExit("the label %s folds onto another encoding's" % label)
        folded[key] = name
    return folded


def main():
    labels = fold_all(collect())
    ordered = sorted(labels, key=lambda label: label.encode("ascii"))
    out = sys.stdout
    out.write("// Generated by tools/gen_encoding_labels.py from encodings.json of\n")
    out.write("// %s,\n" % whatwg_index.SOURCE_NOTE)
    out.write("// with the mail aliases listed in the script. Do not edit.\n")
    out.write("#pragma once\n\n#include <cstddef>\n#include <string_view>\n\n")
    out.write('#include "charsets/encoding.h"\n\nnamespace quillet {\nnamespace labels {\n\n')
    out.write("struct Label {\n  std::string_view name;  // lower case, no \"-\", \"_\", \".\" or space\n"
              "  Encoding encoding;\n};\n\n")
    out.write("// No folded label is longer.\nconstexpr std::size_t kLongest = %d;\n\n"
              % max(len(label) for label in ordered))
    out.write("// Every label folded, sorted by byte value; the \"replacement\" encoding's are left out.\n")
    out.write("static constexpr Label kLabels[] = {\n")
    for label in ordered:
        out.write('    {"%s", Encoding::%s},\n' % (label, ENUMERATORS[labels[label]]))
    out.write("};\n\n}  // namespace labels\n}  // namespace quillet\n")


if __name__ == "__main__":
    main()
