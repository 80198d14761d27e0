#include "core/client/DeviceCommands.h"

#include <nlohmann/json.hpp>

#include <cmath>

#include "core/client/client.h"
#include "core/model/ObjectRows.h"
#include "core/util/LumSmallUtils.h"
#include "core/util/LumStrings.h"

namespace kelvra {

namespace {

bool EndsWith(const std::string &s, const std::string &tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The JSON of a command argument travels without any blank or line break.
std::string CompactJson(const nlohmann::ordered_json &j) {
  std::string out;
  for (char c : j.dump())
    if (c != ' ' && c != '\r' && c != '\n') out += c;
  return out;
}

} // namespace

// --- command log ---------------------------------------------------------------------------------

// A missing date reads as NaN (older records held 0): neither is a sending time.
bool CommandNotSent(const TCommandInfo &ci) { return !(ci.send_dt > 0); }

std::string CommandCell(const TCommandInfo *ci, int column) {
  if (!ci) return "n/a";
  switch (column) {
  case ccUid:
    return std::to_string(ci->uid);
  case ccCommand:
    return ci->txt;
  case ccCreate:
    return DateCell(ci->create_dt);
  case ccSend: {
    static const TDateTime y2000 = EncodeDateTime(2000, 1, 1);
    return std::isnan(ci->send_dt) || ci->send_dt <= y2000 ? std::string() : DateCell(ci->send_dt);
  }
  case ccAnswer:
    return ci->r_type.empty() ? std::string()
                              : ContentType2Ext(ci->r_type) + " / " + std::to_string(ci->r_size);
  default:
    return {};
  }
}

std::string RequestLine(const TCommandInfo &ci) {
  return std::to_string(ci.uid) + " | " + DateCell(ci.r_dt);
}

int RequestLineUid(const std::string &line) {
  const int64_t uid = s2i(Trim(line.substr(0, line.find('|'))), 0);
  return uid > 0 && uid <= INT32_MAX ? static_cast<int>(uid) : 0;
}

// --- configuration -------------------------------------------------------------------------------

const std::vector<TConfigSetting> &ConfigSettings() {
  static const std::vector<TConfigSetting> settings = {
      {"service_enabled", TConfigControl::Check},      {"use_places", TConfigControl::Check},
      {"continuously_tracking", TConfigControl::Check}, {"tracking_server", TConfigControl::Combo},
      {"tracking_period", TConfigControl::Edit},        {"tracking_fast_period", TConfigControl::Edit},
      {"block_incoming_calls", TConfigControl::Check}};
  return settings;
}

TLumHash ReadConfigAnswer(const std::string &text) {
  TLumHash answer;
  answer.Assign(ReplaceSubstr(text, "\n", "\r"));
  return answer;
}

bool IsPeriodKey(const std::string &key) { return EndsWith(key, "period"); }

std::string ConfigText(const TLumHash &answer, const std::string &key) {
  if (IsPeriodKey(key)) return std::to_string(answer.AsInteger(key) / 60);
  return answer.GetVal(key);
}

std::string ConfigValueProblem(const TConfigChange &change) {
  if (change.Control == TConfigControl::Check) return {};
  const std::string text = Trim(change.Text);
  if (text.empty()) return "config_empty";
  if (IsPeriodKey(change.Key)) {
    const bool sign = text[0] == '-' || text[0] == '+';
    const std::string digits = text.substr(sign ? 1 : 0);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos)
      return "config_not_whole";
    if (text[0] == '-' || digits.size() > 5) return "config_out_of_range";
    const int minutes = std::stoi(digits);
    return minutes >= 1 && minutes <= kMaxConfigPeriodMin ? std::string() : "config_out_of_range";
  }
  return text.find_first_of(" \t\r\n\v\f") == std::string::npos ? std::string() : "config_has_blank";
}

std::string SetConfigCommand(const std::vector<TConfigChange> &changes) {
  std::string args;
  for (const TConfigChange &c : changes) {
    std::string value;
    if (c.Control == TConfigControl::Check)
      value = c.Checked ? "true" : "false";
    else if (IsPeriodKey(c.Key))
      value = std::to_string(s2i(Trim(c.Text), 0) * 60);
    else
      value = Trim(c.Text);
    args += c.Key + "=" + value + " ";
  }
  args = Trim(args);
  return args.empty() ? std::string() : "set config " + args;
}

std::vector<std::string> PresetEndpoints(const std::string &serviceAddress) {
  std::string host = Trim(serviceAddress);
  if (const size_t scheme = host.find("://"); scheme != std::string::npos) host.erase(0, scheme + 3);
  host = host.substr(0, host.find_first_of("/?#"));
  if (const size_t at = host.rfind('@'); at != std::string::npos) host.erase(0, at + 1);
  // Drop the port; a bracketed IPv6 address keeps its brackets.
  const size_t close = host.rfind(']');
  const size_t colon = host.rfind(':');
  if (colon != std::string::npos && (close == std::string::npos || colon > close))
    host.erase(colon);
  if (host.empty()) return {};
  return {"https://" + host + "/osmand", "udp://" + host + ":8080", "https://" + host + ":7738"};
}

// --- places --------------------------------------------------------------------------------------

void ParsePlacesAnswer(const std::string &text, TPlaceList &places, TWifiList &wifi) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = LowerCase(Trim(line.substr(0, eq)));
    const std::string value = Utf8Copy(Trim(line.substr(eq + 1)), 0, 999);
    const bool isPlace = key.compare(0, 5, "place") == 0;
    const bool isWifi = key.compare(0, 4, "wifi") == 0, isVisible = key.compare(0, 4, "vifi") == 0;
    if (!isPlace && !isWifi && !isVisible) continue;
    const nlohmann::json j = nlohmann::json::parse(value, nullptr, false);
    if (!j.is_object()) continue;
    auto text = [&j](const char *name) {
      auto it = j.find(name);
      return it != j.end() && it->is_string() ? it->get<std::string>() : std::string();
    };
    if (isPlace) {
      TPlaceData p;
      p.Sign = text("name");
      if (auto it = j.find("ssid"); it != j.end() && it->is_array())
        for (const auto &s : *it)
          if (s.is_string() && !Trim(s.get<std::string>()).empty()) p.Ssids.push_back(s.get<std::string>());
      places.push_back(std::move(p));
    } else {
      TWifiData w;
      w.ssid = RemoveTrash(text("ssid"));
      w.bssid = text("bssid");
      auto it = j.find("std");
      w.std = it != j.end() && it->is_number_integer() ? it->get<int>() : 0;
      w.known = isWifi;
      if (!w.ssid.empty()) wifi.push_back(std::move(w));
    }
  }
}

