#include "ui/tracks/TrackFiles.h"

#include "core/app/Common.h"
#include "core/tracks/GeoTrack.h"
#include "core/util/LumFiles.h"
#include "core/util/LumSmallUtils.h"
#include "ui/tracks/TrackDumpForm.h"
#include "ui/widgets/Prompt.h"

namespace kelvra {

namespace {
// Texts of this section whatever window asks.
QString Text(const char *key, const TFmtArgs &args = {}) {
  return Translation ? QString::fromStdString(Translation->GetString("TrackFiles", key, args, key))
                     : QString::fromLatin1(key);
}
} // namespace

TKmlOptions KmlOptions() {
  TKmlOptions o;
  o.address = [](const std::string &osmId) {
    return AddressCache ? AddressCache->GetAddress(osmId) : std::string();
  };
  o.parkingLabel = Text("kml_parking").toStdString();
  o.durationLabel = Text("kml_duration").toStdString();
  o.addressLabel = Text("kml_address").toStdString();
  return o;
}

QString SaveTrackAs(QWidget *parent, const TGeoTrack &track, const QString &caption) {
  const QString name = Prompt::SaveFileName(parent, caption, QString::fromStdString(HomeDir + PlainFileName(track.Sign())),
                                            QString::fromStdString(TrackFileFilter()));
  if (name.isEmpty()) return {};
  std::string fn = name.toStdString();
  int written = -1;
  try {
    written = ExportTrackFile(track, fn, TrackFileFormatOf(fn), KmlOptions());
  } catch (const std::exception &) {
    written = -1; // every format offered is written; nothing else reaches here
  }
  if (written <= 0) {
    Prompt::Message(parent, QMessageBox::Warning, caption,
                    Text("export_failed", {fn}));
    return {};
  }
  OpenExportedFile(QString::fromStdString(fn));
  return QString::fromStdString(fn);
}

} // namespace kelvra
