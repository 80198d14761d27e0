#pragma once
// The program's one gateway to the monitoring service's REST interface below "/api/v1": the
// request core, the JSON readers with the time convention, the account and object operations, and
// the caches of the service's data that those operations fill.
#include "core/client/JsonReply.h"
#include "core/client/LumHttp.h"
#include "core/client/WifiInfo.h"
#include "core/model/CommandInfo.h"
#include "core/model/EventInfo.h"
#include "core/model/ObjectInfo.h"
#include "core/model/TrackPointInfo.h"
#include "core/model/TrapInfo.h"
#include "core/model/TripInfo.h"
#include "core/model/ZoneInfo.h"
#include "core/util/LumDates.h"
#include "core/util/LumForm.h"
#include "core/util/LumHash.h"
#include "core/util/TimeZones.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace kelvra {

class TAddressCache;
class TLumStringList;

// The signed-in user as the service describes it.
struct TUserInfo {
  void Assign(const TUserInfo &aSrc) { *this = aSrc; }

  int Uid = 0;
  std::string Login;
  std::string ApiToken; // the client's token when the record was last filled
  std::string Name;
  std::string Email;
  int64_t TgChatId = 0; // Telegram chat id; 0 when not set
  double TimeZone = 0;  // offset from UTC in days; 0 means not set
  std::string Lang;
};

// What the client takes from the program around it.
struct TKelvraClientEnv {
  // The program's data folder; reply files go to its "Responses/" folder. Empty: no reply files.
  std::string HomeDir;
  // Cached object photos; empty: HomeDir + "PhotoCache/" when HomeDir is set.
  std::string PhotoDir;
  // The computer's offset from UTC in days, used when the time zone given to the client reads 0.
  double SystemTimeZone = 0;
  // Connection settings: "http_connect_timeout" and "http_timeout" (seconds, default 10 and 60),
  // "tls_verify" (default true), "ca_file". Not owned; read once at construction.
  const TLumHash *Config = nullptr;
  // Looks up a message text by key ("no_data"); the key itself when not set.
  std::function<std::string(const std::string &)> Translate;
};

// "text/..." -> "txt", "...zip" -> "zip", "html", "jpg", "png"; anything else "dat".
std::string ContentType2Ext(const std::string &aContentType);
// "jpg"/"jpeg" -> "image/jpeg", "png" -> "image/png", "zip" -> "application/zip", else
// "application/octet-stream"; a leading "." is ignored.
std::string Ext2ContentType(const std::string &aExt);

class TKelvraClient {
public:
  using TObjectList = TObjectInfoList;
  // Receives the client's log text piece by piece; a piece starting with "\r" starts a new line.
  using TLogCallback = std::function<void(const std::string &)>;

  // aTimeZone is the display offset from UTC in days ("," or "." as decimal point); text that
  // reads as 0 means the computer's own offset (aEnv.SystemTimeZone).
  TKelvraClient(const std::string &aServer, const std::string &aToken, const std::string &aTimeZone,
                TKelvraClientEnv aEnv = {});
  // Runs Clear without logging.
  ~TKelvraClient();
  TKelvraClient(const TKelvraClient &) = delete;
  TKelvraClient &operator=(const TKelvraClient &) = delete;

  // Forgets the signed-in user, the token and the caches, and deletes the reply files.
  void Clear();
  // Applies the connection settings of a configuration table (see TKelvraClientEnv::Config).
  void ApplyConfig(const TLumHash &aConfig);

