#include "ui/devices/DeviceForms.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QStandardItemModel>
#include <QTableView>
#include <QTreeView>
#include <QVBoxLayout>

#include "core/app/Common.h"
#include "core/util/LumFiles.h"
#include "core/util/LumStrings.h"
#include "ui/widgets/DialogParts.h"
#include "ui/widgets/LumLed.h"
#include "ui/widgets/Prompt.h"
#include "ui/widgets/TranslateForm.h"
#include "ui/widgets/QtConvert.h"

namespace kelvra {

namespace {

QLineEdit *ReadOnlyEdit(QWidget *parent, const char *name) {
  QLineEdit *e = NamedEdit(parent, name);
  e->setReadOnly(true);
  return e;
}

// Every line of a dialog's log text is tagged with the dialog.
void TaggedLog(const TDialogLog &cb, const std::string &tag, const std::string &text) {
  if (cb) cb(ReplaceSubstr(text, "\r", "\r" + tag + ": "));
}

// The answers of the last requests with this text: "uid | time" lines of those with an answer.
// -1 when the log cannot be read, 0 when there is no such request.
int AnsweredRequests(TKelvraClient &client, int uid, const std::string &text, QComboBox *into,
                     const std::function<void(const std::string &)> &log) {
  const int n = client.GetCommandLog(uid, 6, text);
  log("\r  -> " + std::to_string(n));
  if (n <= 0) return n;
  into->clear();
  for (const auto &ci : client.CommandLog())
    if (ci->r_size >= 1) into->addItem(Q(RequestLine(*ci)));
  return n;
}

// The answer file of a request line as text; empty when it cannot be fetched.
std::string FetchAnswer(TKelvraClient &client, const QString &line) {
  const int uid = RequestLineUid(line.toStdString());
  if (uid == 0 || !client.GetCommandResponse(uid)) return {};
  return ReadAsString(client.resultFile(), true);
}

} // namespace

// --- commands -----------------------------------------------------------------------------------

std::function<bool(const QUrl &)> TCommandsForm::OpenUrl = [](const QUrl &url) {
  return QDesktopServices::openUrl(url);
};

TCommandsForm::TCommandsForm(QWidget *parent) : TSendingDialog(parent) {
  setObjectName("CommandsForm");
  setWindowTitle("Commands");
  auto *lay = new QVBoxLayout(this);
  auto *form = new QFormLayout;
  fName = ReadOnlyEdit(this, "EdObjectName");
  fId = ReadOnlyEdit(this, "EdObjectId");
  AddRow(form, this, "Object Name:", fName);
  AddRow(form, this, "Object Id:", fId);
  lay->addLayout(form);
  fRows = new QStandardItemModel(0, ccCount, this);
  fRows->setHorizontalHeaderLabels({"uid", "command", "create", "send", "answer"});
  fList = new QTableView(this);
  fList->setObjectName("LogList");
  fList->setModel(fRows);
  fList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  fList->setSelectionMode(QAbstractItemView::SingleSelection);
  fList->setWordWrap(true);
  fList->verticalHeader()->hide();
  fList->verticalHeader()->setDefaultSectionSize(2 * fontMetrics().height() + 6); // two lines a row
  fList->horizontalHeader()->setStretchLastSection(true);
  lay->addWidget(fList, 1);
  auto *cmdRow = new QHBoxLayout;
  fCommand = NamedEdit(this, "EdCommand");
  fLed = ChangeLed(this, "LedCommand");
  cmdRow->addWidget(fCommand, 1);
  cmdRow->addWidget(fLed);
  lay->addLayout(cmdRow);
  lay->addWidget(SendErrorLabel());
  lay->addLayout(ButtonRow(this, {{"ButSend", "Send", QDialog::Accepted, false},
                                  {"ButClose", "Close", QDialog::Rejected, false}}));
  connect(fCommand, &QLineEdit::textChanged, this, [this] { fLed->SetLit(true); });
  // Enter sends only a command that is there.
  connect(fCommand, &QLineEdit::returnPressed, this, [this] {
    if (!GetCommand().empty()) accept();
  });
  connect(fList, &QTableView::doubleClicked, this,
          [this](const QModelIndex &i) { RowAction(i.row(), i.column()); });
  TranslateForm(this);

  // Bounds of the last use; the first time 480 x 400 in the middle of the screen.
  const int w = IniFile ? static_cast<int>(IniFile->ReadInteger("Commands", "Width", 480)) : 480;
  const int h = IniFile ? static_cast<int>(IniFile->ReadInteger("Commands", "Height", 400)) : 400;
  resize(std::max(w, 200), std::max(h, 150));
  const QRect screen = QApplication::primaryScreen() ? QApplication::primaryScreen()->availableGeometry()
                                                     : QRect(0, 0, 1024, 768);
  const QPoint centred = screen.center() - QPoint(width() / 2, height() / 2);
  if (IniFile && IniFile->ValueExists("Commands", "Left") && IniFile->ValueExists("Commands", "Top"))
    move(static_cast<int>(IniFile->ReadInteger("Commands", "Left", centred.x())),
         static_cast<int>(IniFile->ReadInteger("Commands", "Top", centred.y())));
  else
    move(centred);
}

TCommandsForm::~TCommandsForm() {
  if (!IniFile) return;
  IniFile->WriteInteger("Commands", "Width", width());
  IniFile->WriteInteger("Commands", "Height", height());
  IniFile->WriteInteger("Commands", "Left", x());
  IniFile->WriteInteger("Commands", "Top", y());
}

void TCommandsForm::Log(const std::string &text) { TaggedLog(LogCallback, "Commands", text); }

void TCommandsForm::Fill(TObjectInfo *aObjInfo, TKelvraClient *aClient) {
  fObject = TRecordRef<TObjectInfo>(aObjInfo);
  fClient = aClient;
  fName->setText(Q(aObjInfo->name));
  fId->setText(Q(aObjInfo->id));
  fCommand->clear();
  fLed->SetLit(false);
  const int n = aClient->GetCommandLog(aObjInfo->uid, 10);
  Log("\r  -> " + std::to_string(n));
  // A failed read shows an empty log that says so, never what was read before.
  ShowSendError(n < 0 ? FormString(this, "read_failed", {aClient->ErrorMessage()}) : QString());
  fRows->removeRows(0, fRows->rowCount());
  for (const auto &ci : aClient->CommandLog()) {
    QList<QStandardItem *> row;
    for (int c = 0; c < ccCount; ++c)
      row << new QStandardItem(Q(CommandCell(ci.get(), c)));
    fRows->appendRow(row);
    if (CommandNotSent(*ci)) fCommand->setText(Q(ci->txt)); // offered again
  }
  fList->resizeColumnsToContents();
}

bool TCommandsForm::ShowCommands(TObjectInfo *aObjInfo, TKelvraClient *aClient) {
  if (!aObjInfo || !aClient) return false;
  Fill(aObjInfo, aClient);
  // An object that went while the window was open gets nothing (the caller says so).
  bool sent = false;
  Send = [this, aClient, &sent]() -> std::string {
    if (!fObject.Alive() || !CommandChanged() || GetCommand().empty()) return {};
    Log("\rSend command: " + GetCommand());
    sent = aClient->SendCommand(fObject.Uid(), GetCommand());
    Log(std::string("\r  -> ") + (sent ? "ok" : "error"));
    return sent ? std::string() : aClient->ErrorMessage();
  };
  return Prompt::Exec(this) == QDialog::Accepted && sent;
}

std::string TCommandsForm::GetCommand() const { return Trim(fCommand->text().toStdString()); }

bool TCommandsForm::CommandChanged() const { return fLed->Lit(); }

void TCommandsForm::RowAction(int row, int column) {
  if (!fClient || row < 0 || row >= static_cast<int>(fClient->CommandLog().size())) return;
  const TCommandInfo &ci = *fClient->CommandLog()[static_cast<size_t>(row)];
  if (column == ccCommand) {
    fCommand->setText(Q(ci.txt));
  } else if (column == ccAnswer) {
    if (!fClient->GetCommandResponse(ci.uid)) return;
    Log("\rOpen " + fClient->resultFile());
    if (OpenUrl) OpenUrl(QUrl::fromLocalFile(Q(fClient->resultFile())));
  }
}

void TCommandsForm::keyPressEvent(QKeyEvent *e) {
  if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && fList->hasFocus()) {
    const QModelIndex i = fList->currentIndex();
    if (i.isValid()) RowAction(i.row(), i.column());
    return;
  }
  QDialog::keyPressEvent(e);
}

