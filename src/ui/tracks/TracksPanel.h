#pragma once
// The tracks panel of the main window: the list of the tracks drawn on the map (the map owns
// them; a row only refers to one) with tick boxes for their visibility, its tool bar and pop-up
// menu, and the track actions: requests for an object, a period, an event or the last hours,
// filtering, import, export, dump, information and path.

#include <QAbstractListModel>
#include <QGroupBox>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/util/LumDates.h"
#include "ui/widgets/CheckListModel.h"
#include "core/util/LumFormat.h"

class QMenu;
class QTreeView;

namespace kelvra {

class TEventInfo;
class TGeoTrack;
class TKelvraClient;
class TLumMapControl;
class TObjectInfo;
class TTrackPointInfo;
struct TTrackRequestParams;

// Rows referring to the map's tracks (not owned); the tick is the track's visibility.
// The tracks list: the tracks on the map, ticked while shown.
using TTracksModel = TCheckList<TGeoTrack>;

// What the panel asks of the main window.
struct TTracksHost {
  std::function<void(const std::string &text)> Log;
  std::function<void(const std::string &sig, const TFmtArgs &args, int timeout)> Msg;
  std::function<TObjectInfo *()> SelectedObject;
  std::function<void(std::function<void()>)> AddTask;
};

class TTracksPanel : public QGroupBox {
  Q_OBJECT
public:
  // The client and the map stay with the main window and outlive the panel's use of them.
  TTracksPanel(TKelvraClient &client, TLumMapControl &map, TTracksHost host, QWidget *parent);
  ~TTracksPanel() override;

  // A track of an object for a period; a missing time (NaN) asks through the track request
  // dialog. Null oi takes the selected object.
  bool RequestTrack(TObjectInfo *oi, std::string sig, TDateTime d1, TDateTime d2, int mode);
  bool RequestTrack(int objUid, const std::string &sig, TDateTime d1, TDateTime d2, int mode);
  void AppendTrack(TGeoTrack *track);
  void ArrangeTrack(TGeoTrack *track);
  void DeleteTrack();
  void ImportTrack();
  void FilterTrack();
  void DumpTrack();
  void ShowTrackInfo();
  void ExplainTrack();
  void ExportTrack();
  void RequestEventTrack(const TEventInfo *ei);
  void OnClickTrackPoint(TTrackPointInfo &point);
  void DumpLastMessages();
  // Requests, reads and builds a track on a worker under the busy window with its stages and
  // "Cancel". No track when there was nothing (count 0), it failed (count < 0) or it was
  // cancelled.
  struct TFetched {
    std::unique_ptr<TGeoTrack> track;
    int count = -1;
    bool cancelled = false;
  };
  TFetched FetchTrack(int uid, TDateTime d1, TDateTime d2, int mode, int tMode,
                      const TTrackRequestParams &params, bool resolvePlaces);
  // "show" "track" from the trip window (name/value pairs "name", "obj_id", "dt1", "dt2", "mode"):
  // the track, and the window moved off the map when it stands on it. True when a track came.
  bool ShowTrackCommand(QWidget *sender, const std::vector<std::string> &args);
  // Sign-out: the rows, the windows showing tracks and the map's tracks go.
  void Clear();

  TGeoTrack *SelectedTrack() const;
  // Selects a track's row (the replay follows the selection); nothing for a track not listed.
  void SelectTrack(const TGeoTrack *track);
  // Names of the sensors of a track's object.
  std::function<std::string(const std::string &)> SensorNames(const TGeoTrack &track) const;
  // Puts the track on the map and into the list (selected).
  TGeoTrack *AddTrack(std::unique_ptr<TGeoTrack> track);
  QTreeView *List() const { return fList; }
  TTracksModel *Model() const { return fModel; }
  QMenu *Popup() const { return fPopup; }

private:
  void Log(const std::string &text) const;
  void Log(const std::string &fmt, const TFmtArgs &args) const { Log(Format(fmt, args)); }
  void Msg(const std::string &sig, int timeout) const;
  // Says why a fetch gave no track: the failure's reason, or "no data" for a period without
  // points.
  void SayNoTrack(int count) const;
  // The selected track, or the message that there is none.
  TGeoTrack *TrackOrSay() const;
  void Checking(TGeoTrack *track, bool on);
  // Windows that show a track without owning it close before the track goes.
  void Watch(QWidget *window, const TGeoTrack *track);
  void CloseWindowsOf(const TGeoTrack *track);

  TKelvraClient &fClient;
  TLumMapControl &fMap;
  TTracksHost fHost;
  TTracksModel *fModel;
  QTreeView *fList;
  QMenu *fPopup;
  std::vector<std::pair<QPointer<QWidget>, const TGeoTrack *>> fWindows;
};

} // namespace kelvra
