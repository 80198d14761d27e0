// The translation files shipped with the program: each can be offered and loaded, and a
// language file names no key that the English defaults lack (a misspelt key would otherwise
// never be looked up and its text silently never shown).

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "core/app/Common.h"
#include "core/util/LumFiles.h"
#include "core/util/LumStrings.h"

using namespace kelvra;

namespace {

namespace fs = std::filesystem;

std::string TranslationsDir() {
  const char *src = std::getenv("KELVRA_SOURCE_DIR");
  return src ? std::string(src) + "/Translations/" : std::string();
}

std::vector<std::string> SectionNames(const std::string &text) {
  std::vector<std::string> names;
  TLumStringList lines(text);
  for (int32_t i = 0; i < lines.Count(); ++i) {
    const std::string t = Trim(lines[i]);
    if (t.size() > 2 && t.front() == '[' && t.back() == ']')
      names.push_back(t.substr(1, t.size() - 2));
  }
  return names;
}

TEST(TranslationFilesTest, EveryFileStartsWithTheMarkAndIsOffered) {
  const std::string dir = TranslationsDir();
  ASSERT_FALSE(dir.empty());
  TLumHintHash offered;
  ListTranslations(dir, offered);
  int files = 0;
  for (const auto &entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".txt") continue;
    ++files;
    std::string head(3, '\0');
    ReadBuffer(entry.path().string(), head.data(), 3, 0);
    EXPECT_EQ(head, "\xEF\xBB\xBF") << entry.path();
    const std::string base = entry.path().stem().string();
    if (base != "defaults") EXPECT_GE(offered.KeyIndex(base), 0) << base;
  }
  EXPECT_EQ(offered.Count(), files - 1);
  EXPECT_GE(offered.KeyIndex("en"), 0);
  EXPECT_GE(offered.KeyIndex("ru"), 0);
}

TEST(TranslationFilesTest, LanguagesNameOnlyKeysTheDefaultsKnow) {
  const std::string dir = TranslationsDir();
  TTranslation defaults;
  ASSERT_TRUE(defaults.Load(dir + "defaults.txt"));
  TLumHintHash offered;
  ListTranslations(dir, offered);
  for (int32_t i = 0; i < offered.Count(); ++i) {
    const std::string fn = offered.GetHintByIndex(i);
    SCOPED_TRACE(fn);
    TTranslation lang;
    ASSERT_TRUE(lang.Load(fn));
    for (const std::string &section : SectionNames(ReadAsString(fn))) {
      if (SameText(section, "Info")) continue;
      const TLumHash &known = defaults.GetSection(section);
      EXPECT_GT(known.Count(), 0) << "section [" << section << "] is not in defaults.txt";
      for (const TLumHashItem &item : lang.GetSection(section))
        EXPECT_TRUE(known.HasKey(item.key)) << "[" << section << "] " << item.key;
    }
  }
}

} // namespace
