#include "app/kelvor_tester_form.h"

void KelvorTesterForm::cmdConnect_Click() {}

void KelvorTesterForm::cmdDisconnect_Click() {}

