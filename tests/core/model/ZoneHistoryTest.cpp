// Zone visits and their exports; the spreadsheet is unzipped and its sheet read back.
#include "core/model/ObjectInfo.h"
#include "core/model/ZoneHistory.h"
#include "core/util/LumDates.h"
#include "support/TempDir.h"
#include "support/TestText.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

using namespace kelvra;

namespace {

using test::Shell;

const TDateTime kDay = 46365; // 9 Dec 2026

std::unique_ptr<TTrackPointInfo> Point(int obj, TDateTime dt) {
  auto p = std::make_unique<TTrackPointInfo>(0, obj);
  p->obj_dt = dt;
  p->lat = 58;
  p->lon = 56.25;
  return p;
}

} // namespace

TEST(ZoneHistoryTest, VisitsSplitAfterAnHourAndGroupByObject) {
  struct TCase {
    int gapMinutes;
    size_t visits;
  } cases[] = {{50, 1}, {60, 1}, {61, 2}};
  for (const TCase &c : cases) {
    std::vector<std::unique_ptr<TTrackPointInfo>> h;
    h.push_back(Point(1, kDay + 0.5 + c.gapMinutes / 1440.0));
    h.push_back(Point(1, kDay + 0.5));
    const auto visits = BuildVisits(h, nullptr);
    EXPECT_EQ(visits.size(), c.visits) << c.gapMinutes;
  }
  TObjectInfo car;
  car.uid = 2;
  car.name = "Car";
  std::vector<std::unique_ptr<TTrackPointInfo>> h;
  h.push_back(Point(2, kDay + 0.6));
  h.push_back(Point(1, kDay + 0.5));
  h.push_back(Point(2, kDay + 0.5));
  h.push_back(Point(2, kDay + 0.5 + 10 / 1440.0));
  const auto visits = BuildVisits(h, [&car](int uid) { return uid == 2 ? &car : nullptr; });
  ASSERT_EQ(visits.size(), 3u);
  EXPECT_EQ(visits[0]->ObjectName(), "#1"); // not in the cache
  EXPECT_EQ(visits[1]->ObjectName(), "Car");
  EXPECT_EQ(visits[1]->points.size(), 2u);
  EXPECT_EQ(visits[1]->Duration(), 600);
  const auto groups = GroupVisits(visits);
  ASSERT_EQ(groups.size(), 2u);
  EXPECT_EQ(groups[1].obj_id, 2);
  EXPECT_EQ(groups[1].visits, (std::vector<size_t>{1, 2}));
}

TEST(ZoneHistoryTest, CaptionForOneDayAndForSeveral) {
  const std::string pat = "%s: %s%s%s";
  EXPECT_EQ(ZoneHistoryCaption(pat, "Yard", kDay + 0.25, kDay + 0.5),
            "Yard: 09.12.2026 06:00..12:00");
  EXPECT_EQ(ZoneHistoryCaption(pat, "Yard", kDay, kDay + 2.5), "Yard: 09.12.2026 .. 11.12.2026");
}

TEST(ZoneHistoryTest, TextAndCsvExports) {
  TObjectInfo car;
  car.uid = 2;
  car.name = "Машина";
  std::vector<std::unique_ptr<TTrackPointInfo>> h;
  h.push_back(Point(2, kDay + 0.5));
  h.push_back(Point(2, kDay + 0.5 + 65 / 86400.0));
  const auto visits = BuildVisits(h, [&car](int) { return &car; });
  EXPECT_EQ(VisitsText("Yard: 09.12.2026", visits),
            "Yard: 09.12.2026\r\nМашина\t09.12.2026 12:00:00\t1m 5s\r\n");
  EXPECT_EQ(VisitsCsv(visits), "\xEF\xBB\xBF"
                               "obj_id;obj_name;start_dt;duration;\r\n2;Машина;09.12.2026 12:00:00;65;\r\n");
}

TEST(ZoneHistoryTest, XlsxHoldsEveryVisit) {
  test::TTempDir dir;
  TObjectInfo car;
  car.uid = 2;
  car.name = "Машина";
  std::vector<std::unique_ptr<TTrackPointInfo>> h;
  h.push_back(Point(2, kDay + 0.5));
  h.push_back(Point(2, kDay + 0.5 + 1 / 24.0));
  h.push_back(Point(2, kDay + 0.75));
  h.push_back(Point(5, kDay + 0.25));
  const auto visits = BuildVisits(h, [&car](int uid) { return uid == 2 ? &car : nullptr; });
  ASSERT_EQ(visits.size(), 3u);
  const std::string fn = dir.Path() + "visits.xlsx";
  ASSERT_EQ(WriteVisitsXlsx(fn, "Yard: 09.12.2026", visits), "");
  const std::string sheet = Shell("unzip -p '" + fn + "' xl/worksheets/sheet1.xml");
  const std::string strings = Shell("unzip -p '" + fn + "' xl/sharedStrings.xml");
  ASSERT_FALSE(sheet.empty()) << "unzip could not read the workbook";
  EXPECT_NE(strings.find("Yard: 09.12.2026"), std::string::npos);
  EXPECT_NE(strings.find("Машина"), std::string::npos);
  EXPECT_NE(strings.find("#5"), std::string::npos);
  // Caption, header and one row per visit; start dates as serial numbers, durations in days.
  EXPECT_NE(sheet.find("<row r=\"5\""), std::string::npos);
  EXPECT_EQ(sheet.find("<row r=\"6\""), std::string::npos);
  std::ostringstream start;
  start << "<v>" << kDay + 0.5 << "</v>";
  EXPECT_NE(sheet.find(start.str()), std::string::npos);
  EXPECT_NE(sheet.find("<v>0.0416666666"), std::string::npos); // one hour
  EXPECT_NE(sheet.find("<cols>"), std::string::npos);                       // widths set
  std::ifstream tmp(fn + ".tmp");
  EXPECT_FALSE(tmp.good()); // written beside and renamed

  EXPECT_NE(WriteVisitsXlsx(dir.Path() + "no/such/dir/v.xlsx", "x", visits), "");
}