  // --- the request core ----------------------------------------------------------------------
  // aHttpMethod "GET", "POST", "PUT" or "DEL"; aSource names the operation in the log and wraps an
  // array reply (readable as ResultData()[aSource]); aApiMethod is the path below "/api/v1";
  // aData the query or form body, or "file://" and a local path to upload. Returns the status, 0
  // when no reply arrived, -1 when nothing was sent.
  int DoRequest(const std::string &aHttpMethod, const std::string &aSource,
                const std::string &aApiMethod, const std::string &aData);
  int DoGetRequest(const std::string &aSource, const std::string &aMethod,
                   const std::string &aData = std::string());
  int DoPostRequest(const std::string &aSource, const std::string &aMethod,
                    const std::string &aData);
  int DoPutRequest(const std::string &aSource, const std::string &aMethod,
                   const std::string &aData);
  int DoDelRequest(const std::string &aSource, const std::string &aMethod);

  // The error text of the last request followed by its status in brackets ("[500]").
  std::string GetErrorMessage() const;
  std::string ErrorMessage() const { return GetErrorMessage(); }
  int ResultCode() const { return fResultCode; }
  // The last request got no reply because the user cancelled the wait for it.
  bool Cancelled() const { return fCancelled; }
  // The parsed JSON body of the last reply; nothing when it had none, and after a track or zone
  // history has been read into TrackList (those replies are released once they are records).
  TJsonVal ResultData() const { return fResult.Root(); }
  // Whether the last reply had a JSON body (its value may still be null).
  bool HasResultData() const { return !fResult.Empty(); }
  // The array named aName in the last reply: its field of that name, or the reply itself when it
  // is an array and aName the name of the request that fetched it.
  TJsonVal ResultArray(std::string_view aName) const;
  const std::string &resultFile() const { return fResultFile; }
  TLumHttpsClient &ApiClient() { return fApiClient; }
  const std::string &Token() const { return fApiToken; }
  void SetToken(const std::string &aToken) { fApiToken = aToken; }
  const std::string &ApiServer() const { return fApiServer; }
  const std::string &ResponseDir() const { return fResponseDir; }
  const std::string &PhotoDir() const { return fPhotoDir; }
  const TLogCallback &LogCallback() const { return fLogCallback; }
  void SetLogCallback(TLogCallback aCallback) { fLogCallback = std::move(aCallback); }

  // The longest object name or other text shown in a window taken from a reply, in bytes; a
  // longer one is cut, with a log line.
  static constexpr std::size_t kMaxObjectText = 4096;

  // --- requests made on another connection ----------------------------------------------------
  // Timer-driven work runs on a worker with a client of its own, so that the window never waits
  // for it: that client takes this one's server, connection settings and session (CopySession),
  // makes the request, and this client then takes over its reply (TakeReply) on its own thread
  // and reads it as if it had received it.
  void CopySession(const TKelvraClient &aFrom);
  // The reply of aFrom's last request (status, error text, JSON, Retry-After) becomes this
  // client's last reply; cookies the service set there are kept here too. aFrom is left empty.
  void TakeReply(TKelvraClient &aFrom);
  // The seconds the last reply's Retry-After asked for; 0 when it had none.
  int RetryAfter() const { return fRetryAfter; }

