#include <QApplication>
#include <QLabel>

#include "core/util/Version.h"

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("KELVRA");
  QLabel win(QString("Kelvra Monitor %1").arg(kelvra::ProgramVersion()));
  win.setWindowTitle("Kelvra Monitor");
  win.resize(640, 400);
  win.show();
  return app.exec();
}
