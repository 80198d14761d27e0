#pragma once
// The dialogs that talk to an object's device through commands: the commands dialog (the
// command log with its answers, and the command to send), the configuration dialog ("get config"
// answers, the seven settings, "set config") and the places dialog ("get places" answers, places
// and their Wi-Fi networks, "set places"; or one new place from the networks around a point of
// the map, "add places").

#include <QDialog>
#include <QUrl>
#include <functional>
#include <string>
#include <vector>

#include "core/client/DeviceCommands.h"
#include "core/client/client.h"
#include "ui/widgets/DialogParts.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QStandardItem;
class QStandardItemModel;
class QTableView;
class QTreeView;

namespace kelvra {

class TLumLed;

// Receives a dialog's log text; each new line is tagged with the dialog's name.
using TDialogLog = std::function<void(const std::string &)>;

class TCommandsForm : public TSendingDialog {
  Q_OBJECT
public:
  explicit TCommandsForm(QWidget *parent = nullptr);
  ~TCommandsForm() override; // keeps the bounds in section "Commands"
  // Fills the dialog and shows it modally; Send sends a changed, non-empty command and closes once
  // the service accepted it. True when a command was sent.
  bool ShowCommands(TObjectInfo *aObjInfo, TKelvraClient *aClient);
  // Fills the dialog from the last 10 commands (ShowCommands does it before showing).
  void Fill(TObjectInfo *aObjInfo, TKelvraClient *aClient);
  std::string GetCommand() const;
  bool CommandChanged() const;
  // Double click or Enter on a cell: the command into the field, or the answer opened.
  void RowAction(int row, int column);

  QTableView *LogList() const { return fList; }
  QLineEdit *CommandEdit() const { return fCommand; }
  TDialogLog LogCallback;
  // Opens an answer file with the desktop's application for its type (tests replace it).
  static std::function<bool(const QUrl &)> OpenUrl;

protected:
  void keyPressEvent(QKeyEvent *e) override;

private:
  void Log(const std::string &text);

  TRecordRef<TObjectInfo> fObject; // the client's record, which may go while the window is open
  TKelvraClient *fClient = nullptr; // not owned
  QLineEdit *fName, *fId, *fCommand;
  TLumLed *fLed;
  QTableView *fList;
  QStandardItemModel *fRows;
};

class TObjConfigForm : public TSendingDialog {
  Q_OBJECT
public:
  explicit TObjConfigForm(QWidget *parent = nullptr);
  // The whole exchange: true when the user confirmed with OK (and the service accepted the command
  // of the lit settings, when there was one).
  bool ShowConfig(TObjectInfo *aObjInfo, TKelvraClient *aClient);
  // Steps before showing: false when the dialog is not to open.
  bool Prepare(TObjectInfo *aObjInfo, TKelvraClient *aClient);
  // Loads the answer of the chosen request line.
  void LoadAnswer(const QString &line);
  // The command for the lit settings ("" when none is lit).
  std::string ConfigCommand() const;
  TDialogLog LogCallback;

private:
  struct TField {
    std::string Key;
    TConfigControl Control;
    QWidget *Widget;
    TLumLed *Led;
    QLabel *Problem = nullptr; // why the typed text cannot be sent (text fields)
  };
  void Log(const std::string &text);
  TConfigChange ChangeOf(const TField &f) const;
  bool FieldsReady() override;

  TRecordRef<TObjectInfo> fObject; // the client's record, which may go while the window is open
  TKelvraClient *fClient = nullptr; // not owned
  QLineEdit *fId, *fName;
  QComboBox *fRequests;
  std::vector<TField> fFields;
  bool fLoading = false;
};

class TObjPlacesForm : public TSendingDialog {
  Q_OBJECT
public:
  explicit TObjPlacesForm(QWidget *parent = nullptr);
  // Editing the device's places; true when confirmed and the service accepted "set places" (the
  // window stays open with the reason when it did not).
  bool ShowPlaces(TObjectInfo *aObjInfo, TKelvraClient *aClient);
  // One new place from the networks around a point; true when confirmed and the service accepted
  // "add places".
  bool CreatePlace(TObjectInfo *aObjInfo, TKelvraClient *aClient, const TWifiList &aWifi);

  // The steps of the two entry points, for the tests: filling, and what OK sends.
  bool PrepareShow(TObjectInfo *aObjInfo, TKelvraClient *aClient);
  void PrepareCreate(TObjectInfo *aObjInfo, TKelvraClient *aClient, const TWifiList &aWifi);
  std::string PlacesCommand() const;
  bool Creating() const { return fCreating; }

  void LoadAnswer(const QString &line);
  // Choosing a place; false when the user kept the current one (Cancel, or a failed save).
  bool SelectPlace(int index);
  bool SavePlace();
  void CancelPlace();
  void AppendPlace();
  void DeletePlace();
  // Ticks or unticks the network of an SSID.
  void CheckSsid(const std::string &ssid, bool on);
  void SetPlaceName(const QString &name);
  // OK: asks about unsaved edits first; false when the dialog stays open.
  bool Confirm();

  const TPlaceList &Places() const { return fPlaces; }
  const TWifiList &Wifi() const { return fWifi; }
  int CurrentPlace() const { return fCurrent; }
  bool PlaceLit() const;
  bool PlacesLit() const;
  QTreeView *WifiList() const { return fWifiView; }
  TDialogLog LogCallback;

private:
  void Log(const std::string &text);
  // Shows the window modally; OK sends PlacesCommand and closes once the service accepted it.
  bool SendFromWindow(TKelvraClient *aClient);
  // Nothing is sent that the user did not mean: a place to add, and an empty list only when the
  // user emptied it and confirms.
  bool FieldsReady() override;
  void FillObject(TObjectInfo *aObjInfo, TKelvraClient *aClient);
  void FillWifi();
  void FillPlaces();
  void ShowPlace();
  std::vector<std::string> CheckedSsids() const;
  int Ask(const std::string &key, const std::string &arg);
  void Warn(const std::string &key);
  void PlaceEdited();

  TRecordRef<TObjectInfo> fObject; // the client's record, which may go while the window is open
  TKelvraClient *fClient = nullptr; // not owned
  bool fCreating = false;
  bool fFilling = false;
  bool fEmptiedByUser = false; // the user deleted the last place
  QString fLoadedLine;         // the request line whose answer the lists show
  TPlaceList fPlaces;
  TWifiList fWifi;
  int fCurrent = -1;
  QLineEdit *fName, *fId, *fPlaceName;
  QComboBox *fRequests;
  QListView *fPlacesView;
  QStandardItemModel *fPlacesModel;
  QTreeView *fWifiView;
  QStandardItemModel *fWifiModel;
  TLumLed *fLedPlaces, *fLedPlace;
  QPushButton *fSavePlace, *fCancelPlace, *fAppendPlace, *fDeletePlace;
};

} // namespace kelvra