// --- configuration --------------------------------------------------------------------------------

TObjConfigForm::TObjConfigForm(QWidget *parent) : TSendingDialog(parent) {
  setObjectName("ObjConfigForm");
  setWindowTitle("Object configuration");
  auto *lay = new QVBoxLayout(this);
  auto *form = new QFormLayout;
  fId = ReadOnlyEdit(this, "EdId");
  fName = ReadOnlyEdit(this, "EdName");
  AddRow(form, this, "ID:", fId);
  AddRow(form, this, "Name:", fName);
  fRequests = new QComboBox(this);
  fRequests->setObjectName("CbConfigRequests");
  auto *reqLabel = new QLabel("Config requests", this);
  reqLabel->setObjectName("LblConfigRequests");
  form->addRow(reqLabel, fRequests);
  lay->addLayout(form);

  auto led = [this](const char *key) {
    return ChangeLed(this, ("Led_" + std::string(key)).c_str());
  };
  auto check = [&](const char *key, const char *name, const char *text) {
    auto *c = new QCheckBox(text, this);
    c->setObjectName(name);
    TLumLed *l = led(key);
    auto *h = new QHBoxLayout;
    h->addWidget(c, 1);
    h->addWidget(l);
    lay->addLayout(h);
    fFields.push_back({key, TConfigControl::Check, c, l});
  };
  check("service_enabled", "CbServiceEnabled", "Enable background service");
  check("use_places", "CbUsePlaces", "Use places");
  check("continuously_tracking", "CbContinuouslyTracking", "Continuously tracking");
  auto *server = new QGroupBox("Tracking server", this);
  server->setObjectName("GbTrackingServer");
  auto *serverBox = new QVBoxLayout(server);
  auto *serverLay = new QHBoxLayout;
  serverBox->addLayout(serverLay);
  auto *combo = new QComboBox(server);
  combo->setObjectName("CbTrackingServer");
  combo->setEditable(true);
  TLumLed *serverLed = led("tracking_server");
  serverLay->addWidget(combo, 1);
  serverLay->addWidget(serverLed);
  QLabel *serverProblem = FieldProblemLabel(server, "LblProblem_tracking_server");
  serverBox->addWidget(serverProblem);
  lay->addWidget(server);
  fFields.push_back({"tracking_server", TConfigControl::Combo, combo, serverLed, serverProblem});
  auto *period = new QGroupBox("Tracking period, minutes", this);
  period->setObjectName("GbTrackingPeriod");
  auto *periodLay = new QFormLayout(period);
  for (auto [key, name, text] : {std::tuple{"tracking_period", "EdTrackingPeriod", "Regular:"},
                                 std::tuple{"tracking_fast_period", "EdTrackingFastPeriod", "Fast:"}}) {
    QLineEdit *e = NamedEdit(period, name);
    TLumLed *l = led(key);
    AddRow(periodLay, period, text, e, l);
    QLabel *problem = FieldProblemLabel(period, QString("LblProblem_") + key);
    periodLay->addRow(QString(), problem);
    fFields.push_back({key, TConfigControl::Edit, e, l, problem});
  }
  lay->addWidget(period);
  check("block_incoming_calls", "CbBlockIncomingCalls", "Block unknown incoming calls");
  lay->addWidget(SendErrorLabel());
  lay->addLayout(ButtonRow(this, {{"ButOk", "OK", QDialog::Accepted, true},
                                  {"ButCancel", "Cancel", QDialog::Rejected, false}}));

  // Any change lights the setting's lamp; "Continuously tracking" needs the service on.
  for (TField &f : fFields) {
    TLumLed *l = f.Led;
    auto lit = [this, l] {
      if (!fLoading) l->SetLit(true);
    };
    if (auto *c = qobject_cast<QCheckBox *>(f.Widget)) connect(c, &QCheckBox::toggled, this, lit);
    if (auto *c = qobject_cast<QComboBox *>(f.Widget)) connect(c, &QComboBox::currentTextChanged, this, lit);
    if (auto *e = qobject_cast<QLineEdit *>(f.Widget)) connect(e, &QLineEdit::textChanged, this, lit);
  }
  auto *continuous = findChild<QCheckBox *>("CbContinuouslyTracking");
  auto *service = findChild<QCheckBox *>("CbServiceEnabled");
  // Only the user's tick: a loaded answer shows the device's values as they are.
  connect(continuous, &QCheckBox::toggled, this, [this, service](bool on) {
    if (!fLoading && on && !service->isChecked()) service->setChecked(true);
  });
  // A field's reason goes once it is typed into again.
  for (TField &f : fFields) {
    QLabel *problem = f.Problem;
    if (!problem) continue;
    if (auto *c = qobject_cast<QComboBox *>(f.Widget))
      connect(c, &QComboBox::currentTextChanged, this, [problem] { ShowFieldProblem(problem, {}); });
    if (auto *e = qobject_cast<QLineEdit *>(f.Widget))
      connect(e, &QLineEdit::textChanged, this, [problem] { ShowFieldProblem(problem, {}); });
  }
  connect(fRequests, &QComboBox::textActivated, this, [this](const QString &line) { LoadAnswer(line); });
  TranslateForm(this);
}

