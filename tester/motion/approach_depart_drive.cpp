#include "app/kelvor_tester_form.h"

void KelvorTesterForm::cmdApproach_Click() {}

void KelvorTesterForm::cmdDepart_Click() {}

void KelvorTesterForm::cmdDriveA_Click() {}

