#include "app/kelvor_tester_form.h"

void KelvorTesterForm::cmdGetVariable_Click() {}

void KelvorTesterForm::cmdPutVariable_Click() {}

