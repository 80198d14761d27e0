#pragma once
// The substitute service's data and its simulation: users, objects moving along routes, zones,
// traps raising events, trips, the command log with the device side of commands, Wi-Fi access
// points and street addresses. Times are whole seconds since 1970 UTC. Not thread-safe by itself:
// the server guards it with one mutex.
#include <cstdint>
#include <map>
#include <memory>
#include <queue>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/SimHistory.h"

namespace kelvra::sim {

using json = nlohmann::json;

struct TSimSensorValue {
  int uid = 0;
  std::string sign;
  std::string val;
};

struct TSimPoint {
  int64_t uid = 0;
  int obj_id = 0;
  std::string osm_id;
  int64_t sys_dt = 0, obj_dt = 0, gps_dt = 0;
  double lat = 0, lon = 0, alt = 0, acc = 0, speed = 0, angle = 0;
  int bat = -1;
  int crd_src = 0;
  std::vector<TSimSensorValue> sensors;
};

// The latest value of one sensor of an object.
struct TSimSensor {
  int uid = 0;
  std::string sign, name, unit, val;
  int64_t obj_dt = 0, sys_dt = 0;
};

// A Wi-Fi access point of the world.
struct TSimWifi {
  std::string ssid, bssid;
  int std = 4;
  double lat = 0, lon = 0;
};

// A place the device recognises by the networks it sees there.
struct TSimPlace {
  std::string name;
  std::vector<std::string> ssids;
};

// Beacon: stands still and reports every reportPeriod with the fix source crdSrc. Fleet: a
// vehicle of --fleet that drives the street network in coarse steps. Tracker: drives the street
// network nearly round the clock reporting every second; all of its life is made day by day as
// its past is (TSimHistory), the simulation only hands the points over as time passes.
enum class TSimKind { Vehicle, Phone, Wearable, DoorSensor, Bike, Idle, Beacon, Fleet, Tracker };

struct TSimObject {
  int uid = 0;
  std::string id;
  int parent_id = 0;
  int type_id = 1;
  int user_id = 1;
  std::string name;
  std::string track_color = "#0000FF";
  std::string users_list;
  bool is_deleted = false;
  int64_t del_dt = 0;
  std::string image;      // photo bytes; empty when there is none
  std::string image_type; // its content type
  int64_t image_dt = 0;
  std::string model, hw_type, hw_info, sw_ver, phone, imei;
  int trip_id = 0;
  std::vector<TSimPoint> track; // every message, in the order received
  std::vector<TSimSensor> sensors;
  int64_t changed = 0;     // last time anything a list reply shows changed
  uint64_t changedSeq = 0; // the world's change counter at that change

  // motion
  TSimKind kind = TSimKind::Idle;
  std::vector<std::pair<double, double>> route; // closed loop of (lat, lon)
  std::vector<int> parkMinutes;                 // parking stop at each route node, 0 = none
  size_t leg = 0;                               // moving from route[leg] to route[leg + 1]
  double legPos = 0;                            // metres done on that leg
  double lat = 0, lon = 0;                      // true position (points add GPS noise)
  double cruiseKmh = 0, speedKmh = 0, heading = 0;
  // fleet: driving the street graph from one crossing to the next, not back if it can help it
  int fromNode = -1, toNode = -1, prevNode = -1;
  int homeNode = -1;       // the crossing a street driver starts and ends its made days at
  int64_t historyEnd = 0;  // its made past ends here and the simulation takes over (0: no past)
  int64_t lastStep = 0;
  int64_t parkUntil = 0;
  int reportPeriod = 60, parkReportPeriod = 600;
  int64_t lastReport = 0;
  double bat = 100;
  bool charging = false;
  double steps = 0, odometer = 0;
  int64_t nextToggle = 0; // door sensor: next open/close
  int crdSrc = 0;          // fix source of a beacon (0 GNSS, 1 cell, 2 Wi-Fi, 3 place)
  // GPS trouble for the filters: jumps, outliers, late points out of order, a tunnel
  bool gpsTrouble = false;
  double tunnelLat = 0, tunnelLon = 0, tunnelRadius = 0; // no fix inside this circle

  // device side
  std::vector<std::pair<std::string, std::string>> config;
  std::vector<TSimPlace> places;

