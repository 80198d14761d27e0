#pragma once
// The small account and settings dialogs: registration or password recovery, the user data
// dialog, the settings dialog and the about box. Each is modal, translated by its window name,
// and returns OK or Cancel; the main window acts on the result. Changed fields light a lamp and
// only lit fields are reported.

#include <QDialog>
#include <QStringList>
#include <memory>

#include "core/client/client.h"
#include "core/util/LumHash.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace kelvra {

class TLumLed;
class TMapFeaturesBox;
class TLumUrlLabel;

// The time-zone list of the platform's zone database as "UTC+05:00" entries.
QStringList TimeZoneList();

class TSignupForm : public QDialog {
  Q_OBJECT
public:
  // Recovery mode asks for the address of an existing account instead of a new one.
  TSignupForm(bool recovery, QWidget *parent = nullptr);
  QString GetEmail() const;
  // Checks the address (a bad one blinks) and closes with OK.
  void SignUp();
  void IdleTick();
  int IdleCount() const { return fIdleCount; }

private:
  bool fRecovery;
  QLineEdit *fEmail;
  QLabel *fHelp;
  QPushButton *fSignUp;
  int fIdleCount = 0;
};

class TUserEditForm : public QDialog {
  Q_OBJECT
public:
  explicit TUserEditForm(QWidget *parent = nullptr);
  // Fills the fields from the record; the caller then shows the dialog.
  void EditUser(const TUserInfo &aUserInfo);
  bool GetModified() const;
  // Only the lit fields: "name", "email", "t_chat_id", "password", "tz" (signed seconds).
  const TLumHash &GetFields();
  double GetTimeZone() const; // days, signed
  void SetTimeZone(double days);

private:
  TUserInfo fSrcUserInfo, fUserInfo;
  QLineEdit *fLogin, *fToken, *fName, *fEmail, *fChatId, *fPassword;
  QComboBox *fTimeZone;
  TLumLed *fLedName, *fLedEmail, *fLedChatId, *fLedPassword, *fLedTimeZone;
  TLumHash fFields;
};

class TSettingsEditForm : public QDialog {
  Q_OBJECT
public:
  explicit TSettingsEditForm(QWidget *parent = nullptr);
  bool GetModified() const;
  // Only the lit fields: "lang" (base name, "" for the default), "timezone" (signed days, "" for
  // the system's), "quick_dump_hours", "map_cache_max_age" ("" when 0 or less), "notify_alarms"
  // ("true" or "false"), "time_zone" ("account", "system" or a zone name), "units" (metric,
  // imperial, nautical), "coord_format" (deg, dm, dms), and the changed map features ("cluster_markers" and the others of
  // TMapFeatures, "true"/"false").
  const TLumHash &GetFields();
  QString GetLanguage() const;

private:
  QComboBox *fLanguage, *fTimeZone;
  QLineEdit *fQuickDump, *fCacheAge;
  QCheckBox *fNotifyAlarms;
  TLumLed *fLedLanguage, *fLedTimeZone, *fLedQuickDump, *fLedCacheAge, *fLedNotifyAlarms;
  QComboBox *fMapSource;     // the base maps; item data: the source id
  QLineEdit *fMapCustomUrl;  // the address pattern of "Custom"
  TLumLed *fLedMapSource;
  QComboBox *fDisplayZone; // item data: "account", "system" or a zone name
  QComboBox *fUnits, *fCoordFormat; // item data: the setting's value
  TLumLed *fLedDisplayZone, *fLedUnits, *fLedCoordFormat;
  TMapFeaturesBox *fMapFeatures;
  TLumHash fFields;
};

class TAboutForm : public QDialog {
  Q_OBJECT
public:
  explicit TAboutForm(QWidget *parent = nullptr);
  TLumUrlLabel *WebSite() const { return fWebSite; }
  TLumUrlLabel *Group() const { return fGroup; }

private:
  TLumUrlLabel *fWebSite, *fGroup;
};

} // namespace kelvra
