#pragma once
// The decisions of the main window and its account and settings dialogs, kept apart from the
// widgets so that they can be checked without a window: list order, the colours of a row's
// status marks, the layout limits, time-zone entries, the tile cache clean-up, the e-mail check
// and the stamping of log lines.

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "core/util/LumDates.h"
#include "core/util/TimeZones.h"

namespace kelvra {

class TEventInfo;
class TObjectInfo;
class TLumIniFile;
class TTrapInfo;

// --- objects list ---------------------------------------------------------------------------
// Records with uid 0 (the "Deleted" group) come after all others and are equal among themselves;
// otherwise the names decide by byte code (so upper case before lower case). -1, 0 or 1.
int CompareObjectInfo(const TObjectInfo *a, const TObjectInfo *b);

// Whole minutes from sysDt to now, both on `clock`: the real time between them (an age across a
// change of daylight saving is not an hour off).
int MessageAgeMinutes(TDateTime now, TDateTime sysDt, const TDisplayZone &clock = {});

enum class TAgeColor { Green, Blue, Gray, Background };
// Below 30 minutes green, below 60 blue, below a day grey, older the list background.
TAgeColor MessageAgeColor(int minutes);

enum class TBatteryColor { None, Green, Blue, Orange, Red };
struct TBatteryFill {
  TBatteryColor color = TBatteryColor::None;
  int width = 0;       // filled pixels of the 16-pixel body, from its right inner edge
  bool nub = false;    // the nub is filled too (a full battery)
};
// The fill of the battery mark for a level; a message a day old or older leaves it empty.
TBatteryFill BatteryFill(double bat, int ageMinutes);
inline constexpr int kBatteryWidth = 16;

// The text of one column of an alarm or event row (0 object, 1 happened, 2 completion,
// 3 condition, 4 value, 5 accepted); object and trap may be null when not in the cache.
std::string EventText(const TEventInfo &ei, const TObjectInfo *oi, const TTrapInfo *ti, int column,
                      int userLevel);

// --- layout of the main window ([Main] of the settings file) -------------------------------------
inline constexpr int kMinSideWidth = 172;    // left and right panels
inline constexpr int kMinStoredBottom = 85;  // a stored bottom height is raised to this
inline constexpr int kMinBottomHeight = 64;  // the collapsed bottom panel
inline constexpr int kDefaultHeightOfBottom = 96;

struct TMainLayout {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  bool Maximized = false;
  int LeftWidth = 0, ObjectsHeight = 0, RightWidth = 0, TrapsHeight = 0, BottomHeight = 0;
  int HeightOfBottom = kDefaultHeightOfBottom;
  bool Graphs = false;   // the graphs under the map are shown
  int GraphsHeight = 0;  // their height; 0: a default
};
// Reads what section "Main" holds, defaults from `current` (ObjectsHeight defaults to two thirds
// of leftHeight, TrapsHeight to half of rightHeight), and raises the stored sizes to their
// minimums.
TMainLayout ReadMainLayout(const TLumIniFile &ini, const TMainLayout &current, int leftHeight,
                           int rightHeight);
// The bounds of the first start (none stored): 85 % of the screen's free area, centred.
TMainLayout FirstStartBounds(int screenLeft, int screenTop, int screenWidth, int screenHeight);
// A panel sized for its content: `want`, within minimum and maximum (never below minimum).
int PanelSizeFor(int want, int minimum, int maximum);
// Writes the layout; the bounds only when the window is not maximized, so that the last normal
// bounds survive a run that ended maximized.
void WriteMainLayout(TLumIniFile &ini, const TMainLayout &layout);

// --- time zones ------------------------------------------------------------------------------
// "UTC+05:00" for an offset east of Greenwich, "UTC-05:00" west; offsets in seconds.
std::string TimeZoneEntry(int offsetSeconds);
// The distinct entries of a list of offsets, sorted as text.
std::vector<std::string> TimeZoneEntries(const std::vector<int> &offsetsSeconds);
// The signed minutes of an entry; 0 when it does not read as one.
int TimeZoneEntryMinutes(const std::string &entry);
// The first entry whose offset lies within 0.001 day of `days`; -1 when none does.
int FindTimeZoneEntry(const std::vector<std::string> &entries, double days);
// Days as the configuration stores them ("0.208333"); "" for 0.
std::string TimeZoneDaysText(int minutes);

// --- account dialogs ----------------------------------------------------------------------------
// An address with an at sign that is neither its first nor its last character.
bool PlausibleEmail(const std::string &email);
// A number field of the settings dialog: its digits as text, "" when 0 or less or not a number.
std::string PositiveNumberText(const std::string &text);

// --- tile cache ----------------------------------------------------------------------------------
// Deletes every file below dir whose age in whole days at `now` is at least ageDays, going into
// sub-folders whose names do not begin with "."; folders stay. Failed deletions are reported
// through onError (path, errno). Returns the number of files deleted.
int ClearDir(const std::string &dir, int ageDays, std::time_t now,
             const std::function<void(const std::string &, int)> &onError = {});
// "map_cache_max_age" as a number of days: 30 when it is 0, empty or not a number.
int MapCacheMaxAge(const std::string &value);

// --- log ------------------------------------------------------------------------------------
// Every CR of text is followed by the stamp ("dd.mm.yyyy hh:nn:ss: ").
std::string StampLog(const std::string &text, const std::string &stamp);
// The stamp for a local time.
std::string LogStamp(TDateTime now);
// Args joined with "," as the command log line shows them.
std::string JoinArgs(const std::vector<std::string> &args);

// --- settings file ----------------------------------------------------------------------------------
// Creates the settings file readable by its owner only, or narrows an existing one to that: it
// holds the service token. False when that fails.
bool ProtectSettingsFile(const std::string &fileName);

} // namespace kelvra
