// SPDX-License-Identifier: MIT
#include "summary/JsonText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

TEST(JsonTextTest, EscapesEveryByteOutsidePrintableAscii) {
  JsonText json;
  json.Open('{');
  json.Key("name").String(std::string("a\"b\\c\x01\x7F\xC3\xA9 \n", 11));
  json.Key("list").Open('[');
  json.Integer(-5);
  json.Unsigned(18446744073709551615u);
  json.Bool(true);
  json.Null();
  json.Tenths(97.25);
  json.Tenths(NAN);
  json.Open('{');
  json.Close('{');
  json.Close('[');
  json.Close('{');
  EXPECT_EQ(json.Text(),
            "{\"name\":\"a\\\"b\\\\c\\u0001\\u007f\\u00c3\\u00a9 \\u000a\","
            "\"list\":[-5,18446744073709551615,true,null,97.2,null,{}]}");
}
