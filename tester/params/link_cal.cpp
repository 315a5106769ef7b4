// The joint table: calibration set and link parameters of J1 to J6. Element 6 of every
// joint-value array belongs to the library's layout; it is never shown and always sent as 0.
#include "app/kelvor_tester_form.h"
#include "ctrllib/number_text.h"

void KelvorTesterForm::cmdPutCtrl_Click() {
  float cal[7] = {};
  float ss[7] = {};
  float aa[7] = {};
  // Every box must convert before anything is sent.
  for (int i = 0; i < 6; ++i) {
    const std::optional<float> c = readFloat(txtCalSet[i]);
    if (!c) return;
    const std::optional<float> s = readFloat(txtLinkSS[i]);
    if (!s) return;
    const std::optional<float> a = readFloat(txtLinkAA[i]);
    if (!a) return;
    cal[i] = *c;
    ss[i] = *s;
    aa[i] = *a;
  }

  // Both writes are attempted; nothing is read back.
  int32_t rc = lib().klv_put_CalData(cal);
  if (rc != 0) showFailure(QStringLiteral("put_CalData"), rc, MsgIcon::Stop);
  rc = lib().klv_put_LinkParam(ss, aa);
  if (rc != 0) showFailure(QStringLiteral("put_LinkParam"), rc, MsgIcon::Stop);
}

void KelvorTesterForm::readCalData() {
  float cal[7] = {};
  const int32_t rc = lib().klv_get_CalData(cal);
  if (rc != 0) {
    showFailure(QStringLiteral("get_CalData"), rc, MsgIcon::Stop);
    return;
  }
  for (int i = 0; i < 6; ++i) txtCalSet[i]->setText(numtext::floatText(cal[i]));
}

void KelvorTesterForm::readLinkParam() {
  float ss[7] = {};
  float aa[7] = {};
  const int32_t rc = lib().klv_get_LinkParam(ss, aa);
  if (rc != 0) {
    showFailure(QStringLiteral("get_LinkParam"), rc, MsgIcon::Stop);
    return;
  }
  for (int i = 0; i < 6; ++i) {
    txtLinkSS[i]->setText(numtext::floatText(ss[i]));
    txtLinkAA[i]->setText(numtext::floatText(aa[i]));
  }
}
