#include <QApplication>
#include <QIcon>

#include "app/kelvor_tester_form.h"
#include "app/port_probe.h"
#include "ctrllib/dynamic_kelvor.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(kAppTitle));
  // The installed menu entry and icon carry the program's name; where none is installed the
  // window keeps Qt's default icon.
  QApplication::setDesktopFileName(QStringLiteral(KELVOR_DESKTOP_ID));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(KELVOR_DESKTOP_ID)));
  QtMessageSink messages;
  DynamicKelvor library(messages);
  DevicePortProber ports;
  KelvorTesterForm form(library, messages, ports);
  messages.setParent(&form);
  form.Form_Load();
  form.show();
  return QApplication::exec();
}
