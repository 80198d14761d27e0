#include "ui/zones/ZoneEditForm.h"

#include "ui/widgets/BusyRunner.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "core/util/LumSmallUtils.h"
#include "core/util/LumStrings.h"
#include "ui/widgets/BusyRunner.h"
#include "ui/widgets/Prompt.h"
#include "ui/widgets/TranslateForm.h"
#include "ui/widgets/QtConvert.h"

namespace kelvra {

namespace {


QLabel *Buddy(QWidget *parent, QWidget *edit, const char *text) {
  auto *l = new QLabel(text, parent);
  l->setBuddy(edit);
  return l;
}

} // namespace

TZoneEditForm::TZoneEditForm(QWidget *parent) : QDialog(parent) {
  setObjectName("ZoneEditForm");
  setWindowTitle("GeoZone Info");
  setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);
  fClock.start();

  auto *form = new QFormLayout;
  EdName = NamedEdit(this, "EdName");
  form->addRow(Buddy(this, EdName, "Name:"), EdName);
  CbType = new QComboBox(this);
  CbType->setObjectName("CbType");
  CbType->addItems({"Circle", "Polygon"});
  auto *lblType = new QLabel("Type:", this);
  lblType->setObjectName("LblType");
  form->addRow(lblType, CbType);
  EdColor = NamedEdit(this, "EdColor");
  EdColor->setReadOnly(true);
  EdColor->installEventFilter(this);
  auto *lblColor = new QLabel("Color:", this);
  lblColor->setObjectName("LblColor");
  form->addRow(lblColor, EdColor);

  Pages = new QTabWidget(this);
  Pages->setObjectName("Pages");
  auto *circle = new QWidget;
  circle->setObjectName("PageCircle");
  auto *cf = new QFormLayout(circle);
  EdCenter = NamedEdit(circle, "EdCenter");
  EdRadius = NamedEdit(circle, "EdRadius");
  LblRadius = Buddy(circle, EdRadius, "Radius, m:");
  cf->addRow(Buddy(circle, EdCenter, "Center coord:"), EdCenter);
  cf->addRow(LblRadius, EdRadius);
  auto *poly = new QWidget;
  poly->setObjectName("PagePolygon");
  auto *pl = new QVBoxLayout(poly);
  pl->setContentsMargins(2, 2, 2, 2);
  NodesList = new QListWidget(poly);
  NodesList->setObjectName("NodesList");
  NodesList->installEventFilter(this);
  pl->addWidget(NodesList);
  Pages->addTab(circle, "Circle");
  Pages->addTab(poly, "Polygon");

  auto *info = new QFormLayout;
  EdCenterInfo = NamedEdit(this, "EdCenterInfo");
  EdTopLeft = NamedEdit(this, "EdTopLeft");
  EdBottomRight = NamedEdit(this, "EdBottomRight");
  EdPerimeter = NamedEdit(this, "EdPerimeter");
  EdArea = NamedEdit(this, "EdArea");
  LblPerimeter = Buddy(this, EdPerimeter, "Perimeter, m:");
  LblArea = Buddy(this, EdArea, "Area, m2:");
  info->addRow(Buddy(this, EdCenterInfo, "Center coord:"), EdCenterInfo);
  info->addRow(Buddy(this, EdTopLeft, "Top-Left coord:"), EdTopLeft);
  info->addRow(Buddy(this, EdBottomRight, "Bottom-Right coord:"), EdBottomRight);
  info->addRow(LblPerimeter, EdPerimeter);
  info->addRow(LblArea, EdArea);
  for (QLineEdit *e : {EdCenterInfo, EdTopLeft, EdBottomRight, EdPerimeter, EdArea})
    e->setReadOnly(true);

  ButSave = new QPushButton("Save", this);
  ButSave->setObjectName("ButSave");
  ButSave->setDefault(true);
  ButCancel = new QPushButton("Cancel", this);
  ButCancel->setObjectName("ButCancel");
  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ButSave);
  buttons->addWidget(ButCancel);

  auto *lay = new QVBoxLayout(this);
  lay->addLayout(form);
  lay->addWidget(Pages, 1);
  lay->addLayout(info);
  lay->addLayout(buttons);
  resize(320, 460);

  UpdateTimer = new QTimer(this);
  UpdateTimer->setObjectName("UpdateTimer");
  UpdateTimer->setInterval(1000);
  connect(UpdateTimer, &QTimer::timeout, this, &TZoneEditForm::FlushUpdates);

  connect(EdName, &QLineEdit::textChanged, this, &TZoneEditForm::OnName);
  connect(EdCenter, &QLineEdit::textChanged, this, &TZoneEditForm::OnCenter);
  connect(EdRadius, &QLineEdit::textChanged, this, &TZoneEditForm::OnRadius);
  connect(CbType, &QComboBox::currentIndexChanged, this, &TZoneEditForm::OnType);
  connect(ButSave, &QPushButton::clicked, this, &TZoneEditForm::Save);
  connect(ButCancel, &QPushButton::clicked, this, &TZoneEditForm::Cancel);

  TranslateForm(this);
}

