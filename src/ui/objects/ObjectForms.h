#pragma once
// The windows around one object: the editor (create or change, with change lamps, a colour
// chooser, friendly users and the photo), the photo editor (load, zoom with the wheel, drag with
// momentum, 500 x 500 PNG upload, clear) and the small information window.

#include <QDialog>
#include <QElapsedTimer>
#include <QImage>
#include <QPointF>
#include <memory>

#include "core/client/client.h"
#include "core/model/ObjectRows.h"
#include "core/model/PhotoFrame.h"
#include "ui/widgets/DialogParts.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QTimer;
class QToolButton;

namespace kelvra {

class TLumLed;

// The object's photo as a picture of its own (an empty one without a photo).
QImage PhotoImage(const TBitmap32 *bmp);
// A picture as the core's premultiplied bitmap.
std::unique_ptr<TBitmap32> BitmapOf(const QImage &img);

class TObjEditForm : public QDialog {
  Q_OBJECT
public:
  explicit TObjEditForm(QWidget *parent = nullptr);
  // Shows the editor for oi (in the client's cache, or a new record of the caller); OK when it was
  // saved; the object changes only once the service accepted, so Cancel leaves it as it is. When
  // the record goes while the window is open (a reload, a sign-out), nothing is applied to it and
  // the window says so.
  int EditObject(TKelvraClient *cli, TObjectInfo *oi);
  // Fills the window (EditObject does it before showing).
  void Fill(TKelvraClient *cli, TObjectInfo *oi);
  // The Save button: sends the lit fields and closes with OK when the service took them.
  void Save();
  void ChooseColor();
  void ClearPhoto();
  void EditPhoto();
  QString Status() const;
  TObjectEdits Edits() const;

protected:
  bool eventFilter(QObject *o, QEvent *e) override;

private:
  void SetStatus(const QString &text);
  void ShowPhoto();
  void LampsOff();
  void SetSwatch(uint32_t color);

  TKelvraClient *fClient = nullptr;       // not owned
  TRecordRef<TObjectInfo> fObject;        // the client's record (or the caller's new one)
  uint32_t fColor = 0;
  bool fFilling = false;
  QLineEdit *fId, *fName, *fUsers;
  QToolButton *fSwatch, *fUsersHint;
  QLabel *fPhoto, *fStatus;
  QPushButton *fSave, *fClearPhoto;
  TLumLed *fLedId, *fLedName, *fLedColor, *fLedUsers;
};

// The viewport's picture, drawn in proportion inside its box.
class TPhotoBoxWidget;

class TObjPhotoForm : public TSendingDialog {
  Q_OBJECT
public:
  explicit TObjPhotoForm(QWidget *parent = nullptr);
  int EditPhoto(TKelvraClient *cli, TObjectInfo *oi);
  void Fill(TKelvraClient *cli, TObjectInfo *oi);
  // Loads a picture file; false when it cannot be read.
  bool LoadFile(const QString &file);
  void Load();
  void SetPicture(const QImage &img);
  void ScalePhoto(double x);
  void CentrePhoto();
  // The 500 x 500 square as it would be uploaded.
  QImage FramedPhoto() const;
  void Save();
  void Clear();
  double Scale() const { return fScale; }
  QSize BoxSize() const;
  QScrollArea *View() const { return fView; }
  // The filter of the file chooser: the picture formats this platform can read.
  QString PictureFilter() const;

protected:
  bool eventFilter(QObject *o, QEvent *e) override;

private:
  void Tick();
  // The viewport's size, also before the window is shown.
  QSize ViewSize() const;

  TKelvraClient *fClient = nullptr; // not owned
  TRecordRef<TObjectInfo> fObject;  // the client's record
  QImage fPicture;
  double fScale = 1;
  QScrollArea *fView;
  TPhotoBoxWidget *fBox;
  QPushButton *fSave;
  QTimer *fTimer;
  // Dragging with momentum.
  bool fDragging = false;
  QPointF fPressAt; // in picture pixels
  QPoint fPrevScroll;
  qint64 fPrevMs = 0;
  double fVx = 0, fVy = 0;
  QElapsedTimer fClock;
};

class TObjInfoForm : public TInfoRowsForm {
  Q_OBJECT
public:
  explicit TObjInfoForm(QWidget *parent = nullptr);
  // Fills and shows the window (not modal) at the mouse cursor; it goes when it loses the focus.
  // now is the service's display clock.
  void ShowObjInfo(const TObjectInfo *oi, TDateTime now);
};

} // namespace kelvra
