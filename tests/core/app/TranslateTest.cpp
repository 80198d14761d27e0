#include <gtest/gtest.h>

#include "FatalCatcher.h"
#include "support/TempDir.h"
#include "core/app/Translate.h"
#include "support/TestText.h"

using namespace kelvra;
using kelvra::test::kBom;
using kelvra::test::EFatal;

namespace {


// A language over its defaults, both written as files like the real ones.
class TranslateTest : public testing::Test {
protected:
  void SetUp() override {
    fLangFn = fDir.Write("xx.txt", kBom + R"([Info]
lang=Testish

[Strings]
; comment
# comment too
greeting = Hello, %s!
shared=from language
ref=$greeting
ref_missing=$nowhere
chain=$ref
ref_to_default=$only_default
no equals sign here
twice=first
TWICE=second
spaced=  padded value

[Strings]
late=never read

[WinA]
shared=window A text
caption=Window A
wref=$local
local=window A local

[winb]
shared=window B text
)");
    fDefFn = fDir.Write("defaults.txt", kBom + R"([Info]
lang=Defaults

[Strings]
shared=from defaults
only_default=default text
def_ref=$only_default
def_chain=$def_ref
late=default text

[WinA]
default_window_key=defaults of window A
)");
    fTr.Load(fLangFn);
    fTr.LoadDefaults(fDefFn);
  }

  test::TTempDir fDir;
  test::TFatalCatcher fFatal;
  std::string fLangFn, fDefFn;
  TTranslation fTr;
};

TEST_F(TranslateTest, LoadErrorsCarryTheirTexts) {
  struct TCase {
    const char *name;
    std::string file;
    bool defaults;
    std::string message;
  } cases[] = {
      {"EmptyName", "", false, "Translation file is empty."},
      {"Missing", fDir.Path() + "no.txt", false,
       "Translation file [" + fDir.Path() + "no.txt] not found."},
      {"NoLang", fDir.Write("nolang.txt", kBom + "[Info]\nname=x\n"), false,
       "Invalid translation file [" + fDir.Path() + "nolang.txt]."},
      {"DefaultsEmptyName", "", true, "Defaults translation file is empty."},
      {"DefaultsMissing", fDir.Path() + "no.txt", true,
       "Defaults translation file [" + fDir.Path() + "no.txt] not found."},
      {"DefaultsNoLang", fDir.Path() + "nolang.txt", true,
       "Invalid translation file [" + fDir.Path() + "nolang.txt]."},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    TTranslation tr;
    try {
      c.defaults ? tr.LoadDefaults(c.file) : tr.Load(c.file);
      ADD_FAILURE() << "no error";
    } catch (const ETranslation &e) {
      EXPECT_EQ(e.what(), c.message);
    }
  }
}

TEST_F(TranslateTest, StrictLookup) {
  struct TCase {
    const char *key;
    std::string expected;
  } cases[] = {
      {"greeting", "Hello, %s!"},
      {"GREETING", "Hello, %s!"},         // keys match without regard to case
      {"shared", "from language"},        // the language wins over the defaults
      {"only_default", "default text"},   // found through the defaults
      {"ref", "Hello, %s!"},              // "$" refers to another item
      {"ref_missing", "$nowhere"},        // a name found nowhere stays as written
      {"chain", "$greeting"},             // the text referred to is not resolved again
      {"ref_to_default", "default text"}, // the reference may end in the defaults
      {"def_chain", "$only_default"},     // also inside the defaults, one level only
      {"twice", "second"},                // a later line replaces an earlier one
      {"spaced", "padded value"},
      {"late", "default text"}, // a second section of a name is never read
      {"", ""},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(fTr.GetString(c.key), c.expected);
  }
}

TEST_F(TranslateTest, StrictLookupOfAMissingKeyEndsTheProgram) {
  try {
    fTr.GetString("nowhere_at_all");
    FAIL() << "no fatal error";
  } catch (const EFatal &e) {
    EXPECT_STREQ(e.what(), "GetString(nowhere_at_all): no string");
  }
}

TEST_F(TranslateTest, WindowAwareLookup) {
  struct TCase {
    const char *window;
    const char *key;
    const char *def;
    std::string expected;
  } cases[] = {
      {"WinA", "shared", " ", "window A text"}, // the window's own section wins
      {"WinB", "shared", " ", "window B text"}, // section names match without regard to case
      {"WinC", "shared", " ", "from language"}, // no section: "Strings"
      {"WinA", "greeting", " ", "Hello, %s!"},
      {"WinA", "default_window_key", " ", "defaults of window A"},
      {"WinA", "only_default", " ", "default text"},
      {"WinA", "nowhere", " ", ""}, // a blank default gives an empty text
      {"WinA", "nowhere", "Designed", "Designed"},
      {"WinA", "wref", " ", "window A local"}, // "$" looks in the window's section first
      {"WinA", "ref_to_default", " ", "default text"},
      {"WinA", "chain", " ", "$greeting"},
      {"WinA", "", "x", ""},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(std::string(c.window) + "." + c.key);
    EXPECT_EQ(fTr.GetString(c.window, c.key, c.def), c.expected);
  }
}

TEST_F(TranslateTest, WindowAwareLookupWithoutAnyDefaultEndsTheProgram) {
  try {
    fTr.GetString("WinC", "Caption", "");
    FAIL() << "no fatal error";
  } catch (const EFatal &e) {
    EXPECT_STREQ(e.what(), "GetString(WinC.Caption): no string");
  }
}

TEST_F(TranslateTest, FormattingVariants) {
  EXPECT_EQ(fTr.GetString("greeting", {"Ann"}), "Hello, Ann!");
  EXPECT_EQ(fTr.GetString("WinA", "greeting", {"Bob"}, " "), "Hello, Bob!");
  // Asked without arguments the placeholder stays as it is.
  EXPECT_EQ(fTr.GetString("greeting", {}), "Hello, %s!");
  EXPECT_EQ(fTr.GetString("greeting", {1.5}), "Hello, 1.5!");
}

TEST_F(TranslateTest, FileWithoutByteOrderMarkIsReadInTheLegacyCodePage) {
  // "Русский" and "Привет" in Windows-1251.
  const std::string fn = fDir.Write(
      "legacy.txt",
      "[Info]\nlang=\xD0\xF3\xF1\xF1\xEA\xE8\xE9\n[Strings]\nhi=\xCF\xF0\xE8\xE2\xE5\xF2\n");
  TTranslation tr;
  tr.Load(fn);
  EXPECT_EQ(tr.GetLang(), "Русский");
  EXPECT_EQ(tr.GetString("hi"), "Привет");
}

} // namespace