void TObjConfigForm::Log(const std::string &text) { TaggedLog(LogCallback, "Config", text); }

bool TObjConfigForm::Prepare(TObjectInfo *aObjInfo, TKelvraClient *aClient) {
  if (!aObjInfo || !aClient) return false;
  fObject = TRecordRef<TObjectInfo>(aObjInfo);
  fClient = aClient;
  fId->setText(Q(aObjInfo->id));
  fName->setText(Q(aObjInfo->name));
  fRequests->clear();
  auto *server = findChild<QComboBox *>("CbTrackingServer");
  fLoading = true; // the presets are no change of the setting
  server->clear();
  for (const std::string &e : PresetEndpoints(aClient->ApiServer()))
    server->addItem(Q(e));
  server->setEditText(QString());
  fLoading = false;
  const int n = AnsweredRequests(*aClient, aObjInfo->uid, "get config", fRequests,
                                 [this](const std::string &t) { Log(t); });
  if (n == 0) {
    if (Prompt::Message(this, QMessageBox::Question, FormString(this, "Caption"),
                        FormString(this, "no_config_requests"),
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel) == QMessageBox::Yes &&
        fObject.Alive())
      aClient->SendCommand(fObject.Uid(), "get config");
    return false;
  }
  if (n < 0) return false;
  if (fRequests->count() == 0) {
    Prompt::Message(this, QMessageBox::Warning, FormString(this, "Caption"),
                    FormString(this, "no_config_answers"));
    return false;
  }
  fRequests->setCurrentIndex(0);
  LoadAnswer(fRequests->currentText());
  return true;
}

