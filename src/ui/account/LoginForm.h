#pragma once
// The sign-in dialog: login, password (masking toggled by a button), "Remember me", and the
// buttons Login (OK), Sign Up (result kSignUpResult), Recover (kRecoverResult) and Cancel. With
// "autologon" configured and both fields filled, a countdown signs in by itself; three minutes
// without typing close the dialog.

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class QToolButton;

namespace kelvra {

class TLoginForm : public QDialog {
  Q_OBJECT
public:
  static constexpr int kSignUpResult = 11;
  static constexpr int kRecoverResult = 4;
  static constexpr int kIdleLimit = 180; // seconds without typing

  explicit TLoginForm(QWidget *parent = nullptr);
  QString GetUser() const;
  // Fills the user name (signing in again as the user the service no longer knows by the token).
  void SetUser(const QString &user);
  QString GetPassword() const;
  bool GetRememberMe() const;
  bool GetAutologon() const;
  void SetAutologon(bool on);
  // Checks the fields (an empty one blinks) and closes with OK.
  void SignIn();
  int IdleCount() const { return fIdleCount; }
  // One tick of the idle timer (a second).
  void IdleTick();
  // One tick of the countdown (a tenth of a second).
  void AutologonTick();

protected:
  void showEvent(QShowEvent *) override;
  bool eventFilter(QObject *, QEvent *) override;
  void mousePressEvent(QMouseEvent *) override;

private:
  QLineEdit *fUser, *fPass;
  QToolButton *fShowPass;
  QCheckBox *fRemember;
  QProgressBar *fProgress;
  QTimer *fAutoTimer, *fIdleTimer;
  int fIdleCount = 0;
  bool fActivated = false;
};

// The product's name as the dialogs' logo.
QLabel *LogoLabel(QWidget *parent);

// Three times red and back, then the focus: how a dialog points at a field it needs.
void BlinkField(QWidget *field);

} // namespace kelvra
