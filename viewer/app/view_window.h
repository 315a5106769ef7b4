// The window: the 3D view, a tool bar with the standard views and fit, and the status line.
// The link reads the controller on its own thread; the window draws the newest reading.
#pragma once

#include <QLabel>
#include <QMainWindow>
#include <memory>

#include "app/options.h"
#include "app/view_widget.h"
#include "link/mailbox.h"
#include "link/poller.h"

namespace kelvor::view {

class ViewWindow : public QMainWindow {
 public:
  // With startLink false the window shows only what showReading() gives it (for tests).
  explicit ViewWindow(const ViewerOptions& options, bool startLink = true);
  ~ViewWindow() override;

  // Draws a reading: the arm, the status line, the banner while not connected.
  void showReading(const Reading& reading);

  ViewWidget& view() { return *view_; }
  QString statusText() const { return status_->text(); }

 private:
  void takeReading();

  QString connection_;
  ViewWidget* view_;
  QLabel* status_;
  Mailbox mailbox_;
  std::unique_ptr<Poller> poller_;  // stopped first when the window goes
};

}  // namespace kelvor::view
