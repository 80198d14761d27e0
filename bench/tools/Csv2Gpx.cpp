// csv2gpx IN.csv OUT.gpx: the program's own CSV import (TTrackFileParser, columns found from the
// header as the import dialog finds them) and GPX export, as one process, so that the benchmark
// can set it against GPSBabel converting the same file. The header names are GPSBabel's unicsv
// names: "iso_time" and "course" are given to the time and bearing columns here, as a user
// would in the import dialog.
#include "core/tracks/TrackFileParser.h"

#include <cstdio>
#include <string>

int main(int argc, char **argv) {
  using namespace kelvra;
  if (argc != 3) {
    std::fprintf(stderr, "usage: csv2gpx IN.csv OUT.gpx\n");
    return 2;
  }
  TTrackFileParser parser;
  if (parser.LoadFromFile(argv[1]) < 0) {
    std::fprintf(stderr, "csv2gpx: %s\n", parser.LoadError().c_str());
    return 1;
  }
  parser.SetSeparator(",");
  std::string error;
  if (!parser.Parse(error)) {
    std::fprintf(stderr, "csv2gpx: %s\n", error.c_str());
    return 1;
  }
  TColumnMap columns = GuessColumns(parser.Headers());
  for (int i = 0; i < int(parser.Headers().size()); ++i) {
    if (parser.Headers()[std::size_t(i)] == "iso_time") columns[pfTime] = i;
    if (parser.Headers()[std::size_t(i)] == "course") columns[pfBearing] = i;
  }
  TTrackBuild build = parser.MakeTrack(columns, "csv", 0, 0);
  if (!build.Track) {
    std::fprintf(stderr, "csv2gpx: row %d: %s %s\n", build.Row, build.Error.c_str(),
                 build.Detail.c_str());
    return 1;
  }
  std::string out = argv[2];
  return build.Track->ExportTrack(out, 2) > 0 ? 0 : 1;
}