TZoneEditForm::~TZoneEditForm() = default;

void TZoneEditForm::ShowZone(TZoneInfo *zi) {
  fZone = TRecordRef<TZoneInfo>(zi);
  if (!zi) return;
  fBackupZi = std::make_unique<TZoneInfo>(*zi);
  if (zi->uid == 0)
    setWindowTitle(FormString(this, "create_zone"));
  else
    setWindowTitle(FormString(this, zi->edited ? "edit_zone" : "zone_info", {zi->uid}));
  UpdateZone("");
  UpdateTimer->start();
  show();
}

void TZoneEditForm::SetColorBox(uint32_t color) {
  QPalette p = EdColor->palette();
  p.setColor(QPalette::Base, ToQColor(color));
  p.setColor(QPalette::Text, ToQColor(color));
  EdColor->setPalette(p);
  EdColor->setText(Q(color2web(color)));
}

void TZoneEditForm::UpdateZone(const std::string &src) {
  TZoneInfo *zi = Zi();
  if (!zi) return;
  fUpdLocked = true;
  if (src != "name") EdName->setText(Q(zi->name));
  SetColorBox(zi->color);
  CbType->setCurrentIndex(zi->type_id - 1);
  const bool ed = zi->edited;
  for (QWidget *w : {static_cast<QWidget *>(EdName), static_cast<QWidget *>(EdColor),
                     static_cast<QWidget *>(CbType), static_cast<QWidget *>(EdCenter),
                     static_cast<QWidget *>(EdRadius), static_cast<QWidget *>(ButSave)})
    w->setEnabled(ed);
  const bool circle = zi->type_id == kZoneCircle;
  Pages->setTabVisible(0, circle);
  Pages->setTabVisible(1, !circle);
  Pages->setCurrentIndex(circle ? 0 : 1);
  // Typed and shown in the program's units and coordinate form; kept in metres and degrees.
  LblRadius->setText(FormString(this, "zone_radius", {DisplayUnits().ShortUnit()}));
  if (circle) {
    if (src != "center") EdCenter->setText(Q(ShownLatLon(zi->geom.center)));
    if (src != "radius") EdRadius->setText(Q(ShownRadius(*zi)));
  } else {
    const int row = NodesList->currentRow();
    NodesList->clear();
    for (const TGeoPoint &n : zi->geom.nodes)
      NodesList->addItem(Q(ShownLatLon(n)));
    if (row >= 0 && row < NodesList->count()) NodesList->setCurrentRow(row);
  }
  EdTopLeft->setText(Q(ShownLatLon(zi->rect.TopLeft)));
  EdBottomRight->setText(Q(ShownLatLon(zi->rect.BottomRight)));
  EdCenterInfo->setText(Q(ShownLatLon(zi->geom.center)));
  const TMeasure per = PerimeterMeasure(zi->perimeter);
  LblPerimeter->setText(FormString(this, "zone_perimeter", {per.unit}));
  EdPerimeter->setText(Q(f2s(per.value, 2)));
  const TMeasure area = AreaMeasure(zi->area);
  LblArea->setText(FormString(this, "zone_area", {area.unit}));
  EdArea->setText(Q(f2s(area.value, 2)));
  fUpdLocked = false;
}

void TZoneEditForm::UpdateCmd(const std::string &key, const std::string &value) {
  fUpdates.Put(key, value, fClock.elapsed());
}

bool TZoneEditForm::UpdatesDue() const { return fUpdates.Due(fClock.elapsed()); }

void TZoneEditForm::FlushUpdates() {
  // A tick that comes while the window waits for the service (a save, a reload of the zones on a
  // worker) leaves the edits for the next one: the command would touch the zone and its list
  // while the worker reads or replaces them, and a timer never nests a wait of its own.
  if (BusyRunning() || !UpdatesDue()) return;
  const auto pending = fUpdates.Take();
  if (fUpdLocked || !Zi() || !Zi()->edited || !CmdCallback) return;
  for (const auto &[key, value] : pending)
    CmdCallback(this, "update", "zone", {key, value});
}

