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

EXAMPLES = [f"examples/{name}-{charset}.dic" for name in ("functionex", "onbiffcomplete")
            for charset in ("utf8", "sjis", "euc")] + [
    "examples/saori-load.txt", "examples/onbiffcomplete-saori-load.txt",
    "examples/request-utf8.txt", "examples/response-utf8.txt"]
WINDOWS_FILES = ["saori_quillet.dll", "x64/saori_quillet.dll", "readme.txt",
                 "LICENSE.txt"] + EXAMPLES
# Texts a Windows user opens in an editor: CR LF line ends only.
WINDOWS_TEXTS = ["readme.txt", "LICENSE.txt"] + [
    name for name in EXAMPLES if not re.search(r"/re(quest|sponse)-", name)]
POSIX_FILES = ["saori_quillet.so"] + WINDOWS_FILES[2:]
# The dictionary snippets' copies, by file name suffix, with the Charset a runtime set to that
# charset asks for (tests/release/functionex-SUFFIX.response is the answer).
DICTIONARY_CHARSETS = [("utf8", b"UTF-8"), ("sjis", b"Shift_JIS"), ("euc", b"EUC-JP")]


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
    guide = readme[3:].decode("utf-8").replace("\r\n", "\n")
    guide_shows_the_examples(guide, target, args)
    guide_lists_the_files(guide, WINDOWS_FILES, "the zip", args)
    licence_names_the_data(read(os.path.join(target, "LICENSE.txt")).decode("ascii"), args)
    copies_are_generated(target, args)

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
    guide = read(os.path.join(target, top, "readme.txt")).decode("utf-8")
    guide_lists_the_files(guide, POSIX_FILES, "the tarball", args)
    print(f"the packages hold the {len(WINDOWS_FILES)} and {len(POSIX_FILES)} files expected")


def guide_shows_the_examples(guide, unpacked, args):
    """The guide's script examples are the shipped snippets, line for line, and the answer it
    shows is the one the plug-in gives for them."""
    for name in ("functionex-utf8.dic", "onbiffcomplete-utf8.dic", "saori-load.txt",
                 "onbiffcomplete-saori-load.txt"):
        text = read(os.path.join(unpacked, "examples", name)).decode("utf-8")
        block = "\n".join("    " + line if line else "" for line in text.splitlines())
        if "\n" + block + "\n" not in guide:
            fail(f"readme.txt does not show examples/{name} as it is shipped")
    response = read(os.path.join(args.source, "tests", "release", "functionex-utf8.response"))
    result = re.search(rb"^Result: (.*)\r$", response, re.M).group(1).decode("utf-8")
    if "\n    " + result + "\n" not in guide:
        fail("readme.txt does not show the Result that the snippet gets")


def guide_lists_the_files(guide, files, package, args):
    """The guide names its version in its first line, and its list of contents (the indented
    lines of the section that lists them, and of the examples) names the package's files, all
    of them and no other."""
    title = f"# quillet {args.version} 説明書"
    if guide.splitlines()[0] != title:
        fail(f"{package}: readme.txt does not start with '{title}'")
    section = re.search(r"^## 配布物の中身\n(.*?)^## ", guide, re.M | re.S).group(1)
    listed = []
    for line in re.findall(r"^    (\S+)", section, re.M):
        listed.append(line if line in files or line.endswith("/") else "examples/" + line)
    expected = [name for name in files if not name.startswith("examples/")]
    expected += ["examples/"] + [name for name in files if name.startswith("examples/")]
    if listed != expected:
        fail(f"{package}: readme.txt lists {listed}, not {expected}")


def licence_names_the_data(licence, args):
    """LICENSE.txt is the MIT licence, and carries the notice the Encoding Standard's licence
    asks for: its copyright line, the licence and its link, the commit the tables come from."""
    notes = read(os.path.join(args.source, "third_party", "whatwg-encoding", "README.md"))
    commit = re.search(rb"commit ([0-9a-f]{7,})", notes).group(1).decode()
    for text in ("MIT License", "Copyright (c) WHATWG (Apple, Google, Mozilla, Microsoft).",
                 "Creative Commons Attribution 4.0 International License",
                 "https://creativecommons.org/licenses/by/4.0/", "BSD 3-Clause License",
                 f"commit {commit}", "were generated from"):
        if text not in " ".join(licence.split()):
            fail(f"LICENSE.txt lacks '{text}'")


def copies_are_generated(unpacked, args):
    """The Shift_JIS and EUC-JP copies of each dictionary snippet are what the generator makes
    of the UTF-8 one: the same lines, in their charset."""
    sys.path.insert(0, os.path.join(args.source, "tools"))
    import make_dictionary_examples as generator
    for path, data in generator.copies():
        shipped = read(os.path.join(unpacked, "examples", os.path.basename(path)))
        if shipped.replace(b"\r\n", b"\n") != data:
            fail(f"examples/{os.path.basename(path)} is not the copy of its UTF-8 original")


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


def snippet_arguments(data, inline_list=None):
    """The arguments of a YAYA dictionary snippet's one FUNCTIONEX call: its variables
    _template, _separator and _list, assigned with = or += from terms joined by +, each a
    single-quoted string, CHR(n) or an earlier variable. A call with reference[4] (the event's
    header list) gets inline_list."""
    variables = {}
    calls = re.findall(rb"FUNCTIONEX\((.*)\)", data)
    if len(calls) != 1:
        fail(f"the snippet calls FUNCTIONEX {len(calls)} times")
    list_argument = calls[0].split(b", ")[-1]
    if calls[0] != b"'saori_quillet.dll', _template, _separator, " + list_argument or (
            list_argument not in (b"_list", b"reference[4]")):
        fail(f"an unexpected call: FUNCTIONEX({calls[0]!r})")
    for line in data.splitlines():
        match = re.fullmatch(rb"\s*(_template|_separator|_list)\s*(\+?=)\s*(.*)", line)
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
    if list_argument == b"reference[4]":
        variables["_list"] = inline_list
    return variables["_template"], variables["_separator"], variables["_list"]


def saori_load_arguments(data, fallback_list):
    """The arguments of an Aosora snippet's saori.Request: its two strings, and the header list
    (a variable, or the event's Shiori.Reference[4]) as fallback_list."""
    match = re.search(rb"saori\.Request\('([^']*)', '([^']*)', (list|Shiori\.Reference\[4\])\)"
                      rb"\.Result", data)
    if not match:
        fail("the snippet has no saori.Request('...', '...', list).Result")
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
    # The snippets as shipped: the requests a runtime makes of them, each with the inline list
    # of MailSummary as the event's header list.
    shipped = os.path.join(args.unpacked, "windows", "examples")
    expected = os.path.join(args.source, "tests", "release")
    inline_list = snippet_arguments(read(os.path.join(shipped, "functionex-utf8.dic")))[2]
    for suffix, charset in DICTIONARY_CHARSETS:
        response = read(os.path.join(expected, f"functionex-{suffix}.response"))
        for name in (f"functionex-{suffix}.dic", f"onbiffcomplete-{suffix}.dic"):
            arguments = snippet_arguments(read(os.path.join(shipped, name)), inline_list)
            cases.append((name, request(charset, arguments), response))
    utf8_response = read(os.path.join(expected, "functionex-utf8.response"))
    for name in ("saori-load.txt", "onbiffcomplete-saori-load.txt"):
        arguments = saori_load_arguments(read(os.path.join(shipped, name)), inline_list)
        cases.append((name, request(b"UTF-8", arguments), utf8_response))
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
