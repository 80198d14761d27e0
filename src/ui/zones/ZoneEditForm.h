#pragma once
// "GeoZone Info": one zone's properties, shown or edited. Non-modal and single (the zone panel
// keeps the one reference); the map may reshape the same zone meanwhile, and both stay in step
// through the main window's command callback: the editor reports its changes as "update"
// commands (one per field, a second after the last change), and "save" or "cancel" at the end.

#include <QDialog>
#include <QElapsedTimer>
#include <functional>
#include <string>
#include <vector>

#include "core/model/ZoneEdit.h"
#include "core/model/ZoneInfo.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class QTimer;

namespace kelvra {

class TZoneEditForm : public QDialog {
  Q_OBJECT
public:
  using TCmdCallback = std::function<int(QObject *Sender, const std::string &Action,
                                         const std::string &Subj, const std::vector<std::string> &Args)>;

  explicit TZoneEditForm(QWidget *parent = nullptr);
  ~TZoneEditForm() override;

  TCmdCallback CmdCallback;
  // Shows zone zi (not owned; it must outlive the window or be dropped with DropZone).
  void ShowZone(TZoneInfo *zi);
  // Reloads every field from the zone; src ("name", "center", "radius") names a box left as typed.
  void UpdateZone(const std::string &src);
  // The zone, null when it has gone (reloaded, deleted, signed out).
  TZoneInfo *ZoneInfo() const { return fZone.Get(); }
  // The zone is going away (sign-out, reload): the window closes without reporting anything.
  void DropZone();

  void Save();
  void Cancel();
  // Sends the pending notifications now when they are due (the timer's work); not while a wait
  // for the service runs (they stay pending for the next tick).
  void FlushUpdates();
  // Notifications are pending and their last change is old enough to send them.
  bool UpdatesDue() const;

protected:
  void reject() override;
  void closeEvent(QCloseEvent *e) override;
  bool eventFilter(QObject *o, QEvent *e) override;

private:
  void UpdateCmd(const std::string &key, const std::string &value);
  // Restores the zone as it was opened and reports "cancel"; the window then closes.
  void CancelEdits();
  void OnName();
  void OnType(int index);
  void OnCenter();
  void OnRadius();
  void OnColor();
  void OnNodeKey(int key);
  void SetColorBox(uint32_t color);

  std::unique_ptr<TZoneInfo> fBackupZi;
  TRecordRef<TZoneInfo> fZone; // the client's record
  TZoneInfo *Zi() const { return fZone.Get(); }
  bool fUpdLocked = false;
  bool fClosing = false;
  QElapsedTimer fClock;
  TZoneUpdateQueue fUpdates;

  QLineEdit *EdName, *EdColor, *EdCenter, *EdRadius, *EdCenterInfo, *EdTopLeft, *EdBottomRight,
      *EdPerimeter, *EdArea;
  QLabel *LblPerimeter, *LblArea, *LblRadius;
  QComboBox *CbType;
  QTabWidget *Pages;
  QListWidget *NodesList;
  QPushButton *ButSave, *ButCancel;
  QTimer *UpdateTimer;
};

} // namespace kelvra
