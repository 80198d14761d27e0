#include "ui/objects/ObjectForms.h"

#include <QCursor>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryFile>
#include <QStandardItemModel>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <cmath>
#include <cstring>

#include "core/app/Common.h"
#include "core/util/LumStrings.h"
#include "ui/widgets/DialogParts.h"
#include "ui/widgets/LumLed.h"
#include "ui/widgets/LumVUtils.h"
#include "ui/widgets/Prompt.h"
#include "ui/widgets/RichHint.h"
#include "ui/widgets/TranslateForm.h"
#include "ui/widgets/QtConvert.h"

namespace kelvra {

namespace {


// A status text: "!" at the start shows it red, without the "!".
void ShowStatus(QLabel *label, const QString &text) {
  const bool alert = text.startsWith('!');
  label->setText(alert ? text.mid(1) : text);
  label->setStyleSheet(alert ? "color: red;" : "");
}

// Flashes a field red for half a second, five times, with the focus in it.
void FlashField(QWidget *field) {
  QPointer<QWidget> w(field);
  field->setFocus();
  const QString normal = field->styleSheet();
  for (int i = 0; i < 10; ++i)
    QTimer::singleShot(500 * i, field, [w, i, normal] {
      if (w) w->setStyleSheet(i % 2 == 0 ? QStringLiteral("background-color: red;") : normal);
    });
  QTimer::singleShot(5000, field, [w, normal] {
    if (w) w->setStyleSheet(normal);
  });
}

// Asks whether to delete the object's photo and deletes it at the service: 1 when it went, 0 when
// the user said no, -1 with the error text when the service refused.
int DeletePhotoAsked(QWidget *w, TKelvraClient &client, const TRecordRef<TObjectInfo> &oi,
                     QString &error) {
  if (Prompt::Message(w, QMessageBox::Question, FormString(w, "delete_photo"),
                      FormString(w, "delete_photo_prompt"),
                      QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
    return 0;
  if (!oi.Alive()) { // gone while the question was open
    error = FormString(w, "object_reloaded");
    return -1;
  }
  if (!client.DeletePhoto(*oi)) {
    error = FormString(w, "delete_photo_error", {client.ErrorMessage()});
    return -1;
  }
  if (oi.Alive()) oi->has_image = false;
  return 1;
}

} // namespace

QImage PhotoImage(const TBitmap32 *bmp) {
  if (!bmp || bmp->fWidth <= 0 || bmp->fHeight <= 0) return {};
  return QImage(reinterpret_cast<const uchar *>(bmp->fPixels.data()), bmp->fWidth, bmp->fHeight,
                bmp->BytesPerLine(), QImage::Format_ARGB32_Premultiplied)
      .copy();
}

std::unique_ptr<TBitmap32> BitmapOf(const QImage &img) {
  if (img.isNull()) return nullptr;
  const QImage p = img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  auto bmp = std::make_unique<TBitmap32>(p.width(), p.height());
  for (int y = 0; y < p.height(); ++y)
    std::memcpy(&bmp->fPixels[static_cast<size_t>(y) * p.width()], p.constScanLine(y),
                static_cast<size_t>(p.width()) * 4);
  return bmp;
}

// --- object editor ------------------------------------------------------------------------------

TObjEditForm::TObjEditForm(QWidget *parent) : QDialog(parent) {
  setObjectName("ObjEditForm");
  setWindowTitle("Object");
  auto *lay = new QHBoxLayout(this);
  auto *left = new QVBoxLayout;
  fPhoto = new QLabel(this);
  fPhoto->setObjectName("ImgPhoto");
  fPhoto->setFixedSize(128, 128);
  fPhoto->setFrameShape(QFrame::StyledPanel);
  fPhoto->setAlignment(Qt::AlignCenter);
  fPhoto->setCursor(Qt::PointingHandCursor);
  fPhoto->installEventFilter(this);
  left->addWidget(fPhoto);
  fClearPhoto = new QPushButton("Clear photo", this);
  fClearPhoto->setObjectName("ButClearPhoto");
  left->addWidget(fClearPhoto);
  left->addStretch();
  lay->addLayout(left);

  auto *right = new QVBoxLayout;
  auto *form = new QFormLayout;
  fId = NamedEdit(this, "EdId");
  fName = NamedEdit(this, "EdName");
  fUsers = NamedEdit(this, "EdUsersList");
  fSwatch = new QToolButton(this);
  fSwatch->setObjectName("SbTrackColor");
  fSwatch->setFixedSize(48, 20);
  fUsersHint = new QToolButton(this);
  fUsersHint->setObjectName("SbUsersListHint");
  fUsersHint->setText("?");
  fLedId = ChangeLed(this, "LedId");
  fLedName = ChangeLed(this, "LedName");
  fLedColor = ChangeLed(this, "LedTrackColor");
  fLedUsers = ChangeLed(this, "LedUsersList");
  AddRow(form, this, "ID:", fId, fLedId);
  AddRow(form, this, "Name:", fName, fLedName);
  auto *colorRow = new QHBoxLayout;
  colorRow->addWidget(fSwatch);
  colorRow->addStretch();
  colorRow->addWidget(fLedColor);
  auto *colorLabel = new QLabel("Track color:", this);
  colorLabel->setObjectName("LblTrackColor");
  form->addRow(colorLabel, colorRow);
  auto *usersRow = new QHBoxLayout;
  usersRow->addWidget(fUsers, 1);
  usersRow->addWidget(fUsersHint);
  usersRow->addWidget(fLedUsers);
  auto *usersLabel = new QLabel("Friendly users:", this);
  usersLabel->setBuddy(fUsers);
  form->addRow(usersLabel, usersRow);
  right->addLayout(form);
  fStatus = new QLabel(this);
  fStatus->setObjectName("LblStatus");
  fStatus->setWordWrap(true);
  right->addWidget(fStatus);
  right->addStretch();
  right->addLayout(ButtonRow(this, {{"ButSave", "Save", -1, true}, {"ButCancel", "Cancel", QDialog::Rejected, false}}));
  fSave = findChild<QPushButton *>("ButSave");
  lay->addLayout(right, 1);

  auto lamp = [this](QLineEdit *e, TLumLed *led) {
    connect(e, &QLineEdit::textChanged, this, [this, led] {
      if (fFilling) return;
      led->SetLit(true);
      fSave->setEnabled(true);
    });
  };
  lamp(fId, fLedId);
  lamp(fName, fLedName);
  lamp(fUsers, fLedUsers);
  connect(fSwatch, &QToolButton::clicked, this, &TObjEditForm::ChooseColor);
  connect(fSave, &QPushButton::clicked, this, &TObjEditForm::Save);
  connect(fClearPhoto, &QPushButton::clicked, this, &TObjEditForm::ClearPhoto);
  connect(fUsersHint, &QToolButton::clicked, this, [this] {
    TRichHintForm::ShowHint(QString(), FormString(this, "friendly_users_hint"),
                            fUsersHint->mapToGlobal(QPoint(0, fUsersHint->height())), this);
  });
  TranslateForm(this);
  setMinimumWidth(520);
}

void TObjEditForm::Fill(TKelvraClient *cli, TObjectInfo *oi) {
  fClient = cli;
  fObject = TRecordRef<TObjectInfo>(oi);
  fFilling = true;
  fId->setText(Q(oi->id));
  fId->setReadOnly(oi->uid > 0);
  fName->setText(Q(oi->name));
  SetSwatch(oi->track_color);
  fUsers->setText(Q(oi->users_list));
  fUsers->setEnabled(!oi->is_alien);
  if (oi->is_alien) {
    QPalette p = fUsers->palette();
    p.setColor(QPalette::Base, palette().color(QPalette::Window));
    fUsers->setPalette(p);
  }
  fFilling = false;
  LampsOff();
  fSave->setEnabled(false);
  SetStatus(QString());
  if (oi->uid != 0) {
    setWindowTitle(FormString(this, "edit_object", {oi->uid}));
    fSave->setText(FormString(this, "update"));
  } else {
    setWindowTitle(FormString(this, "create_object"));
    fSave->setText(FormString(this, "create"));
  }
  fClearPhoto->setEnabled(oi->uid > 0);
  if (!oi->photo && oi->has_image && cli) cli->GetPhoto(*oi);
  ShowPhoto();
}

int TObjEditForm::EditObject(TKelvraClient *cli, TObjectInfo *oi) {
  if (!oi) return QDialog::Rejected;
  Fill(cli, oi);
  return Prompt::Exec(this);
}

void TObjEditForm::LampsOff() {
  for (TLumLed *l : {fLedId, fLedName, fLedColor, fLedUsers})
    l->SetLit(false);
}

void TObjEditForm::SetSwatch(uint32_t color) {
  fColor = color;
  fSwatch->setStyleSheet(QString("background-color: %1; border: 1px solid gray;").arg(ToQColor(color).name()));
}

void TObjEditForm::ShowPhoto() {
  const QImage img = fObject.Alive() ? PhotoImage(fObject->photo.get()) : QImage();
  if (img.isNull()) {
    fPhoto->clear();
    return;
  }
  fPhoto->setPixmap(QPixmap::fromImage(
      img.scaled(fPhoto->size() - QSize(4, 4), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void TObjEditForm::SetStatus(const QString &text) { ShowStatus(fStatus, text); }

QString TObjEditForm::Status() const { return fStatus->text(); }

TObjectEdits TObjEditForm::Edits() const {
  TObjectEdits e;
  e.id = fLedId->Lit();
  e.name = fLedName->Lit();
  e.color = fLedColor->Lit();
  e.users = fLedUsers->Lit();
  e.idText = fId->text().toStdString();
  e.nameText = fName->text().toStdString();
  e.usersText = fUsers->text().toStdString();
  e.trackColor = fColor;
  return e;
}

void TObjEditForm::ChooseColor() {
  const auto c = Prompt::ChooseColor(this, ToQColor(fColor), FormString(this, "LblTrackColor_text"));
  if (!c) return;
  SetSwatch(FromQColor(*c));
  fLedColor->SetLit(true);
  fSave->setEnabled(true);
}

void TObjEditForm::Save() {
  if (!fClient) return;
  if (!fObject.Alive()) {
    SetStatus(FormString(this, "object_reloaded"));
    return;
  }
  const TObjectEdits e = Edits();
  if (!e.Any()) return;
  if (Trim(e.idText).empty()) {
    FlashField(fId);
    return;
  }
  const TLumHash table = ObjectChangeTable(e);
  if (fObject->uid != 0) {
    if (!fClient->UpdateObject(fObject->uid, table)) {
      SetStatus(FormString(this, "update_error", {fClient->ErrorMessage()}));
      return;
    }
    SetStatus(FormString(this, "object_updated"));
    LampsOff();
    if (fObject.Alive()) ApplyObjectEdits(e, *fObject); // it may have gone during the wait
    accept();
    return;
  }
  const int uid = fClient->CreateObject(table);
  if (uid <= 0) {
    SetStatus(FormString(this, "create_error", {fClient->ErrorMessage()}));
    return;
  }
  SetStatus(FormString(this, "object_created", {uid}));
  LampsOff();
  if (fObject.Alive()) {
    ApplyObjectEdits(e, *fObject);
    fObject->uid = uid;
  }
  accept();
}

bool TObjEditForm::eventFilter(QObject *o, QEvent *e) {
  if (o == fPhoto && e->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent *>(e)->button() == Qt::LeftButton) {
    EditPhoto();
    return true;
  }
  return QDialog::eventFilter(o, e);
}

void TObjEditForm::ClearPhoto() {
  if (!fObject.Alive() || !fClient) return;
  QString error;
  const int done = DeletePhotoAsked(this, *fClient, fObject, error);
  if (done < 0) SetStatus(error);
  if (done <= 0) return;
  ShowPhoto();
}

void TObjEditForm::EditPhoto() {
  if (!fObject.Alive() || fObject->uid < 1) return;
  TObjPhotoForm dlg(this);
  SetWinPosToCursor(&dlg);
  dlg.EditPhoto(fClient, fObject.Get());
  if (!fObject.Alive()) return; // gone while the photo editor was open
  if (!fObject->photo && fObject->has_image && fClient) fClient->GetPhoto(*fObject);
  ShowPhoto();
}

// --- photo editor -------------------------------------------------------------------------------

class TPhotoBoxWidget : public QWidget {
public:
  explicit TPhotoBoxWidget(QWidget *parent) : QWidget(parent) { setObjectName("PhotoBox"); }
  QImage picture;

protected:
  void paintEvent(QPaintEvent *) override {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Dark));
    if (picture.isNull()) return;
    const QSize s = picture.size().scaled(size(), Qt::KeepAspectRatio);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRect(QPoint((width() - s.width()) / 2, (height() - s.height()) / 2), s), picture);
  }
};

TObjPhotoForm::TObjPhotoForm(QWidget *parent) : TSendingDialog(parent) {
  setObjectName("ObjPhotoForm");
  setWindowTitle("Object photo");
  auto *lay = new QVBoxLayout(this);
  fView = new QScrollArea(this);
  fView->setObjectName("PhotoView");
  fView->setFixedSize(402, 402);
  fView->setWidgetResizable(false);
  fView->setAlignment(Qt::AlignCenter);
  // The picture moves by dragging; scroll bars would change the viewport with every zoom.
  fView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  fView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  fBox = new TPhotoBoxWidget(fView);
  fView->setWidget(fBox);
  fView->viewport()->installEventFilter(this);
  fBox->installEventFilter(this);
  lay->addWidget(fView, 0, Qt::AlignCenter);
  lay->addWidget(SendErrorLabel());
  lay->addLayout(ButtonRow(this, {{"ButLoad", "Load", -1, false},
                                  {"ButSave", "Save", -1, true},
                                  {"ButClear", "Clear", -1, false},
                                  {"ButClose", "Close", QDialog::Rejected, false}}));
  fSave = findChild<QPushButton *>("ButSave");
  connect(findChild<QPushButton *>("ButLoad"), &QPushButton::clicked, this, &TObjPhotoForm::Load);
  connect(fSave, &QPushButton::clicked, this, &TObjPhotoForm::Save);
  connect(findChild<QPushButton *>("ButClear"), &QPushButton::clicked, this, &TObjPhotoForm::Clear);
  fTimer = new QTimer(this);
  fTimer->setInterval(20);
  connect(fTimer, &QTimer::timeout, this, &TObjPhotoForm::Tick);
  fClock.start();
  TranslateForm(this);
}

QString TObjPhotoForm::PictureFilter() const {
  // Only what this platform's image plugins can read.
  const QByteArrayList have = QImageReader::supportedImageFormats();
  QStringList patterns;
  for (const char *ext : {"gif", "png", "jpg", "jpeg", "bmp", "ico", "tif", "tiff"})
    if (have.contains(QByteArray(ext))) patterns << QString("*.%1").arg(ext);
  return QString("%1 (%2)").arg(FormString(this, "pictures"), patterns.join(' '));
}

void TObjPhotoForm::Fill(TKelvraClient *cli, TObjectInfo *oi) {
  fClient = cli;
  fObject = TRecordRef<TObjectInfo>(oi);
  fSave->setEnabled(false);
  if (!oi->photo && oi->has_image && cli) cli->GetPhoto(*oi);
  SetPicture(PhotoImage(oi->photo.get()));
  fSave->setEnabled(false);
}

int TObjPhotoForm::EditPhoto(TKelvraClient *cli, TObjectInfo *oi) {
  if (!oi || oi->uid == 0) return QDialog::Rejected;
  Fill(cli, oi);
  return Prompt::Exec(this);
}

bool TObjPhotoForm::LoadFile(const QString &file) {
  QImageReader reader(file);
  reader.setAutoTransform(true);
  const QImage img = reader.read();
  if (img.isNull() || img.width() <= 0 || img.height() <= 0) return false;
  SetPicture(img);
  fSave->setEnabled(true);
  return true;
}

void TObjPhotoForm::Load() {
  const QString file = Prompt::OpenFileName(this, FormString(this, "ButLoad_text"), Q(HomeDir),
                                            PictureFilter());
  if (file.isEmpty()) return;
  if (!LoadFile(file))
    Prompt::Message(this, QMessageBox::Warning, FormString(this, "edit_photo"),
                    FormString(this, "save_photo_error", {"X: " + file.toStdString()}));
}

void TObjPhotoForm::SetPicture(const QImage &img) {
  fPicture = img;
  fBox->picture = img;
  if (img.isNull()) {
    fBox->resize(ViewSize());
    fBox->update();
    return;
  }
  fScale = 0;
  ScalePhoto(0);
  CentrePhoto();
}

QSize TObjPhotoForm::BoxSize() const { return fBox->size(); }

void TObjPhotoForm::ScalePhoto(double x) {
  if (fPicture.isNull()) return;
  const QSize vp = ViewSize();
  const TPhotoBox b = ScalePhotoBox(fPicture.width(), fPicture.height(), vp.width(), vp.height(), x);
  const QSize old = fBox->size();
  fScale = b.Scale;
  fBox->resize(b.Width, b.Height);
  if (std::abs(b.Scale - MinPhotoScale(fPicture.width(), vp.width())) > 0.001) {
    QScrollBar *h = fView->horizontalScrollBar(), *v = fView->verticalScrollBar();
    h->setValue(h->value() + (b.Width - old.width()) / 2);
    v->setValue(v->value() + (b.Height - old.height()) / 2);
  }
  fBox->update();
}

QSize TObjPhotoForm::ViewSize() const { return fView->maximumViewportSize(); }

void TObjPhotoForm::CentrePhoto() {
  const QSize vp = ViewSize();
  fView->horizontalScrollBar()->setValue((fBox->width() - vp.width()) / 2);
  fView->verticalScrollBar()->setValue((fBox->height() - vp.height()) / 2);
}

bool TObjPhotoForm::eventFilter(QObject *o, QEvent *e) {
  if (o == fView->viewport() && e->type() == QEvent::Wheel) {
    const auto *w = static_cast<QWheelEvent *>(e);
    const int steps = w->angleDelta().y() / 120;
    if (steps != 0 && !fPicture.isNull()) ScalePhoto(fScale + 0.05 * steps);
    return true;
  }
  if ((o == fView->viewport() || o == fBox) && !fPicture.isNull()) {
    QScrollBar *h = fView->horizontalScrollBar(), *v = fView->verticalScrollBar();
    if (e->type() == QEvent::MouseButtonPress) {
      const auto *m = static_cast<QMouseEvent *>(e);
      if (m->button() != Qt::LeftButton) return false;
      fDragging = true;
      fView->viewport()->setCursor(Qt::ClosedHandCursor);
      const QPointF inBox = fBox->mapFrom(fView->viewport(), fView->viewport()->mapFromGlobal(m->globalPosition().toPoint()));
      fPressAt = inBox / fScale;
      fPrevScroll = QPoint(h->value(), v->value());
      fPrevMs = fClock.elapsed();
      fVx = fVy = 0;
      fTimer->start();
      return true;
    }
    if (e->type() == QEvent::MouseMove && fDragging) {
      const auto *m = static_cast<QMouseEvent *>(e);
      const QPoint inView = fView->viewport()->mapFromGlobal(m->globalPosition().toPoint());
      // The pressed point of the picture stays under the pointer.
      h->setValue(static_cast<int>(std::lround(fPressAt.x() * fScale - inView.x())));
      v->setValue(static_cast<int>(std::lround(fPressAt.y() * fScale - inView.y())));
      return true;
    }
    if (e->type() == QEvent::MouseButtonRelease && fDragging) {
      fDragging = false;
      fView->viewport()->unsetCursor();
      return true;
    }
  }
  return QDialog::eventFilter(o, e);
}

void TObjPhotoForm::Tick() {
  QScrollBar *h = fView->horizontalScrollBar(), *v = fView->verticalScrollBar();
  const qint64 now = fClock.elapsed();
  const qint64 dt = now - fPrevMs;
  fPrevMs = now;
  if (fDragging) {
    const double ms = dt > 0 ? static_cast<double>(dt) : 1.0;
    fVx = (h->value() - fPrevScroll.x()) / ms;
    fVy = (v->value() - fPrevScroll.y()) / ms;
    fPrevScroll = QPoint(h->value(), v->value());
    return;
  }
  h->setValue(h->value() + static_cast<int>(std::lround(fVx * dt)));
  v->setValue(v->value() + static_cast<int>(std::lround(fVy * dt)));
  fVx *= kPhotoFriction;
  fVy *= kPhotoFriction;
  if (std::abs(fVx) < kPhotoStopSpeed && std::abs(fVy) < kPhotoStopSpeed) fTimer->stop();
}

QImage TObjPhotoForm::FramedPhoto() const {
  if (fPicture.isNull()) return {};
  const QPoint boxAt = fBox->pos(); // relative to the viewport, zero or negative when scrolled
  const QSize vp = ViewSize();
  const TPhotoSquare s = PhotoSquare(fPicture.width(), fPicture.height(), fBox->width(),
                                     fBox->height(), vp.width(), vp.height(), boxAt.x(), boxAt.y());
  return fPicture.copy(s.Left, s.Top, s.Side, s.Side)
      .convertToFormat(QImage::Format_ARGB32)
      .scaled(500, 500, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void TObjPhotoForm::Save() {
  if (!fObject.Alive() || !fClient || fPicture.isNull()) return;
  const QImage framed = FramedPhoto();
  // The picture goes up from a file of its own; the photo cache gets it only once the service
  // took it, so that a refused upload never shows as the object's photo later.
  QTemporaryFile upload(QDir::tempPath() + "/kelvra-photo-XXXXXX.png");
  if (!upload.open() || !framed.save(&upload, "PNG") || !upload.flush()) {
    ShowSendError(FormString(this, "save_photo_error", {"X: " + upload.fileName().toStdString()}));
    return;
  }
  if (!fClient->PostPhoto(fObject->uid, upload.fileName().toStdString())) {
    ShowSendError(FormString(this, "save_photo_error", {fClient->ErrorMessage()}));
    return;
  }
  // Accepted: the cache keeps it (one that cannot be written only costs a download at the next run).
  const std::string file = fClient->PhotoDir() + std::to_string(fObject.Uid()) + ".png";
  QDir().mkpath(Q(fClient->PhotoDir()));
  framed.save(Q(file), "PNG");
  if (!fObject.Alive()) { // gone during the upload: the next load brings the photo
    accept();
    return;
  }
  fObject->photo = BitmapOf(framed);
  fObject->has_image = true;
  fObject->ClearIcon(); // the map makes a new thumbnail
  accept();
}

void TObjPhotoForm::Clear() {
  if (!fObject.Alive() || !fClient) return;
  QString error;
  const int done = DeletePhotoAsked(this, *fClient, fObject, error);
  if (done < 0) Prompt::Message(this, QMessageBox::Warning, FormString(this, "delete_photo"), error);
  if (done <= 0) return;
  SetPicture(QImage());
  accept();
}

// --- object information ---------------------------------------------------------------------------

TObjInfoForm::TObjInfoForm(QWidget *parent) : TInfoRowsForm("ObjInfoForm", parent) {}

void TObjInfoForm::ShowObjInfo(const TObjectInfo *oi, TDateTime now) {
  std::vector<TObjectInfoRow> rows = oi ? ObjectInfoRows(*oi, UserLevel, now) : std::vector<TObjectInfoRow>{};
  std::vector<TInfoRow> plain;
  for (const TObjectInfoRow &r : rows)
    plain.push_back(r.Row);
  SetRows(std::move(plain));
  for (size_t i = 0; i < rows.size(); ++i)
    if (rows[i].Sensor)
      fItems->item(static_cast<int>(i), 1)->setToolTip(Q(DateCell(rows[i].Sensor->obj_dt)));
  SetWinPosToCursor(this);
  show();
  activateWindow();
}

} // namespace kelvra
