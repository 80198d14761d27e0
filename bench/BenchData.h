#pragma once
// Data of the benchmarks, generated with fixed seeds (nothing is downloaded), and a loopback HTTP
// server that hands out prepared replies, so that the client's side of an exchange is what is
// measured: the server only copies bytes that exist already.
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "core/model/TrackPointInfo.h"
#include "core/util/LumDates.h"
#include "sim/SimUtil.h"

namespace kelvra::bench {

using json = nlohmann::json;

// Around the demo world's centre.
constexpr double kLat0 = 57.998649;
constexpr double kLon0 = 56.27574;
// 2024-03-01 00:00:00 UTC: a fixed start, so every run sees the same texts.
constexpr int64_t kStart = 1709251200;

using sim::FormatUtc; // "yyyy-mm-ddThh:nn:ssZ" of unix seconds, as the service writes dates

// A folder of this program's own under the temporary folder, made on its first use; the program
// removes it at its end.
inline const std::filesystem::path &WorkDir() {
  static const std::filesystem::path dir = [] {
    const auto d = std::filesystem::temp_directory_path() /
                   ("kelvra-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(d);
    return d;
  }();
  return dir;
}

// A prefix and a whole number, e.g. "dev100000".
inline std::string Text(const char *aPrefix, long long aValue) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s%lld", aPrefix, aValue);
  return buf;
}

// Six decimals, as a service writes coordinates (the JSON writer then prints the short form).
inline double Round6(double aValue) { return std::round(aValue * 1e6) / 1e6; }

// --- object list replies ------------------------------------------------------------------------

// The reply of GET /user/objects with aCount objects. A changed list (aRound > 0) carries the same
// objects a minute later per round: moved, with new times and sensor values.
inline std::string ObjectsReply(int aCount, int aRound, int64_t aNow) {
  std::mt19937 rnd(1234567u + unsigned(aCount));
  std::uniform_real_distribution<double> unit(0, 1);
  const int64_t t = aNow - 600 + 60 * aRound;
  json objects = json::array();
  for (int i = 0; i < aCount; ++i) {
    const int uid = 1000 + i;
    const double lat = Round6(kLat0 + (unit(rnd) - 0.5) * 0.4 + 0.0003 * aRound);
    const double lon = Round6(kLon0 + (unit(rnd) - 0.5) * 0.6 + 0.0004 * aRound);
    char color[8];
    std::snprintf(color, sizeof color, "#%06X", unsigned(rnd() & 0xFFFFFF));
    json o{{"uid", uid},
           {"id", Text("dev", 100000 + i)},
           {"parent_id", 0},
           {"type_id", 1 + i % 4},
           {"user_id", 7},
           {"name", Text("Vehicle ", i)},
           {"track_color", color},
           {"users_list", i % 10 == 0 ? "alice,bob" : ""},
           {"is_alien", false},
           {"is_deleted", false},
           {"del_dt", nullptr},
           {"has_image", i % 7 == 0},
           {"image_dt", i % 7 == 0 ? json(FormatUtc(kStart)) : json(nullptr)},
           {"trip_id", 0},
           {"trip_status", 0},
           {"model", Text("KT-", 100 + i % 30)},
           {"hw_type", "gps"},
           {"hw_info", "rev. B"},
           {"sw_ver", Text("2.4.", i % 9)},
           {"phone", Text("+7900", 1000000 + i)},
           {"imei", Text("35", 1000000000000LL + i)},
           {"obj_id", uid},
           {"osm_id", Text("W", 20000000 + i)},
           {"sys_dt", FormatUtc(t)},
           {"obj_dt", FormatUtc(t - 2)},
           {"gps_dt", FormatUtc(t - 2)},
           {"lat", lat},
           {"lon", lon},
           {"alt", Round6(100 + 50 * unit(rnd))},
           {"acc", Round6(3 + 20 * unit(rnd))},
           {"speed", Round6(60 * unit(rnd))},
           {"angle", int(360 * unit(rnd))},
           {"bat", int(20 + 80 * unit(rnd))},
           {"crd_src", 0},
           {"address", Text("Lenina st. ", 1 + i % 200) + ", Perm"}};
    json sensors = json::array();
    const char *signs[3][3] = {
        {"ign", "Ignition", ""}, {"odo", "Odometer", "km"}, {"temp", "Temperature", "C"}};
    for (int s = 0; s < 3; ++s)
      sensors.push_back({{"uid", s + 1},
                         {"name", signs[s][1]},
                         {"sign", signs[s][0]},
                         {"unit", signs[s][2]},
                         {"obj_dt", FormatUtc(t - 2)},
                         {"sys_dt", FormatUtc(t)},
                         {"val", std::to_string(int(1000 * unit(rnd)) + aRound)}});
    o["sensors"] = std::move(sensors);
    json alarms = json::array();
    if (i % 50 == 0)
      alarms.push_back({{"uid", 500000 + i},
                        {"obj_id", uid},
                        {"trap_id", 3},
                        {"h_point_id", 900000 + i},
                        {"h_sys_dt", FormatUtc(t - 300)},
                        {"h_obj_dt", FormatUtc(t - 302)},
                        {"h_gps_dt", FormatUtc(t - 302)},
                        {"h_lat", lat},
                        {"h_lon", lon},
                        {"h_speed", 95},
                        {"h_bat", 50},
                        {"h_sval", "speed"},
                        {"c_point_id", 0},
                        {"c_sys_dt", nullptr},
                        {"accept_dt", nullptr},
                        {"accept_msg", ""}});
    o["alarms"] = std::move(alarms);
    objects.push_back(std::move(o));
  }
  return json{{"dt", FormatUtc(t)}, {"objects", std::move(objects)}}.dump();
}

// --- tracks -------------------------------------------------------------------------------------

// A track of aCount one-second messages: drives with GPS jitter, and aStays stays of 330 s (a
// little jitter around a point, low speed, worse accuracy) spread evenly over it.
inline std::vector<std::unique_ptr<TTrackPointInfo>> TrackPoints(int aCount, int aStays,
                                                                 int aObjId = 101) {
  std::mt19937 rnd(42u);
  std::normal_distribution<double> jitter(0, 1);
  std::uniform_real_distribution<double> unit(0, 1);
  constexpr double mPerDegLat = 111320.0;
  const double mPerDegLon = mPerDegLat * std::cos(kLat0 * M_PI / 180);
  const int block = aStays > 0 ? aCount / aStays : aCount + 1;
  constexpr int stayLength = 330;

  std::vector<std::unique_ptr<TTrackPointInfo>> points;
  points.reserve(std::size_t(aCount));
  double lat = kLat0, lon = kLon0, heading = 0;
  for (int i = 0; i < aCount; ++i) {
    auto p = std::make_unique<TTrackPointInfo>(1 + i, aObjId);
    const int64_t t = kStart + i;
    p->obj_dt = UnixToDateTime(t, false);
    p->gps_dt = p->obj_dt;
    p->sys_dt = UnixToDateTime(t + 1, false);
    const bool staying = i % block >= block - stayLength;
    double jitterM;
    if (staying) {
      p->speed = Round6(1.5 * unit(rnd));
      p->acc = Round6(10 + 15 * unit(rnd));
      jitterM = 3;
    } else {
      heading += 0.05 * jitter(rnd);
      p->speed = Round6(15 + 5 * unit(rnd));
      lat += p->speed * std::cos(heading) / mPerDegLat;
      lon += p->speed * std::sin(heading) / mPerDegLon;
      p->acc = Round6(4 + 6 * unit(rnd));
      jitterM = 2;
    }
    p->lat = Round6(lat + jitterM * jitter(rnd) / mPerDegLat);
    p->lon = Round6(lon + jitterM * jitter(rnd) / mPerDegLon);
    p->alt = Round6(120 + 10 * unit(rnd));
    p->angle = double(int(std::fmod(heading * 180 / M_PI + 720, 360)));
    p->bat = 90 - i / std::max(1, aCount / 80);
    p->src = 0;
    points.push_back(std::move(p));
  }
  return points;
}

// The reply of GET /object/N/track with aCount messages of one object: three dates, six
// numbers and three sensor values per message.
inline std::string TrackReply(int aCount) {
  const auto points = TrackPoints(aCount, aCount / 500);
  std::string out = "[";
  for (int i = 0; i < aCount; ++i) {
    const TTrackPointInfo &p = *points[std::size_t(i)];
    const int64_t t = kStart + i;
    json j{{"uid", 5000000 + i},
           {"obj_id", p.obj_id},
           {"osm_id", i % 20 == 0 ? Text("N", 300000 + i / 20) : ""},
           {"sys_dt", FormatUtc(t + 1)},
           {"obj_dt", FormatUtc(t)},
           {"gps_dt", FormatUtc(t)},
           {"lat", p.lat},
           {"lon", p.lon},
           {"alt", p.alt},
           {"acc", p.acc},
           {"speed", p.speed},
           {"angle", p.angle},
           {"bat", p.bat},
           {"crd_src", 0},
           {"sensors",
            {{{"uid", 1}, {"sign", "ign"}, {"val", p.speed > 3 ? "1" : "0"}},
             {{"uid", 2}, {"sign", "odo"}, {"val", std::to_string(12000 + i / 60)}},
             {{"uid", 3}, {"sign", "temp"}, {"val", std::to_string(20 + i % 7)}}}}};
    if (i) out += ',';
    out += j.dump();
  }
  out += ']';
  return out;
}

// --- the loopback server ------------------------------------------------------------------------

// Serves GET requests whose path matches a pattern with a reply chosen from prepared texts. The
// reply is streamed straight from the prepared text, so the server copies nothing beforehand.
class TReplyServer {
public:
  using TPick = std::function<const std::string &(const httplib::Request &)>;

