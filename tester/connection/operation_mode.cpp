#include "app/kelvor_tester_form.h"

void KelvorTesterForm::ShowOperationMode() {}

