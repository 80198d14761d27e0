#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "FatalCatcher.h"
#include "core/app/Common.h"
#include "support/TempDir.h"
#include "support/TestText.h"

using namespace kelvra;
using kelvra::test::kBom;
using kelvra::test::EFatal;

namespace {

namespace fs = std::filesystem;


// Sets an environment variable for the length of a test and puts the old value back.
class TEnv {
public:
  TEnv(const char *name, const char *value) : fName(name) {
    if (const char *old = std::getenv(name)) fOld = old, fHad = true;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~TEnv() { fHad ? ::setenv(fName, fOld.c_str(), 1) : ::unsetenv(fName); }

private:
  const char *fName;
  std::string fOld;
  bool fHad = false;
};

// A program folder in a temporary place: the program file's name, its settings and
// configuration files and, unless a test removes it, the real Translations folder.
class InitTest : public testing::Test {
protected:
  void SetUp() override {
    const char *src = std::getenv("KELVRA_SOURCE_DIR");
    ASSERT_NE(src, nullptr);
    fs::copy(std::string(src) + "/Translations", fDir.Path() + "Translations",
             fs::copy_options::recursive);
    fExe = fDir.Path() + "KelvraMonitor";
  }
  void TearDown() override { Done(); }

  void InitWith(std::vector<std::string> args = {}) { Init(fExe, args); }

