#include <QtTest>

#include "UiTests.h"
#include "ui/widgets/Prompt.h"

using namespace kelvra;

class PromptTest : public QObject {
  Q_OBJECT
private slots:
  void scriptedAnswersInOrder() {
    Prompt::StartScript({int(QMessageBox::Yes), QString("/tmp/a.csv"), QColor(Qt::red)});
    QCOMPARE(Prompt::Message(nullptr, QMessageBox::Question, "Delete", "Sure?",
                             QMessageBox::Yes | QMessageBox::No),
             QMessageBox::Yes);
    QCOMPARE(Prompt::SaveFileName(nullptr, "Save", "x.csv", "CSV (*.csv)"), QString("/tmp/a.csv"));
    auto c = Prompt::ChooseColor(nullptr, Qt::blue, "Colour");
    QVERIFY(c.has_value());
    QCOMPARE(*c, QColor(Qt::red));
    // An exhausted script answers as cancelled instead of blocking.
    QCOMPARE(Prompt::OpenFileName(nullptr, "Open", "", "*.txt"), QString());
    QCOMPARE(Prompt::Message(nullptr, QMessageBox::Warning, "W", "t"), QMessageBox::NoButton);
    QCOMPARE(Prompt::Asked().size(), size_t(5));
    QCOMPARE(Prompt::Asked()[0].text, QString("Sure?"));
    QCOMPARE(Prompt::Asked()[2].kind, Prompt::TKind::Color);
    Prompt::StopScript();
    QVERIFY(!Prompt::Scripted());
  }
};

KELVRA_UI_TEST(PromptTest)
#include "PromptTest.moc"
