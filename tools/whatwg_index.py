"""Reading the Encoding Standard's data files for the table generators under tools/.

The files live in third_party/whatwg-encoding/ (the standard's public repository, commit
a985b62; its README and LICENSE are beside them); every generated header names the file it
comes from.
"""
import json
import os

DATA_DIR = os.path.normpath(
    os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "third_party", "whatwg-encoding"))

SOURCE_NOTE = ("the WHATWG Encoding Standard's data (commit a985b62; CC BY 4.0, "
               "code portions BSD 3-Clause)")


def data_path(name):
    return os.path.join(DATA_DIR, name)


def read_index(name):
    """{pointer: code point} of index-<name>.txt."""
    index = {}
    with open(data_path("index-%s.txt" % name), encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            fields = line.split("\t")
            index[int(fields[0])] = int(fields[1], 16)
    return index


def read_ranges():
    """[(pointer, code point)] of index-gb18030-ranges.txt, in file order."""
    ranges = []
    with open(data_path("index-gb18030-ranges.txt"), encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            fields = line.split("\t")
            ranges.append((int(fields[0]), int(fields[1], 16)))
    return ranges


def read_labels():
    """[(encoding name, [labels])] of encodings.json, in the table's order."""
    with open(data_path("encodings.json"), encoding="utf-8") as f:
        groups = json.load(f)
    return [(e["name"], e["labels"]) for g in groups for e in g["encodings"]]


def write_rows(out, values, per_row=12, fmt="0x%04X"):
    """Writes values as C++ initialiser rows of per_row cells each."""
    for start in range(0, len(values), per_row):
        out.write("    " + ", ".join(fmt % v for v in values[start:start + per_row]) + ",\n")
