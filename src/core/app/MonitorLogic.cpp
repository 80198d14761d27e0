#include "core/app/MonitorLogic.h"
#include "core/util/LumDates.h"
#include "core/map/TileStorage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>

#include "core/app/EventsLogic.h"
#include "core/model/EventInfo.h"
#include "core/model/ObjectInfo.h"
#include "core/model/TrapInfo.h"
#include "core/util/LumIniFiles.h"
#include "core/util/LumStrings.h"

namespace kelvra {

int CompareObjectInfo(const TObjectInfo *a, const TObjectInfo *b) {
  const bool a0 = !a || a->uid == 0, b0 = !b || b->uid == 0;
  if (a0 || b0) return a0 == b0 ? 0 : (a0 ? 1 : -1);
  const int c = a->name.compare(b->name); // std::string compares bytes as unsigned char
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int MessageAgeMinutes(TDateTime now, TDateTime sysDt, const TDisplayZone &clock) {
  // Through whole seconds: date-times of a few days apart lose the last bits of a minute.
  const double m = std::floor(std::round(clock.SecondsBetween(sysDt, now)) / 60.0);
  if (!std::isfinite(m)) return 0;
  return m > 1e9 ? 1000000000 : (m < -1e9 ? -1000000000 : static_cast<int>(m));
}

TAgeColor MessageAgeColor(int minutes) {
  if (minutes < 30) return TAgeColor::Green;
  if (minutes < 60) return TAgeColor::Blue;
  if (minutes < 1440) return TAgeColor::Gray;
  return TAgeColor::Background;
}

TBatteryFill BatteryFill(double bat, int ageMinutes) {
  TBatteryFill f;
  if (ageMinutes >= 1440 || std::isnan(bat)) return f;
  if (bat >= 75) {
    f = {TBatteryColor::Green, kBatteryWidth, true};
  } else if (bat >= 50) {
    f = {TBatteryColor::Blue, kBatteryWidth * 3 / 4, false};
  } else if (bat >= 25) {
    f = {TBatteryColor::Orange, kBatteryWidth / 2, false};
  } else if (bat >= 1) {
    f = {TBatteryColor::Red, kBatteryWidth / 4, false};
  }
  return f;
}

namespace {


std::string Coords(double lat, double lon) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.6f,%.6f", lat, lon);
  return buf;
}

} // namespace

namespace {
// A text value that stands for no number: "nan" or "inf" as a service or an older client wrote it.
bool IsNumberPlaceholder(const std::string &v) {
  const std::string l = LowerCase(Trim(v));
  return l == "nan" || l == "-nan" || l == "inf" || l == "-inf" || l == "+inf" || l == "infinity" ||
         l == "-infinity";
}
} // namespace

std::string EventText(const TEventInfo &ei, const TObjectInfo *oi, const TTrapInfo *ti, int column,
                      int userLevel) {
  switch (column) {
  case 0:
    if (!oi) return "";
    return userLevel > 8 ? "#" + std::to_string(oi->uid) + "\n" + oi->name : oi->name;
  case 1: {
    const TDateTime dt = EventTime(ei);
    std::string s = DtDefined(dt) ? dt2s(dt) : "-";
    if (std::isfinite(ei.h_lat) && std::isfinite(ei.h_lon)) s += "\n" + Coords(ei.h_lat, ei.h_lon);
    return s;
  }
  case 2: {
    if (!DtDefined(ei.c_obj_dt)) return "-";
    std::string s = dt2s(ei.c_obj_dt);
    if (std::isfinite(ei.c_lat) && std::isfinite(ei.c_lon)) s += "\n" + Coords(ei.c_lat, ei.c_lon);
    return s;
  }
  case 3: {
    if (!ti) return "";
    std::string s = ti->TargetType();
    const std::string name = ti->TargetName();
    if (!name.empty()) s += ":" + name;
    return s + "\n" + ti->Condition();
  }
  case 4: {
    if (!ti) return "";
    // A value the event lacks shows as "-", never as "nan", "inf" or a negative battery.
    auto speed = [](double v) {
      if (!std::isfinite(v)) return std::string("-");
      char buf[48];
      std::snprintf(buf, sizeof buf, "%.2f", v);
      return std::string(buf);
    };
    auto bat = [](int v) { return v < 0 ? std::string("-") : std::to_string(v); };
    auto text = [](const std::string &v) { return IsNumberPlaceholder(v) ? std::string("-") : v; };
    if (ti->target_type_id == 4) return bat(ei.h_bat) + "\n" + bat(ei.c_bat);
    if (ti->target_type_id == 5) return speed(ei.h_speed) + "\n" + speed(ei.c_speed);
    return text(ei.h_sval) + "\n" + text(ei.c_sval);
  }
  case 5:
    if (!DtDefined(ei.accept_dt)) return "-";
    return dt2s(ei.accept_dt) + "\n" + ei.accept_msg;
  default:
    return "";
  }
}

TMainLayout ReadMainLayout(const TLumIniFile &ini, const TMainLayout &current, int leftHeight,
                           int rightHeight) {
  const std::string s = "Main";
  auto rd = [&](const char *key, int def) { return static_cast<int>(ini.ReadInteger(s, key, def)); };
  TMainLayout l;
  l.Left = rd("Left", current.Left);
  l.Top = rd("Top", current.Top);
  l.Width = rd("Width", current.Width);
  l.Height = rd("Height", current.Height);
  l.Maximized = ini.ReadBool(s, "Maximized", false);
  l.LeftWidth = std::max(rd("LeftWidth", 0), kMinSideWidth);
  l.ObjectsHeight = rd("ObjectsHeight", leftHeight / 3 * 2);
  l.RightWidth = std::max(rd("RightWidth", 0), kMinSideWidth);
  l.TrapsHeight = rd("TrapsHeight", rightHeight / 2);
  l.BottomHeight = std::max(rd("BottomHeight", 0), kMinStoredBottom);
  l.HeightOfBottom = rd("HeightOfBottom", kDefaultHeightOfBottom);
  l.Graphs = ini.ReadBool(s, "Graphs", false);
  l.GraphsHeight = std::max(rd("GraphsHeight", 0), 0);
  return l;
}

TMainLayout FirstStartBounds(int screenLeft, int screenTop, int screenWidth, int screenHeight) {
  TMainLayout l;
  l.Width = std::max(screenWidth * 85 / 100, 400);
  l.Height = std::max(screenHeight * 85 / 100, 300);
  l.Left = screenLeft + std::max(0, (screenWidth - l.Width) / 2);
  l.Top = screenTop + std::max(0, (screenHeight - l.Height) / 2);
  return l;
}

int PanelSizeFor(int want, int minimum, int maximum) {
  return std::max(minimum, std::min(want, maximum));
}

void WriteMainLayout(TLumIniFile &ini, const TMainLayout &l) {
  const std::string s = "Main";
  const bool autoSave = ini.AutoSave();
  ini.SetAutoSave(false); // one write of the file instead of one per key
  ini.WriteBool(s, "Maximized", l.Maximized);
  if (!l.Maximized) {
    ini.WriteInteger(s, "Left", l.Left);
    ini.WriteInteger(s, "Top", l.Top);
    ini.WriteInteger(s, "Width", l.Width);
    ini.WriteInteger(s, "Height", l.Height);
  }
  ini.WriteInteger(s, "LeftWidth", l.LeftWidth);
  ini.WriteInteger(s, "ObjectsHeight", l.ObjectsHeight);
  ini.WriteInteger(s, "RightWidth", l.RightWidth);
  ini.WriteInteger(s, "TrapsHeight", l.TrapsHeight);
  ini.WriteInteger(s, "BottomHeight", l.BottomHeight);
  ini.WriteInteger(s, "HeightOfBottom", l.HeightOfBottom);
  ini.WriteBool(s, "Graphs", l.Graphs);
  ini.WriteInteger(s, "GraphsHeight", l.GraphsHeight);
  ini.SetAutoSave(autoSave);
  if (autoSave) ini.UpdateFile();
}

std::string TimeZoneEntry(int offsetSeconds) {
  const int minutes = std::abs(offsetSeconds) / 60;
  char buf[32];
  std::snprintf(buf, sizeof buf, "UTC%c%02d:%02d", offsetSeconds < 0 ? '-' : '+', minutes / 60,
                minutes % 60);
  return buf;
}

std::vector<std::string> TimeZoneEntries(const std::vector<int> &offsetsSeconds) {
  std::set<std::string> set;
  for (int o : offsetsSeconds)
    set.insert(TimeZoneEntry(o));
  return {set.begin(), set.end()};
}

int TimeZoneEntryMinutes(const std::string &entry) {
  int h = 0, m = 0;
  char sign = 0;
  int used = 0;
  if (std::sscanf(entry.c_str(), "UTC%c%d:%d%n", &sign, &h, &m, &used) != 3 ||
      used != static_cast<int>(entry.size()) || (sign != '+' && sign != '-') || h < 0 || m < 0)
    return 0;
  const int v = h * 60 + m;
  return sign == '-' ? -v : v;
}

int FindTimeZoneEntry(const std::vector<std::string> &entries, double days) {
  if (std::isnan(days)) return -1;
  for (std::size_t i = 0; i < entries.size(); ++i)
    if (std::fabs(TimeZoneEntryMinutes(entries[i]) / 1440.0 - days) < 0.001)
      return static_cast<int>(i);
  return -1;
}

std::string TimeZoneDaysText(int minutes) {
  if (minutes == 0) return "";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6f", minutes / 1440.0);
  std::string s = buf;
  while (s.back() == '0')
    s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s;
}

bool PlausibleEmail(const std::string &email) {
  const std::size_t at = email.find('@');
  return at != std::string::npos && at != 0 && at + 1 != email.size();
}

std::string PositiveNumberText(const std::string &text) {
  const std::string t = Trim(text);
  if (t.empty() || t.size() > 9 || !std::all_of(t.begin(), t.end(), [](char c) {
        return c >= '0' && c <= '9';
      }))
    return "";
  const long v = std::stol(t);
  return v > 0 ? std::to_string(v) : "";
}

namespace {

int ClearDirAt(const std::filesystem::path &dir, int ageDays, std::time_t now,
               const std::function<void(const std::string &, int)> &onError) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::directory_iterator it(dir, ec), end;
  int n = 0;
  for (; !ec && it != end; it.increment(ec)) {
    const fs::path p = it->path();
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      if (p.filename().string().rfind('.', 0) != 0) n += ClearDirAt(p, ageDays, now, onError);
      continue;
    }
    const double ageInDays = std::floor(static_cast<double>(now - st.st_mtime) / 86400.0);
    if (ageInDays < ageDays) continue;
    if (::unlink(p.c_str()) == 0)
      ++n;
    else if (onError)
      onError(p.string(), errno);
  }
  return n;
}

} // namespace

