// The main window's decisions without a window: list order, status colours at their thresholds,
// layout limits, time-zone entries, the tile cache clean-up and the protected settings file.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "core/app/MonitorLogic.h"
#include "core/model/EventInfo.h"
#include "core/model/ObjectInfo.h"
#include "core/model/TrapInfo.h"
#include "core/util/LumIniFiles.h"
#include "support/TempDir.h"

using namespace kelvra;

namespace {

struct TOrderCase {
  const char *name;
  int uidA;
  const char *nameA;
  int uidB;
  const char *nameB;
  int expected;
};

class CompareObjectInfoTest : public ::testing::TestWithParam<TOrderCase> {};

TEST_P(CompareObjectInfoTest, Orders) {
  const TOrderCase &c = GetParam();
  TObjectInfo a(c.uidA), b(c.uidB);
  a.name = c.nameA;
  b.name = c.nameB;
  EXPECT_EQ(CompareObjectInfo(&a, &b), c.expected);
  EXPECT_EQ(CompareObjectInfo(&b, &a), -c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CompareObjectInfoTest,
    ::testing::Values(TOrderCase{"GroupAfterEveryObject", 0, "Deleted", 5, "zzz", 1},
                      TOrderCase{"TwoGroupsEqual", 0, "A", 0, "B", 0},
                      TOrderCase{"UpperBeforeLower", 1, "Zebra", 2, "apple", -1},
                      TOrderCase{"SameName", 1, "Van", 2, "Van", 0},
                      TOrderCase{"PrefixFirst", 1, "Van", 2, "Van 2", -1},
                      TOrderCase{"Utf8AfterAscii", 1, "Фургон", 2, "zzz", 1}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(MessageAgeTest, ColoursAtTheirThresholds) {
  const struct {
    int minutes;
    TAgeColor colour;
  } cases[] = {{0, TAgeColor::Green},     {29, TAgeColor::Green},  {30, TAgeColor::Blue},
               {59, TAgeColor::Blue},     {60, TAgeColor::Gray},   {1439, TAgeColor::Gray},
               {1440, TAgeColor::Background}, {100000, TAgeColor::Background}};
  for (const auto &c : cases)
    EXPECT_EQ(MessageAgeColor(c.minutes), c.colour) << c.minutes;
}

TEST(MessageAgeTest, WholeMinutesOfTheDifference) {
  const TDateTime now = 46000.5;
  EXPECT_EQ(MessageAgeMinutes(now, now - 29.0 / 1440), 29);
  EXPECT_EQ(MessageAgeMinutes(now, now - 29.9 / 1440), 29);
  EXPECT_EQ(MessageAgeMinutes(now, now - 1440.0 / 1440), 1440);
  EXPECT_EQ(MessageAgeMinutes(now, NAN), 0);
}

TEST(BatteryFillTest, LevelsAtTheirThresholds) {
  const struct {
    double bat;
    TBatteryColor colour;
    int width;
    bool nub;
  } cases[] = {{100, TBatteryColor::Green, 16, true}, {75, TBatteryColor::Green, 16, true},
               {74, TBatteryColor::Blue, 12, false},  {50, TBatteryColor::Blue, 12, false},
               {49, TBatteryColor::Orange, 8, false}, {25, TBatteryColor::Orange, 8, false},
               {24, TBatteryColor::Red, 4, false},    {1, TBatteryColor::Red, 4, false},
               {0, TBatteryColor::None, 0, false},    {-5, TBatteryColor::None, 0, false},
               {NAN, TBatteryColor::None, 0, false}};
  for (const auto &c : cases) {
    const TBatteryFill f = BatteryFill(c.bat, 10);
    EXPECT_EQ(f.color, c.colour) << c.bat;
    EXPECT_EQ(f.width, c.width) << c.bat;
    EXPECT_EQ(f.nub, c.nub) << c.bat;
  }
  // A message a day old leaves the battery empty whatever it said.
  EXPECT_EQ(BatteryFill(100, 1439).color, TBatteryColor::Green);
  EXPECT_EQ(BatteryFill(100, 1440).color, TBatteryColor::None);
}

TEST(MainLayoutTest, StoredSizesAreRaisedToTheirMinimums) {
  test::TTempDir dir;
  TLumIniFile ini(dir.Path() + "a.ini");
  ini.WriteInteger("Main", "LeftWidth", 100);
  ini.WriteInteger("Main", "RightWidth", 400);
  ini.WriteInteger("Main", "BottomHeight", 40);
  TMainLayout cur;
  cur.Left = 7;
  cur.Width = 900;
  const TMainLayout l = ReadMainLayout(ini, cur, 600, 500);
  EXPECT_EQ(l.LeftWidth, kMinSideWidth);
  EXPECT_EQ(l.RightWidth, 400);
  EXPECT_EQ(l.BottomHeight, kMinStoredBottom);
  EXPECT_EQ(l.ObjectsHeight, 400); // two thirds of the left panel by default
  EXPECT_EQ(l.TrapsHeight, 250);   // half of the right panel
  EXPECT_EQ(l.HeightOfBottom, kDefaultHeightOfBottom);
  EXPECT_EQ(l.Left, 7);
  EXPECT_EQ(l.Width, 900);
  EXPECT_FALSE(l.Maximized);
  // A missing file is all defaults, raised the same way.
  const TMainLayout empty = ReadMainLayout(TLumIniFile(dir.Path() + "none.ini"), cur, 0, 0);
  EXPECT_EQ(empty.LeftWidth, kMinSideWidth);
  EXPECT_EQ(empty.BottomHeight, kMinStoredBottom);
}

TEST(MainLayoutTest, AMaximizedRunKeepsTheLastNormalBounds) {
  test::TTempDir dir;
  TLumIniFile ini(dir.Path() + "a.ini");
  TMainLayout normal;
  normal.Left = 10;
  normal.Top = 20;
  normal.Width = 800;
  normal.Height = 600;
  WriteMainLayout(ini, normal);
  TMainLayout maxed = normal;
  maxed.Maximized = true;
  maxed.Left = 0;
  maxed.Width = 1600;
  maxed.LeftWidth = 250;
  maxed.Graphs = true;
  maxed.GraphsHeight = 210;
  WriteMainLayout(ini, maxed);
  TLumIniFile again(dir.Path() + "a.ini");
  const TMainLayout l = ReadMainLayout(again, TMainLayout{}, 0, 0);
  EXPECT_TRUE(l.Maximized);
  EXPECT_EQ(l.Left, 10);
  EXPECT_EQ(l.Width, 800);
  EXPECT_EQ(l.LeftWidth, 250);
  // The graphs pane is kept shown, with its height.
  EXPECT_TRUE(l.Graphs);
  EXPECT_EQ(l.GraphsHeight, 210);
  EXPECT_FALSE(ReadMainLayout(TLumIniFile(dir.Path() + "none.ini"), TMainLayout{}, 0, 0).Graphs);
}

TEST(TimeZoneTest, EntriesAreSignedIsoOffsets) {
  EXPECT_EQ(TimeZoneEntry(5 * 3600), "UTC+05:00");
  EXPECT_EQ(TimeZoneEntry(-5 * 3600), "UTC-05:00");
  EXPECT_EQ(TimeZoneEntry(5 * 3600 + 45 * 60), "UTC+05:45");
  EXPECT_EQ(TimeZoneEntry(-(3 * 3600 + 30 * 60)), "UTC-03:30");
  EXPECT_EQ(TimeZoneEntry(0), "UTC+00:00");
  const auto list = TimeZoneEntries({3600, 0, 3600, -3600});
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0], "UTC+00:00");
  EXPECT_EQ(list[1], "UTC+01:00");
  EXPECT_EQ(list[2], "UTC-01:00");
}

TEST(TimeZoneTest, EntriesReadBackWithTheirSign) {
  EXPECT_EQ(TimeZoneEntryMinutes("UTC+05:00"), 300);
  EXPECT_EQ(TimeZoneEntryMinutes("UTC-03:30"), -210);
  EXPECT_EQ(TimeZoneEntryMinutes("UTC+00:00"), 0);
  EXPECT_EQ(TimeZoneEntryMinutes("Default"), 0);
  EXPECT_EQ(TimeZoneEntryMinutes("UTC+05:00x"), 0);
  EXPECT_EQ(TimeZoneEntryMinutes(""), 0);
  // West and east of Greenwich are different entries; a stored value finds its own.
  const std::vector<std::string> entries{"UTC+03:00", "UTC-03:00", "UTC-05:00"};
  EXPECT_EQ(FindTimeZoneEntry(entries, -0.125), 1);
  EXPECT_EQ(FindTimeZoneEntry(entries, 0.125), 0);
  EXPECT_EQ(FindTimeZoneEntry(entries, 1.0 / 24), -1);
  EXPECT_EQ(FindTimeZoneEntry(entries, NAN), -1);
  EXPECT_EQ(TimeZoneDaysText(-300), "-0.208333");
  EXPECT_EQ(TimeZoneDaysText(180), "0.125");
  EXPECT_EQ(TimeZoneDaysText(0), "");
}

TEST(AccountTest, EmailNeedsAnAtSignInside) {
  EXPECT_TRUE(PlausibleEmail("a@b"));
  EXPECT_TRUE(PlausibleEmail("demo@example.com"));
  EXPECT_FALSE(PlausibleEmail("@b"));
  EXPECT_FALSE(PlausibleEmail("a@"));
  EXPECT_FALSE(PlausibleEmail("@"));
  EXPECT_FALSE(PlausibleEmail("ab"));
  EXPECT_FALSE(PlausibleEmail(""));
}

TEST(AccountTest, NumberFieldsStoreOnlyPositiveNumbers) {
  EXPECT_EQ(PositiveNumberText("12"), "12");
  EXPECT_EQ(PositiveNumberText(" 007 "), "7");
  EXPECT_EQ(PositiveNumberText("0"), "");
  EXPECT_EQ(PositiveNumberText(""), "");
  EXPECT_EQ(PositiveNumberText("-3"), "");
  EXPECT_EQ(PositiveNumberText("99999999999999999999"), "");
}

// A file of the given age in hours below the folder.
std::string Aged(const test::TTempDir &dir, const std::string &name, double hours, std::time_t now) {
  const std::string path = dir.Write(name, "png");
  const std::time_t t = now - static_cast<std::time_t>(hours * 3600);
  utimbuf times{t, t};
  utime(path.c_str(), &times);
  return path;
}

TEST(ClearDirTest, DeletesOnlyFilesOfWholeDaysAtTheAge) {
  test::TTempDir dir;
  const std::time_t now = std::time(nullptr);
  const std::string fresh = Aged(dir, "12/2000/1300.png", 23, now);
  const std::string old = Aged(dir, "12/2000/1301.png", 25, now);
  const std::string older = Aged(dir, "13/1.png", 24 * 40, now);
  const std::string hidden = Aged(dir, ".keep/1.png", 24 * 40, now);
  EXPECT_EQ(ClearDir(dir.Path(), 1, now), 2);
  namespace fs = std::filesystem;
  EXPECT_TRUE(fs::exists(fresh));
  EXPECT_FALSE(fs::exists(old));
  EXPECT_FALSE(fs::exists(older));
  EXPECT_TRUE(fs::exists(hidden)); // folders beginning with "." are not entered
  EXPECT_TRUE(fs::is_directory(dir.Path() + "13")); // folders stay
  EXPECT_EQ(ClearDir(dir.Path() + "missing", 1, now), 0);
  EXPECT_EQ(ClearDir("", 1, now), 0);
}

TEST(ClearDirTest, MaxAgeZeroOrUnreadableMeansThirtyDaysAndNeverBelowSeven) {
  EXPECT_EQ(MapCacheMaxAge(""), 30);
  EXPECT_EQ(MapCacheMaxAge("0"), 30);
  EXPECT_EQ(MapCacheMaxAge("x"), 30);
  EXPECT_EQ(MapCacheMaxAge("1"), 7);
  EXPECT_EQ(MapCacheMaxAge(" 7 "), 7);
  EXPECT_EQ(MapCacheMaxAge("10"), 10);
}

TEST(LogTest, EveryCrStartsAStampedLine) {
  EXPECT_EQ(StampLog("\rLoad objects: ", "T: "), "\rT: Load objects: ");
  EXPECT_EQ(StampLog("6", "T: "), "6");
  EXPECT_EQ(StampLog("\ra\r  -> 1", "T: "), "\rT: a\rT:   -> 1");
  EXPECT_EQ(LogStamp(EncodeDateTime(2026, 12, 9, 8, 5, 3)), "09.12.2026 08:05:03: ");
  EXPECT_EQ(JoinArgs({"name", "x", "obj_id", "5"}), "name,x,obj_id,5");
  EXPECT_EQ(JoinArgs({}), "");
}

TEST(SettingsFileTest, CreatedAndKeptReadableByTheOwnerOnly) {
  test::TTempDir dir;
  const std::string fresh = dir.Path() + "new.ini";
  ASSERT_TRUE(ProtectSettingsFile(fresh));
  struct stat st {};
  ASSERT_EQ(stat(fresh.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  const std::string open = dir.Write("old.ini", "[Login]\nToken=x\n");
  chmod(open.c_str(), 0644);
  ASSERT_TRUE(ProtectSettingsFile(open));
  ASSERT_EQ(stat(open.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // Later atomic rewrites keep the mode.
  TLumIniFile ini(open);
  ini.WriteString("Login", "Token", "y");
  ASSERT_EQ(stat(open.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_FALSE(ProtectSettingsFile(dir.Path() + "no/such/dir/a.ini"));
}

} // namespace

// What the events list shows for values an event lacks: a dash, never "nan", "inf", a negative
// battery or the date of day zero (30.12.1899).
TEST(EventTextTest, MissingValuesShowAsADash) {
  const double nan = std::nan("");
  const double inf = std::numeric_limits<double>::infinity();
  TEventInfo ei(1, 2);
  ei.h_obj_dt = 0;
  ei.h_sys_dt = 0;
  ei.h_lat = nan;
  ei.h_lon = 56;
  ei.c_obj_dt = 46000.5;
  ei.c_lat = nan;
  ei.c_lon = nan;
  ei.h_speed = nan;
  ei.c_speed = inf;
  ei.h_bat = -1;
  ei.c_bat = 40;
  ei.h_sval = "nan";
  ei.c_sval = "12.5";
  ei.accept_dt = nan;
  TTrapInfo speed(5, 2), battery(6, 2), sensor(7, 2);
  speed.target_type_id = 5;
  battery.target_type_id = 4;
  sensor.target_type_id = 3;
  EXPECT_EQ(EventText(ei, nullptr, nullptr, 1, 0), "-");
  EXPECT_EQ(EventText(ei, nullptr, nullptr, 2, 0), "09.12.2025 12:00:00");
  EXPECT_EQ(EventText(ei, nullptr, &speed, 4, 0), "-\n-");
  EXPECT_EQ(EventText(ei, nullptr, &battery, 4, 0), "-\n40");
  EXPECT_EQ(EventText(ei, nullptr, &sensor, 4, 0), "-\n12.5");
  EXPECT_EQ(EventText(ei, nullptr, nullptr, 5, 0), "-");
  ei.h_speed = 12.345;
  EXPECT_EQ(EventText(ei, nullptr, &speed, 4, 0), "12.35\n-");
}