void TZoneEditForm::OnName() {
  if (fUpdLocked || !Zi() || !Zi()->edited) return;
  const std::string name = Trim(EdName->text().toStdString());
  if (name.empty()) return;
  Zi()->name = name;
  UpdateCmd("name", name);
}

void TZoneEditForm::OnType(int index) {
  if (fUpdLocked || !Zi() || !Zi()->edited) return;
  if (!SetZoneType(*Zi(), index + 1)) {
    UpdateZone(""); // the list shows the type the zone kept
    return;
  }
  UpdateZone("");
  UpdateCmd("type", std::to_string(Zi()->type_id));
}

void TZoneEditForm::OnCenter() {
  if (fUpdLocked || !Zi() || !Zi()->edited) return;
  const std::string text = EdCenter->text().toStdString();
  if (!SetZoneCenter(*Zi(), text)) return;
  UpdateZone("center");
  UpdateCmd("center", ZoneCenterValue(*Zi())); // the service takes decimal degrees
}

void TZoneEditForm::OnRadius() {
  if (fUpdLocked || !Zi() || !Zi()->edited) return;
  if (!SetZoneRadius(*Zi(), EdRadius->text().toStdString())) return;
  UpdateZone("radius");
  UpdateCmd("radius", f2s(Zi()->geom.radius, 2)); // metres
}

void TZoneEditForm::OnColor() {
  if (!Zi() || !Zi()->edited) return;
  const auto c = Prompt::ChooseColor(this, ToQColor(Zi()->color), windowTitle());
  if (!c) return;
  Zi()->color = FromQColor(*c);
  SetColorBox(Zi()->color);
  UpdateCmd("color", std::to_string(Zi()->color));
}

void TZoneEditForm::OnNodeKey(int key) {
  if (!Zi() || !Zi()->edited || Zi()->type_id != kZonePolygon) return;
  const int i = NodesList->currentRow();
  if (key == Qt::Key_Insert) {
    if (!InsertZoneNode(*Zi(), i)) return;
    UpdateZone("");
    NodesList->setCurrentRow(i);
    UpdateCmd("node", "ins " + std::to_string(i));
  } else if (key == Qt::Key_Delete) {
    if (!DeleteZoneNode(*Zi(), i)) return;
    UpdateZone("");
    NodesList->setCurrentRow(std::min(i, NodesList->count() - 1));
    UpdateCmd("node", "del " + std::to_string(i));
  }
}

bool TZoneEditForm::eventFilter(QObject *o, QEvent *e) {
  if (o == NodesList && e->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent *>(e)->key();
    if (key == Qt::Key_Insert || key == Qt::Key_Delete) {
      OnNodeKey(key);
      return true;
    }
  } else if (o == EdColor && e->type() == QEvent::MouseButtonPress) {
    OnColor();
    return true;
  }
  return QDialog::eventFilter(o, e);
}

void TZoneEditForm::Save() {
  if (!Zi()) return;
  fUpdates.Clear(); // the whole zone is saved
  Zi()->edited = false;
  const int r = CmdCallback ? CmdCallback(this, "save", "zone", {}) : -1;
  if (r > 0) {
    fClosing = true;
    close();
    return;
  }
  // Refused: the zone stays in edit mode so that it can be put right and saved again.
  if (Zi()) Zi()->edited = true;
}

void TZoneEditForm::Cancel() {
  if (fClosing) return;
  CancelEdits();
  close();
}

void TZoneEditForm::CancelEdits() {
  fClosing = true;
  fUpdates.Clear();
  if (Zi()) {
    if (fBackupZi) Zi()->Assign(*fBackupZi);
    Zi()->edited = false;
    // The zone may be freed by the answer (a new one that was never saved).
    if (CmdCallback) CmdCallback(this, "cancel", "zone", {});
    fZone = {};
  }
}

void TZoneEditForm::DropZone() {
  fZone = {};
  fClosing = true;
  fUpdates.Clear();
  close();
}

void TZoneEditForm::reject() { Cancel(); }

void TZoneEditForm::closeEvent(QCloseEvent *e) {
  // The close box is Cancel: the zone never stays half edited on the map.
  if (!fClosing) CancelEdits();
  UpdateTimer->stop();
  // Not QDialog's: it would call reject() again and keep the window open.
  e->accept();
}

} // namespace kelvra