  bool Moving() const { return speedKmh > 0; }
  const TSimPoint *LastPoint() const { return track.empty() ? nullptr : &track.back(); }
  TSimSensor *FindSensor(const std::string &sign);
  std::string ConfigValue(const std::string &key) const;
};

struct TSimUser {
  int uid = 0;
  std::string login, password, name, email;
  int64_t t_chat_id = 0;
  int64_t tz = 0; // seconds east of UTC
  std::string lang = "en";
};

struct TSimZone {
  int uid = 0;
  int user_id = 0;
  int type_id = 1; // 1 circle, 2 polygon
  std::string name, desc, color = "#FF0000";
  double clat = 0, clon = 0, radius = 0;        // circle
  std::vector<std::pair<double, double>> nodes; // polygon, (lon, lat) as on the wire
  bool Contains(double lat, double lon) const;
  std::string GeomText() const;
  double Area() const;
  double Perimeter() const;
};

struct TSimTrap {
  int uid = 0;
  int obj_id = 0;
  int user_id = 0;
  int target_type_id = 1; // 1 zone, 2 sensor, 3 timeout (minutes), 4 battery, 5 speed
  int target_id = 0;
  int condition_id = 1;
  std::string val;
  bool is_alarm = false;
  int accept_type_id = 0;
  std::string msg, subj;
  bool email = false, telegram = false;
  // Evaluation state per object (a general trap, obj_id 0, watches every object of its user):
  // whether the condition held at the last check, and the event it opened.
  struct TState {
    bool held = false;
    int64_t openEvent = 0;
  };
  std::map<int, TState> states;
  bool Watches(const TSimObject &o) const {
    return obj_id == o.uid || (obj_id == 0 && user_id == o.user_id);
  }
};

struct TSimEvent {
  int64_t uid = 0;
  int obj_id = 0;
  int trap_id = 0;
  bool is_alarm = false;
  TSimPoint h;
  std::string h_sval;
  bool completed = false;
  TSimPoint c;
  std::string c_sval;
  int64_t accept_dt = 0;
  std::string accept_msg;
};

struct TSimTrip {
  int uid = 0;
  int obj_id = 0;
  std::string name;
  int status = 1; // 0 new, 1 active, 2 complete
  int64_t created = 0; // a trip not started yet belongs to the periods after it was planned
  int64_t start_dt = 0, stop_dt = 0;
  int64_t start_pid = 0, stop_pid = 0;
  bool is_public = false;
  std::string token;
};

struct TSimCommand {
  int64_t uid = 0;
  int obj_id = 0;
  std::string txt;
  int64_t create_dt = 0, send_dt = 0, resp_dt = 0;
  std::string r_type;
  std::string response;
};

class TSimWorld {
public:
  // Builds the demo world around lat 57.998649, lon 56.27574 and runs one day of history up to
  // startTime, so tracks, events and trips exist from the first request.
  // With fleet > 0, that many more vehicles of the demo user drive the city's street network
  // (one hour simulated each; they raise no events).
  // historyDays > 1 gives every object that many days of past messages: the last day (the last
  // hour for the fleet) simulated as above, the days before it made on demand (TSimHistory).
  TSimWorld(uint32_t seed, int64_t startTime, int fleet = 0, int historyDays = 1);
  static constexpr int kMaxFleet = 20000;
  static constexpr int kMaxHistoryDays = 60;
  static constexpr int kTrackerUid = 111; // "Tracker 1Hz"
  static constexpr int kFirstFleetUid = 100000;

  int64_t Now() const { return fNow; }
  // Lets simulated time pass: objects move and report, traps raise events, devices answer.
  void Advance(int64_t seconds);

  // users and tokens
  TSimUser *FindUser(const std::string &login);
  TSimUser *UserByUid(int uid);
  // The user of a valid token; null for an unknown, revoked or expired one (expired tells which).
  TSimUser *UserByToken(const std::string &token, bool *expired = nullptr);
  // A new random token; with a session, sign-in also hands out a cookie that must come back.
  std::string IssueToken(int userUid, bool withSession = false);
  // The session cookie value that belongs to a token; empty when it needs none.
  std::string SessionOf(const std::string &token) const;
  void RevokeToken(const std::string &token);
  // The sign-ins as text (one line per token: token, session or "-", user uid, issue time,
  // revoked 0/1), for a service that keeps them across a restart; LoadTokens adds the tokens of
  // such a text to the world's (lines it cannot read are skipped) and returns how many.
  std::string SaveTokens() const;
  int LoadTokens(const std::string &text);
  // Tokens expire this many simulated seconds after they were issued; 0 never.
  int64_t fTokenTtl = 0;

  // lookups; visibility: the user owns the object or is in its users_list
  TSimObject *FindObject(int uid);
  bool Visible(const TSimObject &o, const TSimUser &u) const;
  TSimZone *FindZone(int uid);
  TSimTrap *FindTrap(int uid);
  TSimEvent *FindEvent(int64_t uid);
  TSimTrip *FindTrip(int uid);
  TSimCommand *FindCommand(int64_t uid);

  // changes made through the service
  TSimObject &AddObject(int userUid, const std::string &id);
  TSimZone &AddZone(int userUid);
  TSimTrap &AddTrap(int userUid);
  TSimTrip &StartTrip(TSimObject &o, const std::string &name);
  void StopTrip(TSimObject &o);
  TSimCommand &SendCommand(TSimObject &o, const std::string &txt);
  // Removes an object with its traps and trips.
  void RemoveObject(int uid);
  // Marks an object changed now, for the incremental object list.
  void Touch(TSimObject &o) {
    o.changed = fNow;
    o.changedSeq = ++fChangeSeq;
  }
  // The incremental list: objects changed since the list this client (by its token) was answered
  // with "dt" = since. Dates have whole seconds, so a change in the same second as that list is
  // told apart by the change counter noted with the list; a "dt" this client was never given
  // falls back to comparing times. NoteList records a list answered now.
  bool ChangedSince(const TSimObject &o, int64_t since, const std::string &token) const;
  void NoteList(const std::string &token);

