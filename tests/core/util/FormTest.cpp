// Form-encoded values and bodies.
#include <gtest/gtest.h>

#include "core/util/LumForm.h"
#include "core/util/LumHash.h"

namespace kelvra {
namespace {

TEST(UrlEncodeTest, Table) {
  const std::pair<const char *, const char *> cases[] = {
      {"plain", "plain"},
      {"a b", "a+b"},
      {"p&q=r", "p%26q%3Dr"},
      {"@!$'()*-._", "@!$'()*-._"},
      {"100%", "100%25"},
      {"a/b?c#d", "a%2Fb%3Fc%23d"},
      {"#00FF00", "%2300FF00"},
      {"\xD0\xB6", "%D0%B6"}, // a Cyrillic letter: its two UTF-8 bytes
      {"", ""},
  };
  for (const auto &[in, out] : cases)
    EXPECT_EQ(UrlEncode(in), out) << in;
}

TEST(FormBodyTest, EveryEntryEncodedInTableOrderWithTrailingAmpersand) {
  TLumHash fields;
  fields.SetVal("name", "Ann Lee");
  fields.SetVal("password", "a&b=c");
  fields.SetVal("tz", "-18000");
  EXPECT_EQ(FormBody(fields), "name=Ann+Lee&password=a%26b%3Dc&tz=-18000&");
  EXPECT_EQ(FormBody(TLumHash()), "");
}

} // namespace
} // namespace kelvra
