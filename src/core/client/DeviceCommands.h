#pragma once
// The device side of the object dialogs, without a window: the cells of the command log, the
// device's configuration answer and the "set config" command, the preset tracking endpoints,
// the places answer and the "set places" / "add places" commands, and the Wi-Fi search box
// around a point of the map.

#include <string>
#include <vector>

#include "core/client/WifiInfo.h"
#include "core/model/CommandInfo.h"
#include "core/util/LumHash.h"

namespace kelvra {

// --- command log ---------------------------------------------------------------------------------
enum TCommandColumn { ccUid, ccCommand, ccCreate, ccSend, ccAnswer, ccCount };
// The text of one cell of the command log; "n/a" without an entry. A command not delivered yet
// (send time NaN, 0 or not after 2000-01-01) has an empty "send" cell.
std::string CommandCell(const TCommandInfo *ci, int column);
// A command whose send time is exactly 0 was never sent: the dialog offers its text again.
bool CommandNotSent(const TCommandInfo &ci);

// "%d | %s": an answered request of the configuration or places dialog.
std::string RequestLine(const TCommandInfo &ci);
// The uid at the start of such a line; 0 when there is none.
int RequestLineUid(const std::string &line);

// --- configuration -------------------------------------------------------------------------------
enum class TConfigControl { Check, Combo, Edit };
struct TConfigSetting {
  const char *Key;
  TConfigControl Control;
};
// The seven settings in the order of the dialog.
const std::vector<TConfigSetting> &ConfigSettings();
// The device's answer to "get config": "key=value" lines, ended by CR, LF or both.
TLumHash ReadConfigAnswer(const std::string &text);
// A key ending in "period" holds seconds on the device and minutes in the dialog.
bool IsPeriodKey(const std::string &key);
// What a text control shows for a key of the device's answer (periods in whole minutes).
std::string ConfigText(const TLumHash &answer, const std::string &key);

struct TConfigChange {
  std::string Key;
  TConfigControl Control = TConfigControl::Edit;
  bool Checked = false; // for a tick box
  std::string Text;     // for a text field or drop-down
};
// The longest period a device is set to, in minutes (a day).
inline constexpr int kMaxConfigPeriodMin = 1440;
// Why a changed setting cannot be sent as typed: a translation key, empty when it can. A period
// is a whole number of minutes from 1 to kMaxConfigPeriodMin ("config_not_whole",
// "config_out_of_range"); a text is not empty ("config_empty") and holds no blank or line break,
// where the command would split ("config_has_blank").
std::string ConfigValueProblem(const TConfigChange &change);

// "set config key=value ..." of the changed settings in the order given (periods back in
// seconds); empty when nothing changed.
std::string SetConfigCommand(const std::vector<TConfigChange> &changes);

// The three endpoints a device may report to, on the host of the service address: HTTPS with
// the path "/osmand", UDP on port 8080 and HTTPS on port 7738. Empty when the address has no host.
std::vector<std::string> PresetEndpoints(const std::string &serviceAddress);

// --- places --------------------------------------------------------------------------------------
struct TPlaceData {
  std::string Sign;               // the place's name
  std::vector<std::string> Ssids; // bare SSIDs, without the quotes of the device's JSON
  bool Modified = false;
};
using TPlaceList = std::vector<TPlaceData>;

// Reads the device's answer to "get places": "placeN" lines give places, "wifiN" lines access
// points the device knows, "vifiN" lines those it only sees. Lines it cannot read are skipped.
void ParsePlacesAnswer(const std::string &text, TPlaceList &places, TWifiList &wifi);

// "WiFi4", "WiFi5", "WiFi6" for the standards 4 to 6; empty otherwise.
std::string WifiStdText(int std);
// Every blank becomes "\s": the device splits its command at blanks.
std::string EscapeBlanks(const std::string &s);
// "set places" with " placeN=" and the JSON of every place that has an SSID.
std::string SetPlacesCommand(const TPlaceList &places);
// "add places place0=" and the JSON of one new place with the access points of its SSIDs.
std::string AddPlacesCommand(const std::string &name, const std::vector<std::string> &ssids,
                             const TWifiList &wifi);

// The search box of access points around a point of the map: 0.001 degree each way.
struct TWifiBox {
  double Lat1, Lon1, Lat2, Lon2;
};
TWifiBox WifiSearchBox(double lat, double lon);

} // namespace kelvra