void TObjConfigForm::LoadAnswer(const QString &line) {
  if (!fClient) return;
  const std::string text = FetchAnswer(*fClient, line);
  if (text.empty()) return;
  const TLumHash answer = ReadConfigAnswer(text);
  fLoading = true;
  for (TField &f : fFields) {
    if (auto *c = qobject_cast<QCheckBox *>(f.Widget)) c->setChecked(answer.AsBool(f.Key));
    if (auto *c = qobject_cast<QComboBox *>(f.Widget)) c->setEditText(Q(ConfigText(answer, f.Key)));
    if (auto *e = qobject_cast<QLineEdit *>(f.Widget)) e->setText(Q(ConfigText(answer, f.Key)));
  }
  fLoading = false;
  for (TField &f : fFields)
    f.Led->SetLit(false);
}

TConfigChange TObjConfigForm::ChangeOf(const TField &f) const {
  TConfigChange c{f.Key, f.Control, false, {}};
  if (auto *b = qobject_cast<QCheckBox *>(f.Widget)) c.Checked = b->isChecked();
  if (auto *b = qobject_cast<QComboBox *>(f.Widget)) c.Text = b->currentText().toStdString();
  if (auto *e = qobject_cast<QLineEdit *>(f.Widget)) c.Text = e->text().toStdString();
  return c;
}

std::string TObjConfigForm::ConfigCommand() const {
  std::vector<TConfigChange> changes;
  for (const TField &f : fFields)
    if (f.Led->Lit()) changes.push_back(ChangeOf(f));
  return SetConfigCommand(changes);
}

bool TObjConfigForm::FieldsReady() {
  bool ready = true;
  for (const TField &f : fFields) {
    if (!f.Problem) continue;
    const std::string problem = f.Led->Lit() ? ConfigValueProblem(ChangeOf(f)) : std::string();
    ShowFieldProblem(f.Problem, problem.empty() ? QString()
                                : problem == "config_out_of_range"
                                    ? FormString(this, problem, {kMaxConfigPeriodMin})
                                    : FormString(this, problem));
    ready = ready && problem.empty();
  }
  return ready;
}

