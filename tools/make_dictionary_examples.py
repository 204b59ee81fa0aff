#!/usr/bin/env python3
"""Writes the Shift_JIS and EUC-JP copies of the dictionary examples in examples/ from their
UTF-8 originals: NAME-utf8.dic becomes NAME-sjis.dic and NAME-euc.dic. A copy differs from the
original only where the text names the file's own charset: the note on how the file is saved,
and the configuration line that names the file and that charset.

Run from anywhere: python3 tools/make_dictionary_examples.py
"""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLES = os.path.join(HERE, os.pardir, "examples")

ORIGINALS = ["functionex", "onbiffcomplete"]
# (file name suffix, charset as the runtime's configuration names it, Python codec)
COPIES = [("sjis", "Shift_JIS", "cp932"), ("euc", "EUC_JP", "euc_jp")]
ORIGINAL_NAME = "UTF-8"


def copy_of(name, text, suffix, charset):
    """The text of NAME-utf8.dic as NAME-SUFFIX.dic says it; fails unless each charset mention
    is where it is expected, once."""
    shown = "EUC-JP" if charset == "EUC_JP" else charset
    for old, new in [
        (f"{ORIGINAL_NAME} で保存", f"{shown} で保存"),
        (f"dic, {name}-utf8.dic, {ORIGINAL_NAME}", f"dic, {name}-{suffix}.dic, {charset}"),
    ]:
        if text.count(old) != 1:
            sys.exit(f"make_dictionary_examples: {name}-utf8.dic has not one '{old}'")
        text = text.replace(old, new)
    return text


def copies():
    """(path, bytes) of every copy."""
    result = []
    for name in ORIGINALS:
        with open(os.path.join(EXAMPLES, f"{name}-utf8.dic"), encoding="utf-8") as f:
            text = f.read()
        for suffix, charset, codec in COPIES:
            data = copy_of(name, text, suffix, charset).encode(codec)
            result.append((os.path.join(EXAMPLES, f"{name}-{suffix}.dic"), data))
    return result


def main():
    for path, data in copies():
        with open(path, "wb") as f:
            f.write(data)
        print(f"make_dictionary_examples: wrote {os.path.normpath(path)}")


if __name__ == "__main__":
    main()
