#include "ui/account/AccountForms.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTimeZone>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/app/AlarmNotifier.h"
#include "core/app/Common.h"
#include "core/app/MonitorLogic.h"
#include "core/map/TileSources.h"
#include "core/util/LumSmallUtils.h"
#include "core/util/DisplayUnits.h"
#include "core/util/LumStrings.h"
#include "core/util/TimeZones.h"
#include "core/util/Version.h"
#include "ui/map/MapFeaturesBox.h"
#include "ui/account/LoginForm.h"
#include "ui/widgets/LumLed.h"
#include "ui/widgets/LumUrlLbl.h"
#include "ui/widgets/RichHint.h"
#include "ui/widgets/TranslateForm.h"

namespace kelvra {

namespace {

// The zone database's names, read once a run: the dialog opens without reading the list again.
const std::vector<std::string> &ZoneNames() {
  static const std::vector<std::string> names = TimeZoneNames();
  return names;
}

TLumLed *Led(QWidget *parent, const char *name) {
  auto *l = new TLumLed(parent);
  l->setObjectName(name);
  l->SetColorOn(QColor(0, 200, 0));
  return l;
}

// A row of the form: label, control and its lamp.
void Row(QFormLayout *form, QWidget *parent, const char *label, QWidget *control, TLumLed *led,
         QWidget *extra = nullptr) {
  auto *l = new QLabel(label, parent);
  l->setBuddy(control);
  auto *h = new QHBoxLayout;
  h->addWidget(control, 1);
  if (extra) h->addWidget(extra);
  if (led) h->addWidget(led);
  form->addRow(l, h);
}

QHBoxLayout *OkCancel(QDialog *d) {
  auto *h = new QHBoxLayout;
  h->addStretch();
  auto *ok = new QPushButton("OK", d);
  ok->setObjectName("ButOk");
  ok->setDefault(true);
  auto *cancel = new QPushButton("Cancel", d);
  cancel->setObjectName("ButCancel");
  h->addWidget(ok);
  h->addWidget(cancel);
  QObject::connect(ok, &QPushButton::clicked, d, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, d, &QDialog::reject);
  return h;
}

} // namespace

QStringList TimeZoneList() {
  std::vector<int> offsets;
  const QDateTime now = QDateTime::currentDateTimeUtc();
  for (const QByteArray &id : QTimeZone::availableTimeZoneIds())
    offsets.push_back(QTimeZone(id).standardTimeOffset(now));
  offsets.push_back(0);
  QStringList r;
  for (const std::string &e : TimeZoneEntries(offsets))
    r << QString::fromStdString(e);
  return r;
}

// --- sign-up ----------------------------------------------------------------------------------

TSignupForm::TSignupForm(bool recovery, QWidget *parent) : QDialog(parent), fRecovery(recovery) {
  setObjectName("SignupForm");
  setWindowTitle("Kelvra Registration");
  auto *lay = new QVBoxLayout(this);
  lay->addWidget(LogoLabel(this));
  fHelp = new QLabel(this);
  fHelp->setObjectName("LblHelp");
  fHelp->setWordWrap(true);
  lay->addWidget(fHelp);
  auto *form = new QFormLayout;
  fEmail = NamedEdit(this, "EdEmail");
  Row(form, this, "Email:", fEmail, nullptr);
  lay->addLayout(form);
  auto *h = new QHBoxLayout;
  h->addStretch();
  auto *cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("ButCancel");
  fSignUp = new QPushButton("Sign Up", this);
  fSignUp->setObjectName("ButSignUp");
  fSignUp->setDefault(true);
  h->addWidget(cancel);
  h->addWidget(fSignUp);
  lay->addLayout(h);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(fSignUp, &QPushButton::clicked, this, &TSignupForm::SignUp);
  connect(fEmail, &QLineEdit::textEdited, this, [this] { fIdleCount = 0; });
  auto *idle = new QTimer(this);
  connect(idle, &QTimer::timeout, this, &TSignupForm::IdleTick);
  idle->start(1000);
  TranslateForm(this);
  if (fRecovery) {
    if (IniFile) fEmail->setText(QString::fromStdString(IniFile->ReadString("Login", "user", "")));
    setWindowTitle(FormString(this, "recovery"));
    fHelp->setText(FormString(this, "recovery_prompt"));
    fSignUp->setText(FormString(this, "dorecover"));
  }
  fEmail->setFocus();
  setMinimumWidth(360);
}

QString TSignupForm::GetEmail() const { return fEmail->text().trimmed(); }

void TSignupForm::SignUp() {
  fIdleCount = 0;
  if (!PlausibleEmail(GetEmail().toStdString())) {
    BlinkField(fEmail);
    return;
  }
  accept();
}

void TSignupForm::IdleTick() {
  if (++fIdleCount > TLoginForm::kIdleLimit) reject();
}

// --- user data --------------------------------------------------------------------------------

TUserEditForm::TUserEditForm(QWidget *parent) : QDialog(parent) {
  setObjectName("UserEditForm");
  setWindowTitle("User data");
  auto *lay = new QVBoxLayout(this);
  auto *form = new QFormLayout;
  fLogin = NamedEdit(this, "EdLogin");
  fLogin->setReadOnly(true);
  fToken = NamedEdit(this, "EdApiToken");
  fToken->setReadOnly(true);
  fName = NamedEdit(this, "EdName");
  fEmail = NamedEdit(this, "EdEmail");
  fChatId = NamedEdit(this, "EdTgChatId");
  fChatId->setValidator(new QRegularExpressionValidator(QRegularExpression("\\d{0,18}"), fChatId));
  fPassword = NamedEdit(this, "EdPassword");
  fPassword->setEchoMode(QLineEdit::Password);
  fTimeZone = new QComboBox(this);
  fTimeZone->setObjectName("CbTimeZone");
  fLedName = Led(this, "LedName");
  fLedEmail = Led(this, "LedEmail");
  fLedChatId = Led(this, "LedTgChatId");
  fLedPassword = Led(this, "LedPassword");
  fLedTimeZone = Led(this, "LedTimeZone");
  auto *howTo = new QToolButton(this);
  howTo->setObjectName("SbTgChatIdHowTo");
  howTo->setText("?");
  auto *show = new QToolButton(this);
  show->setObjectName("SbShowPassword");
  show->setText(QStringLiteral("👁"));
  Row(form, this, "Login:", fLogin, nullptr);
  Row(form, this, "API token:", fToken, nullptr);
  Row(form, this, "Name:", fName, fLedName);
  Row(form, this, "Email:", fEmail, fLedEmail);
  Row(form, this, "Telegram chat ID:", fChatId, fLedChatId, howTo);
  Row(form, this, "Password:", fPassword, fLedPassword, show);
  auto *lblTz = new QLabel("Time zone:", this);
  lblTz->setObjectName("LblTimeZone");
  auto *tzRow = new QHBoxLayout;
  tzRow->addWidget(fTimeZone, 1);
  tzRow->addWidget(fLedTimeZone);
  form->addRow(lblTz, tzRow);
  lay->addLayout(form);
  lay->addLayout(OkCancel(this));

  connect(fName, &QLineEdit::textEdited, this, [this](const QString &s) {
    fUserInfo.Name = s.toStdString();
    fLedName->SetLit(true);
  });
  connect(fEmail, &QLineEdit::textEdited, this, [this](const QString &s) {
    fUserInfo.Email = s.toStdString();
    fLedEmail->SetLit(true);
  });
  connect(fChatId, &QLineEdit::textEdited, this, [this](const QString &s) {
    fUserInfo.TgChatId = s2i(s.toStdString(), 0);
    fLedChatId->SetLit(true);
  });
  connect(fPassword, &QLineEdit::textEdited, this, [this] { fLedPassword->SetLit(true); });
  connect(fTimeZone, &QComboBox::activated, this, [this] { fLedTimeZone->SetLit(true); });
  connect(show, &QToolButton::clicked, this, [this] {
    fPassword->setEchoMode(fPassword->echoMode() == QLineEdit::Password ? QLineEdit::Normal
                                                                        : QLineEdit::Password);
  });
  connect(howTo, &QToolButton::clicked, this, [this, howTo] {
    TRichHintForm::ShowHint(QString(), FormString(this, "tg_chat_id_howto"),
                            howTo->mapToGlobal(QPoint(0, howTo->height())), this);
  });
  TranslateForm(this);
  setMinimumWidth(420);
}

void TUserEditForm::EditUser(const TUserInfo &aUserInfo) {
  fSrcUserInfo = aUserInfo;
  fUserInfo = aUserInfo;
  setWindowTitle(FormString(this, "user_info", {aUserInfo.Uid}));
  fLogin->setText(QString::fromStdString(aUserInfo.Login));
  fToken->setText(QString::fromStdString(aUserInfo.ApiToken));
  fName->setText(QString::fromStdString(aUserInfo.Name));
  fEmail->setText(QString::fromStdString(aUserInfo.Email));
  fChatId->setText(QString::number(aUserInfo.TgChatId));
  fPassword->clear();
  fTimeZone->clear();
  fTimeZone->addItems(TimeZoneList());
  SetTimeZone(aUserInfo.TimeZone);
  for (TLumLed *l : {fLedName, fLedEmail, fLedChatId, fLedPassword, fLedTimeZone})
    l->SetLit(false);
}

bool TUserEditForm::GetModified() const {
  for (TLumLed *l : {fLedName, fLedEmail, fLedChatId, fLedPassword, fLedTimeZone})
    if (l->Lit()) return true;
  return false;
}

double TUserEditForm::GetTimeZone() const {
  return TimeZoneEntryMinutes(fTimeZone->currentText().toStdString()) / 1440.0;
}

void TUserEditForm::SetTimeZone(double days) {
  std::vector<std::string> entries;
  for (int i = 0; i < fTimeZone->count(); ++i)
    entries.push_back(fTimeZone->itemText(i).toStdString());
  fTimeZone->setCurrentIndex(FindTimeZoneEntry(entries, days));
}

const TLumHash &TUserEditForm::GetFields() {
  fFields.Clear();
  if (fLedName->Lit()) fFields.SetVal("name", fName->text().trimmed().toStdString());
  if (fLedEmail->Lit()) fFields.SetVal("email", fEmail->text().trimmed().toStdString());
  if (fLedChatId->Lit()) fFields.SetVal("t_chat_id", std::to_string(s2i(fChatId->text().toStdString(), 0)));
  if (fLedPassword->Lit()) fFields.SetVal("password", fPassword->text().trimmed().toStdString());
  if (fLedTimeZone->Lit())
    fFields.SetVal("tz", std::to_string(TimeZoneEntryMinutes(fTimeZone->currentText().toStdString()) * 60));
  return fFields;
}

// --- settings ---------------------------------------------------------------------------------

TSettingsEditForm::TSettingsEditForm(QWidget *parent) : QDialog(parent) {
  setObjectName("SettingsEditForm");
  setWindowTitle("Settings");
  auto *lay = new QVBoxLayout(this);
  auto *form = new QFormLayout;
  fLanguage = new QComboBox(this);
  fLanguage->setObjectName("CbLanguage");
  fTimeZone = new QComboBox(this);
  fTimeZone->setObjectName("CbTimeZone");
  fQuickDump = NamedEdit(this, "EdQuickDumpHours");
  fQuickDump->setValidator(new QRegularExpressionValidator(QRegularExpression("\\d{0,2}"), fQuickDump));
  fCacheAge = NamedEdit(this, "EdMapCacheMaxAge");
  fCacheAge->setValidator(new QRegularExpressionValidator(QRegularExpression("\\d{0,3}"), fCacheAge));
  fLedLanguage = Led(this, "LedLanguage");
  fLedTimeZone = Led(this, "LedTimezone");
  fLedQuickDump = Led(this, "LedQuickDumpHours");
  fLedCacheAge = Led(this, "LedMapCacheMaxAge");
  fNotifyAlarms = new QCheckBox("Show a desktop notification for every new alarm", this);
  fNotifyAlarms->setObjectName("CbNotifyAlarms");
  fLedNotifyAlarms = Led(this, "LedNotifyAlarms");
  fMapSource = new QComboBox(this);
  fMapSource->setObjectName("CbMapSource");
  fMapCustomUrl = NamedEdit(this, "EdMapCustomUrl");
  fLedMapSource = Led(this, "LedMapSource");
  fDisplayZone = new QComboBox(this);
  fDisplayZone->setObjectName("CbDisplayZone");
  // Some 400 zones: a list of 20 rows that scrolls (the Fusion style otherwise opens the
  // popup as high as the screen, ignoring the count) and takes the first letters typed.
  fDisplayZone->setMaxVisibleItems(20);
  fDisplayZone->setStyleSheet("QComboBox { combobox-popup: 0; }");
  fLedDisplayZone = Led(this, "LedDisplayZone");
  fUnits = new QComboBox(this);
  fUnits->setObjectName("CbUnits");
  fLedUnits = Led(this, "LedUnits");
  fCoordFormat = new QComboBox(this);
  fCoordFormat->setObjectName("CbCoordFormat");
  fLedCoordFormat = Led(this, "LedCoordFormat");
  auto addCombo = [&](const char *lblName, const char *text, QComboBox *c, TLumLed *led) {
    auto *l = new QLabel(text, this);
    l->setObjectName(lblName);
    auto *h = new QHBoxLayout;
    h->addWidget(c, 1);
    h->addWidget(led);
    form->addRow(l, h);
  };
  addCombo("LblLanguage", "Language:", fLanguage, fLedLanguage);
  auto *note = new QLabel("The language changes at the next start.", this);
  note->setObjectName("LblLanguageNote");
  note->setWordWrap(true);
  form->addRow(QString(), note);
  addCombo("LblTimeZone", "Default timezone:", fTimeZone, fLedTimeZone);
  // Both time zones change at the next start: the records already read keep their clock.
  addCombo("LblDisplayZone", "Times shown in:", fDisplayZone, fLedDisplayZone);
  auto *tzNote = new QLabel("The time zone changes at the next start.", this);
  tzNote->setObjectName("LblTimeZoneNote");
  tzNote->setWordWrap(true);
  form->addRow(QString(), tzNote);
  addCombo("LblUnits", "Units:", fUnits, fLedUnits);
  addCombo("LblCoordFormat", "Coordinates:", fCoordFormat, fLedCoordFormat);
  Row(form, this, "Quick dump depth, hours:", fQuickDump, fLedQuickDump);
  Row(form, this, "Map cache refresh age, days:", fCacheAge, fLedCacheAge);
  addCombo("LblMapSource", "Base map:", fMapSource, fLedMapSource);
  Row(form, this, "Custom map address:", fMapCustomUrl, nullptr);
  auto *mapNote = new QLabel("The configuration's tile_url is used instead.", this);
  mapNote->setObjectName("LblMapSourceNote");
  mapNote->setWordWrap(true);
  form->addRow(QString(), mapNote);
  auto *cacheNote = new QLabel("At least 7 days (empty: 30); used from the next start.", this);
  cacheNote->setObjectName("LblMapCacheMaxAgeNote");
  cacheNote->setWordWrap(true);
  form->addRow(QString(), cacheNote);
  // The age shown is the age used: a smaller one becomes the floor once typed.
  connect(fCacheAge, &QLineEdit::editingFinished, this, [this] {
    const QString t = fCacheAge->text().trimmed();
    if (!t.isEmpty() && t.toInt() > 0) fCacheAge->setText(QString::number(MapCacheMaxAge(t.toStdString())));
  });
  {
    auto *h = new QHBoxLayout;
    h->addWidget(fNotifyAlarms, 1);
    h->addWidget(fLedNotifyAlarms);
    form->addRow(QString(), h);
  }
  lay->addLayout(form);
  fMapFeatures = new TMapFeaturesBox(this, ReadMapFeatures(Config.get()));
  lay->addWidget(fMapFeatures);
  lay->addLayout(OkCancel(this));
  TranslateForm(this);

  // Entries: the default first, then "base name: language name" of every translation file.
  fLanguage->addItem(FormString(this, "default"), QString());
  const std::string lang = Config ? Config->GetVal("lang") : "";
  int sel = 0;
  if (Translates)
    for (int i = 0; i < Translates->Count(); ++i) {
      const QString base = QString::fromStdString(Translates->GetKey(i));
      fLanguage->addItem(base + ": " + QString::fromStdString(Translates->GetValByIndex(i)), base);
      if (!lang.empty() && base.toStdString() == lang) sel = fLanguage->count() - 1;
    }
  fLanguage->setCurrentIndex(sel);

  fTimeZone->addItem(FormString(this, "default"));
  fTimeZone->addItems(TimeZoneList());
  const double days = Config ? s2f(Config->GetVal("timezone"), 0) : 0;
  int tz = 0;
  if (days != 0) {
    std::vector<std::string> entries;
    for (int i = 1; i < fTimeZone->count(); ++i)
      entries.push_back(fTimeZone->itemText(i).toStdString());
    tz = FindTimeZoneEntry(entries, days) + 1;
  }
  fTimeZone->setCurrentIndex(tz);
  // The clock of shown times: the account's offset, this computer's zone, or any named zone.
  fDisplayZone->addItem(FormString(this, "zone_account"), QString::fromLatin1(kZoneAccount));
  fDisplayZone->addItem(FormString(this, "zone_system"), QString::fromLatin1(kZoneSystem));
  for (const std::string &name : ZoneNames())
    fDisplayZone->addItem(QString::fromStdString(name), QString::fromStdString(name));
  const std::string zone = Config ? Trim(Config->GetVal("time_zone")) : "";
  fDisplayZone->setCurrentIndex(std::max(0, fDisplayZone->findData(QString::fromStdString(zone))));
  for (TUnitSystem u : {TUnitSystem::Metric, TUnitSystem::Imperial, TUnitSystem::Nautical}) {
    const std::string name = TDisplayUnits::UnitsName(u);
    fUnits->addItem(FormString(this, "units_" + name), QString::fromStdString(name));
  }
  for (TCoordFormat c : {TCoordFormat::Degrees, TCoordFormat::DegreesMinutes,
                         TCoordFormat::DegreesMinutesSeconds}) {
    const std::string name = TDisplayUnits::CoordsName(c);
    fCoordFormat->addItem(FormString(this, "coords_" + name), QString::fromStdString(name));
  }
  const TDisplayUnits units = TDisplayUnits::FromSettings(Config ? Config->GetVal("units") : "",
                                                          Config ? Config->GetVal("coord_format") : "");
  fUnits->setCurrentIndex(static_cast<int>(units.system));
  fCoordFormat->setCurrentIndex(static_cast<int>(units.coords));
  fQuickDump->setText(QString::fromStdString(Config ? Config->GetVal("quick_dump_hours") : ""));
  fCacheAge->setText(QString::fromStdString(Config ? Config->GetVal("map_cache_max_age") : ""));
  fNotifyAlarms->setChecked(NotifyAlarmsOn(Config ? Config->GetVal("notify_alarms") : ""));

  // Base maps: the built-in ones, then "Custom" with its address.
  for (const TTileSource &src : BuiltInTileSources())
    fMapSource->addItem(FormString(this, "map_" + src.Id), QString::fromStdString(src.Id));
  fMapSource->addItem(FormString(this, "map_custom"), QStringLiteral("custom"));
  const std::string mapId = Config ? Trim(Config->GetVal("map_source")) : "";
  const int mapIndex = fMapSource->findData(QString::fromStdString(mapId));
  fMapSource->setCurrentIndex(mapIndex < 0 ? 0 : mapIndex);
  fMapCustomUrl->setText(QString::fromStdString(Config ? Config->GetVal("map_custom_url") : ""));
  fMapCustomUrl->setPlaceholderText("https://tiles.example.org/{z}/{x}/{y}.png");
  mapNote->setVisible(Config && !Trim(Config->GetVal("tile_url")).empty());
  auto customShown = [this] {
    fMapCustomUrl->setEnabled(fMapSource->currentData().toString() == "custom");
  };
  customShown();
  // Connected after the dialog is filled: any later change is the user's.
  connect(fMapSource, &QComboBox::currentIndexChanged, this, [this, customShown] {
    fLedMapSource->SetLit(true);
    customShown();
  });
  connect(fMapCustomUrl, &QLineEdit::textChanged, this, [this] { fLedMapSource->SetLit(true); });

  connect(fLanguage, &QComboBox::activated, this, [this] { fLedLanguage->SetLit(true); });
  connect(fTimeZone, &QComboBox::activated, this, [this] { fLedTimeZone->SetLit(true); });
  connect(fDisplayZone, &QComboBox::activated, this, [this] { fLedDisplayZone->SetLit(true); });
  connect(fUnits, &QComboBox::activated, this, [this] { fLedUnits->SetLit(true); });
  connect(fCoordFormat, &QComboBox::activated, this, [this] { fLedCoordFormat->SetLit(true); });
  connect(fQuickDump, &QLineEdit::textEdited, this, [this] { fLedQuickDump->SetLit(true); });
  connect(fCacheAge, &QLineEdit::textEdited, this, [this] { fLedCacheAge->SetLit(true); });
  connect(fNotifyAlarms, &QCheckBox::toggled, this, [this] { fLedNotifyAlarms->SetLit(true); });
  for (TLumLed *l : {fLedLanguage, fLedTimeZone, fLedQuickDump, fLedCacheAge, fLedNotifyAlarms,
                     fLedMapSource, fLedDisplayZone, fLedUnits, fLedCoordFormat})
    l->SetLit(false);
  setMinimumWidth(420);
}

bool TSettingsEditForm::GetModified() const {
  for (TLumLed *l : {fLedLanguage, fLedTimeZone, fLedQuickDump, fLedCacheAge, fLedNotifyAlarms,
                     fLedMapSource, fLedDisplayZone, fLedUnits, fLedCoordFormat})
    if (l->Lit()) return true;
  return fMapFeatures->Modified();
}

QString TSettingsEditForm::GetLanguage() const { return fLanguage->currentData().toString(); }

const TLumHash &TSettingsEditForm::GetFields() {
  fFields.Clear();
  if (fLedLanguage->Lit()) fFields.SetVal("lang", GetLanguage().toStdString());
  if (fLedTimeZone->Lit())
    fFields.SetVal("timezone",
                   TimeZoneDaysText(TimeZoneEntryMinutes(fTimeZone->currentText().toStdString())));
  if (fLedDisplayZone->Lit())
    fFields.SetVal("time_zone", fDisplayZone->currentData().toString().toStdString());
  if (fLedUnits->Lit()) fFields.SetVal("units", fUnits->currentData().toString().toStdString());
  if (fLedCoordFormat->Lit())
    fFields.SetVal("coord_format", fCoordFormat->currentData().toString().toStdString());
  if (fLedQuickDump->Lit())
    fFields.SetVal("quick_dump_hours", PositiveNumberText(fQuickDump->text().toStdString()));
  if (fLedCacheAge->Lit()) {
    // Stored as it is used: below the floor, the floor.
    std::string age = PositiveNumberText(fCacheAge->text().toStdString());
    if (s2i(age, 0) > 0) age = std::to_string(MapCacheMaxAge(age));
    fFields.SetVal("map_cache_max_age", age);
  }
  fMapFeatures->AddFields(fFields);
  if (fLedNotifyAlarms->Lit()) fFields.SetVal("notify_alarms", fNotifyAlarms->isChecked() ? "true" : "false");
  if (fLedMapSource->Lit()) {
    fFields.SetVal("map_source", fMapSource->currentData().toString().toStdString());
    fFields.SetVal("map_custom_url", Trim(fMapCustomUrl->text().toStdString()));
  }
  return fFields;
}

// --- about ------------------------------------------------------------------------------------

TAboutForm::TAboutForm(QWidget *parent) : QDialog(parent) {
  setObjectName("AboutForm");
  setWindowTitle("About");
  auto *lay = new QVBoxLayout(this);
  auto *logo = new TLumUrlLabel(this);
  logo->setObjectName("ImgLogo");
  logo->setText(QStringLiteral("KELVRA"));
  QFont lf = logo->font();
  lf.setPointSize(lf.pointSize() + 10);
  lf.setBold(true);
  lf.setUnderline(false);
  logo->setFont(lf);
  logo->setAlignment(Qt::AlignCenter);
  lay->addWidget(logo);
  auto *product = new QLabel(this);
  product->setObjectName("LblProduct");
  auto *version = new QLabel(this);
  version->setObjectName("LblVersion");
  auto *notice = new QLabel(this);
  notice->setObjectName("LblNotice");
  notice->setWordWrap(true);
  for (QLabel *l : {product, version, notice}) {
    l->setAlignment(Qt::AlignCenter);
    lay->addWidget(l);
  }
  fWebSite = new TLumUrlLabel(this);
  fWebSite->setObjectName("LblWebSite");
  fGroup = new TLumUrlLabel(this);
  fGroup->setObjectName("LblTgGroup");
  for (TLumUrlLabel *l : {fWebSite, fGroup}) {
    l->ColorNormal = QColor(0, 0, 128);
    l->SetColor(l->ColorNormal);
    l->setAlignment(Qt::AlignCenter);
    lay->addWidget(l);
  }
  auto *h = new QHBoxLayout;
  h->addStretch();
  auto *ok = new QPushButton("OK", this);
  ok->setObjectName("ButOk");
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  h->addWidget(ok);
  lay->addLayout(h);
  TranslateForm(this);
  if (Translation) {
    product->setText(QString::fromStdString(Translation->GetString("app_name")));
    version->setText(QString::fromStdString(Translation->GetString("app_version", {ProgramVersion()})));
    notice->setText(QString::fromStdString(Translation->GetString("copyright")));
  }
  const QString site = FormString(this, "web_site_url").trimmed();
  const QString group = FormString(this, "group_url").trimmed();
  logo->SetUrl(site);
  fWebSite->SetUrl(site);
  fGroup->SetUrl(group);
  fWebSite->setVisible(!site.isEmpty());
  fGroup->setVisible(!group.isEmpty());
  setMinimumWidth(360);
}

} // namespace kelvra
