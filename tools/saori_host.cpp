// saori_host: drives any SAORI/1.0 plug-in library from the command line.
//
//   saori_host LIBRARY [REQUEST_FILE ...]
//   saori_host --help | --version
//
// Loads LIBRARY, calls its load with the library's folder, sends the bytes of each request file
// (standard input when none is named) through request, writes each response to standard output
// byte for byte, and calls unload. Blocks are made and freed as the platform's hosts do:
// GlobalAlloc / GlobalFree on Windows, malloc / free elsewhere. Exit status 0 when every step
// worked; otherwise 1, with the reason on standard error.
//
// The tool knows the plug-in only through its three exports; it links none of its code.

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "common/version.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#define SAORI_CDECL __cdecl
#else
#include <dlfcn.h>
#include <limits.h>
#define SAORI_CDECL
#endif

namespace {

using Block = void*;
using Function = void (*)();
using LoadFunction = int(SAORI_CDECL*)(Block, long);
using RequestFunction = Block(SAORI_CDECL*)(Block, long*);
using UnloadFunction = int(SAORI_CDECL*)();

const char* programName = "saori_host";

constexpr char usageText[] =
    "usage: saori_host LIBRARY [REQUEST_FILE ...]\n"
    "\n"
    "Loads the SAORI/1.0 plug-in LIBRARY, sends the bytes of each REQUEST_FILE (standard input\n"
    "when none is named) as one request, writes each response to standard output byte for byte,\n"
    "and unloads the plug-in. Exit status 0 when every step worked, 1 otherwise.\n"
    "\n"
    "  -h, --help     print this text\n"
    "      --version  print the version\n";

void Complain(const std::string& what) {
  std::fprintf(stderr, "%s: %s\n", programName, what.c_str());
}

#ifdef _WIN32

using Library = HMODULE;

// The system's text for the last error, or its number when there is none.
std::string LastError() {
  const DWORD code = GetLastError();
  char text[512];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                code, 0, text, sizeof text, nullptr);
  while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' ||
                        text[length - 1] == ' ' || text[length - 1] == '.')) {
    --length;
  }
  if (length == 0) return "error " + std::to_string(code);
  return std::string(text, length);
}

Library OpenLibrary(const std::string& file, std::string& error) {
  Library library = LoadLibraryA(file.c_str());
  if (library == nullptr) error = LastError();
  return library;
}

Function FindExport(Library library, const char* name) {
  return reinterpret_cast<Function>(GetProcAddress(library, name));
}

void CloseLibrary(Library library) {
  FreeLibrary(library);
}

// The folder the library was loaded from, with its trailing separator.
std::string LibraryFolder(Library library, const std::string&) {
  char file[MAX_PATH + 1];
  DWORD length = GetModuleFileNameA(library, file, MAX_PATH);
  std::string folder(file, length < MAX_PATH ? length : 0);
  std::size_t slash = folder.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".\\") : folder.substr(0, slash + 1);
}

Block NewBlock(std::size_t bytes) {
  return GlobalAlloc(GMEM_FIXED, bytes);
}
void FreeBlock(Block block) {
  GlobalFree(block);
}

void UseBinaryMode() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

#else

using Library = void*;

Library OpenLibrary(const std::string& file, std::string& error) {
  // A bare file name means the file in the current folder, not a search of the system's paths.
  std::string path = file.find('/') == std::string::npos ? "./" + file : file;
  Library library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) error = dlerror();
  return library;
}

Function FindExport(Library library, const char* name) {
  return reinterpret_cast<Function>(dlsym(library, name));
}

void CloseLibrary(Library library) {
  dlclose(library);
}

std::string LibraryFolder(Library, const std::string& file) {
  char resolved[PATH_MAX];
  std::string path = realpath(file.c_str(), resolved) != nullptr ? resolved : file;
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

Block NewBlock(std::size_t bytes) {
  return std::malloc(bytes);
}
void FreeBlock(Block block) {
  std::free(block);
}

void UseBinaryMode() {}

#endif

bool ReadAll(std::FILE* stream, std::string& bytes) {
  char buffer[65536];
  std::size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, stream)) > 0) bytes.append(buffer, count);
  return !std::ferror(stream);
}

