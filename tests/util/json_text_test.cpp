#include "util/json_text.h"

#include <gtest/gtest.h>

namespace bb {
namespace {

TEST(JsonTextTest, EscapesWhatJsonNeedsAndReplacesWhatIsNotUtf8) {
  EXPECT_EQ(JsonString("C:\\isp\\\"fw\".brn"), "\"C:\\\\isp\\\\\\\"fw\\\".brn\"");
  EXPECT_EQ(JsonString(std::string("a\nb\tc\x01\x7f", 7)), "\"a\\nb\\tc\\u0001\x7f\"");
  // A full-width colon and a Chinese caption pass as they are.
  EXPECT_EQ(JsonString("ISP Function Explain：关于"), "\"ISP Function Explain：关于\"");
  // A lone continuation byte, a cut sequence (one replacement for the part
  // that was there, as Unicode advises), an overlong form and a surrogate.
  EXPECT_EQ(JsonString("\x80x\xE4\xBDy\xC0\xAF\xED\xA0\x80"),
            "\"\xEF\xBF\xBDx\xEF\xBF\xBDy\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
            "\xEF\xBF\xBD\"");
  // Members stay in the order they were added.
  EXPECT_EQ(JsonText(Json{{"z", 1}, {"a", nullptr}}), "{\"z\":1,\"a\":null}");
}

}  // namespace
}  // namespace bb
