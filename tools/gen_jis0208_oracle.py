#!/usr/bin/env python3
"""Writes a test oracle (made at build time, never committed): every pointer of the Encoding
Standard's index-jis0208.txt with its code point, for the tests that read Shift_JIS as the
standard's decoder does.

The Windows-31J table (src/jtext/cp932_table.h, from Python's cp932 codec) and this index, with
the standard's rule for the user-defined pointers 8836..10715 (private use from U+E000), agree
on every double-byte code; the tests check that they go on agreeing.

Usage: python3 tools/gen_jis0208_oracle.py PATH
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import whatwg_index  # noqa: E402


def main():
    if len(sys.argv) != 2:
        raise SystemExit("usage: gen_jis0208_oracle.py PATH")
    index = whatwg_index.read_index("jis0208")
    with open(sys.argv[1], "w") as out:
        out.write("// Generated at build time by tools/gen_jis0208_oracle.py from index-jis0208.txt.\n")
        out.write("#pragma once\n\n#include <cstdint>\n\n")
        out.write("// Every pointer of the index and its code point.\n")
        out.write("constexpr std::uint32_t kOracleJis0208[][2] = {\n")
        for pointer in sorted(index):
            out.write("{%d,0x%X},\n" % (pointer, index[pointer]))
        out.write("};\n")


if __name__ == "__main__":
    main()
