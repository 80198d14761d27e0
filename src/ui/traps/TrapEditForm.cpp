#include "ui/traps/TrapEditForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextCharFormat>
#include <QVBoxLayout>
#include <stdexcept>

#include "core/client/client.h"
#include "core/model/ObjectInfo.h"
#include "core/model/TrapEdit.h"
#include "core/util/LumStrings.h"
#include "ui/widgets/DialogParts.h"
#include "ui/widgets/LumLed.h"
#include "ui/widgets/Prompt.h"
#include "ui/widgets/TranslateForm.h"
#include "ui/widgets/QtConvert.h"

namespace kelvra {

namespace {

const char *const kMsgFields[] = {"{{.object}}: Object name", "{{.target}}: Target name",
                                  "{{.tval}}: Target value",  "{{.sval}}: Current value",
                                  "{{.lat}},{{.lon}}: Coordinates", "{{.time}}: Time"};

} // namespace

TTrapEditForm::TTrapEditForm(QWidget *parent) : TSendingDialog(parent) {
  setObjectName("TrapEditForm");
  setWindowTitle("Trap Info");
  auto led = [this](const char *key) {
    auto *l = new TLumLed(this);
    l->setObjectName(QString("Led_") + key);
    l->setFixedSize(12, 12);
    fLedList[key] = l;
    return l;
  };
  auto label = [this](const char *name, const char *text) { return Named(new QLabel(text, this), name); };

  GbObject = Named(new QGroupBox("Object", this), "GbObject");
  auto *go = new QGridLayout(GbObject);
  CbObject = Named(new QComboBox(GbObject), "CbObject");
  go->addWidget(CbObject, 0, 0);
  go->addWidget(led("obj_id"), 0, 1);
  go->setColumnStretch(0, 1);

  GbTarget = Named(new QGroupBox("Target", this), "GbTarget");
  auto *gt = new QGridLayout(GbTarget);
  CbTargetType = Named(new QComboBox(GbTarget), "CbTargetType");
  CbTarget = Named(new QComboBox(GbTarget), "CbTarget");
  CbCondition = Named(new QComboBox(GbTarget), "CbCondition");
  EdVal = NamedEdit(GbTarget, "EdVal");
  LblTarget = label("LblTarget", "Target:");
  LblVal = label("LblVal", "Value:");
  gt->addWidget(label("LblTargetType", "Target type:"), 0, 0);
  gt->addWidget(CbTargetType, 0, 1);
  gt->addWidget(led("target_type_id"), 0, 2);
  gt->addWidget(LblTarget, 1, 0);
  gt->addWidget(CbTarget, 1, 1);
  gt->addWidget(led("target_id"), 1, 2);
  gt->addWidget(label("LblCondition", "Condition:"), 2, 0);
  gt->addWidget(CbCondition, 2, 1);
  gt->addWidget(led("condition_id"), 2, 2);
  gt->addWidget(LblVal, 3, 0);
  gt->addWidget(EdVal, 3, 1);
  gt->addWidget(led("val"), 3, 2);
  gt->setColumnStretch(1, 1);

  GbAlarm = Named(new QGroupBox("Alarm", this), "GbAlarm");
  auto *ga = new QGridLayout(GbAlarm);
  CbIsAlarm = Named(new QCheckBox("Is alarm", GbAlarm), "CbIsAlarm");
  CbManualAccept = Named(new QCheckBox("Manual accept", GbAlarm), "CbManualAccept");
  ga->addWidget(CbIsAlarm, 0, 0);
  ga->addWidget(led("is_alarm"), 0, 1);
  ga->addWidget(CbManualAccept, 1, 0);
  ga->addWidget(led("accept_type_id"), 1, 1);
  ga->setColumnStretch(0, 1);

  GbMessage = Named(new QGroupBox("Message", this), "GbMessage");
  auto *gm = new QGridLayout(GbMessage);
  EdSubj = NamedEdit(GbMessage, "EdSubj");
  EdSubj->setMaxLength(64);
  EdMsg = NamedEdit(GbMessage, "EdMsg");
  CbMsgFields = Named(new QComboBox(GbMessage), "CbMsgFields");
  for (const char *f : kMsgFields)
    CbMsgFields->addItem(f);
  CbMsgFields->setCurrentIndex(-1);
  CbSendToEmail = Named(new QCheckBox("Send to Email", GbMessage), "CbSendToEmail");
  CbSendToTelegram = Named(new QCheckBox("Send to Telegram", GbMessage), "CbSendToTelegram");
  gm->addWidget(label("LblSubj", "Subject:"), 0, 0);
  gm->addWidget(EdSubj, 0, 1);
  gm->addWidget(led("subj"), 0, 2);
  gm->addWidget(label("LblMsg", "Message:"), 1, 0);
  gm->addWidget(EdMsg, 1, 1);
  gm->addWidget(led("msg"), 1, 2);
  gm->addWidget(CbMsgFields, 2, 1);
  gm->addWidget(CbSendToEmail, 3, 0, 1, 2);
  gm->addWidget(led("email"), 3, 2);
  gm->addWidget(CbSendToTelegram, 4, 0, 1, 2);
  gm->addWidget(led("telegram"), 4, 2);
  gm->setColumnStretch(1, 1);

  ButOk = Named(new QPushButton("Ok", this), "ButOk");
  ButOk->setDefault(true);
  ButCancel = Named(new QPushButton("Cancel", this), "ButCancel");
  connect(ButOk, &QPushButton::clicked, this, &QDialog::accept);
  connect(ButCancel, &QPushButton::clicked, this, &QDialog::reject);
  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ButOk);
  buttons->addWidget(ButCancel);