  ~TReplyServer() {
    fServer.stop();
    if (fThread.joinable()) fThread.join();
  }

  // aPick must return a text that lives as long as the server. With aChunked the reply does not
  // announce its length (chunked transfer), as a service that streams its reply.
  void Serve(const std::string &aPattern, TPick aPick, bool aChunked = false) {
    fServer.Get(aPattern, [pick = std::move(aPick), aChunked](const httplib::Request &aReq,
                                                              httplib::Response &aRes) {
      const std::string &body = pick(aReq);
      if (aChunked) {
        aRes.set_chunked_content_provider(
            "application/json; charset=UTF-8",
            [&body](std::size_t aOffset, httplib::DataSink &aSink) {
              const std::size_t n = std::min<std::size_t>(body.size() - aOffset, 1 << 16);
              if (n > 0) aSink.write(body.data() + aOffset, n);
              if (aOffset + n >= body.size()) aSink.done();
              return true;
            });
        return;
      }
      aRes.set_content_provider(
          body.size(), "application/json; charset=UTF-8",
          [&body](std::size_t aOffset, std::size_t aLength, httplib::DataSink &aSink) {
            aSink.write(body.data() + aOffset, std::min<std::size_t>(aLength, 1 << 16));
            return true;
          });
    });
  }

  bool Start() {
    fPort = fServer.bind_to_any_port("127.0.0.1");
    if (fPort <= 0) return false;
    // The socket listens from the bind on: a request made before the thread accepts just waits.
    fThread = std::thread([this] { fServer.listen_after_bind(); });
    return true;
  }

  std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(fPort); }

private:
  httplib::Server fServer;
  std::thread fThread;
  int fPort = 0;
};

} // namespace kelvra::bench