  // --- JSON readers (an absent object or a null value reads as absent) ------------------------
  // Each reads the value under aName of aObj; the Jv* forms read a value itself (a DOM value or
  // a scalar met in one pass over a reply).
  static TJsonVal GetJv(TJsonVal aObj, std::string_view aName) { return aObj.Get(aName); }
  static TJsonVal GetJvArr(TJsonVal aObj, std::string_view aName);
  // The string itself, the literal text of a number, "true"/"false"; empty otherwise.
  static std::string GetJvStr(TJsonVal aObj, std::string_view aName) {
    return JvStr(aObj.Get(aName));
  }
  static std::string JvStr(TJsonScalar aVal);
  // JvStr into aField, cut at a character boundary when longer than aMax bytes (a text from a
  // hostile or broken service): true when it was cut. A text that fits the field's buffer is
  // copied into it, so that a refresh of a large fleet does not allocate a string per field.
  static bool JvStrTo(TJsonScalar aVal, std::string &aField, size_t aMax = std::string::npos);
  // A text shown in a window (a name, a subject, a message, an address): at most
  // kMaxObjectText bytes, a longer one cut with a log line naming aWhat.
  std::string GetJvText(TJsonVal aObj, std::string_view aName) const {
    return JvText(aObj.Get(aName), aName);
  }
  std::string JvText(TJsonScalar aVal, std::string_view aWhat) const;
  static bool GetJvBool(TJsonVal aObj, std::string_view aName) { return JvBool(aObj.Get(aName)); }
  static bool JvBool(TJsonScalar aVal);
  // Digits only: a negative or fractional value gives aDef. Used for ids.
  static int64_t GetJvInt(TJsonVal aObj, std::string_view aName, int64_t aDef = 0) {
    return JvInt(aObj.Get(aName), aDef);
  }
  static int64_t JvInt(TJsonScalar aVal, int64_t aDef = 0);
  // A whole number with an optional sign (a number or its text); anything else gives aDef.
  static int64_t GetJvSignedInt(TJsonVal aObj, std::string_view aName, int64_t aDef = 0) {
    return JvSignedInt(aObj.Get(aName), aDef);
  }
  static int64_t JvSignedInt(TJsonScalar aVal, int64_t aDef = 0);
  // NaN when absent or empty; "," or "." as decimal point; unreadable text gives 0.
  static double GetJvDbl(TJsonVal aObj, std::string_view aName) { return JvDbl(aObj.Get(aName)); }
  static double JvDbl(TJsonScalar aVal);
  // A service (UTC) date-time as local display time; NaN when absent, empty or unreadable.
  TDateTime GetJvDt(TJsonVal aObj, std::string_view aName) const { return JvDt(aObj.Get(aName)); }
  TDateTime JvDt(TJsonScalar aVal) const;

  // --- the time convention -------------------------------------------------------------------
  // The account's offset from UTC in days: the user's own when set, else the client's default.
  double GetTimeZone() const;
  double TimeZone() const { return GetTimeZone(); }
  void SetTimeZone(double aDays) { fTimeZone = aDays; }
  // The display clock from the "time_zone" setting: "account" or empty (the fixed offset of
  // GetTimeZone), "system" (the computer's zone) or a zone name ("Europe/Berlin", with its
  // daylight saving). An unknown name keeps the account's offset and returns false.
  bool SetDisplayZone(const std::string &aSetting);
  // The clock every date-time the client hands out is on.
  TDisplayZone DisplayZone() const;
  // A service (UTC) time on the display clock, and back.
  TDateTime FromService(TDateTime aUtc) const;
  TDateTime ToService(TDateTime aLocal) const;
  // A local display time in the service's form "yyyy-mm-ddThh:nn:ssZ".
  std::string DtToService(TDateTime aLocal) const;
  // The current time on the display clock.
  TDateTime DisplayNow() const;

  // --- logging -------------------------------------------------------------------------------
  // Every "%" in aMsg shows as "#".
  void Log(const std::string &aMsg) const;
  void Log(const std::string &aSrc, const std::string &aMsg) const;
  void LogFmt(const char *aFmt, ...) const __attribute__((format(printf, 2, 3)));
  void LogSrcFmt(const std::string &aSrc, const char *aFmt, ...) const
      __attribute__((format(printf, 3, 4)));

  // --- account -------------------------------------------------------------------------------
  bool Login(const std::string &aUser, const std::string &aPass);
  bool GetUser();
  // Sends the changed fields among "name", "email", "t_chat_id", "password", "tz" (seconds).
  bool UpdateUser(const TLumHash &aFields);
  bool Reg(const std::string &aUser);
  bool Recovery(const std::string &aUser);
  // The name (or login), with " <email>" when the e-mail differs from it.
  std::string GetUserName() const;
  std::string UserName() const { return GetUserName(); }
  void ParseUserInfo(TJsonVal aUser);
  const TUserInfo &UserInfo() const { return fUserInfo; }

