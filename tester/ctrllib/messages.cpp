#include "messages.h"

#include <QMessageBox>

#include "busy_kelvor.h"
#include "number_text.h"

void MessageSink::show(const QString& text, MsgIcon icon) {
  withNormalCursor([&] { display(text, icon); });
}

void QtMessageSink::display(const QString& text, MsgIcon icon) {
  QMessageBox box(icon == MsgIcon::Exclamation ? QMessageBox::Warning : QMessageBox::Critical,
                  QString::fromLatin1(kAppTitle), text, QMessageBox::Ok, parent_);
  box.exec();
}

QString failureText(const QString& words, int32_t code) {
  return words + QStringLiteral(" Failed (Error = 0x") + numtext::hexCode(code) + QLatin1Char(')');
}
