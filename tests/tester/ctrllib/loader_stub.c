/* A stand-in controller library with only two functions, for the loader test. */
#include <stdint.h>
#include <string.h>

static char last_conn[64];

int32_t klv_Connect(char* conn, int32_t timeout_ms, int32_t flags) {
  strncpy(last_conn, conn, sizeof last_conn - 1);
  return timeout_ms == 400 && flags == 0 ? 0 : 99;
}

int32_t klv_get_RomVersion(char* buf, int32_t size) {
  strncpy(buf, last_conn, (size_t)size);
  return 0;
}
