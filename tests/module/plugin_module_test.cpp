#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "module/plugin_module.h"
#include "protocol/saori_message.h"

namespace quillet {
namespace {

using namespace std::string_literals;

const char kOk[] = "SAORI/1.0 200 OK\r\n\r\n";
static_assert(sizeof kOk - 1 == 20, "the GET Version answer is 20 bytes");
const char kBadRequest[] = "SAORI/1.0 400 Bad Request\r\n\r\n";
const char kServerError[] = "SAORI/1.0 500 Internal Server Error\r\n\r\n";

TEST(PluginModule, FreshModule) {
  PluginModule module;
  EXPECT_STREQ(module.version, "SAORI/1.0");
  EXPECT_TRUE(module.path.empty());
  EXPECT_TRUE(module.mails.empty());
}

TEST(PluginModule, LoadTwiceKeepsSecondPath) {
  PluginModule module;
  EXPECT_TRUE(module.load("C:\\ghost\\saori\\"));
  EXPECT_TRUE(module.load("./"));
  EXPECT_EQ(module.path, "./");
  EXPECT_TRUE(module.unload());
  EXPECT_EQ(module.path, "./");  // unload does nothing
}

TEST(PluginModuleRequest, Dispatch) {
  struct Case {
    const char* label;
    std::string request;
    const char* response;
  };
  const Case cases[] = {
      {"GET Version", "GET Version SAORI/1.0\r\n\r\n", kOk},
      {"GET Version with headers", "GET Version SAORI/1.0\r\nArgument0: x\r\n\r\n", kOk},
      {"GET alone is a leading part of GET Version", "GET SAORI/1.0\r\n\r\n", kOk},
      {"case ignored", "get VERSION SAORI/1.0\r\n\r\n", kOk},
      {"GET Version without line end", "GET Version SAORI/1.0", kOk},
      {"empty request", "", kOk},
      {"EXECUTE alone on the line has an empty command", "EXECUTE\r\n\r\n", kOk},
      {"EXECUTE alone without line end", "EXECUTE", kOk},
      {"EXECUTE without arguments", "EXECUTE SAORI/1.0\r\n\r\n", kBadRequest},
      {"execute", "execute SAORI/1.0\r\n\r\n", kBadRequest},
      {"Execute", "Execute SAORI/1.0\r\n\r\n", kBadRequest},
      {"EXEC", "EXEC SAORI/1.0\r\n\r\n", kBadRequest},
      {"E", "E SAORI/1.0\r\n\r\n", kBadRequest},
      {"leading white space", " \r\n\tEXECUTE SAORI/1.0\r\n\r\n", kBadRequest},
      {"EXECUTE2", "EXECUTE2 SAORI/1.0\r\n\r\n", kServerError},
      {"NOTIFY", "NOTIFY SAORI/1.0\r\n\r\n", kServerError},
      {"longer than GET Version", "GET Version2 SAORI/1.0\r\n\r\n", kServerError},
      {"two spaces inside GET Version", "GET  Version SAORI/1.0\r\n\r\n", kServerError},
      {"EXECUTE with a trailing empty word", "EXECUTE  SAORI/1.0\r\n\r\n", kServerError},
      {"NUL after EXECUTE", "EXECUTE\0x SAORI/1.0\r\n\r\n"s, kServerError},
      {"NUL after GET Version", "GET Version\0 SAORI/1.0\r\n\r\n"s, kServerError},
      // With a Charset the answer names the encoding EXECUTE answers in for it.
      {"GET Version names UTF-8", "GET Version SAORI/1.0\r\ncharset: utf8\r\n\r\n",
       "SAORI/1.0 200 OK\r\nCharset: UTF-8\r\n\r\n"},
      {"GET Version names EUC-JP", "GET Version SAORI/1.0\r\nCharset: EUC_JP\r\n\r\n",
       "SAORI/1.0 200 OK\r\nCharset: EUC-JP\r\n\r\n"},
      {"an empty Charset is Shift_JIS", "GET SAORI/1.0\r\nCharset: \r\n\r\n",
       "SAORI/1.0 200 OK\r\nCharset: Shift_JIS\r\n\r\n"},
      {"an unknown Charset is ISO-2022-JP", "GET Version SAORI/1.0\r\nCharset: koi8-r\r\n\r\n",
       "SAORI/1.0 200 OK\r\nCharset: ISO-2022-JP\r\n\r\n"},
      {"other commands name none", "NOTIFY SAORI/1.0\r\nCharset: UTF-8\r\n\r\n", kServerError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    PluginModule module;
    std::string response = "stale text that must go";
    EXPECT_TRUE(module.request(c.request, response));
    EXPECT_EQ(response, c.response);
  }
}

TEST(PluginModuleDispatch, StatusAndResponseMessage) {
  struct Case {
    const char* label;
    const char* request;
    int status;
  };
  const Case cases[] = {
      {"GET Version keeps the status", "GET Version SAORI/1.0\r\n\r\n", 200},
      {"other command", "NOTIFY SAORI/1.0\r\n\r\n", 500},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    PluginModule module;
    SaoriMessage requestMessage("SAORI/1.0");
    SaoriMessage responseMessage("SAORI/1.0");
    requestMessage.parse(c.request, static_cast<std::uint32_t>(std::strlen(c.request)));
    int status = 200;
    module.dispatch(status, requestMessage, responseMessage);
    EXPECT_EQ(status, c.status);
    EXPECT_TRUE(responseMessage.headerLines.empty());
    EXPECT_TRUE(responseMessage.startWords.empty());
  }
}

}  // namespace
}  // namespace quillet
