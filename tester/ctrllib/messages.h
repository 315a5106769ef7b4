// Modal message boxes, behind an interface so tests can record them instead.
#pragma once

#include <QString>
#include <cstdint>

class QWidget;

enum class MsgIcon { Exclamation, Stop };

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // Shows a modal box with one OK button and the title "KelvorTester"; returns when it is closed.
  // The box gets the normal cursor even while a library call is running.
  void show(const QString& text, MsgIcon icon);

 protected:
  virtual void display(const QString& text, MsgIcon icon) = 0;
};

// The application's message box: title "KelvorTester", one OK button.
class QtMessageSink : public MessageSink {
 public:
  explicit QtMessageSink(QWidget* parent = nullptr) : parent_(parent) {}
  void setParent(QWidget* parent) { parent_ = parent; }

 protected:
  void display(const QString& text, MsgIcon icon) override;

 private:
  QWidget* parent_;
};

inline constexpr const char* kAppTitle = "KelvorTester";

// "<words> Failed (Error = 0x<HEX>)"
QString failureText(const QString& words, int32_t code);
