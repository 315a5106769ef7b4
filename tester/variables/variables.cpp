// "Get Value" and "Put Value": controller variables of the types I, F, D, S and IO by number.
#include "app/kelvor_tester_form.h"
#include "ctrllib/lib_strings.h"
#include "ctrllib/number_text.h"

namespace {

// The number stored with each item of the Name list.
enum VarType : int32_t { kInt = 1, kFloat = 2, kDouble = 3, kString = 4, kIo = 5 };

constexpr qsizetype kStringSize = 1024;

// The text in the system code page, left-aligned in exactly 1024 bytes: cut after the last
// whole character that fits, then padded with spaces. The result carries its own NUL.
QByteArray paddedLibString(const QString& text) {
  QByteArray out = toLibString(text);
  if (out.size() > kStringSize) {
    out.clear();
    for (qsizetype i = 0; i < text.size();) {
      const qsizetype units =
          (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ? 2
                                                                                             : 1;
      const QByteArray piece = toLibString(text.mid(i, units));
      if (out.size() + piece.size() > kStringSize) break;
      out += piece;
      i += units;
    }
  }
  out.append(kStringSize - out.size(), ' ');
  return out;
}

// The stored number of the selected Name item, or 0 when the user's typing left none selected.
int32_t selectedType(const ComboControl& list) {
  const int index = list.listIndex();
  const int32_t type = index < 0 ? 0 : list.itemNumber(index);
  return type >= kInt && type <= kIo ? type : 0;
}

QString noTypeText() {
  return QStringLiteral("Select a variable type from the Name list (I, F, D, S or IO).");
}

}  // namespace

void KelvorTesterForm::cmdGetVariable_Click() {
  const int32_t type = selectedType(*cmbVariable);
  if (type == 0) {
    showMessage(noTypeText(), MsgIcon::Stop);
    cmbVariable->setFocus(Qt::OtherFocusReason);
    return;
  }
  const std::optional<int32_t> number = readInt32(txtVariableNo);
  if (!number) return;

  int32_t rc = 0;
  QString text;
  switch (type) {
    case kInt:
    case kIo: {
      int32_t value = 0;
      rc =
          type == kInt ? lib().klv_get_VarI(*number, &value) : lib().klv_get_VarIO(*number, &value);
      text = numtext::intText(value);
      break;
    }
    case kFloat: {
      float value = 0.0f;
      rc = lib().klv_get_VarF(*number, &value);
      text = numtext::floatText(value);
      break;
    }
    case kDouble: {
      double value = 0.0;
      rc = lib().klv_get_VarD(*number, &value);
      text = numtext::doubleText(value);
      break;
    }
    default: {
      OutText buf;
      rc = lib().klv_get_VarS(*number, buf.data(), buf.capacity());
      text = buf.text();
      break;
    }
  }
  if (rc != 0) {
    showFailure(QStringLiteral("get_Var"), rc, MsgIcon::Stop);
    return;
  }
  txtVariableValue->setText(text);
}

void KelvorTesterForm::cmdPutVariable_Click() {
  const int32_t type = selectedType(*cmbVariable);
  if (type == 0) {
    showMessage(noTypeText(), MsgIcon::Stop);
    cmbVariable->setFocus(Qt::OtherFocusReason);
    return;
  }

  // The value is converted before the number.
  std::optional<int32_t> intValue;
  std::optional<float> floatValue;
  std::optional<double> doubleValue;
  QByteArray stringValue;
  switch (type) {
    case kInt:
    case kIo:
      intValue = readInt32(txtVariableValue);
      if (!intValue) return;
      break;
    case kFloat:
      floatValue = readFloat(txtVariableValue);
      if (!floatValue) return;
      break;
    case kDouble:
      doubleValue = readDouble(txtVariableValue);
      if (!doubleValue) return;
      break;
    default:
      stringValue = paddedLibString(txtVariableValue->text());
      break;
  }
  const std::optional<int32_t> number = readInt32(txtVariableNo);
  if (!number) return;

  int32_t rc = 0;
  switch (type) {
    case kInt:
      rc = lib().klv_put_VarI(*number, *intValue);
      break;
    case kIo:
      rc = lib().klv_put_VarIO(*number, *intValue);
      break;
    case kFloat:
      rc = lib().klv_put_VarF(*number, *floatValue);
      break;
    case kDouble:
      rc = lib().klv_put_VarD(*number, *doubleValue);
      break;
    default:
      rc = lib().klv_put_VarS(*number, stringValue.constData());
      break;
  }
  if (rc != 0) showFailure(QStringLiteral("put_Var"), rc, MsgIcon::Stop);
}
