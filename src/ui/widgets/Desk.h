#pragma once
// What a subject panel (zones, traps, alarm notifications) asks of the window it sits in: the
// service client, the map, the log and the message line, the selected object and the command
// callback. The main window is the one desk; panels know only this, so that subjects do not
// depend on the window or on each other.

#include <string>
#include <vector>

#include "core/util/LumFormat.h"

class QObject;
class QWidget;

namespace kelvra {

class TKelvraClient;
class TLumMapControl;
class TObjectInfo;

class TDesk {
public:
  virtual ~TDesk() = default;

  virtual TKelvraClient &Client() = 0;
  // Null before the map is made and after it is gone.
  virtual TLumMapControl *Map() const = 0;
  virtual bool IsLoggedIn() const = 0;
  // The object of the selected row, null when none; valid until the next return to the event loop.
  virtual TObjectInfo *SelectedObject() const = 0;
  virtual void Log(const std::string &Txt) = 0;
  virtual void Log(const std::string &Fmt, const TFmtArgs &Args) = 0;
  // A message over the map for Timeout seconds; Sig is a translation key.
  virtual void Msg(const std::string &Sig, const TFmtArgs &Args, int Timeout) = 0;
  void Msg(const std::string &Sig, int Timeout) { Msg(Sig, {}, Timeout); }
  // The commands of the map and the editor windows ("update", "zone", ...).
  virtual int Command(QObject *Sender, const std::string &Action, const std::string &Subj,
                      const std::vector<std::string> &Args) = 0;
  // The window itself, as the parent of dialogs and for placing them.
  virtual QWidget *DeskWidget() = 0;
};

} // namespace kelvra
