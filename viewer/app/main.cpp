// kelvor-view: a live 3D view of the controller's arm. This file only reads the command line
// and starts the window or the snapshot.
#include <QApplication>
#include <QGuiApplication>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/snapshot.h"
#include "app/view_window.h"

int main(int argc, char** argv) {
  using namespace kelvor::view;
  const ParsedCommandLine parsed =
      parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  std::fputs(parsed.out.c_str(), stdout);
  std::fputs(parsed.err.c_str(), stderr);
  if (!parsed.options) return parsed.status;
  const ViewerOptions& options = *parsed.options;

  // Qt sees only the program name: every option is kelvor-view's own.
  int qtArgc = 1;
  char* qtArgv[] = {argv[0], nullptr};
  if (!options.snapshot.empty()) {
    // A snapshot needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(qtArgc, qtArgv);
    return takeSnapshot(options, std::cerr);
  }
  QApplication app(qtArgc, qtArgv);
  ViewWindow window(options);
  window.show();
  return QApplication::exec();
}