  auto *lay = new QVBoxLayout(this);
  for (QGroupBox *g : {GbObject, GbTarget, GbAlarm, GbMessage})
    lay->addWidget(g);
  lay->addStretch();
  lay->addWidget(SendErrorLabel());
  lay->addLayout(buttons);
  resize(420, 520);

  // Change handlers: each writes its field and lights its lamp.
  connect(CbObject, &QComboBox::currentIndexChanged, this, [this] {
    if (fLoading || !fTrapInfo) return;
    const int id = ChosenId(CbObject);
    if (id == fTrapInfo->obj_id) return;
    fTrapInfo->obj_id = id;
    Light("obj_id");
    if (fTrapInfo->target_type_id == 2) {
      fTrapInfo->target_id = 0;
      BuildTarget();
    }
  });
  connect(CbTargetType, &QComboBox::currentIndexChanged, this, [this] {
    if (fLoading || !fTrapInfo) return;
    const int id = ChosenId(CbTargetType);
    if (id == fTrapInfo->target_type_id) return;
    fTrapInfo->target_type_id = id;
    fTrapInfo->target_id = 0;
    fTrapInfo->condition_id = 0;
    Light("target_type_id");
    BuildTarget();
    BuildCondition();
  });
  connect(CbTarget, &QComboBox::currentIndexChanged, this, [this] {
    if (fLoading || !fTrapInfo) return;
    fTrapInfo->target_id = ChosenId(CbTarget);
    Light("target_id");
  });
  connect(CbCondition, &QComboBox::currentIndexChanged, this, [this] {
    if (fLoading || !fTrapInfo) return;
    fTrapInfo->condition_id = ChosenId(CbCondition);
    Light("condition_id");
  });
  connect(EdVal, &QLineEdit::textChanged, this, [this] {
    if (fLoading || !fTrapInfo) return;
    fTrapInfo->val = Trim(EdVal->text().toStdString());
    Light("val");
  });
  connect(EdSubj, &QLineEdit::textChanged, this, [this] {
    if (fHightlightBusy) return;
    Highlight(EdSubj);
    if (fLoading || !fTrapInfo) return;
    fTrapInfo->subj = Trim(EdSubj->text().toStdString());
    Light("subj");
  });
  connect(EdMsg, &QLineEdit::textChanged, this, [this] {
    if (fHightlightBusy) return;
    Highlight(EdMsg);
    if (fLoading || !fTrapInfo) return;
    fTrapInfo->msg = Trim(EdMsg->text().toStdString());
    Light("msg");
  });
  auto check = [this](QCheckBox *box, const char *key, std::function<void(bool)> set) {
    connect(box, &QCheckBox::toggled, this, [this, key, set](bool on) {
      if (fLoading || !fTrapInfo) return;
      set(on);
      Light(key);
    });
  };
  check(CbIsAlarm, "is_alarm", [this](bool on) { fTrapInfo->is_alarm = on; });
  check(CbManualAccept, "accept_type_id", [this](bool on) { fTrapInfo->accept_type_id = on ? 1 : 0; });
  check(CbSendToEmail, "email", [this](bool on) { fTrapInfo->email = on; });
  check(CbSendToTelegram, "telegram", [this](bool on) { fTrapInfo->telegram = on; });
  connect(CbMsgFields, &QComboBox::activated, this, [this](int i) { InsertField(CbMsgFields->itemText(i)); });
  EdSubj->installEventFilter(this);
  EdMsg->installEventFilter(this);

