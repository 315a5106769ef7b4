/*
 * kelvor_example.c - the controller library from C: connect, read the controller's identity
 * and the current position, write a variable and read it back.
 *
 *   cc -o kelvor_example kelvor_example.c -lkelvor
 *   ./kelvor_example [CONNECTION]        (default eth:127.0.0.1)
 *
 * Writes 4711 into integer variable I100 of the controller. Every failure is reported with
 * the function's name, the result code in hexadecimal and its text; the exit status is then 1.
 */
#include <stdio.h>

#include "kelvor.h"

/* Reports a failed call; returns 1 when rc is KLV_OK. */
static int ok(const char* function, int32_t rc) {
  char text[256];
  if (rc == KLV_OK) return 1;
  klv_ErrorText(rc, text, (int32_t)sizeof text);
  fprintf(stderr, "kelvor_example: %s failed with 0x%X: %s\n", function, (unsigned)rc, text);
  return 0;
}

static int session(void) {
  char rom[64], serial[64], type[64];
  float p[8];
  int32_t value = 0;

  if (!ok("klv_get_RomVersion", klv_get_RomVersion(rom, (int32_t)sizeof rom))) return 0;
  if (!ok("klv_get_SerialNo", klv_get_SerialNo(serial, (int32_t)sizeof serial))) return 0;
  if (!ok("klv_get_RobotType", klv_get_RobotType(type, (int32_t)sizeof type))) return 0;
  printf("ROM version:   %s\nSerial number: %s\nRobot type:    %s\n", rom, serial, type);

  if (!ok("klv_get_CurrentP", klv_get_CurrentP(p))) return 0;
  printf("Position:      X %g  Y %g  Z %g\n", p[0], p[1], p[2]);

  if (!ok("klv_put_VarI", klv_put_VarI(100, 4711))) return 0;
  if (!ok("klv_get_VarI", klv_get_VarI(100, &value))) return 0;
  printf("Variable I100: wrote 4711, read %d\n", (int)value);
  if (value != 4711) {
    fprintf(stderr, "kelvor_example: I100 reads %d instead of 4711\n", (int)value);
    return 0;
  }
  return 1;
}

int main(int argc, char** argv) {
  char defaultConnection[] = "eth:127.0.0.1";
  char* connection = argc > 1 ? argv[1] : defaultConnection;
  int good;

  if (!ok("klv_Connect", klv_Connect(connection, 0, 0))) return 1;
  good = session();
  if (!ok("klv_Disconnect", klv_Disconnect())) good = 0;
  return good ? 0 : 1;
}
