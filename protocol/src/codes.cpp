#include "kelvor/codes.h"

#include <cstdio>

#include "kelvor.h"

namespace kelvor::proto {

const char* controllerCodeText(int32_t code) {
  switch (code) {
    case KLV_C_MOTOR_OFF:
      return "Motor is off";
    case KLV_C_MOTOR_ON:
      return "Motor is on";
    case KLV_C_VALUE_OUT_OF_RANGE:
      return "Value out of range";
    case KLV_C_VAR_NUMBER_OUT_OF_RANGE:
      return "Variable number out of range";
    case KLV_C_NOT_INTERNAL_AUTO:
      return "Not in internal automatic mode";
    case KLV_C_UNKNOWN_DEFINITION:
      return "Unknown definition number";
    case KLV_C_STRING_TOO_LONG:
      return "String too long";
    case KLV_C_SLAVE_MODE_ACTIVE:
      return "Slave mode is active";
    case KLV_C_UNKNOWN_TASK:
      return "Unknown task number";
    case KLV_C_TASK_RUNNING:
      return "Task is already running";
    case KLV_C_UNKNOWN_FUNCTION:
      return "Function not supported by the controller";
    case KLV_C_BAD_REQUEST:
      return "Malformed request";
    case KLV_C_STORAGE_FAILED:
      return "State could not be stored";
    case KLV_C_OUT_OF_REACH:
      return "Position out of reach";
    case KLV_C_JOINT_LIMIT:
      return "Joint beyond its limit";
    case KLV_C_SINGULAR:
      return "Singular position";
    case KLV_C_MOTION_RUNNING:
      return "Another motion is running";
    case KLV_C_AREA_STOP:
      return "Arm stopped by an area";
    case KLV_C_ERROR_LATCHED:
      return "An error is latched";
    case KLV_C_SPEED_ZERO:
      return "Speed is 0";
    case KLV_C_INVALID_ARM:
      return "Link parameters or calibration make no valid arm";
    case KLV_C_FIXED_DEFINITION:
      return "Definition cannot be changed";
    case KLV_C_HANDSHAKE_REQUIRED:
      return "Handshake required first";
    case KLV_C_PROTOCOL_VERSION:
      return "Protocol version not supported";
    case KLV_C_TOO_MANY_CONNECTIONS:
      return "Too many connections";
    default:
      return nullptr;
  }
}

const char* libraryCodeText(int32_t code) {
  switch (code) {
    case KLV_OK:
      return "No error";
    case KLV_E_NOT_CONNECTED:
      return "Not connected to a controller";
    case KLV_E_ALREADY_CONNECTED:
      return "Already connected to a controller";
    case KLV_E_BAD_CONNECTION_STRING:
      return "Connection string not understood";
    case KLV_E_HOST_NOT_FOUND:
      return "Host not found";
    case KLV_E_CONNECTION_REFUSED:
      return "Connection refused by the controller";
    case KLV_E_PORT_OPEN:
      return "Serial port could not be opened";
    case KLV_E_TIMEOUT:
      return "No reply from the controller within the timeout";
    case KLV_E_CONNECTION_LOST:
      return "Connection to the controller lost";
    case KLV_E_PROTOCOL:
      return "Malformed or unexpected reply from the controller";
    case KLV_E_VERSION_MISMATCH:
      return "Controller speaks another protocol version";
    case KLV_E_INVALID_ARGUMENT:
      return "Invalid argument";
    case KLV_E_LIBRARY_NOT_FOUND:
      return "Controller library libkelvor.so.1 not found";
    case KLV_E_FUNCTION_NOT_FOUND:
      return "Function missing from the controller library";
    default:
      return nullptr;
  }
}

std::string codeText(int32_t code) {
  if (const char* t = code > 0 ? controllerCodeText(code) : libraryCodeText(code)) return t;
  char buf[64];
  std::snprintf(buf, sizeof buf, code > 0 ? "Controller error 0x%X" : "Unknown library error 0x%X",
                static_cast<uint32_t>(code));
  return buf;
}

}  // namespace kelvor::proto
