#include <QApplication>

#include "app/kelvor_tester_form.h"
#include "app/port_probe.h"
#include "ctrllib/dynamic_kelvor.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(kAppTitle));
  QtMessageSink messages;
  DynamicKelvor library(messages);
  DevicePortProber ports;
  KelvorTesterForm form(library, messages, ports);
  messages.setParent(&form);
  form.Form_Load();
  form.show();
  return QApplication::exec();
}