  // --- objects -------------------------------------------------------------------------------
  // Refreshes the object cache ("dt" of the last reply when the cache is not empty); returns the
  // number of objects received, -1 on failure (the cache then stays as it was).
  int GetObjects();
  // The path and query of the next object refresh (GetObjects asks for them).
  static constexpr const char *kObjectsPath = "/user/objects";
  std::string ObjectsQuery() const;
  // GetObjects' reading of its reply, for a reply taken over from another client: the number of
  // objects received, -1 when the reply failed or was not the object list.
  int ReadObjectsReply();
  // Merges a reply of the object list into the cache; returns the number of elements handled.
  int MergeObjects(TJsonVal aReply);
  // Merges an object list reply read in one pass over its padded text (no DOM) into the cache,
  // with the same outcome as MergeObjects of the parsed text; aCount gets the number of objects.
  // False, with the cache as it was, when the text is not read to its end this way (not JSON,
  // another form, no list): the DOM then reads it.
  bool StreamObjects(const char *aData, std::size_t aSize, int &aCount);
  bool GetObject(int aUid);
  bool GetObject(TObjectInfo *aObject);
  int CreateObject(const TObjectInfo &aObject);
  int CreateObject(const TLumHash &aFields);
  bool UpdateObject(const TObjectInfo &aObject);
  bool UpdateObject(int aUid, const TLumHash &aFields);
  // Marks an unmarked object deleted; removes a marked one, which destroys aObject on success.
  bool DeleteObject(TObjectInfo *aObject);
  // The cached object with this uid (not owned by the caller); null for none or uid <= 0.
  TObjectInfo *FindObject(int aUid) const;
  const TObjectList &ObjList() const { return fObjList; }
  TDateTime ObjListUpdated() const { return fObjListUpdated; }

  // --- records from JSON ---------------------------------------------------------------------
  std::unique_ptr<TTrackPointInfo> ParseTrackPoint(TJsonVal aObj) const;
  // Reads the element into aPoint, which keeps its own id; returns the element's "uid" (0 when
  // it has none).
  int ParseTrackPoint(TJsonVal aObj, TTrackPointInfo &aPoint) const;
  // Reads a track reply that is an array of points in one pass over its padded text (no DOM),
  // appending the points with a uid to aPoints (aObjId for those without an object id); false
  // when the text is not read to its end this way (not JSON, another form): the DOM then reads it.
  // The points are what ParseTrackPoint makes of the same elements.
  bool StreamTrack(const char *aData, std::size_t aSize, int aObjId,
                   std::vector<std::unique_ptr<TTrackPointInfo>> &aPoints);
  // Null when the event has no usable id.
  std::unique_ptr<TEventInfo> ParseEvent(TJsonVal aObj) const;
  std::unique_ptr<TObjectInfo> ParseObject(TJsonVal aObj) const;
  void ParseObject(TJsonVal aObj, TObjectInfo &aObject) const;
  // The cached record of an object (not owned by the caller), null for none.
  using TObjectLookup = std::function<TObjectInfo *(int aUid, const std::string &aId)>;
  // Reads one object of a refreshed list. The record aFind gives for its uid and id takes it as
  // Assign(received, aNow) takes a received copy, read in place (null is returned then);
  // without one the new record is returned.
  std::unique_ptr<TObjectInfo> ParseRefreshedObject(TJsonVal aObj, const TObjectLookup &aFind,
                                                    TDateTime aNow) const;
  // The record lists of the replies below, read from their array (the request methods call
  // them once the reply is there). Trips of objects not in the cache are skipped.
  int ReadTrips(TJsonVal aArr);
  int ReadCommandLog(TJsonVal aArr);
  // The {place id, address} pairs of a lookup reply that have both.
  static std::vector<std::pair<std::string, std::string>> ReadAddresses(TJsonVal aArr);
  // Appends the access points that have an SSID and a BSSID; points added.
  static int ReadWifi(TJsonVal aArr, TWifiList &aWifiList);

