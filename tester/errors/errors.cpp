#include "app/kelvor_tester_form.h"

void KelvorTesterForm::cmdGetError_Click() {}

void KelvorTesterForm::cmdClearError_Click() {}

