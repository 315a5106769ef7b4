// The program's window with what it needs, set up as kelvor-tester starts it (the port probe
// included) but not yet shown. It lives as long as the event loop runs; fonts is the loader
// the program started before its application object.
#pragma once

#include <QApplication>

#include "app/font_config_loader.h"
#include "app/kelvor_tester_form.h"
#include "app/port_probe.h"
#include "app/tester_style.h"
#include "ctrllib/dynamic_kelvor.h"

struct TesterProgram {
  TesterLook look;
  QtMessageSink messages;
  DynamicKelvor library{messages};
  DevicePortProber ports;
  KelvorTesterForm form{library, messages, ports};

  explicit TesterProgram(FontConfigLoader& fonts) : look(fonts) {
    messages.setParent(&form);
    form.Form_Load();
  }
};
