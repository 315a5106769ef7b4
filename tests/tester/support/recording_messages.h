// Records message boxes instead of showing them, so no test blocks.
#pragma once

#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "ctrllib/messages.h"

struct ShownMessage {
  std::string text;
  MsgIcon icon;
};

class RecordingMessages : public MessageSink {
 public:
  std::vector<std::string> texts() const {
    std::vector<std::string> out;
    for (const ShownMessage& m : shown) out.push_back(m.text);
    return out;
  }
  std::vector<ShownMessage> shown;
  std::function<void(const ShownMessage&)> onShow;

 protected:
  void display(const QString& text, MsgIcon icon) override {
    shown.push_back({text.toStdString(), icon});
    if (onShow) onShow(shown.back());
  }
};
