#pragma once
// The one save dialog of every track export (the tracks panel, the dump window): CSV, GPX and
// KML, the format following the chosen name's extension; the written file is then shown with
// the desktop's opener, and a file that cannot be written is reported, never lost silently.

#include <QString>

#include "core/tracks/TrackExport.h"

class QWidget;

namespace kelvra {

class TGeoTrack;

// Stop labels in the program's language, addresses from the address cache, times converted
// to UTC with the display time zone of the configuration.
TKmlOptions KmlOptions();

// Asks for the file (starting in HomeDir with the track's sign as name) and writes it. Returns
// the name written, empty when the dialog was cancelled or the file could not be written.
QString SaveTrackAs(QWidget *parent, const TGeoTrack &track, const QString &caption);

} // namespace kelvra