std::string WifiStdText(int std) {
  return std >= 4 && std <= 6 ? "WiFi" + std::to_string(std) : std::string();
}

std::string EscapeBlanks(const std::string &s) { return ReplaceSubstr(s, " ", "\\s"); }

std::string SetPlacesCommand(const TPlaceList &places) {
  std::string cmd = "set places";
  int n = 0;
  for (const TPlaceData &p : places) {
    if (p.Ssids.empty()) continue;
    nlohmann::ordered_json j;
    j["name"] = EscapeBlanks(p.Sign);
    j["ssid"] = nlohmann::ordered_json::array();
    for (const std::string &s : p.Ssids)
      j["ssid"].push_back(EscapeBlanks(s));
    cmd += " place" + std::to_string(n++) + "=" + CompactJson(j);
  }
  return cmd;
}

std::string AddPlacesCommand(const std::string &name, const std::vector<std::string> &ssids,
                             const TWifiList &wifi) {
  nlohmann::ordered_json j;
  j["name"] = EscapeBlanks(name);
  j["wifi"] = nlohmann::ordered_json::array();
  for (const std::string &s : ssids)
    for (const TWifiData &w : wifi)
      if (w.ssid == s && !w.bssid.empty())
        j["wifi"].push_back(nlohmann::ordered_json{{"ssid", EscapeBlanks(w.ssid)}, {"bssid", w.bssid}});
  return "add places place0=" + CompactJson(j);
}

TWifiBox WifiSearchBox(double lat, double lon) {
  return {lat - 0.001, lon - 0.001, lat + 0.001, lon + 0.001};
}

} // namespace kelvra
