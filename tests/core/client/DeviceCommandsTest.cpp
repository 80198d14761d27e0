// The device side of the object dialogs: command log cells, configuration answers and
// "set config", preset endpoints, places answers and the places commands.

#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "core/client/DeviceCommands.h"
#include "core/util/LumSmallUtils.h"
#include "core/util/LumDates.h"

namespace kelvra {
namespace {


TEST(CommandLog, CellsOfAnAnsweredAndOfAnUndeliveredCommand) {
  TCommandInfo ci(42);
  ci.txt = "get info";
  ci.create_dt = EncodeDateTime(2026, 12, 9, 10, 0, 0);
  ci.send_dt = EncodeDateTime(2026, 12, 9, 10, 0, 2);
  ci.r_type = "text/plain; charset=utf-8";
  ci.r_size = 12;
  EXPECT_EQ(CommandCell(&ci, ccUid), "42");
  EXPECT_EQ(CommandCell(&ci, ccCommand), "get info");
  EXPECT_EQ(CommandCell(&ci, ccCreate), "09.12.2026 10:00:00");
  EXPECT_EQ(CommandCell(&ci, ccSend), "09.12.2026 10:00:02");
  EXPECT_EQ(CommandCell(&ci, ccAnswer), "txt / 12");
  EXPECT_EQ(CommandCell(nullptr, ccUid), "n/a");
  // Not delivered: NaN, 0 or an old placeholder time all give an empty cell, never "NaN".
  for (double send : {kNaN, 0.0, EncodeDateTime(1999, 5, 1)}) {
    ci.send_dt = send;
    EXPECT_EQ(CommandCell(&ci, ccSend), "") << send;
  }
  ci.create_dt = kNaN;
  EXPECT_EQ(CommandCell(&ci, ccCreate), "");
  ci.r_type.clear();
  EXPECT_EQ(CommandCell(&ci, ccAnswer), "");
  // The service's null reads as NaN: not sent yet, like 0; a sending time is sent.
  EXPECT_TRUE(CommandNotSent((ci.send_dt = kNaN, ci)));
  EXPECT_TRUE(CommandNotSent((ci.send_dt = 0, ci)));
  EXPECT_FALSE(CommandNotSent((ci.send_dt = EncodeDateTime(2026, 12, 9, 10, 0, 2), ci)));
}

TEST(CommandLog, RequestLinesCarryTheUid) {
  TCommandInfo ci(1017);
  ci.r_dt = EncodeDateTime(2026, 12, 9, 9, 0, 3);
  EXPECT_EQ(RequestLine(ci), "1017 | 09.12.2026 09:00:03");
  EXPECT_EQ(RequestLineUid(RequestLine(ci)), 1017);
  for (const char *bad : {"", " | x", "abc | 1", "-5 | x", "99999999999 | x"})
    EXPECT_EQ(RequestLineUid(bad), 0) << bad;
}

TEST(Config, PeriodsAreMinutesInTheDialogAndSecondsOnTheDevice) {
  TLumHash answer;
  answer.Assign("tracking_period=125\r\ntracking_fast_period=59\r\ntracking_server=udp://h:8080\r\n"
                "use_places=true\r\n");
  EXPECT_EQ(ConfigText(answer, "tracking_period"), "2");
  EXPECT_EQ(ConfigText(answer, "tracking_fast_period"), "0");
  EXPECT_EQ(ConfigText(answer, "tracking_server"), "udp://h:8080");
  // A device answering with bare line feeds (or bare returns) reads the same.
  for (const char *eol : {"\n", "\r", "\r\n"}) {
    const TLumHash read = ReadConfigAnswer(std::string("tracking_period=125") + eol +
                                           "use_places=true" + eol + "tracking_server=udp://h:8080");
    EXPECT_EQ(ConfigText(read, "tracking_period"), "2") << eol;
    EXPECT_TRUE(read.AsBool("use_places")) << eol;
    EXPECT_EQ(ConfigText(read, "tracking_server"), "udp://h:8080") << eol;
  }
  EXPECT_EQ(ConfigSettings().size(), 7u);
  EXPECT_EQ(std::string(ConfigSettings()[3].Key), "tracking_server");

  EXPECT_EQ(SetConfigCommand({}), "");
  EXPECT_EQ(SetConfigCommand({{"use_places", TConfigControl::Check, true, ""},
                              {"tracking_period", TConfigControl::Edit, false, " 3 "}}),
            "set config use_places=true tracking_period=180");
  // Unreadable minutes are 0; a drop-down's text is trimmed.
  EXPECT_EQ(SetConfigCommand({{"service_enabled", TConfigControl::Check, false, ""},
                              {"tracking_server", TConfigControl::Combo, false, " udp://x:1 "},
                              {"tracking_fast_period", TConfigControl::Edit, false, "abc"}}),
            "set config service_enabled=false tracking_server=udp://x:1 tracking_fast_period=0");
}

struct TEndpointCase {
  const char *name, *address, *host;
};
void PrintTo(const TEndpointCase &c, std::ostream *os) { *os << c.name; }
class Endpoints : public ::testing::TestWithParam<TEndpointCase> {};

TEST_P(Endpoints, OnTheHostOfTheServiceAddress) {
  const TEndpointCase &c = GetParam();
  const auto e = PresetEndpoints(c.address);
  if (!*c.host) {
    EXPECT_TRUE(e.empty());
    return;
  }
  const std::string h = c.host;
  EXPECT_EQ(e, (std::vector<std::string>{"https://" + h + "/osmand", "udp://" + h + ":8080",
                                         "https://" + h + ":7738"}));
}

INSTANTIATE_TEST_SUITE_P(
    Config, Endpoints,
    ::testing::Values(TEndpointCase{"plain", "https://gps.kelvra.example", "gps.kelvra.example"},
                      TEndpointCase{"port_and_path", "http://127.0.0.1:5555/api/", "127.0.0.1"},
                      TEndpointCase{"user_info", "https://u:p@host.example:8443", "host.example"},
                      TEndpointCase{"no_scheme", "gps.example.org", "gps.example.org"},
                      TEndpointCase{"ipv6", "https://[::1]:8443/", "[::1]"},
                      TEndpointCase{"empty", "", ""}),
    [](const auto &i) { return std::string(i.param.name); });

TEST(Places, AnswerGivesPlacesWithBareSsidsAndTheNetworks) {
  TPlaceList places;
  TWifiList wifi;
  ParsePlacesAnswer("place0={\"name\":\"Home\",\"ssid\":[\"Net A\",\"Net B\"]}\r\n"
                    "wifi0={\"ssid\":\"Net A\",\"bssid\":\"10:00:00:00:00:01\",\"std\":4}\r\n"
                    "vifi3={\"ssid\":\"Cafe\",\"bssid\":\"aa:bb:cc:dd:ee:ff\",\"std\":5}\r\n"
                    "no equals sign here\n"
                    "place1={broken\n"
                    "other={\"name\":\"x\"}\n",
                    places, wifi);
  ASSERT_EQ(places.size(), 1u);
  EXPECT_EQ(places[0].Sign, "Home");
  EXPECT_EQ(places[0].Ssids, (std::vector<std::string>{"Net A", "Net B"}));
  ASSERT_EQ(wifi.size(), 2u);
  EXPECT_TRUE(wifi[0].known);
  EXPECT_EQ(wifi[1].ssid, "Cafe");
  EXPECT_EQ(wifi[1].bssid, "aa:bb:cc:dd:ee:ff");
  EXPECT_EQ(wifi[1].std, 5);
  EXPECT_FALSE(wifi[1].known);
  EXPECT_EQ(WifiStdText(wifi[1].std), "WiFi5");
  EXPECT_EQ(WifiStdText(3), "");
  // A place sent back unchanged carries the same bare SSIDs as one saved in the dialog.
  EXPECT_EQ(SetPlacesCommand(places), R"(set places place0={"name":"Home","ssid":["Net\\sA","Net\\sB"]})");
}

TEST(Places, SetPlacesLeavesOutPlacesWithoutNetworks) {
  const TPlaceList places = {{"Home", {"Net A"}, true}, {"Empty", {}, false}, {"Work", {"Office"}, true}};
  EXPECT_EQ(SetPlacesCommand(places),
            R"(set places place0={"name":"Home","ssid":["Net\\sA"]} place1={"name":"Work","ssid":["Office"]})");
  EXPECT_EQ(SetPlacesCommand({}), "set places");
}

TEST(Places, AddPlacesListsEveryAccessPointOfTheTickedNetworks) {
  const TWifiList wifi = {{"Home Net", "10:00:00:00:00:01", 4, false},
                          {"Home Net", "10:00:00:00:00:02", 5, false},
                          {"Home Net", "", 5, false},
                          {"Neighbour", "20:00:00:00:00:01", 4, false}};
  EXPECT_EQ(AddPlacesCommand("My home", {"Home Net"}, wifi),
            R"(add places place0={"name":"My\\shome","wifi":[{"ssid":"Home\\sNet","bssid":"10:00:00:00:00:01"},)"
            R"({"ssid":"Home\\sNet","bssid":"10:00:00:00:00:02"}]})");
}

TEST(Places, SearchBoxIsAThousandthOfADegreeEachWay) {
  const TWifiBox b = WifiSearchBox(58.0, 56.25);
  EXPECT_DOUBLE_EQ(b.Lat1, 57.999);
  EXPECT_DOUBLE_EQ(b.Lon1, 56.249);
  EXPECT_DOUBLE_EQ(b.Lat2, 58.001);
  EXPECT_DOUBLE_EQ(b.Lon2, 56.251);
}

} // namespace
} // namespace kelvra