bool TObjConfigForm::ShowConfig(TObjectInfo *aObjInfo, TKelvraClient *aClient) {
  if (!Prepare(aObjInfo, aClient) || !fObject.Alive()) return false;
  Send = [this, aClient]() -> std::string {
    const std::string cmd = ConfigCommand();
    if (!fObject.Alive() || cmd.empty()) return {};
    Log("\r" + cmd);
    return aClient->SendCommand(fObject.Uid(), cmd) ? std::string() : aClient->ErrorMessage();
  };
  return Prompt::Exec(this) == QDialog::Accepted && fObject.Alive();
}

// --- places ---------------------------------------------------------------------------------------

namespace {
constexpr int kSsidRole = Qt::UserRole + 1;
}

TObjPlacesForm::TObjPlacesForm(QWidget *parent) : TSendingDialog(parent) {
  setObjectName("ObjPlacesForm");
  setWindowTitle("Object Places");
  auto *lay = new QVBoxLayout(this);
  auto *form = new QFormLayout;
  fName = ReadOnlyEdit(this, "EdName");
  fId = ReadOnlyEdit(this, "EdId");
  AddRow(form, this, "Name:", fName);
  AddRow(form, this, "ID:", fId);
  fRequests = new QComboBox(this);
  fRequests->setObjectName("CbPlacesRequests");
  auto *reqLabel = new QLabel("Places requests:", this);
  reqLabel->setObjectName("LblPlacesRequests");
  form->addRow(reqLabel, fRequests);
  lay->addLayout(form);

  auto *body = new QHBoxLayout;
  auto *left = new QVBoxLayout;
  fPlacesModel = new QStandardItemModel(this);
  fPlacesView = new QListView(this);
  fPlacesView->setObjectName("PlacesList");
  fPlacesView->setModel(fPlacesModel);
  fPlacesView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  fLedPlaces = ChangeLed(this, "LedPlaces");
  auto *placesHead = new QHBoxLayout;
  placesHead->addStretch();
  placesHead->addWidget(fLedPlaces);
  left->addLayout(placesHead);
  left->addWidget(fPlacesView, 1);
  auto *placeButtons = new QHBoxLayout;
  fAppendPlace = new QPushButton("Append place", this);
  fAppendPlace->setObjectName("ButAppendPlace");
  fDeletePlace = new QPushButton("Delete place", this);
  fDeletePlace->setObjectName("ButDeletePlace");
  placeButtons->addWidget(fAppendPlace);
  placeButtons->addWidget(fDeletePlace);
  left->addLayout(placeButtons);
  body->addLayout(left, 2);

  auto *right = new QVBoxLayout;
  auto *placeForm = new QFormLayout;
  fPlaceName = NamedEdit(this, "EdPlaceName");
  fLedPlace = ChangeLed(this, "LedPlace");
  AddRow(placeForm, this, "Place name:", fPlaceName, fLedPlace);
  right->addLayout(placeForm);
  fWifiModel = new QStandardItemModel(0, 2, this);
  fWifiModel->setHorizontalHeaderLabels({"SSID/BSSID", "STD"});
  fWifiView = new QTreeView(this);
  fWifiView->setObjectName("WifiList");
  fWifiView->setModel(fWifiModel);
  fWifiView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  right->addWidget(fWifiView, 1);
  auto *editButtons = new QHBoxLayout;
  fSavePlace = new QPushButton("Save place", this);
  fSavePlace->setObjectName("ButSavePlace");
  fCancelPlace = new QPushButton("Cancel place", this);
  fCancelPlace->setObjectName("ButCancelPlace");
  editButtons->addStretch();
  editButtons->addWidget(fSavePlace);
  editButtons->addWidget(fCancelPlace);
  right->addLayout(editButtons);
  body->addLayout(right, 3);
  lay->addLayout(body, 1);
  lay->addWidget(SendErrorLabel());
  lay->addLayout(ButtonRow(this, {{"ButOk", "OK", -1, true}, {"ButCancel", "Cancel", QDialog::Rejected, false}}));

  connect(findChild<QPushButton *>("ButOk"), &QPushButton::clicked, this, [this] {
    if (Confirm()) accept();
  });
  connect(fSavePlace, &QPushButton::clicked, this, [this] { SavePlace(); });
  connect(fCancelPlace, &QPushButton::clicked, this, &TObjPlacesForm::CancelPlace);
  connect(fAppendPlace, &QPushButton::clicked, this, &TObjPlacesForm::AppendPlace);
  connect(fDeletePlace, &QPushButton::clicked, this, &TObjPlacesForm::DeletePlace);
  connect(fPlaceName, &QLineEdit::textChanged, this, [this] { PlaceEdited(); });
  connect(fWifiModel, &QStandardItemModel::itemChanged, this, [this] { PlaceEdited(); });
  connect(fPlacesView->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex &now) {
            if (fFilling || now.row() == fCurrent) return;
            SelectPlace(now.row());
          });
  connect(fRequests, &QComboBox::textActivated, this, [this](const QString &line) { LoadAnswer(line); });
  TranslateForm(this);
  resize(720, 480);
}

