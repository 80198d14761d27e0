#include <QtTest>

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "UiTests.h"
#include "core/app/Common.h"
#include "support/TempDir.h"
#include "support/TestText.h"
#include "ui/widgets/TranslateForm.h"

using namespace kelvra;
using kelvra::test::kBom;

namespace {


template <class T> T *Make(QWidget *parent, const char *name) {
  auto *w = new T(parent);
  w->setObjectName(name);
  return w;
}

// A window with one control of every kind the translation knows, all below containers.
struct TTestWin {
  QMainWindow win;
  QLabel *label, *editLabel;
  QPushButton *button;
  QTreeWidget *list;
  QComboBox *combo;
  QLineEdit *edit;
  QTabWidget *tabs;
  QWidget *page1, *page2;
  QLabel *onPage;
  QAction *menuFile, *itemOpen, *toolAction;
  QGroupBox *group;

  TTestWin() {
    win.setObjectName("TestWin");
    win.setWindowTitle("Designed title");
    auto *central = Make<QWidget>(&win, "Central");
    win.setCentralWidget(central);
    auto *lay = new QVBoxLayout(central);
    group = Make<QGroupBox>(central, "GbMain");
    lay->addWidget(group);
    auto *glay = new QVBoxLayout(group);
    glay->addWidget(label = Make<QLabel>(group, "LblInfo"));
    glay->addWidget(button = Make<QPushButton>(group, "ButGo"));
    button->setText("Go");
    glay->addWidget(editLabel = Make<QLabel>(group, "LblEdit"));
    glay->addWidget(edit = Make<QLineEdit>(group, "EdName"));
    editLabel->setBuddy(edit);
    glay->addWidget(combo = Make<QComboBox>(group, "CbKind"));
    combo->addItems({"one", "two"});
    glay->addWidget(list = Make<QTreeWidget>(group, "ObjList"));
    list->setColumnCount(4);
    list->setHeaderLabels({"c0", "c1", "c2", "c3"});
    auto *popupItem = new QAction("popup", list);
    popupItem->setObjectName("PopupDelete");
    list->addAction(popupItem);
    tabs = Make<QTabWidget>(central, "Pages");
    lay->addWidget(tabs);
    tabs->addTab(page1 = Make<QWidget>(tabs, "TabAlarms"), "alarms");
    tabs->addTab(page2 = Make<QWidget>(tabs, "TabLog"), "log");
    onPage = Make<QLabel>(page2, "LblOnPage");
    QMenu *file = win.menuBar()->addMenu("file");
    menuFile = file->menuAction();
    menuFile->setObjectName("MenuFile");
    itemOpen = file->addAction("open");
    itemOpen->setObjectName("MenuOpen");
    QToolBar *bar = win.addToolBar("tools");
    toolAction = bar->addAction("tool");
    toolAction->setObjectName("SbTool");
  }
};

} // namespace

class TranslateFormTest : public QObject {
  Q_OBJECT
  test::TTempDir fDir;
  TTranslation fTr;

  void LoadWindow(const std::string &section) {
    const std::string lang = fDir.Write("lang.txt", kBom +
                                                        "[Info]\nlang=Test\n[Strings]\n"
                                                        "LblOnPage_text=from Strings\n"
                                                        "ButGo_text=shared go\n" +
                                                        section);
    fTr.Load(lang);
  }

private slots:
  void initTestCase() {
    const std::string defaults =
        fDir.Write("defaults.txt", kBom + "[Info]\nlang=Defaults\n[TestWin]\n"
                                          "LblEdit_text=default label\n");
    fTr.LoadDefaults(defaults);
  }

