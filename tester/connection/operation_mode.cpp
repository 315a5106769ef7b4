// The operation-mode label.
#include "app/kelvor_tester_form.h"

// A failed read, and a mode outside 1 to 4, leave the label as it is, silently.
void KelvorTesterForm::ShowOperationMode() {
  int32_t mode = 0;
  if (lib().klv_get_OperationMode(&mode) != 0) return;
  switch (mode) {
    case 1:
      lblMode->setText(QStringLiteral("Manual Mode"));
      break;
    case 2:
      lblMode->setText(QStringLiteral("Teach Mode"));
      break;
    case 3:
      lblMode->setText(QStringLiteral("Internal Auto Mode"));
      break;
    case 4:
      lblMode->setText(QStringLiteral("External Auto Mode"));
      break;
    default:
      break;
  }
}
