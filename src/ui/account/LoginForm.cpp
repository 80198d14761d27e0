#include "ui/account/LoginForm.h"

#include <QCheckBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "core/app/Common.h"
#include "core/util/LumSmallUtils.h"
#include "core/util/LumStrings.h"
#include "ui/widgets/TranslateForm.h"

namespace kelvra {

QLabel *LogoLabel(QWidget *parent) {
  auto *l = new QLabel(QStringLiteral("KELVRA"), parent);
  l->setObjectName("ImgLogo");
  QFont f = l->font();
  f.setPointSize(f.pointSize() + 8);
  f.setBold(true);
  f.setLetterSpacing(QFont::PercentageSpacing, 130);
  l->setFont(f);
  l->setAlignment(Qt::AlignCenter);
  return l;
}

void BlinkField(QWidget *field) {
  if (!field) return;
  QPointer<QWidget> w(field);
  const QString normal = field->styleSheet();
  for (int i = 0; i < 6; ++i)
    QTimer::singleShot(150 * i, field, [w, i, normal] {
      if (w) w->setStyleSheet(i % 2 == 0 ? QStringLiteral("background-color: red;") : normal);
    });
  QTimer::singleShot(900, field, [w] {
    if (w) w->setFocus();
  });
}

TLoginForm::TLoginForm(QWidget *parent) : QDialog(parent) {
  setObjectName("LoginForm");
  setWindowTitle("Kelvra Login");
  auto *lay = new QVBoxLayout(this);
  lay->addWidget(LogoLabel(this));
  auto *form = new QFormLayout;
  fUser = new QLineEdit(this);
  fUser->setObjectName("UserEdit");
  auto *lu = new QLabel("Login:", this);
  lu->setBuddy(fUser);
  form->addRow(lu, fUser);
  auto *passRow = new QHBoxLayout;
  fPass = new QLineEdit(this);
  fPass->setObjectName("PassEdit");
  fPass->setEchoMode(QLineEdit::Password);
  fShowPass = new QToolButton(this);
  fShowPass->setObjectName("SbShowPass");
  fShowPass->setText(QStringLiteral("👁"));
  passRow->addWidget(fPass);
  passRow->addWidget(fShowPass);
  auto *lp = new QLabel("Password:", this);
  lp->setBuddy(fPass);
  form->addRow(lp, passRow);
  lay->addLayout(form);
  fRemember = new QCheckBox("Remember me", this);
  fRemember->setObjectName("CbRememberMe");
  lay->addWidget(fRemember);
  fProgress = new QProgressBar(this);
  fProgress->setObjectName("AutologonProgress");
  fProgress->setTextVisible(false);
  fProgress->hide();
  lay->addWidget(fProgress);
  auto *buttons = new QHBoxLayout;
  auto *signUp = new QPushButton("Sign Up", this);
  signUp->setObjectName("ButSignUp");
  auto *recover = new QPushButton("Recover", this);
  recover->setObjectName("ButRecover");
  auto *cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("ButCancel");
  auto *ok = new QPushButton("Login", this);
  ok->setObjectName("ButSignIn");
  ok->setDefault(true);
  buttons->addWidget(signUp);
  buttons->addWidget(recover);
  buttons->addStretch();
  buttons->addWidget(cancel);
  buttons->addWidget(ok);
  lay->addLayout(buttons);

  connect(ok, &QPushButton::clicked, this, &TLoginForm::SignIn);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(signUp, &QPushButton::clicked, this, [this] { done(kSignUpResult); });
  connect(recover, &QPushButton::clicked, this, [this] { done(kRecoverResult); });
  connect(fShowPass, &QToolButton::clicked, this, [this] {
    fPass->setEchoMode(fPass->echoMode() == QLineEdit::Password ? QLineEdit::Normal
                                                                : QLineEdit::Password);
    fPass->setFocus();
    fPass->end(false);
  });
  for (QLineEdit *e : {fUser, fPass}) {
    connect(e, &QLineEdit::textEdited, this, [this] { fIdleCount = 0; });
    e->installEventFilter(this);
  }
  fAutoTimer = new QTimer(this);
  fAutoTimer->setInterval(100);
  connect(fAutoTimer, &QTimer::timeout, this, &TLoginForm::AutologonTick);
  fIdleTimer = new QTimer(this);
  fIdleTimer->setInterval(1000);
  connect(fIdleTimer, &QTimer::timeout, this, &TLoginForm::IdleTick);
  fIdleTimer->start();

  std::string user = IniFile ? IniFile->ReadString("Login", "user", "") : "";
  const std::string cfgUser = Config ? Config->GetVal("user") : "";
  if (user.empty()) user = cfgUser;
  fUser->setText(QString::fromStdString(user));
  if (!user.empty() && user == cfgUser && Config)
    fPass->setText(QString::fromStdString(Config->GetVal("pass")));
  TranslateForm(this);
}

QString TLoginForm::GetUser() const { return fUser->text().trimmed(); }

void TLoginForm::SetUser(const QString &user) { fUser->setText(user); }
QString TLoginForm::GetPassword() const { return fPass->text().trimmed(); }
bool TLoginForm::GetRememberMe() const { return fRemember->isChecked(); }
bool TLoginForm::GetAutologon() const { return fAutoTimer->isActive(); }

void TLoginForm::SetAutologon(bool on) {
  if (on) {
    fIdleCount = 0;
    int secs = Config ? static_cast<int>(s2i(Trim(Config->GetVal("autologon_timeout")), 10)) : 10;
    secs = std::clamp(secs, 0, 3600);
    fProgress->setRange(0, std::max(1, secs * 10));
    fProgress->setValue(fProgress->maximum());
    fProgress->show();
    fRemember->hide();
    fAutoTimer->start();
  } else {
    fAutoTimer->stop();
    fProgress->hide();
    fRemember->show();
  }
}

void TLoginForm::AutologonTick() {
  fIdleCount = 0;
  fProgress->setValue(fProgress->value() - 1);
  if (fProgress->value() > fProgress->minimum()) return;
  SetAutologon(false);
  if (Config) Config->SetVal("autologon", "false"); // once per run, never written to a file
  SignIn();
}

void TLoginForm::IdleTick() {
  if (++fIdleCount > kIdleLimit) reject();
}

void TLoginForm::SignIn() {
  if (GetUser().isEmpty()) {
    BlinkField(fUser);
    return;
  }
  if (GetPassword().isEmpty()) {
    BlinkField(fPass);
    return;
  }
  if (IniFile) IniFile->WriteString("Login", "User", GetUser().toStdString());
  accept();
}

void TLoginForm::showEvent(QShowEvent *e) {
  QDialog::showEvent(e);
  if (fActivated) return;
  fActivated = true;
  if (fUser->text().isEmpty())
    fUser->setFocus();
  else if (fPass->text().isEmpty())
    fPass->setFocus();
  else if (Config && Config->AsBool("autologon"))
    SetAutologon(true);
}

bool TLoginForm::eventFilter(QObject *o, QEvent *e) {
  if (e->type() == QEvent::MouseButtonPress && GetAutologon()) SetAutologon(false);
  return QDialog::eventFilter(o, e);
}

void TLoginForm::mousePressEvent(QMouseEvent *e) {
  if (GetAutologon()) SetAutologon(false);
  QDialog::mousePressEvent(e);
}

} // namespace kelvra
