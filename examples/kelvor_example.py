#!/usr/bin/env python3
"""The controller library from Python 3 through ctypes: connect, read the controller's
identity and the current position, write a variable and read it back.

    python3 kelvor_example.py [CONNECTION]      (default eth:127.0.0.1)

libkelvor.so.1 is loaded by name: LD_LIBRARY_PATH first, then the system's library paths.
Writes 4711 into integer variable I100 of the controller. Every failure is reported with
the function's name, the result code in hexadecimal and its text; the exit status is then 1.
"""
import ctypes
import sys

I32 = ctypes.c_int32
FLOAT_P = ctypes.c_float * 8  # a position in P format

# The functions this script calls, with their C parameter types (see kelvor.h).
PROTOTYPES = {
    "klv_Connect": [ctypes.c_char_p, I32, I32],
    "klv_Disconnect": [],
    "klv_ErrorText": [I32, ctypes.c_char_p, I32],
    "klv_get_RomVersion": [ctypes.c_char_p, I32],
    "klv_get_SerialNo": [ctypes.c_char_p, I32],
    "klv_get_RobotType": [ctypes.c_char_p, I32],
    "klv_get_CurrentP": [FLOAT_P],
    "klv_put_VarI": [I32, I32],
    "klv_get_VarI": [I32, ctypes.POINTER(I32)],
}


class CallFailed(Exception):
    pass


def load():
    try:
        lib = ctypes.CDLL("libkelvor.so.1")
    except OSError as e:
        sys.exit(f"kelvor_example.py: cannot load libkelvor.so.1: {e}")
    for name, params in PROTOTYPES.items():
        f = getattr(lib, name)
        f.argtypes = params
        f.restype = I32
    return lib


def error_text(lib, code):
    buf = ctypes.create_string_buffer(256)
    lib.klv_ErrorText(code, buf, len(buf))
    return buf.value.decode("latin-1")


def call(lib, name, *args):
    rc = getattr(lib, name)(*args)
    if rc != 0:
        raise CallFailed(f"{name} failed with 0x{rc & 0xFFFFFFFF:X}: {error_text(lib, rc)}")


def text(lib, name):
    buf = ctypes.create_string_buffer(64)
    call(lib, name, buf, len(buf))
    return buf.value.decode("latin-1")


def session(lib):
    rom = text(lib, "klv_get_RomVersion")
    serial = text(lib, "klv_get_SerialNo")
    robot = text(lib, "klv_get_RobotType")
    print(f"ROM version:   {rom}\nSerial number: {serial}\nRobot type:    {robot}")

    p = FLOAT_P()
    call(lib, "klv_get_CurrentP", p)
    print("Position:      X %g  Y %g  Z %g" % (p[0], p[1], p[2]))

    call(lib, "klv_put_VarI", 100, 4711)
    value = I32()
    call(lib, "klv_get_VarI", 100, ctypes.byref(value))
    print(f"Variable I100: wrote 4711, read {value.value}")
    if value.value != 4711:
        raise CallFailed(f"I100 reads {value.value} instead of 4711")


def main():
    lib = load()
    connection = sys.argv[1] if len(sys.argv) > 1 else "eth:127.0.0.1"
    try:
        call(lib, "klv_Connect", ctypes.create_string_buffer(connection.encode()), 0, 0)
    except CallFailed as e:
        print(f"kelvor_example.py: {e}", file=sys.stderr)
        return 1
    status = 0
    try:
        session(lib)
    except CallFailed as e:
        print(f"kelvor_example.py: {e}", file=sys.stderr)
        status = 1
    try:
        call(lib, "klv_Disconnect")
    except CallFailed as e:
        print(f"kelvor_example.py: {e}", file=sys.stderr)
        status = 1
    sys.stdout.flush()
    return status


if __name__ == "__main__":
    sys.exit(main())
