#pragma once
// Track files for other tools: KML (Google Earth, GIS tools) beside the CSV and GPX of
// TGeoTrack::ExportTrack, and the one list of formats every track save dialog offers.

#include <functional>
#include <string>

namespace kelvra {

class TGeoTrack;

enum class TTrackFileFormat { Csv = 1, Gpx = 2, Kml = 3 };

struct TKmlOptions {
  // The address of a place id ("" when unknown); parking stops show it. May be empty.
  std::function<std::string(const std::string &osmId)> address;
  // Words of the stop placemarks (the program passes its translation).
  std::string parkingLabel = "Parking";
  std::string durationLabel = "Duration";
  std::string addressLabel = "Address";
};

// The KML 2.2 document of a track: one Placemark named after the track's sign holding a
// gx:Track (a <when> and a <gx:coord> per point with a fix, with altitude when the point has one),
// and a folder "Parking" with one point Placemark per parking stop (its duration, address and
// time span), every time true UTC through the track's clock. Text is UTF-8 and XML-escaped. Time and memory grow linearly with the points.
std::string TrackKml(const TGeoTrack &track, const TKmlOptions &options = {});

// Writes the KML to fn (".kml" added when fn has no extension, fn updated) through a temporary
// file renamed over the name, so a failed export leaves no half file. Bytes written; -1 for an
// empty name, -2 when the file cannot be written, -4 for a document beyond 2 GB.
int ExportTrackKml(const TGeoTrack &track, std::string &fn, const TKmlOptions &options = {});

// The save dialog's choices: "CSV (*.csv);;GPX (*.gpx);;KML (*.kml)".
const std::string &TrackFileFilter();
// The format the chosen file name asks for by its extension, else the chosen filter's
// ("KML (*.kml)"), else CSV.
TTrackFileFormat TrackFileFormatOf(const std::string &fileName, const std::string &chosenFilter = "");
// Exports in that format (CSV and GPX through TGeoTrack::ExportTrack); bytes written or a
// negative code as the writers give it.
int ExportTrackFile(const TGeoTrack &track, std::string &fn, TTrackFileFormat fmt,
                    const TKmlOptions &options = {});

} // namespace kelvra
