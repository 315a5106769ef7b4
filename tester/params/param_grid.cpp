#include "app/kelvor_tester_form.h"

void KelvorTesterForm::cmbCtrlParam_Click() {}

void KelvorTesterForm::cmdChangeCtrl_Click() {}

void KelvorTesterForm::cmdGetCtrl_Click() {}

