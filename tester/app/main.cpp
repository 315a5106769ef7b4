#include <QApplication>

#include "app/tester_program.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(kAppTitle));
  TesterProgram program;
  program.form.show();
  return QApplication::exec();
}
