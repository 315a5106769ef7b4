// The program's window with what it needs, set up as kelvor-tester starts it (the port probe
// included) but not yet shown. It lives as long as the event loop runs.
#pragma once

#include <QApplication>

#include "app/kelvor_tester_form.h"
#include "app/port_probe.h"
#include "ctrllib/dynamic_kelvor.h"

struct TesterProgram {
  QtMessageSink messages;
  DynamicKelvor library{messages};
  DevicePortProber ports;
  KelvorTesterForm form{library, messages, ports};

  TesterProgram() {
    messages.setParent(&form);
    form.Form_Load();
  }
};
