#!/usr/bin/env python3
"""Checks the release packages as a user gets them.

  unpack   the zip and the tarball hold exactly the files they should, texts for Windows have
           CR LF line ends, the guide shows the snippets and their answer as they are; both
           packages are unpacked for the other checks
  repack   packing the same build again gives the same bytes
  dll      a DLL's machine type, no time stamp, no debug sections, and its version resource
  answers  a shipped library answers requests byte for byte through saori_host, all requests
           in one process: the examples (the sample requests, and the requests the script
           snippets make), and with --cases every end-to-end case

Exit status 0 when the check holds, 1 when it fails, 77 when it cannot run on this machine.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tarfile
import tempfile
import zipfile

SKIP = 77

WINDOWS_FILES = [
    "saori_quillet.dll",
    "x64/saori_quillet.dll",
    "readme.txt",
    "LICENSE.txt",
    "examples/functionex-utf8.dic",
    "examples/functionex-sjis.dic",
    "examples/saori-load.txt",
    "examples/request-utf8.txt",
    "examples/response-utf8.txt",
]
# Texts a Windows user opens in an editor: CR LF line ends only.
WINDOWS_TEXTS = ["readme.txt", "LICENSE.txt", "examples/functionex-utf8.dic",
                 "examples/functionex-sjis.dic", "examples/saori-load.txt"]
POSIX_FILES = ["saori_quillet.so"] + WINDOWS_FILES[2:]


def fail(message):
    print(f"FAILED: {message}")
    sys.exit(1)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def unpack(args):
    with zipfile.ZipFile(args.zip) as archive:
        names = archive.namelist()
        if names != WINDOWS_FILES:
            fail(f"the zip holds {names}, not {WINDOWS_FILES}")
        target = os.path.join(args.unpacked, "windows")
        shutil.rmtree(target, ignore_errors=True)
        archive.extractall(target)
    for name in WINDOWS_TEXTS:
        data = read(os.path.join(target, name))
        if re.search(rb"(?<!\r)\n", data) or re.search(rb"\r(?!\n)", data):
            fail(f"{name} has line ends other than CR LF")
    readme = read(os.path.join(target, "readme.txt"))
    if not readme.startswith(b"\xef\xbb\xbf"):
        fail("readme.txt does not start with the UTF-8 byte order mark")
    guide_shows_the_examples(readme[3:].decode("utf-8").replace("\r\n", "\n"), target, args)
    if "MIT" not in read(os.path.join(target, "LICENSE.txt")).decode("ascii"):
        fail("LICENSE.txt is not the MIT licence")

    top = f"quillet-{args.version}"
    with tarfile.open(args.tarball) as archive:
        names = archive.getnames()
        if names != [f"{top}/{name}" for name in POSIX_FILES]:
            fail(f"the tarball holds {names}")
        if not archive.getmember(f"{top}/saori_quillet.so").mode & 0o111:
            fail("saori_quillet.so is not executable")
        target = os.path.join(args.unpacked, "posix")
        shutil.rmtree(target, ignore_errors=True)
        archive.extractall(target)
    print(f"the packages hold the {len(WINDOWS_FILES)} and {len(POSIX_FILES)} files expected")


def guide_shows_the_examples(guide, unpacked, args):
    """The guide's script examples are the shipped snippets, line for line, and the answer it
    shows is the one the plug-in gives for them."""
    for name in ("functionex-utf8.dic", "saori-load.txt"):
        text = read(os.path.join(unpacked, "examples", name)).decode("utf-8")
        block = "\n".join("    " + line if line else "" for line in text.splitlines())
        if block not in guide:
            fail(f"readme.txt does not show examples/{name} as it is shipped")
    response = read(os.path.join(args.source, "tests", "release", "functionex-utf8.response"))
    result = re.search(rb"^Result: (.*)\r$", response, re.M).group(1).decode("utf-8")
    if "\n    " + result + "\n" not in guide:
        fail("readme.txt does not show the Result that the snippet gets")


def repack(args):
    with tempfile.TemporaryDirectory() as out:
        subprocess.run(args.command + ["--out", out], check=True, stdout=subprocess.DEVNULL)
        for package in (args.zip, args.tarball):
            again = os.path.join(out, os.path.basename(package))
            if read(again) != read(package):
                fail(f"packing again gives other bytes than {package}")
    print("packing again gives the same bytes")


def tool_output(command):
    env = dict(os.environ, TZ="UTC", LC_ALL="C")
    return subprocess.run(command, check=True, capture_output=True, text=True, env=env).stdout


def dll(args):
    header = tool_output([args.objdump, "-f", "-p", "-h", args.dll])
    if f"file format pei-{args.machine}" not in header:
        fail(f"{args.dll} is not a pei-{args.machine} file")
    if "DLL" not in re.search(r"Characteristics 0x[0-9a-f]+\n((?:\t.*\n)*)", header).group(1):
        fail(f"{args.dll} is not marked as a DLL")
    stamps = re.findall(r"^Time/Date(?: stamp)?\s+(.*)$", header, re.M)
    if not stamps or any(s not in ("0", "Thu Jan  1 00:00:00 1970") for s in stamps):
        fail(f"{args.dll} carries time stamps: {stamps}")
    if ".debug" in header:
        fail(f"{args.dll} is not stripped")

    resource = tool_output([args.windres, "-i", args.dll, "-O", "rc"])
    words = ", ".join(args.version.split(".") + ["0"])
    expected = [
        f"FILEVERSION {words}",
        f"PRODUCTVERSION {words}",
        f'VALUE "FileVersion", "{args.version}"',
        f'VALUE "ProductVersion", "{args.version}"',
        'VALUE "ProductName", "quillet"',
        'VALUE "OriginalFilename", "saori_quillet.dll"',
        'VALUE "LegalCopyright", "Copyright (c) ',
    ]
    for line in expected:
        if line not in resource:
            fail(f"the version resource of {args.dll} lacks {line}:\n{resource}")
    print(f"{args.dll}: pei-{args.machine}, no time stamp, stripped, version {args.version}")


def snippet_arguments(data):
    """The variables a FUNCTIONEX dictionary snippet assigns: _name = / += terms joined by +,
    each a single-quoted string, CHR(n) or an earlier variable."""
    variables = {}
    calls = 0
    for line in data.splitlines():
        line = line.strip()
        if line.startswith(b"FUNCTIONEX("):
            calls += 1
            if line != b"FUNCTIONEX('saori_quillet.dll', _template, _separator, _list)":
                fail(f"an unexpected call: {line!r}")
            continue
        match = re.fullmatch(rb"(_\w+)\s*(\+?=)\s*(.*)", line)
        if not match:
            continue
        term = rb"'[^']*'|CHR\(\d+\)|_\w+"
        if not re.fullmatch(rb"(?:%s)(?:\s*\+\s*(?:%s))*" % (term, term), match.group(3)):
            fail(f"an expression the snippet check does not read: {line!r}")
        value = b""
        for part in re.findall(term, match.group(3)):
            if part.startswith(b"'"):
                value += part[1:-1]
            elif part.startswith(b"CHR("):
                value += bytes([int(part[4:-1])])
            elif part.decode() in variables:
                value += variables[part.decode()]
            else:
                fail(f"{part!r} is used before it is assigned")
        name = match.group(1).decode()
        variables[name] = variables.get(name, b"") + value if match.group(2) == b"+=" else value
    if calls != 1:
        fail(f"the snippet calls FUNCTIONEX {calls} times")
    return variables["_template"], variables["_separator"], variables["_list"]


def saori_load_arguments(data, fallback_list):
    match = re.search(rb"saori\.Request\('([^']*)', '([^']*)', list\)\.Result", data)
    if not match:
        fail("saori-load.txt has no saori.Request('...', '...', list).Result")
    return match.group(1), match.group(2), fallback_list


def request(charset, arguments):
    lines = [b"EXECUTE SAORI/1.0", b"Charset: " + charset, b"Sender: quillet-test"]
    lines += [b"Argument%d: %s" % (i, value) for i, value in enumerate(arguments)]
    return b"\r\n".join(lines) + b"\r\n\r\n"


def example_cases(args):
    """(name, request bytes, expected response bytes) of every example."""
    cases = []
    examples = os.path.join(args.source, "examples")
    for name in sorted(os.listdir(examples)):
        match = re.fullmatch(r"request-(.*)\.txt", name)
        if match:
            response = os.path.join(examples, f"response-{match.group(1)}.txt")
            cases.append((name, read(os.path.join(examples, name)), read(response)))
    # The snippets as shipped: the requests a runtime makes of them.
    shipped = os.path.join(args.unpacked, "windows", "examples")
    expected = os.path.join(args.source, "tests", "release")
    utf8 = snippet_arguments(read(os.path.join(shipped, "functionex-utf8.dic")))
    sjis = snippet_arguments(read(os.path.join(shipped, "functionex-sjis.dic")))
    load = saori_load_arguments(read(os.path.join(shipped, "saori-load.txt")), utf8[2])
    utf8_response = read(os.path.join(expected, "functionex-utf8.response"))
    cases.append(("functionex-utf8.dic", request(b"UTF-8", utf8), utf8_response))
    cases.append(("functionex-sjis.dic", request(b"Shift_JIS", sjis),
                  read(os.path.join(expected, "functionex-sjis.response"))))
    cases.append(("saori-load.txt", request(b"UTF-8", load), utf8_response))
    return cases


def end_to_end_cases(args):
    folder = os.path.join(args.source, "tests", "e2e", "cases")
    cases = []
    for name in sorted(os.listdir(folder)):
        if name.endswith(".request"):
            response = os.path.join(folder, name[: -len(".request")] + ".response")
            cases.append((name, read(os.path.join(folder, name)), read(response)))
    return cases


def runs_32_bit():
    try:
        subprocess.run(["/usr/lib/wine/wine", "--version"], check=True, timeout=600,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return True
    except (OSError, subprocess.SubprocessError):
        return False


def answers(args):
    if args.needs_32_bit and not runs_32_bit():
        print("this machine runs no 32-bit programs, not even through an emulator: skipped")
        sys.exit(SKIP)
    cases = (example_cases(args) if args.examples else []) + (
        end_to_end_cases(args) if args.cases else [])
    folder = os.path.join(args.work, os.path.basename(os.path.dirname(args.library)) + "-" +
                          os.path.basename(args.library))
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    files = []
    for number, (name, request_bytes, _) in enumerate(cases):
        path = os.path.join(folder, f"{number:03d}-{name}")
        with open(path, "wb") as f:
            f.write(request_bytes)
        files.append(path)
    command = ([args.runner] if args.runner else []) + [args.host, args.library] + files
    # The 32-bit DLL answers at its own floor, the SSE2 tier of its vector code.
    env = dict(os.environ, QUILLET_SIMD="sse2") if args.needs_32_bit else None
    run = subprocess.run(command, capture_output=True, timeout=1800, env=env)
    if run.returncode != 0:
        fail(f"saori_host exited with {run.returncode}: {run.stderr.decode(errors='replace')}")
    output = run.stdout
    at = 0
    for name, _, expected in cases:
        answer = output[at: at + len(expected)]
        if answer != expected:
            fail(f"{name}: answered {answer!r}, expected {expected!r}")
        at += len(expected)
    if at != len(output):
        fail(f"{len(output) - at} bytes more than expected after the last answer")
    print(f"{args.library}: {len(cases)} requests answered as expected")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--source", required=True)
    parser.add_argument("--unpacked", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--version", required=True)
    commands = parser.add_subparsers(dest="check", required=True)
    p = commands.add_parser("unpack")
    p.add_argument("--zip", required=True)
    p.add_argument("--tarball", required=True)
    p = commands.add_parser("repack")
    p.add_argument("--zip", required=True)
    p.add_argument("--tarball", required=True)
    p.add_argument("command", nargs="+")
    p = commands.add_parser("dll")
    p.add_argument("--dll", required=True)
    p.add_argument("--machine", required=True)
    p.add_argument("--objdump", required=True)
    p.add_argument("--windres", required=True)
    p = commands.add_parser("answers")
    p.add_argument("--library", required=True)
    p.add_argument("--host", required=True)
    p.add_argument("--runner")
    p.add_argument("--examples", action="store_true")
    p.add_argument("--cases", action="store_true")
    p.add_argument("--needs-32-bit", action="store_true")
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    {"unpack": unpack, "repack": repack, "dll": dll, "answers": answers}[args.check](args)


if __name__ == "__main__":
    main()