  // --- zones, traps, events, tracks, trips, commands -----------------------------------------
  using TEventList = std::vector<std::unique_ptr<TEventInfo>>;
  using TTrackPointList = std::vector<std::unique_ptr<TTrackPointInfo>>;

  // Reloads ZoneList (emptied first); zones received, -1 on failure.
  int GetZones();
  // Posts a new zone; the service's uid is stored into zi and returned, -1 on failure.
  // ZoneList is not touched: the caller keeps the edited record there.
  int CreateZone(TZoneInfo &zi);
  bool UpdateZone(const TZoneInfo &zi);
  // The status (204 when deleted); the caller removes the zone from ZoneList.
  int DeleteZone(int aZoneUid);
  // The messages recorded inside a zone, into TrackList; points received, -1 on failure.
  int GetZoneHistory(int aZoneUid, TDateTime aDt1, TDateTime aDt2, int aMode = 0, int aTMode = 0);

  // Reloads TrapList (emptied first); traps received, -1 on failure.
  int GetTraps();
  // Fetches one trap into the cache (copied into the cached one or added).
  bool GetTrap(int aUid);
  // Posts ti as a new trap (its uid is set to 0); the created trap is added to TrapList.
  int CreateTrap(TTrapInfo &ti);
  bool UpdateTrap(const TTrapInfo &ti);
  bool UpdateTrap(int aUid, const TLumHash &aFields);
  bool DeleteTrap(int aUid);
  // The cached trap (not owned by the caller) or null.
  TTrapInfo *FindTrap(int aUid) const;
  // Null when the object has no uid; the trap refers to the cached object and ZoneList.
  std::unique_ptr<TTrapInfo> ParseTrap(TJsonVal aObj);

  // Reloads EventList (emptied first) for a period; events received, -1 on failure or no array.
  int GetEvents(TDateTime aDt1, TDateTime aDt2);
  // The query of GetEvents, and its reading of the reply (for a reply taken over).
  std::string EventsQuery(TDateTime aDt1, TDateTime aDt2) const;
  int ReadEventsReply(TDateTime aDt1, TDateTime aDt2);
  bool AcceptEvent(int aUid, const std::string &aMsg);

  // An object's track into TrackList; points received, -1 on failure (TrackList then stays).
  int GetTrack(int aObjUid, TDateTime aDt1, TDateTime aDt2, int aMode = 0, int aTMode = 0);
  // Reloads TripList (emptied first, whatever the outcome); trips kept, -1 on failure.
  int GetTrips(TDateTime aDt1, TDateTime aDt2);
  // An empty name becomes "trip_" and the local time as yyyy_mm_dd_hh_nn.
  bool StartTrip(int aObjUid, const std::string &aTripName);
  bool StopTrip(int aObjUid);

  // The last aCount commands (with aText when given) into CommandLog; -1 on failure.
  int GetCommandLog(int aObjUid, int aCount, const std::string &aText = std::string());
  // Writes the answer to ResponseDir() as uid + "." + extension of its content type (resultFile).
  bool GetCommandResponse(int aUid);
  bool SendCommand(int aUid, const std::string &aCmd);

  // Loads oi.photo from the photo folder when the file there is not older than oi.image_dt,
  // else downloads it into that folder.
  bool GetPhoto(TObjectInfo &oi);
  bool PostPhoto(int aUid, const std::string &aPhFile);
  // Deletes the service's photo, the cached files and the loaded photo and icon.
  bool DeletePhoto(TObjectInfo &oi);

  // Resolves the ids that aCache does not know yet (the list forms send nothing and return -1
  // when it knows all); the string form sends its comma-separated ids as they are.
  // Addresses stored in aCache, -1 on failure.
  int OsmLookup(const std::vector<std::string> &aOsmIds, TAddressCache &aCache);
  int OsmLookup(const TLumStringList &aOsmIds, TAddressCache &aCache);
  int OsmLookup(const std::string &aOsmIds, TAddressCache &aCache);
  // Appends the access points of the area to aWifiList; points added, 0 on failure.
  int GetWifi(double aLat1, double aLon1, double aLat2, double aLon2, TWifiList &aWifiList);