  // JSON of the records as the service sends them. An object carries its open alarms and running
  // trip; TObjectIndex finds them for a whole list in one pass over the events and trips.
  struct TObjectIndex {
    std::map<int, std::vector<const TSimEvent *>> alarms; // object uid -> open alarms
    std::map<int, const TSimTrip *> trips;                // trip uid -> trip
  };
  TObjectIndex IndexObjects() const;
  json UserJson(const TSimUser &u) const;
  json ObjectJson(const TSimObject &o, const TSimUser &viewer, const TObjectIndex &index) const;
  json ObjectJson(const TSimObject &o, const TSimUser &viewer) const;
  static json PointJson(const TSimPoint &p, bool withSensors);
  // The same record written straight as text onto out (a reply of a million points is never a
  // document).
  static void AppendPointJson(std::string &out, const TSimPoint &p, bool withSensors);
  json ZoneJson(const TSimZone &z) const;
  static json TrapJson(const TSimTrap &t);
  static json EventJson(const TSimEvent &e);
  json TripJson(const TSimTrip &t) const;
  static json CommandJson(const TSimCommand &c);

  // street addresses by place id
  static std::string PlaceId(double lat, double lon);
  static std::string AddressOf(const std::string &placeId); // empty for an unknown id

  // Hands over the points of an object whose device time (reception time with byReception) lies
  // in [from, to], in the order received: its made past first, then what was simulated. fn must
  // not keep the reference (a day of the past is dropped once it was handed over).
  void ForEachPoint(const TSimObject &o, int64_t from, int64_t to, bool byReception,
                    const TSimHistory::TVisitor &fn) const;
  const TSimHistory &History() const { return fHistory; }

  std::vector<std::unique_ptr<TSimUser>> fUsers;
  struct TToken {
    std::string token, session;
    int uid = 0;
    int64_t issued = 0;
    bool revoked = false;
  };
  std::vector<TToken> fTokens;
  std::vector<std::unique_ptr<TSimObject>> fObjects;
  std::vector<std::unique_ptr<TSimZone>> fZones;
  std::vector<std::unique_ptr<TSimTrap>> fTraps;
  std::vector<std::unique_ptr<TSimEvent>> fEvents;
  std::vector<std::unique_ptr<TSimTrip>> fTrips;
  std::vector<std::unique_ptr<TSimCommand>> fCommands;
  std::vector<TSimWifi> fWifi;

  static constexpr double kCenterLat = 57.998649;
  static constexpr double kCenterLon = 56.27574;
  // Seconds between a command and its delivery to the device, and between that and the answer.
  static constexpr int kSendDelay = 2;
  static constexpr int kAnswerDelay = 3;

private:
  void Build();
  void StepSecond();
  void StepObject(TSimObject &o);
  void BuildFleet(int count);
  void StepFleet(TSimObject &o); // moves a fleet vehicle up to now and plans its next step
  void BuildTracker();
  void StepTracker(TSimObject &o); // hands over the made points of the tracker up to now
  void EmitPoint(TSimObject &o);
  void EvaluateTraps(TSimObject &o, const TSimPoint *p);
  void RaiseOrComplete(TSimTrap &t, TSimObject &o, bool held, const std::string &sval);
  void RunDevice(TSimCommand &c);
  std::string DeviceAnswer(TSimObject &o, const std::string &txt, std::string &type);
  std::string PlacesAnswer(const TSimObject &o) const;
  double Noise(double sigma);
  double Uniform(double a, double b);

  int64_t fNow = 0;
  std::mt19937 fRng;
  std::mt19937 fTokenRng; // seeded per run: a token of an earlier run must not come back
  std::vector<TSimCommand *> fPending;
  uint64_t fChangeSeq = 0;
  // token -> (second of a list reply -> change counter when it went out)
  std::map<std::string, std::map<int64_t, uint64_t>>
      fListSeq; // commands not yet answered, oldest first
  int fNextUid = 1000;
  // fleet vehicles by uid, and their next steps as (time, uid), earliest on top
  std::map<int, TSimObject *> fFleet;
  std::priority_queue<std::pair<int64_t, int>, std::vector<std::pair<int64_t, int>>,
                      std::greater<>>
      fFleetSteps;
  int64_t fNextPointUid = 500000;
  TSimHistory fHistory;
  // the tracker's day being handed over, and the next of its points to hand over
  std::vector<TSimPoint> fTrackerDay;
  size_t fTrackerNext = 0;
  int64_t fTrackerDayEnd = 0;
};

} // namespace kelvra::sim