void TObjPlacesForm::Log(const std::string &text) { TaggedLog(LogCallback, "Places", text); }

void TObjPlacesForm::FillObject(TObjectInfo *aObjInfo, TKelvraClient *aClient) {
  fObject = TRecordRef<TObjectInfo>(aObjInfo);
  fClient = aClient;
  fName->setText(Q(aObjInfo->name));
  fId->setText(Q(aObjInfo->id));
  fRequests->clear();
}

bool TObjPlacesForm::PrepareShow(TObjectInfo *aObjInfo, TKelvraClient *aClient) {
  if (!aObjInfo || !aClient) return false;
  fCreating = false;
  FillObject(aObjInfo, aClient);
  const int n = AnsweredRequests(*aClient, aObjInfo->uid, "get places", fRequests,
                                 [this](const std::string &t) { Log(t); });
  if (n == 0) {
    if (Ask("no_places_requests", "") == QMessageBox::Yes && fObject.Alive())
      aClient->SendCommand(fObject.Uid(), "get places");
    return false;
  }
  if (n < 0) return false;
  if (fRequests->count() == 0) {
    Warn("no_places_answers");
    return false;
  }
  fRequests->setCurrentIndex(0);
  LoadAnswer(fRequests->currentText());
  return true;
}

void TObjPlacesForm::PrepareCreate(TObjectInfo *aObjInfo, TKelvraClient *aClient, const TWifiList &aWifi) {
  fCreating = true;
  FillObject(aObjInfo, aClient);
  fAppendPlace->setEnabled(false);
  fDeletePlace->setEnabled(false);
  fWifi = aWifi;
  for (TWifiData &w : fWifi)
    w.known = false;
  fPlaces = {{FormString(this, "new_place").toStdString(), {}, false}};
  FillWifi();
  FillPlaces();
  fLedPlaces->SetLit(false);
  SelectPlace(0);
}

void TObjPlacesForm::LoadAnswer(const QString &line) {
  if (!fClient) return;
  // Places saved in the window but not sent yet go only when the user says so.
  if (line != fLoadedLine && (PlacesLit() || PlaceLit()) &&
      Ask("drop_places_prompt", fLoadedLine.toStdString()) != QMessageBox::Yes) {
    fRequests->setCurrentIndex(fRequests->findText(fLoadedLine));
    return;
  }
  const std::string text = FetchAnswer(*fClient, line);
  TPlaceList places;
  TWifiList wifi;
  if (!text.empty()) ParsePlacesAnswer(text, places, wifi);
  if (places.empty() && wifi.empty()) {
    // Unreadable, or not a places answer: the lists stay as they were, and the window says why.
    ShowSendError(FormString(this, "places_not_read", {line.toStdString()}));
    if (!fLoadedLine.isEmpty()) fRequests->setCurrentIndex(fRequests->findText(fLoadedLine));
    return;
  }
  ShowSendError({});
  fLoadedLine = line;
  fEmptiedByUser = false;
  fPlaces = std::move(places);
  fWifi = std::move(wifi);
  FillWifi();
  FillPlaces();
  fLedPlaces->SetLit(false);
  fCurrent = -1;
  if (!fPlaces.empty()) SelectPlace(0);
}