  TranslateForm(this);
}

TTrapEditForm::~TTrapEditForm() = default;

void TTrapEditForm::FillIdList(QComboBox *box, const QString &items) {
  box->clear();
  for (const std::string &item : SplitItems(items.toStdString()))
    box->addItem(Q(item));
}

int TTrapEditForm::ChosenId(const QComboBox *box) {
  return box->currentIndex() < 0 ? 0 : ItemId(box->currentText().toStdString());
}

void TTrapEditForm::ChooseId(QComboBox *box, int id) {
  std::vector<std::string> items;
  for (int i = 0; i < box->count(); ++i)
    items.push_back(box->itemText(i).toStdString());
  box->setCurrentIndex(ItemIndex(items, id));
}

void TTrapEditForm::Prepare(TKelvraClient *aClient, const TTrapInfo *aTrapInfo, int aObjId, bool show) {
  if (!aClient)
    throw std::runtime_error((show ? "ShowTrap: " : "EditTrap: ") +
                             FormString(this, "client_not_assigned").toStdString());
  fClient = aClient;
  fSrcTrapInfo = aTrapInfo ? std::make_unique<TTrapInfo>(*aTrapInfo) : std::make_unique<TTrapInfo>(0, aObjId);
  fTrapInfo = std::make_unique<TTrapInfo>(*fSrcTrapInfo);
  fTrapInfo->fZoneList = &aClient->ZoneList();
  fTrapInfo->fObjList = &aClient->ObjList();
  if (show)
    setWindowTitle(FormString(this, "trap_info", {fTrapInfo->uid}));
  else if (fTrapInfo->uid != 0)
    setWindowTitle(FormString(this, "edit_trap", {fTrapInfo->uid}));
  else
    setWindowTitle(FormString(this, "create_trap"));
  AssignTrapInfo();
  for (QGroupBox *g : {GbObject, GbTarget, GbAlarm, GbMessage})
    g->setEnabled(!show);
}

bool TTrapEditForm::EditTrap(TKelvraClient *aClient, const TTrapInfo *aTrapInfo, int aObjId) {
  Prepare(aClient, aTrapInfo, aObjId, false);
  return Prompt::Exec(this) == QDialog::Accepted && GetModified();
}

void TTrapEditForm::ShowTrap(TKelvraClient *aClient, const TTrapInfo *aTrapInfo) {
  if (!aClient || !aTrapInfo) return;
  Prepare(aClient, aTrapInfo, aTrapInfo->obj_id, true);
  Prompt::Exec(this);
}

void TTrapEditForm::AssignTrapInfo() {
  fLoading = true;
  TTrapInfo &t = *fTrapInfo;
  CbObject->clear();
  for (const auto &oi : fClient->ObjList())
    CbObject->addItem(Q(std::to_string(oi->uid) + ": " + oi->name));
  ChooseId(CbObject, t.obj_id);
  FillIdList(CbTargetType, FormString(this, "trap_target_types"));
  ChooseId(CbTargetType, t.target_type_id);
  BuildTarget();
  BuildCondition();
  EdVal->setText(Q(t.val));
  CbIsAlarm->setChecked(t.is_alarm);
  CbManualAccept->setChecked(t.accept_type_id == 1);
  EdSubj->setText(Q(t.subj));
  EdMsg->setText(Q(t.msg));
  CbSendToEmail->setChecked(t.email);
  CbSendToTelegram->setChecked(t.telegram);
  for (auto &[key, l] : fLedList)
    l->SetLit(false);
  fLoading = false;
}

