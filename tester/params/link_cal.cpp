#include "app/kelvor_tester_form.h"

void KelvorTesterForm::cmdPutCtrl_Click() {}

void KelvorTesterForm::readCalData() {}

void KelvorTesterForm::readLinkParam() {}