void TObjPlacesForm::FillWifi() {
  fFilling = true;
  fWifiModel->removeRows(0, fWifiModel->rowCount());
  std::vector<std::pair<std::string, QStandardItem *>> groups;
  for (const TWifiData &w : fWifi) {
    QStandardItem *top = nullptr;
    for (auto &[ssid, item] : groups)
      if (ssid == w.ssid) top = item;
    if (!top) {
      top = new QStandardItem(Q(w.ssid));
      top->setCheckable(true);
      top->setData(Q(w.ssid), kSsidRole);
      fWifiModel->appendRow({top, new QStandardItem(FormString(this, w.known ? "known" : "visible"))});
      groups.push_back({w.ssid, top});
    }
    if (!w.bssid.empty()) top->appendRow({new QStandardItem(Q(w.bssid)), new QStandardItem(Q(WifiStdText(w.std)))});
  }
  fWifiView->expandAll();
  fWifiView->resizeColumnToContents(0);
  fFilling = false;
}

void TObjPlacesForm::FillPlaces() {
  fFilling = true;
  fPlacesModel->clear();
  for (const TPlaceData &p : fPlaces) {
    std::string ssids;
    for (const std::string &s : p.Ssids)
      ssids += (ssids.empty() ? "" : ",") + s;
    fPlacesModel->appendRow(new QStandardItem(Q(p.Sign + "\n" + ssids)));
  }
  if (fCurrent >= 0 && fCurrent < fPlacesModel->rowCount())
    fPlacesView->setCurrentIndex(fPlacesModel->index(fCurrent, 0));
  fFilling = false;
}

void TObjPlacesForm::ShowPlace() {
  fFilling = true;
  const TPlaceData *p = fCurrent >= 0 && fCurrent < static_cast<int>(fPlaces.size()) ? &fPlaces[fCurrent] : nullptr;
  fPlaceName->setText(p ? Q(p->Sign) : QString());
  for (int r = 0; r < fWifiModel->rowCount(); ++r) {
    QStandardItem *top = fWifiModel->item(r);
    const std::string ssid = top->data(kSsidRole).toString().toStdString();
    const bool on = p && std::find(p->Ssids.begin(), p->Ssids.end(), ssid) != p->Ssids.end();
    top->setCheckState(on ? Qt::Checked : Qt::Unchecked);
  }
  if (p) fPlacesView->setCurrentIndex(fPlacesModel->index(fCurrent, 0));
  fFilling = false;
  fLedPlace->SetLit(false);
  fSavePlace->setEnabled(false);
  fCancelPlace->setEnabled(false);
}

bool TObjPlacesForm::PlaceLit() const { return fLedPlace->Lit(); }
bool TObjPlacesForm::PlacesLit() const { return fLedPlaces->Lit(); }

void TObjPlacesForm::PlaceEdited() {
  if (fFilling || fCurrent < 0) return;
  fLedPlace->SetLit(true);
  fSavePlace->setEnabled(true);
  fCancelPlace->setEnabled(true);
}

