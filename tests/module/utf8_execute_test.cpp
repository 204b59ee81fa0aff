// EXECUTE with Charset UTF-8: the template and the separator are cleaned like the mails'
// text, so Result is valid UTF-8 and, as in every mode, holds no CR LF pair.
#include <gtest/gtest.h>

#include <string>

#include "module/plugin_module.h"

namespace quillet {
namespace {

const std::string kFffd = "\xEF\xBF\xBD";  // U+FFFD

TEST(ExecuteUtf8, ResultIsCleanUtf8) {
  struct Case {
    const char* label;
    std::string charset;
    std::string arguments;  // Argument0..2 lines
    std::string result;
  };
  const Case cases[] = {
      {"invalid template and separator bytes become U+FFFD", "UTF-8",
       "Argument0: \xFF[!Subject!]\r\nArgument1: \xE3\x81\r\n"
       "Argument2: Subject: =?UTF-8?Q?a?=\x02Subject: b\xE9\x02\r\n",
       kFffd + "[a]" + kFffd + kFffd + "[b" + kFffd + "]"},
      {"a decoded CR LF is removed", "utf8",
       "Argument0: !Subject!\r\nArgument1: ,\r\n"
       "Argument2: Subject: =?ISO-8859-1?Q?a=0D=0Ab?=\x02\r\n",
       "ab"},
      {"white space before a line's first word stays", "UTF-8",
       "Argument0: [!Subject!]\r\nArgument1: ,\r\n"
       "Argument2: X: y\x01 =?UTF-8?Q?Subject:_x?=\x02\r\n",
       "[]"},
      {"legacy targets keep template bytes as sent", "Shift_JIS",
       "Argument0: \xFF!Subject!\r\nArgument1: ,\r\nArgument2: Subject: x\x02\r\n", "\xFFx"},
  };
  for (const Case& c : cases) {
    PluginModule module;
    module.load("./");
    std::string response;
    module.request("EXECUTE SAORI/1.0\r\nCharset: " + c.charset +
                       "\r\nSender: AYA\r\nSecurityLevel: local\r\n" + c.arguments + "\r\n",
                   response);
    EXPECT_EQ(response,
              "SAORI/1.0 200 OK\r\nResult: " + c.result + "\r\nCharset: " + c.charset + "\r\n\r\n")
        << c.label;
    module.unload();
  }
}

}  // namespace
}  // namespace quillet