  // The caches (owned by the client; the main window edits the zone and event lists in place).
  TZoneList &ZoneList() { return fZoneList; }
  const TZoneList &ZoneList() const { return fZoneList; }
  TTrapList &TrapList() { return fTrapList; }
  const TTrapList &TrapList() const { return fTrapList; }
  TEventList &EventList() { return fEventList; }
  const TEventList &EventList() const { return fEventList; }
  TDateTime EventListDt1() const { return fEventListDt1; }
  TDateTime EventListDt2() const { return fEventListDt2; }
  TDateTime EventListUpdated() const { return fEventListUpdated; }
  TTrackPointList &TrackList() { return fTrackList; }
  const TTrackPointList &TrackList() const { return fTrackList; }
  TDateTime TrackListUpdated() const { return fTrackListUpdated; }
  const TTripList &TripList() const { return fTripList; }
  const TCommandList &CommandLog() const { return fCommandLog; }
  TDateTime CommandLogUpdated() const { return fCommandLogUpdated; }

private:
  // The scalar fields of a track point (its sensors are read apart), in the order of the names.
  using TTrackPointScalars = std::array<TJsonScalar, 15>;
  void FillTrackPoint(const TTrackPointScalars &aValues, TTrackPointInfo &aPoint) const;
  // Sets the value of the sensor aUid (added when new); true when its code is "event".
  static bool AddTrackPointSensor(TJsonScalar aUid, TJsonScalar aSign, TJsonScalar aVal,
                                  std::vector<TTrackPointSensorInfo> &aSensors);
  std::string TrackQuery(TDateTime aDt1, TDateTime aDt2, int aMode, int aTMode) const;
  // A GET whose 200 JSON reply is left in the receive buffer for a reader that walks it in one
  // pass (ReadTrack, GetObjects), which falls back on ParseReply when it cannot.
  int DoStreamedRequest(const std::string &aSource, const std::string &aMethod,
                     const std::string &aQuery);
  // Replaces TrackList by the points of the array under aSource; points read.
  int ReadTrack(const std::string &aSource, int aObjId);
  void MergeTrapReply(bool aAddMissing);
  bool UpdateTrapReply();
  // Writes the reply body to aFile as a whole and makes it resultFile.
  bool SaveReplyBody(const std::string &aFile);
  bool LoadPhotoFile(TObjectInfo &oi, const std::string &aFile);
  int OsmLookupMissing(const std::vector<std::string> &aOsmIds, TAddressCache &aCache);
  // GetJvInt for the 32-bit ids and counters of the records: a value beyond their range is aDef,
  // never wrapped onto some other id.
  static int GetJvInt32(TJsonVal aObj, std::string_view aName, int aDef) {
    return JvInt32(aObj.Get(aName), aDef);
  }
  static int JvInt32(TJsonScalar aVal, int aDef);
  // The received objects of a list, gathered before any is merged (a reply found broken half-way
  // leaves the cache as it was); kept between refreshes so that its buffers are reused.
  struct TObjectStage {
    // The values of an object's fields (its own and its last message's, which stand beside
    // them), of its sensors and of its alarms, in the order of the reader's names.
    static constexpr std::size_t kFields = 37, kSensorFields = 7, kEventFields = 23;
    static constexpr std::size_t kUidField = 0, kIdField = 1; // of Fields
    struct TObject {
      std::array<TJsonScalar, kFields> Fields;
      uint32_t SensorsFrom = 0, SensorsTo = 0; // its range of Sensors
      uint32_t AlarmsFrom = 0, AlarmsTo = 0;   // its range of Alarms
    };
    std::vector<TObject> Objects;
    std::vector<std::array<TJsonScalar, kSensorFields>> Sensors;
    std::vector<std::array<TJsonScalar, kEventFields>> Alarms;
    void Clear() {
      Objects.clear();
      Sensors.clear();
      Alarms.clear();
    }
  };
  // Fills the stage from an object of a parsed reply (the DOM's way to the stage).
  static void StageObject(TJsonVal aObj, TObjectStage &aStage);
  // Merges what the stage holds into the cache; the number of objects.
  int MergeStage(const TObjectStage &aStage, TDateTime aDt);
  // Reads the staged object aIndex into aObject. With aRefresh as Assign takes a received copy
  // (trail aside); else as a single object's fetch: the trip is read, sensors absent from the
  // reply stay.
  void ReadObject(const TObjectStage &aStage, std::size_t aIndex, TObjectInfo &aObject,
                  bool aRefresh) const;
  TObjectStage &ObjectStage();
  // An event from the values of its fields (in the order of ParseEvent's names); null when it
  // has no usable id.
  std::unique_ptr<TEventInfo> EventFromFields(
      const std::array<TJsonScalar, TObjectStage::kEventFields> &aFields) const;