int TObjPlacesForm::Ask(const std::string &key, const std::string &arg) {
  return Prompt::Message(this, QMessageBox::Question, FormString(this, "Caption"),
                         FormString(this, key, {arg}),
                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
}

void TObjPlacesForm::Warn(const std::string &key) {
  Prompt::Message(this, QMessageBox::Warning, FormString(this, "Caption"), FormString(this, key));
}

bool TObjPlacesForm::SelectPlace(int index) {
  if (index == fCurrent && index >= 0) return true;
  if (fLedPlace->Lit() && fCurrent >= 0) {
    const int a = Ask("save_place_prompt", fPlaces[fCurrent].Sign);
    bool keep = a == QMessageBox::Cancel || a == QMessageBox::NoButton;
    if (a == QMessageBox::Yes && !SavePlace()) keep = true; // a failed save keeps the place too
    if (keep) {
      fFilling = true;
      fPlacesView->setCurrentIndex(fPlacesModel->index(fCurrent, 0));
      fFilling = false;
      return false;
    }
  }
  fCurrent = index >= 0 && index < static_cast<int>(fPlaces.size()) ? index : -1;
  ShowPlace();
  return true;
}

std::vector<std::string> TObjPlacesForm::CheckedSsids() const {
  std::vector<std::string> out;
  for (int r = 0; r < fWifiModel->rowCount(); ++r)
    if (fWifiModel->item(r)->checkState() == Qt::Checked)
      out.push_back(fWifiModel->item(r)->data(kSsidRole).toString().toStdString());
  return out;
}

bool TObjPlacesForm::SavePlace() {
  if (fCurrent < 0) return false;
  const std::string name = Trim(fPlaceName->text().toStdString());
  if (name.empty()) {
    Warn("empty_name");
    return false;
  }
  const std::vector<std::string> ssids = CheckedSsids();
  if (ssids.empty()) {
    Warn("empty_wifi");
    return false;
  }
  TPlaceData &p = fPlaces[fCurrent];
  p.Sign = name;
  p.Ssids = ssids;
  p.Modified = true;
  fLedPlaces->SetLit(true);
  FillPlaces();
  fLedPlace->SetLit(false);
  fSavePlace->setEnabled(false);
  fCancelPlace->setEnabled(false);
  return true;
}

void TObjPlacesForm::CancelPlace() { ShowPlace(); }

void TObjPlacesForm::AppendPlace() {
  fPlaces.push_back({FormString(this, "new_place").toStdString(), {}, false});
  FillPlaces();
  SelectPlace(static_cast<int>(fPlaces.size()) - 1);
}

void TObjPlacesForm::DeletePlace() {
  if (fCurrent < 0) return;
  if (Ask("delete_place_prompt", fPlaces[fCurrent].Sign) != QMessageBox::Yes) return;
  fPlaces.erase(fPlaces.begin() + fCurrent);
  fEmptiedByUser = fPlaces.empty();
  fLedPlaces->SetLit(true);
  fLedPlace->SetLit(false);
  fCurrent = -1;
  FillPlaces();
  SelectPlace(fPlaces.empty() ? -1 : 0);
}

void TObjPlacesForm::CheckSsid(const std::string &ssid, bool on) {
  for (int r = 0; r < fWifiModel->rowCount(); ++r)
    if (fWifiModel->item(r)->data(kSsidRole).toString().toStdString() == ssid)
      fWifiModel->item(r)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

void TObjPlacesForm::SetPlaceName(const QString &name) { fPlaceName->setText(name); }

bool TObjPlacesForm::Confirm() {
  if (fLedPlace->Lit() && fCurrent >= 0) {
    const int a = Ask("save_place_prompt", fPlaces[fCurrent].Sign);
    if (a == QMessageBox::Cancel || a == QMessageBox::NoButton) return false;
    if (a == QMessageBox::Yes && !SavePlace()) return false;
    if (a == QMessageBox::No) ShowPlace();
  }
  return true;
}

std::string TObjPlacesForm::PlacesCommand() const {
  if (!fCreating) return SetPlacesCommand(fPlaces);
  if (fPlaces.empty() || fPlaces[0].Ssids.empty()) return {}; // nothing to add
  return AddPlacesCommand(fPlaces[0].Sign, fPlaces[0].Ssids, fWifi);
}

bool TObjPlacesForm::ShowPlaces(TObjectInfo *aObjInfo, TKelvraClient *aClient) {
  if (!PrepareShow(aObjInfo, aClient) || !fObject.Alive()) return false;
  return SendFromWindow(aClient);
}

bool TObjPlacesForm::CreatePlace(TObjectInfo *aObjInfo, TKelvraClient *aClient, const TWifiList &aWifi) {
  if (!aObjInfo || !aClient) return false;
  PrepareCreate(aObjInfo, aClient, aWifi);
  return SendFromWindow(aClient);
}

bool TObjPlacesForm::FieldsReady() {
  if (fCreating) {
    if (!fPlaces.empty() && !fPlaces[0].Ssids.empty()) return true;
    ShowSendError(FormString(this, "nothing_to_add"));
    return false;
  }
  if (!fPlaces.empty()) return true;
  if (!fEmptiedByUser) {
    ShowSendError(FormString(this, "no_places_to_send"));
    return false;
  }
  return Prompt::Message(this, QMessageBox::Question, FormString(this, "Caption"),
                         FormString(this, "send_empty_places"),
                         QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool TObjPlacesForm::SendFromWindow(TKelvraClient *aClient) {
  bool sent = false;
  Send = [this, aClient, &sent]() -> std::string {
    const std::string cmd = PlacesCommand();
    if (!fObject.Alive() || cmd.empty()) return {}; // gone, or nothing to add
    Log("\r" + cmd);
    sent = aClient->SendCommand(fObject.Uid(), cmd);
    return sent ? std::string() : aClient->ErrorMessage();
  };
  return Prompt::Exec(this) == QDialog::Accepted && sent && fObject.Alive();
}

} // namespace kelvra