  test::TTempDir fDir;
  test::TFatalCatcher fFatal;
  TEnv fLcAll{"LC_ALL", "en_US.UTF-8"};
  TEnv fXdg{"XDG_DATA_HOME", nullptr};
  std::string fExe;
};

TEST_F(InitTest, FoldersAndFilesLiveBesideAWritableProgram) {
  InitWith();
  EXPECT_EQ(ExeName, fExe);
  EXPECT_EQ(HomeDir, fDir.Path());
  EXPECT_EQ(PhotoDir, fDir.Path() + "PhotoCache/");
  EXPECT_TRUE(fs::is_directory(PhotoDir));
  EXPECT_EQ(IniFileName, fDir.Path() + "KelvraMonitor.ini");
  EXPECT_EQ(CfgFileName, fDir.Path() + "KelvraMonitor.conf");
  EXPECT_EQ(TranslateDir, fDir.Path() + "Translations/");
  ASSERT_NE(AddressCache, nullptr);
  EXPECT_EQ(AddressCache->CacheFile(), fDir.Path() + "KelvraMonitor.address");
}

// A program in a folder it may not write to keeps its files in the per-user data folder, and
// finds its translations there when there are none beside it.
TEST_F(InitTest, ReadOnlyProgramFolderUsesTheDataFolder) {
  TEnv xdg("XDG_DATA_HOME", fDir.Path().c_str());
  fs::create_directories(fDir.Path() + "KelvraMonitor");
  fs::copy(fDir.Path() + "Translations", fDir.Path() + "KelvraMonitor/Translations",
           fs::copy_options::recursive);
  // Nobody, not even root, may create files in /proc/self/.
  Init("/proc/self/KelvraMonitor", {});
  EXPECT_EQ(HomeDir, fDir.Path() + "KelvraMonitor/");
  EXPECT_EQ(IniFileName, HomeDir + "KelvraMonitor.ini");
  EXPECT_EQ(CfgFileName, HomeDir + "KelvraMonitor.conf");
  EXPECT_EQ(TranslateDir, HomeDir + "Translations/");
  EXPECT_TRUE(fs::is_directory(HomeDir + "PhotoCache"));
  EXPECT_EQ(Language, "en");
}

TEST_F(InitTest, EnglishLocaleLoadsEnglishOverTheDefaults) {
  InitWith();
  EXPECT_EQ(SystemLanguage, "en_US");
  EXPECT_EQ(Language, "en");
  EXPECT_EQ(Translation->GetLang(), "English");
  EXPECT_EQ(Translation->GetString("no_data"), "No data");
  EXPECT_EQ(Translation->GetString("MonitorMainWin", "Caption", " "), "Kelvra Monitor");
  // "defaults" is never offered as a language.
  EXPECT_LT(Translates->KeyIndex("defaults"), 0);
  EXPECT_EQ(Translates->GetVal("ru"), "Русский");
  EXPECT_EQ(Translates->GetHint("ru"), TranslateDir + "ru.txt");
}

TEST_F(InitTest, LanguageComesFromTheCommandLineTheSettingsFileOrTheLocale) {
  struct TCase {
    const char *name;
    const char *locale;
    std::string ini;
    std::vector<std::string> args;
    std::string language;
  } cases[] = {
      {"CommandLine", "en_US.UTF-8", "", {"lang=ru"}, "ru"},
      {"SettingsFile", "en_US.UTF-8", "[Main]\nLanguage=ru\n", {}, "ru"},
      {"CommandLineOverSettings", "ru_RU.UTF-8", "[Main]\nLanguage=ru\n", {"lang=en"}, "en"},
      {"LocaleName", "ru_RU.UTF-8", "", {}, "ru"},
      {"UnknownLocaleFallsBackToEnglish", "de_DE.UTF-8", "", {}, "en"},
      {"UnknownConfiguredFallsBackToEnglish", "en_US.UTF-8", "", {"lang=xx"}, "en"},
      {"NoLocale", "C", "", {}, "en"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    TEnv locale("LC_ALL", c.locale);
    fDir.Write("KelvraMonitor.ini", c.ini);
    InitWith(c.args);
    EXPECT_EQ(Language, c.language);
    Done();
  }
}

TEST_F(InitTest, RussianIsLoadedWithItsDefaults) {
  InitWith({"lang=ru"});
  EXPECT_EQ(Translation->GetLang(), "Русский");
  EXPECT_EQ(Translation->GetString("no_data"), "Нет данных");
  EXPECT_EQ(Translation->GetString("hello", {"Анна"}), "Здравствуйте, Анна!");
  EXPECT_EQ(Translation->GetString("MonitorMainWin", "TabLog_text", " "), "Журнал");
}

TEST_F(InitTest, MissingTranslationsFolderEndsTheProgram) {
  fs::remove_all(fDir.Path() + "Translations");
  try {
    InitWith();
    FAIL() << "no fatal error";
  } catch (const EFatal &e) {
    EXPECT_STREQ(e.what(), "Load translation:\rTranslation file is empty.");
  }
}

// A damaged language file is not offered; the fatal message names it instead of leaving the user
// to look for an empty file.
TEST_F(InitTest, DamagedTranslationIsNamed) {
  const std::string dir = fDir.Path() + "Translations/";
  fs::remove(dir + "ru.txt");
  std::ofstream(dir + "en.txt", std::ios::binary | std::ios::trunc) << std::string(300, '\x9c') << "\n[Info]\nlang=English\n";
  try {
    InitWith({"lang=en"});
    FAIL() << "no fatal error";
  } catch (const EFatal &e) {
    EXPECT_EQ(std::string(e.what()), "Load translation:\rTranslation file is empty.\rNot a translation (no "
                                     "[Info] with lang= in its first 100 bytes): " + dir + "en.txt");
  }
}

TEST_F(InitTest, MissingDefaultsEndsTheProgram) {
  fs::remove(fDir.Path() + "Translations/defaults.txt");
  try {
    InitWith();
    FAIL() << "no fatal error";
  } catch (const EFatal &e) {
    EXPECT_EQ(std::string(e.what()), "Load translation:\rDefaults translation file [" +
                                         fDir.Path() + "Translations/defaults.txt] not found.");
  }
}

TEST_F(InitTest, ConfigLayersOverrideKeyByKey) {
  fDir.Write("extra.conf", "map_cache_size=7\n");
  fDir.Write("KelvraMonitor.conf", "# deployment\nserver=http://file\ntimezone 0.125\n"
                                   "quick_dump_hours=3\nuser=file_user\n#include extra.conf\n");
  fDir.Write("KelvraMonitor.ini", "[Main]\nserver=not a config key here\n"
                                  "[Config]\nserver=http://ini\nquick_dump_hours=\n"
                                  "user=ini_user\n");
  InitWith({"server=http://arg", "note a b = c", "flag", "open={", "[Main]", "after=1"});
  struct TCase {
    const char *key;
    std::string value;
  } cases[] = {
      {"server", "http://arg"},  // the command line wins over both files
      {"user", "ini_user"},      // the settings file wins over the configuration file
      {"quick_dump_hours", "3"}, // an empty settings value does not hide the file's
      {"timezone", "0.125"},     // a blank separates key and value
      {"map_cache_size", "7"},   // through #include
      {"note a b", "c"},         // "=" wins over an earlier blank
      {"flag", ""},
      {"open", "{"}, // an argument never reaches into the next one
      {"after", "1"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(Config->GetVal(c.key), c.value);
  }
  EXPECT_TRUE(Config->HasKey("flag"));
}

TEST_F(InitTest, ReloadConfigPicksUpStoredSettings) {
  fDir.Write("KelvraMonitor.conf", "quick_dump_hours=1\n");
  InitWith();
  EXPECT_EQ(Config->GetVal("quick_dump_hours"), "1");
  IniFile->WriteString("Config", "quick_dump_hours", "4");
  ReloadConfig();
  EXPECT_EQ(Config->GetVal("quick_dump_hours"), "4");
  // Cleared again: the file's value comes back rather than the key disappearing.
  IniFile->WriteString("Config", "quick_dump_hours", "");
  ReloadConfig();
  EXPECT_EQ(Config->GetVal("quick_dump_hours"), "1");
}

TEST_F(InitTest, UserLevelFromConfig) {
  InitWith({"user_level=admin"});
  EXPECT_EQ(UserLevel, 5);
  Done();
  InitWith();
  EXPECT_EQ(UserLevel, 0);
}

TEST_F(InitTest, DoneFreesTheGlobals) {
  InitWith();
  Done();
  EXPECT_EQ(Config, nullptr);
  EXPECT_EQ(IniFile, nullptr);
  EXPECT_EQ(Translates, nullptr);
  EXPECT_EQ(Translation, nullptr);
  EXPECT_EQ(AddressCache, nullptr);
  EXPECT_TRUE(HomeDir.empty());
}

// What the address cache learnt during a run is in its file after Done, and back at the next start.
TEST_F(InitTest, AddressCacheIsSavedByDoneAndLoadedByInit) {
  InitWith();
  AddressCache->SetAddress("osm-1", "Lenina 1");
  Done();
  EXPECT_TRUE(fs::exists(fDir.Path() + "KelvraMonitor.address"));
  InitWith();
  EXPECT_EQ(AddressCache->GetAddress("osm-1"), "Lenina 1");
}

// Folders holding the user's own data are private, also when an older run left them open.
TEST_F(InitTest, PrivateFoldersAreClosedToOthers) {
  fs::create_directories(fDir.Path() + "PhotoCache");
  fs::permissions(fDir.Path() + "PhotoCache", fs::perms(0755));
  InitWith();
  EXPECT_EQ(static_cast<int>(fs::status(PhotoDir).permissions() & fs::perms::all), 0700);
  Done();
  fs::remove_all(fDir.Path() + "PhotoCache");
  InitWith();
  EXPECT_EQ(static_cast<int>(fs::status(PhotoDir).permissions() & fs::perms::all), 0700);
}

// The password: "pass=" first, then a private "pass_file=", then KELVRA_PASSWORD (which Init
// takes out of the environment); a password file others may read is refused with a warning.
TEST_F(InitTest, PasswordFromTheArgumentsAFileOrTheEnvironment) {
  const std::string file = fDir.Path() + "password";
  struct TCase {
    const char *name;
    int mode; // of the password file; 0: none
    const char *env;
    std::vector<std::string> args;
    std::string pass;
    std::string warning;
  } cases[] = {
      {"Argument", 0600, "from-env", {"pass=from-arg", "pass_file=" + file}, "from-arg", ""},
      {"PrivateFile", 0600, "from-env", {"pass_file=" + file}, "from-file", ""},
      {"FileOthersMayRead", 0644, nullptr, {"pass_file=" + file}, "",
       "pass_file=" + file + " not used: other users may read or change it (mode 0644; chmod 600 it)"},
      {"RefusedFileFallsBackToTheEnvironment", 0640, "from-env", {"pass_file=" + file}, "from-env",
       "pass_file=" + file + " not used: other users may read or change it (mode 0640; chmod 600 it)"},
      {"MissingFile", 0, nullptr, {"pass_file=" + file + ".none"}, "",
       "pass_file=" + file + ".none not used: cannot open (No such file or directory)"},
      {"Environment", 0, "from-env", {}, "from-env", ""},
      {"Nothing", 0, nullptr, {}, "", ""},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(file);
    if (c.mode) {
      fDir.Write("password", "from-file\nsecond line\n");
      fs::permissions(file, fs::perms(c.mode));
    }
    TEnv env("KELVRA_PASSWORD", c.env);
    InitWith(c.args);
    EXPECT_EQ(Config->GetVal("pass"), c.pass);
    EXPECT_EQ(std::getenv("KELVRA_PASSWORD"), nullptr);
    EXPECT_EQ(StartupWarnings, c.warning.empty() ? std::vector<std::string>{}
                                                 : std::vector<std::string>{c.warning});
    ReloadConfig(); // the environment's password outlives its variable
    EXPECT_EQ(Config->GetVal("pass"), c.pass);
    Done();
  }
}

// "pass=" arguments are blanked in the argument memory itself (what ps and /proc/PID/cmdline
// show) and handed back whole; other arguments stay as they were.
TEST(SecretArgsTest, PasswordArgumentsAreBlankedInPlace) {
  std::string store[] = {"KelvraMonitor", "user=demo", "pass=s3cret", "PASS = other", "passes=1",
                         "lang=en"};
  char *argv[6];
  for (int i = 0; i < 6; ++i)
    argv[i] = store[i].data();
  EXPECT_EQ(TakeSecretArgs(6, argv), (std::vector<std::string>{"pass=s3cret", "PASS = other"}));
  EXPECT_EQ(std::string(argv[1]), "user=demo");
  EXPECT_EQ(store[2], std::string(11, '\0'));
  EXPECT_EQ(store[3], std::string(12, '\0'));
  EXPECT_EQ(std::string(argv[4]), "passes=1");
  EXPECT_EQ(std::string(argv[5]), "lang=en");
}

// A save killed midway leaves its temporary file; the next start removes those an hour old.
TEST_F(InitTest, StaleTemporaryFilesOfSavesAreRemovedAtStart) {
  const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(2);
  const std::vector<std::pair<std::string, bool>> files = {
      {"KelvraMonitor.ini.tmp-a1b2c3", true},     {"KelvraMonitor.address.tmp-zz0099", true},
      {"KelvraMonitor.ini.tmp-young1", false},   // younger than an hour: maybe a save under way
      {"KelvraMonitor.ini.backup", false},       // not ours
      {"KelvraMonitor.ini.tmp-a1b2c3d", false},  // not our pattern
      {"Other.ini.tmp-a1b2c3", false}};
  for (const auto &[name, stale] : files) {
    fDir.Write(name, "x");
    if (name != "KelvraMonitor.ini.tmp-young1") fs::last_write_time(fDir.Path() + name, old);
  }
  InitWith();
  for (const auto &[name, stale] : files)
    EXPECT_EQ(fs::exists(fDir.Path() + name), !stale) << name;
}

TEST(UserLevelTest, FirstCharacterDecides) {
  struct TCase {
    const char *value;
    int level;
  } cases[] = {{"a", 5}, {"Admin", 5}, {"e", 9},  {"Expert", 9}, {"0", 0},
               {"x", 0}, {"", 0},      {" e", 0}, {"9", 0}};
  for (const auto &c : cases)
    EXPECT_EQ(UserLevelOf(c.value), c.level) << c.value;
}

TEST(LanguageTest, CandidatesFallBackToTheLanguageThenEnglish) {
  using V = std::vector<std::string>;
  EXPECT_EQ(LanguageCandidates("en_US"), (V{"en_US", "en"}));
  EXPECT_EQ(LanguageCandidates("pt-BR"), (V{"pt-BR", "pt", "en"}));
  EXPECT_EQ(LanguageCandidates("ru"), (V{"ru", "en"}));
  EXPECT_EQ(LanguageCandidates(""), (V{"en"}));
}

TEST(LanguageTest, LocaleNameFromTheEnvironment) {
  struct TCase {
    const char *lcAll, *lcMessages, *lang;
    std::string expected;
  } cases[] = {
      {"ru_RU.UTF-8", "de_DE", "fr_FR", "ru_RU"},
      {nullptr, "de_DE.UTF-8@euro", "fr_FR", "de_DE"},
      {"", nullptr, "fr_FR.UTF-8", "fr_FR"},
      {nullptr, nullptr, "C.UTF-8", ""},
      {"POSIX", nullptr, nullptr, ""},
      {nullptr, nullptr, nullptr, ""},
  };
  for (const auto &c : cases) {
    TEnv a("LC_ALL", c.lcAll), m("LC_MESSAGES", c.lcMessages), l("LANG", c.lang);
    EXPECT_EQ(LocaleName(), c.expected);
  }
}

TEST(TimeZoneTest, StandardOffsetIgnoresDaylightSaving) {
  struct TCase {
    const char *tz;
    double days;
  } cases[] = {
      {"UTC0", 0},
      {"<+05>-5", 5.0 / 24},                 // east of Greenwich is positive
      {"EST5EDT,M3.2.0,M11.1.0", -5.0 / 24}, // whatever the season
      {"CET-1CEST,M3.5.0,M10.5.0/3", 1.0 / 24},
      {"AEST-10AEDT,M10.1.0,M4.1.0/3", 10.0 / 24}, // daylight saving in the other half
      {"<+0530>-5:30", 5.5 / 24},
  };
  for (const auto &c : cases) {
    TEnv tz("TZ", c.tz);
    ::tzset();
    EXPECT_NEAR(StandardTimeZone(), c.days, 1e-9) << c.tz;
  }
  ::tzset();
}

TEST(TranslationListTest, OnlyFilesWithLangInTheirFirstHundredBytesAreOffered) {
  test::TTempDir dir;
  const std::string pad(90, 'x');
  dir.Write("good.txt", kBom + "[Info]\nlang=Good\n");
  // The mark is not counted: Info ends at byte 100 after it.
  const std::string exact = "; " + std::string(100 - 2 - 1 - 18, 'p') + "\n[Info]\nlang=Exact\n";
  ASSERT_EQ(exact.size(), 100u);
  dir.Write("exact.txt", kBom + exact);
  dir.Write("late.txt", kBom + "; " + pad + "\n[Info]\nlang=Late\n");
  dir.Write("nolang.txt", kBom + "[Info]\nname=x\n");
  dir.Write("noinfo.txt", kBom + "[Strings]\nlang=x\n");
  dir.Write("defaults.txt", kBom + "[Info]\nlang=Defaults\n");
  dir.Write("Defaults.txt", kBom + "[Info]\nlang=Other case\n");
  dir.Write("spaced.txt", kBom + "[Info]\nlang = Spaced\n");
  dir.Write("nobom.txt", "[Info]\nlang=No mark\n");
  dir.Write("other.lng", kBom + "[Info]\nlang=Wrong extension\n");
  TLumHintHash list;
  ListTranslations(dir.Path(), list);
  EXPECT_EQ(list.GetVal("good"), "Good");
  EXPECT_EQ(list.GetHint("good"), dir.Path() + "good.txt");
  EXPECT_EQ(list.GetVal("exact"), "Exact");
  EXPECT_EQ(list.GetVal("nobom"), "No mark");
  // The item name ends at the first blank, so the value keeps the "=".
  EXPECT_EQ(list.GetVal("spaced"), "= Spaced");
  EXPECT_EQ(list.GetVal("Defaults"), "Other case");
  for (const char *absent : {"late", "nolang", "noinfo", "other"})
    EXPECT_LT(list.KeyIndex(absent), 0) << absent;
  // "defaults" and "Defaults" are one key to the table: only the offered file may hold it.
  EXPECT_EQ(list.GetHint("defaults"), dir.Path() + "Defaults.txt");
  EXPECT_EQ(list.Count(), 5);
}

} // namespace
