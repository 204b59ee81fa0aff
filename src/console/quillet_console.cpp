// quillet_console: asks for a template, a separator and a mail header list, builds an EXECUTE
// request from them, prints the request, has the module answer it and prints the response, and
// starts over until "quit" is typed or the input ends. The module code runs in this process; no
// plug-in library is loaded.
//
//   quillet_console [--charset NAME | -c NAME] [--help | -h] [--version]
//
// The request names NAME in its Charset header (Shift_JIS when none is given). --help prints
// the usage and --version the version, and the program ends; every other argument is ignored.
#include <cstdio>
#include <iostream>
#include <new>
#include <string>

#include "common/version.h"
#include "module/plugin_module.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace quillet {
namespace {

constexpr char quitWord[] = "quit";

// What each of the three lines of a cycle becomes: Argument0, Argument1, Argument2.
constexpr const char* prompts[3] = {"template-string: ", "separator-string: ", "ref4-string: "};
constexpr const char* argumentNames[3] = {"Argument0: ", "Argument1: ", "Argument2: "};

constexpr char requestLine[] = "EXECUTE SAORI/1.0\r\n";
constexpr char charsetHeader[] = "Charset: ";
constexpr char defaultCharset[] = "Shift_JIS";
constexpr char requestRule[] = "request-----------------------\n";
constexpr char responseRule[] = "response----------------------\n";

void Write(std::ostream& out, const std::string& bytes) {
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Reads one line: every byte up to the next "\n", which is dropped. A CR before it is kept, like
// any other byte (on Windows, where CR LF is the line end, a CR directly before the "\n" goes
// with it), and a line may be of any length. The last line of the input counts even when no "\n"
// follows it: it was typed in full, only the line end is missing. Returns false when the input
// has no byte left.
bool ReadLine(std::istream& in, std::string& line) {
  if (!std::getline(in, line)) return false;
#ifdef _WIN32
  if (!in.eof() && !line.empty() && line.back() == '\r') line.pop_back();
#endif
  return true;
}

constexpr char usageText[] =
    "usage: quillet_console [--charset NAME]\n"
    "\n"
    "Asks for a template, a separator and a mail header list (header lines separated by the\n"
    "byte 0x01, each mail closed by 0x02), builds an EXECUTE request from them, prints it and\n"
    "the plug-in's response, and starts over until \"quit\" or the end of the input.\n"
    "\n"
    "  -c, --charset NAME  the request's Charset (Shift_JIS when not given)\n"
    "  -h, --help          print this text\n"
    "      --version       print the version\n";

struct Options {
  const char* charset = defaultCharset;
  bool help = false;
  bool version = false;
};

// The charset named by the last "--charset NAME" or "-c NAME" among the arguments (Shift_JIS
// when there is none), and whether help or the version was asked for. An option without a NAME
// after it is ignored like any other argument; a NAME is never taken for an option.
Options ReadOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if ((option == "--charset" || option == "-c") && i + 1 < argc) {
      options.charset = argv[++i];
    } else if (option == "--help" || option == "-h") {
      options.help = true;
    } else if (option == "--version") {
      options.version = true;
    }
  }
  return options;
}

// The EXECUTE request for one cycle; the three lines go in byte for byte.
void BuildRequest(const std::string (&inputs)[3], const std::string& charset,
                  std::string& requestText) {
  std::size_t size = sizeof requestLine - 1 + sizeof charsetHeader - 1 + charset.size() + 4;
  for (int i = 0; i < 3; ++i)
    size += std::char_traits<char>::length(argumentNames[i]) + inputs[i].size() + 2;
  requestText.clear();
  requestText.reserve(size);
  requestText += requestLine;
  for (int i = 0; i < 3; ++i) {
    requestText += argumentNames[i];
    requestText += inputs[i];
    requestText += "\r\n";
  }
  requestText += charsetHeader;
  requestText += charset;
  requestText += "\r\n";
  requestText += "\r\n";  // the empty line that closes the request
}

// Runs the dialogue until "quit" or the end of the input; the exit code is 0 either way. At the
// end of the input nothing more is written: the "\n\n" follows only a line that was read.
int RunConsole(std::istream& in, std::ostream& out, const std::string& charset) {
  PluginModule module;
  module.load("./");

  std::string inputs[3];
  std::string line;
  std::string requestText;
  std::string responseText;
  for (;;) {
    for (int i = 0; i < 3; ++i) {
      out << prompts[i] << std::flush;
      if (!ReadLine(in, line)) {
        module.unload();
        return 0;
      }
      out << "\n\n";
      // The whole line is compared, so "quit" followed by a zero byte is not the quit word.
      if (line == quitWord) {
        out << std::flush;
        module.unload();
        return 0;
      }
      const std::size_t zero = line.find('\0');
      if (zero != std::string::npos) line.resize(zero);
      inputs[i].swap(line);
    }

    BuildRequest(inputs, charset, requestText);
    out << requestRule;
    Write(out, requestText);
    out << "\n\n" << std::flush;  // shown before the module works on it

    module.request(requestText, responseText);
    out << responseRule;
    Write(out, responseText);
    out << "\n\n";
  }
}

}  // namespace
}  // namespace quillet

int main(int argc, char** argv) {
#ifdef _WIN32
  // Bytes pass unchanged: CR LF and "\n\n" are written as they stand, and lines read from a file
  // or a pipe keep every byte but the CR of a CR LF line end (ReadLine). Typed at a console, input
  // stays in text mode, so that Ctrl+Z still ends the input.
  _setmode(_fileno(stdout), _O_BINARY);
  if (!_isatty(_fileno(stdin))) _setmode(_fileno(stdin), _O_BINARY);
#endif
  std::ios_base::sync_with_stdio(false);
  const quillet::Options options = quillet::ReadOptions(argc, argv);
  if (options.help) {
    std::cout << quillet::usageText << std::flush;
    return 0;
  }
  if (options.version) {
    std::cout << "quillet_console " QUILLET_VERSION "\n" << std::flush;
    return 0;
  }
  try {
    return quillet::RunConsole(std::cin, std::cout, options.charset);
  } catch (const std::bad_alloc&) {
    return 1;  // a line too long to hold in memory
  }
}
