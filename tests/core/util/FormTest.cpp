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

TEST(EncodeQueryTest, ValuesBecomeSafeAndEncodedTextStays) {
  struct TCase {
    const char *in;
    const char *out;
  };
  const TCase cases[] = {
      {"from=2024-03-05T21:04:09Z&to=2024-03-06T00:00:00Z",
       "from=2024-03-05T21:04:09Z&to=2024-03-06T00:00:00Z"},
      {"txt=get config", "txt=get%20config"},
      {"txt=a#b+c", "txt=a%23b%2Bc"},
      {"txt=100%", "txt=100%25"},
      {"txt=%2F%zz", "txt=%2F%25zz"},
      {"name=\xD0\xAF", "name=%D0%AF"},
      {"x=\"<>\\^`{|}\x01", "x=%22%3C%3E%5C%5E%60%7B%7C%7D%01"},
  };
  for (const TCase &c : cases) {
    EXPECT_EQ(EncodeQuery(c.in), c.out) << c.in;
    EXPECT_EQ(EncodeQuery(EncodeQuery(c.in)), c.out) << "twice: " << c.in;
  }
  EXPECT_EQ(QueryValue("a b&c=d%"), "a%20b%26c%3Dd%25");
  EXPECT_EQ(EncodeQuery("txt=" + QueryValue("50% & #1")), "txt=50%25%20%26%20%231");
}

} // namespace
} // namespace kelvra
