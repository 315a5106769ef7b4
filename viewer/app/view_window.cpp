#include "app/view_window.h"

#include <QAction>
#include <QFontDatabase>
#include <QKeySequence>
#include <QMetaObject>
#include <QStatusBar>
#include <QToolBar>

#include "app/status_line.h"
#include "scene/scene.h"
#include "state/arm_model.h"

namespace kelvor::view {

ViewWindow::ViewWindow(const ViewerOptions& options, bool startLink)
    : connection_(QString::fromStdString(options.connection)),
      view_(new ViewWidget(options.view, this)),
      status_(new QLabel(this)) {
  setWindowTitle(QStringLiteral("kelvor-view - %1").arg(connection_));
  setCentralWidget(view_);
  resize(options.width.value_or(1024), options.height.value_or(768));
  if (options.x && options.y) move(*options.x, *options.y);

  QToolBar* bar = addToolBar(QStringLiteral("Views"));
  bar->setMovable(false);
  struct Button {
    const char* text;
    QList<QKeySequence> keys;
    std::function<void()> act;
  };
  const std::vector<Button> buttons{
      {"Front", {QKeySequence(Qt::Key_F)}, [this] { view_->showView(View::Front); }},
      {"Side", {QKeySequence(Qt::Key_S)}, [this] { view_->showView(View::Side); }},
      {"Top", {QKeySequence(Qt::Key_T)}, [this] { view_->showView(View::Top); }},
      {"Iso", {QKeySequence(Qt::Key_I)}, [this] { view_->showView(View::Iso); }},
      {"Fit", {QKeySequence(Qt::Key_Home), QKeySequence(Qt::Key_A)}, [this] { view_->fitArm(); }},
  };
  for (const Button& b : buttons) {
    QAction* a = bar->addAction(QString::fromLatin1(b.text));
    a->setShortcuts(b.keys);
    a->setToolTip(QStringLiteral("%1 (%2)").arg(QString::fromLatin1(b.text),
                                                b.keys.front().toString(QKeySequence::NativeText)));
    connect(a, &QAction::triggered, this, b.act);
  }

  QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  status_->setFont(fixed);
  status_->setTextFormat(Qt::PlainText);  // the error text comes from the controller
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  statusBar()->addWidget(status_, 1);
  showReading(Reading{});

  if (startLink) {
    LinkOptions link;
    link.connection = options.connection;
    link.timeoutMs = options.timeoutMs;
    link.rateHz = options.rateHz;
    poller_ = std::make_unique<Poller>(link, [this](const Reading& r) {
      // Wake the window only when it has taken the previous reading; it then takes the
      // newest, whatever came in between.
      if (mailbox_.put(r))
        QMetaObject::invokeMethod(
            this, [this] { takeReading(); }, Qt::QueuedConnection);
    });
  }
}

ViewWindow::~ViewWindow() {
  if (poller_) poller_->stop();
}

void ViewWindow::takeReading() {
  if (const std::optional<Reading> r = mailbox_.take()) showReading(*r);
}

void ViewWindow::showReading(const Reading& r) {
  const ArmModel model = makeArmModel(r);
  view_->setScene(std::make_shared<const Scene>(buildScene(model)));
  if (!r.connected) {
    view_->setBanner(r.serial == 0 ? QStringLiteral("connecting")
                                   : QStringLiteral("not connected"));
  } else {
    view_->setBanner(r.known ? QString() : QStringLiteral("connecting"));
  }
  status_->setText(statusLines(r, model, connection_).join(QLatin1Char('\n')));
}

}  // namespace kelvor::view