  // Empties the caches of zones, traps, events, tracks and the command log (not the trips).
  void ClearModelCaches();
  // For endpoints that report errors: copies the reply's "text" into the error message and logs it
  // (a refusal's text is already there: the request core keeps it).
  void ReadErrorText();
  // The array of a 200 reply under aSource; null, logged as "malformed reply" with the request and
  // kept as the error message, when the body is not that JSON.
  TJsonVal ReplyArray(const std::string &aSource);
  // Whether the last reply has a body of a JSON type.
  bool HasJsonBody() const;
  // Parses the last reply's JSON body into the result (logged when it is not JSON).
  void ParseReply(const std::string &aSource);
  // Logs and keeps "malformed reply" for the last request.
  void MalformedReply(const std::string &aSource);
  int CreateObjectFromBody(const std::string &aMethod, const std::string &aBody);
  // The request data as the log shows it: pairs separated by blanks, passwords hidden.
  static std::string DataForLog(const std::string &aData);

  std::string fLogTag = "KelvraClient";
  TLumHttpsClient fApiClient;
  std::string fApiServer;
  std::string fApiToken;
  int fResultCode = -1;
  bool fCancelled = false; // the last request was cancelled by the user
  int fRetryAfter = 0;
  TJsonReply fResult;
  std::string fResultSource; // the request whose reply fResult is
  // Set while a track or zone history is requested: its 200 reply is left in the receive buffer
  // (fReplyPending names the request) for ReadTrack to read in one pass.
  bool fStreamReply = false;
  std::string fReplyPending;
  std::string fResultFile;
  std::string fErrorMessage;
  double fTimeZone = 0;
  // The display clock when it is not the account's offset (see SetDisplayZone).
  std::optional<TDisplayZone> fDisplayZone;
  TLogCallback fLogCallback;
  std::string fResponseDir;
  std::string fPhotoDir;
  std::function<std::string(const std::string &)> fTranslate;
  std::mt19937 fRandom;
  bool fPlainHttpWarned = false; // the unencrypted-address warning is given once

  TUserInfo fUserInfo;
  TObjectList fObjList;
  std::unique_ptr<TObjectStage> fObjectStage;
  TDateTime fObjListUpdated = 0;

  TZoneList fZoneList;
  TTrapList fTrapList;
  TEventList fEventList;
  TDateTime fEventListDt1 = 0;
  TDateTime fEventListDt2 = 0;
  TDateTime fEventListUpdated = 0;
  TTrackPointList fTrackList;
  TDateTime fTrackListUpdated = 0;
  TTripList fTripList;
  TCommandList fCommandLog;
  TDateTime fCommandLogUpdated = 0;
};

} // namespace kelvra