int ClearDir(const std::string &dir, int ageDays, std::time_t now,
             const std::function<void(const std::string &, int)> &onError) {
  if (dir.empty()) return 0;
  return ClearDirAt(dir, ageDays, now, onError);
}

int MapCacheMaxAge(const std::string &value) {
  const std::string t = Trim(value);
  int v = 0;
  if (!t.empty() && t.size() < 10 &&
      std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; }))
    v = std::stoi(t);
  // The tile server's usage policy keeps the floor: see TileFileMaxAgeDays.
  return TileFileMaxAgeDays(v);
}

std::string StampLog(const std::string &text, const std::string &stamp) {
  std::string out;
  out.reserve(text.size() + 24);
  for (char c : text) {
    out += c;
    if (c == '\r') out += stamp;
  }
  return out;
}

std::string LogStamp(TDateTime now) { return FormatDateTime("dd.mm.yyyy hh:nn:ss", now) + ": "; }

std::string JoinArgs(const std::vector<std::string> &args) {
  std::string r;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (i) r += ",";
    r += args[i];
  }
  return r;
}

bool ProtectSettingsFile(const std::string &fileName) {
  if (fileName.empty()) return false;
  const int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const bool ok = ::fchmod(fd, 0600) == 0;
  ::close(fd);
  return ok;
}

} // namespace kelvra
