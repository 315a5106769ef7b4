#include <QApplication>
#include <QIcon>

#include "app/tester_program.h"

int main(int argc, char* argv[]) {
  FontConfigLoader fonts;  // first: the font configuration loads while the rest starts
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(kAppTitle));
  // The installed menu entry and icon carry the program's name; where none is installed the
  // window keeps Qt's default icon.
  QApplication::setDesktopFileName(QStringLiteral(KELVOR_DESKTOP_ID));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(KELVOR_DESKTOP_ID)));
  TesterProgram program(fonts);
  program.form.show();
  return QApplication::exec();
}