void TTrapEditForm::BuildTarget() {
  const bool was = fLoading;
  fLoading = true;
  TTrapInfo &t = *fTrapInfo;
  CbTarget->clear();
  if (t.target_type_id == 1) {
    for (const auto &zi : fClient->ZoneList())
      CbTarget->addItem(Q(std::to_string(zi->uid) + ": " + zi->name));
  } else if (const TObjectInfo *oi = t.target_type_id == 2 ? fClient->FindObject(t.obj_id) : nullptr) {
    // Looked up now: the record the trap referred to when the window opened may have gone.
    for (const auto &si : oi->sensors)
      CbTarget->addItem(Q(std::to_string(si->uid) + ": " + si->name));
  }
  const bool hasTargets = CbTarget->count() > 0;
  for (QWidget *w : {static_cast<QWidget *>(LblTarget), static_cast<QWidget *>(CbTarget),
                     static_cast<QWidget *>(fLedList["target_id"])})
    w->setVisible(hasTargets);
  for (QWidget *w : {static_cast<QWidget *>(LblVal), static_cast<QWidget *>(EdVal),
                     static_cast<QWidget *>(fLedList["val"])})
    w->setVisible(t.target_type_id != 1);
  ChooseId(CbTarget, t.target_id);
  fLoading = was;
}

void TTrapEditForm::BuildCondition() {
  const bool was = fLoading;
  fLoading = true;
  const int type = fTrapInfo->target_type_id;
  if (type == 1)
    FillIdList(CbCondition, FormString(this, "trap_zone_conditions"));
  else if (type >= 2 && type <= 5)
    FillIdList(CbCondition, FormString(this, "trap_conditions"));
  else
    CbCondition->clear();
  ChooseId(CbCondition, fTrapInfo->condition_id);
  fLoading = was;
}

void TTrapEditForm::Light(const std::string &key) {
  if (auto it = fLedList.find(key); it != fLedList.end()) it->second->SetLit(true);
}

bool TTrapEditForm::GetModified() const {
  for (const auto &[key, l] : fLedList)
    if (l->Lit()) return true;
  return false;
}

const TLumHash &TTrapEditForm::GetFields() {
  fFields.Clear();
  for (const std::string &key : TrapFieldKeys())
    if (auto it = fLedList.find(key); it != fLedList.end() && it->second->Lit())
      fFields.SetVal(key, TrapFieldValue(*fTrapInfo, key));
  return fFields;
}

void TTrapEditForm::InsertField(const QString &item) {
  QLineEdit *box = fSubjFocused ? EdSubj : EdMsg;
  const QString text = box->text();
  const int caret = box->cursorPosition();
  const auto r = InsertPlaceholder(text.left(caret).toStdString(), text.mid(caret).toStdString(),
                                   item.toStdString());
  CbMsgFields->setCurrentIndex(-1);
  if (!r) return;
  const QString all = Q(r->text);
  if (all.size() > box->maxLength()) return; // the box would cut it: nothing half inserted
  box->setText(all);
  box->setCursorPosition(int(QString::fromStdString(r->text.substr(0, r->caret)).size()));
  box->setFocus();
}

std::vector<std::pair<int, int>> TTrapEditForm::HighlightRuns(const QLineEdit *box) const {
  auto it = fRuns.find(box);
  return it == fRuns.end() ? std::vector<std::pair<int, int>>{} : it->second;
}

void TTrapEditForm::Highlight(QLineEdit *box) {
  if (fHightlightBusy) return;
  fHightlightBusy = true;
  const auto runs = PlaceholderRuns(box->text().toStdU16String());
  fRuns[box] = runs;
  // A line edit draws pre-edit formats: they carry the highlighting without touching the text,
  // the caret or the selection.
  const int selStart = box->selectionStart(), selLen = box->selectedText().size();
  const int caret = box->cursorPosition();
  QTextCharFormat f;
  f.setFontWeight(QFont::Bold);
  f.setForeground(QColor(0x00, 0x00, 0x80)); // navy
  QList<QInputMethodEvent::Attribute> attrs;
  for (const auto &[start, len] : runs)
    attrs << QInputMethodEvent::Attribute(QInputMethodEvent::TextFormat, start - caret, len, f);
  QInputMethodEvent ev(QString(), attrs);
  QCoreApplication::sendEvent(box, &ev);
  if (selStart >= 0 && selLen > 0)
    box->setSelection(selStart, selLen);
  else
    box->setCursorPosition(caret);
  fHightlightBusy = false;
}

bool TTrapEditForm::eventFilter(QObject *o, QEvent *e) {
  if (e->type() == QEvent::FocusIn) {
    if (o == EdSubj) fSubjFocused = true;
    else if (o == EdMsg) fSubjFocused = false;
  }
  return QDialog::eventFilter(o, e);
}

} // namespace kelvra
