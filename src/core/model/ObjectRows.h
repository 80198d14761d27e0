#pragma once
// What the object, trip and start-trip windows show and send, as plain functions: the detail
// rows of an object or a trip, the cells of the trip tree, the name offered for a new trip, the
// arguments of a request to show a trip's track, and the fields an object editor sends.

#include <string>
#include <utility>
#include <vector>

#include "core/tracks/TrackDump.h"
#include "core/util/LumDates.h"
#include "core/util/LumHash.h"
#include "core/util/TimeZones.h"

namespace kelvra {

class TObjectInfo;
class TSensorInfo;
class TTripInfo;

// A date as "dd.mm.yyyy hh:nn:ss" (or the pattern given); empty for NaN and for no date (0), so
// that no window ever shows "NaN".
std::string DateCell(TDateTime dt, const std::string &pattern = "");

// One row of the object information window; Sensor points at the sensor the row shows (not
// owned), for the hint with its device time.
struct TObjectInfoRow {
  TInfoRow Row;
  const TSensorInfo *Sensor = nullptr;
};
// The rows of the information window of an object, in the order they are shown. now is the
// service's display clock (sensor values older than a day are left out).
std::vector<TObjectInfoRow> ObjectInfoRows(const TObjectInfo &oi, int userLevel, TDateTime now);
// The object part of the trip window's details (no sensor rows).
std::vector<TInfoRow> TripObjectRows(const TObjectInfo &oi, int userLevel);
// The details of a trip; the "distance" row carries the show-track button (irButton).
std::vector<TInfoRow> TripInfoRows(const TTripInfo &ti, int userLevel);

// Cells of a trip row of the trip tree: name, status, start, length (hh:nn; empty without a
// period).
std::vector<std::string> TripTreeCells(const TTripInfo &ti, const TDisplayZone &clock = {});

// "trip_" + yyyy_mm_dd_hh:nn + "_" for the local time now.
std::string SuggestedTripName(TDateTime now);

// An object has a trip running: trip_id > 0 with status new or active.
bool HasActiveTrip(const TObjectInfo &oi);

// The argument pairs of the "show" "track" command for a trip ("name", "obj_id", "dt1", "dt2",
// "mode"), flattened as name, value, name, value; empty when the trip has no period or no
// distance (there is no track to show).
std::vector<std::string> ShowTrackArgs(const TTripInfo &ti);

// The fields an object editor sends: only those whose lamp is lit, trimmed.
struct TObjectEdits {
  bool id = false, name = false, color = false, users = false; // lamps
  std::string idText, nameText, usersText;
  uint32_t trackColor = 0; // 0x00BBGGRR
  bool Any() const { return id || name || color || users; }
};
// The change table ("id", "name", "track_color", "users_list"); the empty table when nothing is
// lit.
TLumHash ObjectChangeTable(const TObjectEdits &e);
// Copies the sent values into the object (after the service accepted them).
void ApplyObjectEdits(const TObjectEdits &e, TObjectInfo &oi);

} // namespace kelvra
