#include "app/kelvor_tester_form.h"

void KelvorTesterForm::chkMotor_Click() {}

void KelvorTesterForm::chkAutomode_Click() {}

void KelvorTesterForm::chkRobSlave_Click() {}

