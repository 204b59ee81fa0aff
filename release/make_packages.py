#!/usr/bin/env python3
"""Writes the release packages of quillet from the built libraries:

  quillet-VERSION-windows.zip       saori_quillet.dll (32-bit), x64/saori_quillet.dll,
                                    readme.txt, LICENSE.txt, examples/
  quillet-VERSION-linux-x86_64.tar.gz  quillet-VERSION/ with saori_quillet.so and the same texts

The packages are reproducible: the same inputs give the same bytes. Every entry carries the
release date that CHANGELOG.md gives for VERSION (so a version missing from the changelog is an
error), entries come in a fixed order, and modes and owners are fixed.

readme.txt is README.ja.md with the version in its title, and with only the package's own
libraries in its list of contents. Text for Windows users gets CR LF line ends; readme.txt also a
UTF-8 byte order mark, so that every Notepad reads it as UTF-8. The sample request and response
are bytes of the protocol and go in unchanged.
"""
import argparse
import calendar
import gzip
import io
import os
import re
import sys
import tarfile
import zipfile

# (name in the package, file in the source tree, how the text is written)
TEXTS = [
    ("readme.txt", "README.ja.md", "readme"),
    ("LICENSE.txt", "LICENSE", "crlf"),
    ("examples/functionex-utf8.dic", "examples/functionex-utf8.dic", "crlf"),
    ("examples/functionex-sjis.dic", "examples/functionex-sjis.dic", "crlf"),
    ("examples/functionex-euc.dic", "examples/functionex-euc.dic", "crlf"),
    ("examples/onbiffcomplete-utf8.dic", "examples/onbiffcomplete-utf8.dic", "crlf"),
    ("examples/onbiffcomplete-sjis.dic", "examples/onbiffcomplete-sjis.dic", "crlf"),
    ("examples/onbiffcomplete-euc.dic", "examples/onbiffcomplete-euc.dic", "crlf"),
    ("examples/saori-load.txt", "examples/saori-load.txt", "crlf"),
    ("examples/onbiffcomplete-saori-load.txt", "examples/onbiffcomplete-saori-load.txt", "crlf"),
    ("examples/request-utf8.txt", "examples/request-utf8.txt", "bytes"),
    ("examples/response-utf8.txt", "examples/response-utf8.txt", "bytes"),
]


def release_date(changelog, version):
    """The (year, month, day) of the heading "## VERSION (YYYY-MM-DD)" in the changelog."""
    with open(changelog, encoding="utf-8") as f:
        text = f.read()
    match = re.search(r"^## " + re.escape(version) + r" \((\d{4})-(\d\d)-(\d\d)\)", text, re.M)
    if not match:
        sys.exit(f"make_packages: {changelog} has no heading '## {version} (YYYY-MM-DD)'")
    return tuple(int(part) for part in match.groups())


# The libraries the guide's list of contents names; a package's readme keeps only its own.
LIBRARIES = ["saori_quillet.dll", "x64/saori_quillet.dll", "saori_quillet.so"]
TITLE = "# quillet 説明書"


def guide(data, version, libraries):
    """README.ja.md as a package's readme.txt: the version in the title, and the lines of the
    list of contents that name a library the package lacks left out."""
    lines = data.decode("utf-8").split("\n")
    if lines[0] != TITLE:
        sys.exit(f"make_packages: README.ja.md does not start with '{TITLE}'")
    lines[0] = f"# quillet {version} 説明書"
    start = lines.index("## 配布物の中身")
    end = next(i for i in range(start + 1, len(lines)) if lines[i].startswith("## "))
    kept = [line for line in lines[start:end]
            if not (line.startswith("    ") and line.split()[0] in LIBRARIES and
                    line.split()[0] not in libraries)]
    return "\n".join(lines[:start] + kept + lines[end:]).encode("utf-8")


def crlf(data):
    return data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


def read(path):
    with open(path, "rb") as f:
        return f.read()


def texts(source, version, libraries, windows):
    """The text entries: (name, bytes), for Windows (CR LF, marked readme) or POSIX (as kept)."""
    entries = []
    for name, path, kind in TEXTS:
        data = read(os.path.join(source, path))
        if kind == "readme":
            data = guide(data, version, libraries)
        if windows and kind == "readme":
            data = b"\xef\xbb\xbf" + crlf(data)
        elif windows and kind == "crlf":
            data = crlf(data)
        entries.append((name, data))
    return entries


def write_atomically(path, data):
    temporary = path + ".part"
    with open(temporary, "wb") as f:
        f.write(data)
    os.replace(temporary, path)


def make_zip(entries, date):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as archive:
        for name, data in entries:
            info = zipfile.ZipInfo(name, date_time=date + (0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0  # MS-DOS attributes: a plain archived file
            info.external_attr = 0x20
            archive.writestr(info, data, compresslevel=9)
    return buffer.getvalue()


def make_tar_gz(entries, date, top):
    mtime = calendar.timegm(date + (0, 0, 0))
    tar_bytes = io.BytesIO()
    with tarfile.open(fileobj=tar_bytes, mode="w", format=tarfile.USTAR_FORMAT) as archive:
        for name, data, mode in entries:
            info = tarfile.TarInfo(f"{top}/{name}")
            info.size = len(data)
            info.mtime = mtime
            info.mode = mode
            info.uid = info.gid = 0
            info.uname = info.gname = "root"
            archive.addfile(info, io.BytesIO(data))
    compressed = io.BytesIO()
    # No file name and a fixed time in the gzip header.
    with gzip.GzipFile(filename="", mode="wb", fileobj=compressed, mtime=mtime,
                       compresslevel=9) as stream:
        stream.write(tar_bytes.getvalue())
    return compressed.getvalue()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--source", required=True, help="the project's source folder")
    parser.add_argument("--out", required=True, help="the folder the packages go to")
    parser.add_argument("--version", required=True)
    parser.add_argument("--dll32", required=True)
    parser.add_argument("--dll64", required=True)
    parser.add_argument("--so", required=True)
    args = parser.parse_args()

    date = release_date(os.path.join(args.source, "CHANGELOG.md"), args.version)
    os.makedirs(args.out, exist_ok=True)

    windows = [("saori_quillet.dll", read(args.dll32)), ("x64/saori_quillet.dll", read(args.dll64))]
    windows += texts(args.source, args.version, [name for name, _ in windows], True)
    zip_path = os.path.join(args.out, f"quillet-{args.version}-windows.zip")
    write_atomically(zip_path, make_zip(windows, date))

    posix = [("saori_quillet.so", read(args.so), 0o755)]
    posix += [(name, data, 0o644)
              for name, data in texts(args.source, args.version, ["saori_quillet.so"], False)]
    tar_path = os.path.join(args.out, f"quillet-{args.version}-linux-x86_64.tar.gz")
    write_atomically(tar_path, make_tar_gz(posix, date, f"quillet-{args.version}"))
    print(f"make_packages: wrote {zip_path} and {tar_path}")


if __name__ == "__main__":
    main()