  void appliesEveryKindOfKey() {
    LoadWindow("[TestWin]\nCaption=Translated title\n"
               "GbMain_text=Group\n"
               "LblInfo_text=Info text\nLblInfo_hint=Info hint\n"
               "ButGo_text=Window go\n"
               "EdName_label=Name:\nEdName_texthint=type a name\n"
               "CbKind_items=alpha|beta|gamma\nCbKind_texthint=choose\n"
               "ObjList_columns=Object||Third\n"
               "PopupDelete_text=Delete\n"
               "TabLog_text=Log page\nTabLog_hint=the log\n"
               "MenuFile_text=File\nMenuOpen_text=Open\nMenuOpen_hint=Open a file\n"
               "SbTool_hint=A tool\n");
    TTestWin w;
    TranslateForm(&w.win, &fTr);
    QCOMPARE(w.win.windowTitle(), QString("Translated title"));
    QCOMPARE(w.group->title(), QString("Group"));
    QCOMPARE(w.label->text(), QString("Info text"));
    QCOMPARE(w.label->toolTip(), QString("Info hint"));
    QCOMPARE(w.button->text(), QString("Window go")); // the window's section wins over Strings
    QCOMPARE(w.editLabel->text(), QString("Name:"));  // the label of the labelled edit
    QCOMPARE(w.edit->placeholderText(), QString("type a name"));
    QCOMPARE(w.combo->count(), 3);
    QCOMPARE(w.combo->itemText(2), QString("gamma"));
    QCOMPARE(w.combo->placeholderText(), QString("choose"));
    // Fewer pieces than columns leave the rest; an empty piece leaves its column.
    QTreeWidgetItem *h = w.list->headerItem();
    QCOMPARE(h->text(0), QString("Object"));
    QCOMPARE(h->text(1), QString("c1"));
    QCOMPARE(h->text(2), QString("Third"));
    QCOMPARE(h->text(3), QString("c3"));
    QCOMPARE(w.list->actions().at(0)->text(), QString("Delete"));
    QCOMPARE(w.tabs->tabText(0), QString("alarms"));
    QCOMPARE(w.tabs->tabText(1), QString("Log page"));
    QCOMPARE(w.page2->toolTip(), QString("the log"));
    QCOMPARE(w.onPage->text(), QString("from Strings")); // reached through the page
    QCOMPARE(w.menuFile->text(), QString("File"));
    QCOMPARE(w.itemOpen->text(), QString("Open"));
    QCOMPARE(w.itemOpen->toolTip(), QString("Open a file"));
    QCOMPARE(w.toolAction->toolTip(), QString("A tool"));
  }

  void missingKeysLeaveTheDesign() {
    LoadWindow("[OtherWin]\nLblInfo_text=not mine\n");
    TTestWin w;
    w.label->setText("designed");
    TranslateForm(&w.win, &fTr);
    QCOMPARE(w.win.windowTitle(), QString("Designed title"));
    QCOMPARE(w.label->text(), QString("designed"));
    QCOMPARE(w.button->text(), QString("shared go"));        // from "Strings"
    QCOMPARE(w.editLabel->text(), QString("default label")); // from the defaults' section
    QCOMPARE(w.combo->count(), 2);
    QCOMPARE(w.list->headerItem()->text(0), QString("c0"));
  }

  void controlTextIsCutTo255Characters() {
    const std::string longText = std::string(300, 'x');
    const std::string longCyrillic = [] {
      std::string s;
      for (int i = 0; i < 300; ++i)
        s += "ж";
      return s;
    }();
    LoadWindow("[TestWin]\nLblInfo_text=" + longText + "\nButGo_text=" + longCyrillic +
               "\nMenuOpen_text=" + longText + "\n");
    TTestWin w;
    TranslateForm(&w.win, &fTr);
    QCOMPARE(w.label->text().size(), 255);
    QCOMPARE(w.button->text(), QString(255, QChar(0x436)));
    QCOMPARE(w.itemOpen->text().size(), 300); // menu items are not cut
  }

  // The windows' own lookups use the program's translation and never end the program.
  void windowLookupsAreLenient() {
    const std::string lang = fDir.Write("wrap.txt", kBom + "[Info]\nlang=Test\n[Strings]\n"
                                                           "hello=Hello, %s!\n[TestWin]\n"
                                                           "hello=Hi, %s!\n");
    Translation = std::make_unique<TTranslation>();
    Translation->Load(lang);
    QWidget win, other;
    win.setObjectName("TestWin");
    other.setObjectName("OtherWin");
    QCOMPARE(FormString(&win, "hello", {"Ann"}), QString("Hi, Ann!"));
    QCOMPARE(FormString(&other, "hello", {"Ann"}), QString("Hello, Ann!"));
    QCOMPARE(FormString(&win, "no_such_key"), QString());
    Translation.reset();
    QCOMPARE(FormString(&win, "hello"), QString());
  }

  void windowNameFallsBackToTheClassName() {
    QLabel plain;
    QCOMPARE(FormName(&plain), QString("QLabel"));
    plain.setObjectName("LoginForm");
    QCOMPARE(FormName(&plain), QString("LoginForm"));
  }
};

KELVRA_UI_TEST(TranslateFormTest)
#include "TranslateFormTest.moc"