bool ReadFile(const char* name, std::string& bytes) {
  std::FILE* stream = std::fopen(name, "rb");
  if (stream == nullptr) return false;
  bool read = ReadAll(stream, bytes);
  std::fclose(stream);
  return read;
}

// A block with a copy of the text; never of size 0, so that malloc(0) cannot answer null.
Block TextToBlock(const std::string& text) {
  Block block = NewBlock(text.empty() ? 1 : text.size());
  if (block != nullptr && !text.empty()) std::memcpy(block, text.data(), text.size());
  return block;
}

struct Plugin {
  LoadFunction load = nullptr;
  RequestFunction request = nullptr;
  UnloadFunction unload = nullptr;
};

// Sends one request and writes the response; false when the plug-in answered no block.
bool SendRequest(const Plugin& plugin, const std::string& text, const std::string& source) {
  if (text.size() > static_cast<unsigned long>(LONG_MAX)) {
    Complain(source + ": too long for one request");
    return false;
  }
  Block block = TextToBlock(text);
  if (block == nullptr) {
    Complain(source + ": out of memory");
    return false;
  }
  long length = static_cast<long>(text.size());
  Block response = plugin.request(block, &length);
  // The plug-in releases a block it has read; one of length 0 stays the host's.
  if (text.empty()) FreeBlock(block);
  if (response == nullptr) {
    Complain(source + ": request answered no block");
    return false;
  }
  bool written = length <= 0 || std::fwrite(response, 1, static_cast<std::size_t>(length),
                                            stdout) == static_cast<std::size_t>(length);
  FreeBlock(response);
  if (!written) Complain("cannot write to standard output");
  return written;
}

int Run(int argc, char** argv) {
  const std::string file = argc < 2 ? std::string() : argv[1];
  if (argc < 2 || file == "--help" || file == "-h") {
    std::fputs(usageText, stdout);
    return 0;
  }
  if (file == "--version") {
    std::printf("%s (quillet) %s\n", programName, QUILLET_VERSION);
    return 0;
  }
  UseBinaryMode();
  std::string error;
  Library library = OpenLibrary(file, error);
  if (library == nullptr) {
    Complain("cannot load " + file + ": " + error);
    return 1;
  }
  Plugin plugin;
  plugin.load = reinterpret_cast<LoadFunction>(FindExport(library, "load"));
  plugin.request = reinterpret_cast<RequestFunction>(FindExport(library, "request"));
  plugin.unload = reinterpret_cast<UnloadFunction>(FindExport(library, "unload"));
  const char* missing = plugin.load == nullptr      ? "load"
                        : plugin.request == nullptr ? "request"
                        : plugin.unload == nullptr  ? "unload"
                                                    : nullptr;
  if (missing != nullptr) {
    Complain(file + " does not export " + missing);
    CloseLibrary(library);
    return 1;
  }

  bool ok = true;
  const std::string folder = LibraryFolder(library, file);
  Block path = TextToBlock(folder);
  if (path == nullptr || plugin.load(path, static_cast<long>(folder.size())) == 0) {
    // A block that the plug-in has read is released by it, whatever load answers.
    Complain("load failed for " + file);
    ok = false;
  } else if (argc == 2) {
    std::string text;
    if (ReadAll(stdin, text)) {
      ok = SendRequest(plugin, text, "standard input");
    } else {
      Complain("cannot read standard input");
      ok = false;
    }
  } else {
    for (int i = 2; i < argc; ++i) {
      std::string text;
      if (!ReadFile(argv[i], text)) {
        Complain(std::string("cannot read ") + argv[i]);
        ok = false;
        continue;
      }
      if (!SendRequest(plugin, text, argv[i])) ok = false;
    }
  }
  if (std::fflush(stdout) != 0) {
    Complain("cannot write to standard output");
    ok = false;
  }
  plugin.unload();
  CloseLibrary(library);
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    Complain(e.what());
    return 1;
  }
}
