/*
 * kelvor.h - C interface of the Kelvor robot controller client library (libkelvor.so.1).
 *
 * Usable from C and C++. Every function returns an int32_t result code: KLV_OK (0) on success,
 * a library-side code (KLV_E_..., 0x8000xxxx, negative as int32_t) when the library could not
 * complete the call, or a positive controller code (KLV_C_...) when the controller refused the
 * request. Output arguments are written only on success.
 *
 * Thread model
 *   The library holds at most one controller connection per process. All functions may be
 *   called from any thread; a process-wide mutex serialises them, so concurrent calls run one
 *   after the other (each waits for the previous one's reply). A call that cannot start within
 *   its timeout because another thread's call still runs fails with KLV_E_TIMEOUT without
 *   touching the connection. klv_ErrorText() takes no lock, needs no connection and is safe to
 *   call concurrently with anything.
 *
 * Timeouts
 *   klv_Connect() sets the reply timeout used by every call of the connection. A call ends
 *   within that timeout, counted from its start, whatever the controller sends or fails to
 *   send: waiting for another thread's call, sending the request and receiving the reply all
 *   count against it. The one exception are the motions (see "Motions" below): each "in
 *   progress" frame the controller sends for a motion restarts its timeout, so a motion may
 *   last as long as the controller keeps reporting it. Progress frames for any other call are
 *   ignored. klv_Connect() itself (host-name lookup, TCP connect and handshake) is bounded by
 *   its one timeout. A call that has to skip more than 64 KiB of bytes that form no frame
 *   gives up with KLV_E_PROTOCOL (a motion's progress frame renews that allowance too).
 *   Over a serial line the timeout does not include the time the bytes take on the wire: the
 *   first byte of the reply must come within the timeout plus the wire time of the request,
 *   and the whole reply within that plus the wire time of the longest reply the function can
 *   have (every string at KLV_MAX_STRING bytes). A character takes 1 start bit, the data
 *   bits, the parity bit if any and the stop bits: 10 bits at 8N1, so 1.04 ms at 9600 baud,
 *   and a 1024-byte string variable (a 1041-byte frame) about 1.08 s. A pause of 20
 *   character times (at least 20 ms) inside a frame still ends it, so a dead line is noticed
 *   within the timeout plus the request's wire time, and a line that stops mid-frame within
 *   that pause.
 *
 * Positions (arrays of float): the tool centre point (TCP) of the current tool in the current
 * work frame, lengths in mm, angles in degrees.
 *   P  [8]  X, Y, Z, Rx, Ry, Rz, Fig, extra axis. The orientation is roll, pitch and yaw
 *           about the fixed axes: R = RotZ(Rz) * RotY(Ry) * RotX(Rx). The controller reports
 *           Ry in [-90, 90] and Rx, Rz in (-180, 180]; at Ry = +-90 it reports Rx 0.
 *   J  [9]  joint angles J1 to J6, then three external axes (element 6 is P's extra axis)
 *   T [11]  X, Y, Z, the orientation vector Ox, Oy, Oz (the tool's Y axis), the approach
 *           vector Ax, Ay, Az (the tool's Z axis), Fig, extra axis; both unit vectors
 *   H  [7]  X, Y, Z, Rx, Ry, Rz (same rule as P), a spare element: a tool (the TCP in the
 *           flange frame) or a work frame (in the robot's base frame); klv_DevH takes P's
 *           first seven elements, Fig in element 6
 *   V  [3]  X, Y, Z (a vector)
 *   Area records hold 14 floats: the centre X, Y, Z and orientation Rx, Ry, Rz of a box in
 *   the base frame, its edge lengths Dx, Dy, Dz along its own axes, the number of the I/O
 *   variable it sets, Pos (0: entering counts, 1: leaving counts), Err (1: the arm stops where
 *   it counts and the controller latches KLV_C_AREA_STOP), Enable (1: watched), a spare.
 *
 * Fig selects one of the eight joint solutions of a position (P and T element "Fig", 0 to 7):
 *   bit 0 (1)  shoulder: 0 front, 1 back (the wrist centre behind axis 1, reaching over)
 *   bit 1 (2)  elbow: 0 up (as at J = 0), 1 down
 *   bit 2 (4)  wrist: 0 J5 >= 0, 1 J5 < 0 (J5 with its calibration value)
 * Conversions to P and T report the Fig of the joints; conversions from P and T use the Fig
 * they are given.
 *
 * Motion arguments
 *   comp  interpolation: 1 = joint ("P", all axes start and end together), 2 = linear ("L",
 *         the TCP on a straight line); 0 = the controller's default (joint)
 *   path  how the motion ends: "@0" exactly at the target, "@P" passing near it (the next
 *         motion blends in once this one decelerates), "@E" at the target with every axis at
 *         rest; "" is the same as "@0"; never NULL
 *   next  "NEXT" to go on with the next command while this one runs; NULL or "" to wait
 *
 * Call trace
 *   When the environment variable KELVOR_TRACE names a file at the first call of the process,
 *   the library appends one line per call to it (created if missing, never truncated);
 *   KELVOR_TRACE=stderr writes to the standard error output. A line holds the local time the
 *   call began, the process and thread, the function, its arguments, the result and, on
 *   success, the outputs, and the duration:
 *     2026-11-02T10:15:03.123456+01:00 4711/4711 klv_get_VarI(3) -> ok 42 (0.215 ms)
 *   A failed call shows its code and text instead of "ok": "-> 0x1003 Value out of range".
 *   With KELVOR_TRACE_FRAMES=1 every frame sent ("send") and received ("recv") is added in
 *   hexadecimal before the line of its call, and "recv N bytes skipped" reports bytes that
 *   formed no valid frame. Numbers are written with a point whatever the locale. Every line
 *   is one write(2) to a file opened with O_APPEND: lines of threads and processes sharing
 *   the file never mix, and a crash loses none. A trace file that cannot be opened is
 *   reported once on stderr; no call fails because of the trace. klv_ErrorText is not
 *   traced, nor are calls refused for a NULL pointer or a bad size before the lock (they
 *   return KLV_E_INVALID_ARGUMENT at once). Without KELVOR_TRACE a call costs one test of a
 *   flag.
 *
 * Strings: output strings are always NUL-terminated and truncated to size - 1 characters.
 * Input strings other than next must not be NULL; they are sent with their exact length
 * (trailing spaces kept), at most KLV_MAX_STRING bytes. A reply string longer than that is
 * KLV_E_PROTOCOL.
 *
 * Request size: the arguments of one call travel in one frame of at most 2043 bytes. Only a
 * motion with long path and next strings can exceed it: path and next together may hold up
 * to 1987 bytes (ApproachT), 1991 (MoveT), 1995 (ApproachJ), 1999 (MoveJ, ApproachP), 2003
 * (MoveP, DriveA) or 2031 (Depart, Drive). A longer request fails at once with
 * KLV_E_INVALID_ARGUMENT; nothing is sent.
 */
#ifndef KELVOR_H
#define KELVOR_H

#include <stdint.h>

#if defined(__GNUC__)
#define KLV_API __attribute__((visibility("default")))
#else
#define KLV_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------------------------------------
 * Result codes
 *
 *  Where a code comes from: the KLV_E_ codes (0x80000000 to 0x8000FFFF) are produced only by
 *  the library (and the tester's loader), never taken from the controller; a controller's
 *  reply yields KLV_OK or a positive controller code (1 to 0x7FFFFFFF). A reply carrying any
 *  other code is reported as KLV_E_PROTOCOL, so that KLV_E_TIMEOUT, for instance, always means
 *  that the library waited in vain. Values 0x80010000 to 0xFFFFFFFF are never returned.
 *
 *  Code                          Value        Meaning
 *  KLV_OK                        0            success
 *  Library side (0x8000xxxx):
 *  KLV_E_NOT_CONNECTED           0x80000001   no connection; call klv_Connect() first
 *  KLV_E_ALREADY_CONNECTED       0x80000002   klv_Connect() while connected
 *  KLV_E_BAD_CONNECTION_STRING   0x80000003   connection string not understood
 *  KLV_E_HOST_NOT_FOUND          0x80000004   host name could not be resolved
 *  KLV_E_CONNECTION_REFUSED      0x80000005   the controller refused or did not accept the
 *                                             TCP connection (nothing listens, unreachable)
 *  KLV_E_PORT_OPEN               0x80000006   serial port could not be opened or configured,
 *                                             is no terminal, or is not trusted (see
 *                                             klv_Connect)
 *  KLV_E_TIMEOUT                 0x80000007   no reply (or TCP connect) within the timeout
 *  KLV_E_CONNECTION_LOST         0x80000008   connection broke; call klv_Disconnect()
 *  KLV_E_PROTOCOL                0x80000009   malformed or unexpected reply, a reply code
 *                                             of the library's range, or too much garbage
 *  KLV_E_VERSION_MISMATCH        0x8000000A   controller speaks another protocol version (its
 *                                             handshake reply said so, or it refused ours)
 *  KLV_E_INVALID_ARGUMENT        0x8000000B   NULL pointer, size below 1, flags not 0,
 *                                             negative timeout, string too long, request
 *                                             too long for one frame
 *  Returned only by the tester's loader, never by the library:
 *  KLV_E_LIBRARY_NOT_FOUND       0x80000101   libkelvor.so.1 could not be loaded
 *  KLV_E_FUNCTION_NOT_FOUND      0x80000102   a klv_ function is missing from the library
 *  Controller side (1 to 0x7FFFFFFF; the controller also latches them, see klv_get_ErrorCode):
 *  KLV_C_MOTOR_OFF               0x1001       the request needs motor power: "Motor is off"
 *  KLV_C_MOTOR_ON                0x1002       the request needs motor power off
 *  KLV_C_VALUE_OUT_OF_RANGE      0x1003       an argument value is out of its range
 *  KLV_C_VAR_NUMBER_OUT_OF_RANGE 0x1004       variable number outside the documented range
 *  KLV_C_NOT_INTERNAL_AUTO       0x1005       the request needs internal automatic mode
 *  KLV_C_UNKNOWN_DEFINITION      0x1006       tool/work/area definition number unknown
 *  KLV_C_STRING_TOO_LONG         0x1007       string longer than the controller stores
 *  KLV_C_SLAVE_MODE_ACTIVE       0x1008       refused while slave mode is active
 *  KLV_C_UNKNOWN_TASK            0x1009       task number unknown
 *  KLV_C_TASK_RUNNING            0x100A       the task is already running
 *  KLV_C_UNKNOWN_FUNCTION        0x100B       the controller does not support the function
 *  KLV_C_BAD_REQUEST             0x100C       the controller could not decode the request
 *  KLV_C_STORAGE_FAILED          0x100D       the controller could not store the change
 *  KLV_C_OUT_OF_REACH            0x100E       the position, or a point of the path, is out of
 *                                             the arm's reach
 *  KLV_C_JOINT_LIMIT             0x100F       a joint would be beyond its limit (the
 *                                             description names it: "J3 beyond its limit")
 *  KLV_C_SINGULAR                0x1010       the position or the path is at or too near a
 *                                             singular position (the description names which)
 *  KLV_C_MOTION_RUNNING          0x1011       refused while another motion runs
 *  KLV_C_AREA_STOP               0x1012       the arm stopped where it entered an area with
 *                                             Err set (or left it, with Pos 1)
 *  KLV_C_ERROR_LATCHED           0x1013       a motion refused because an error is latched;
 *                                             the latched error stays (klv_ClearError first)
 *  KLV_C_SPEED_ZERO              0x1014       a motion refused at speed 0
 *  KLV_C_INVALID_ARM             0x1015       link parameters or calibration set that make no
 *                                             valid arm (the description says why)
 *  KLV_C_FIXED_DEFINITION        0x1016       tool 0 and work 0 cannot be changed
 *  Refusals of a connection (0x1020 to 0x102F; not latched, they concern only the connection):
 *  KLV_C_HANDSHAKE_REQUIRED      0x1020       a request before the connection's handshake
 *  KLV_C_PROTOCOL_VERSION        0x1021       the controller does not speak the client's
 *                                             protocol version; klv_Connect() reports it as
 *                                             KLV_E_VERSION_MISMATCH
 *  KLV_C_TOO_MANY_CONNECTIONS    0x1022       the controller serves as many connections as it
 *                                             can; it closes this one after the reply
 *  Any other positive value is a controller code without a fixed meaning (e.g. injected by
 *  the simulator); klv_ErrorText() names it "Controller error 0x...".
 * ------------------------------------------------------------------------------------------- */
#define KLV_OK ((int32_t)0)
#define KLV_E_NOT_CONNECTED ((int32_t)0x80000001u)
#define KLV_E_ALREADY_CONNECTED ((int32_t)0x80000002u)
#define KLV_E_BAD_CONNECTION_STRING ((int32_t)0x80000003u)
#define KLV_E_HOST_NOT_FOUND ((int32_t)0x80000004u)
#define KLV_E_CONNECTION_REFUSED ((int32_t)0x80000005u)
#define KLV_E_PORT_OPEN ((int32_t)0x80000006u)
#define KLV_E_TIMEOUT ((int32_t)0x80000007u)
#define KLV_E_CONNECTION_LOST ((int32_t)0x80000008u)
#define KLV_E_PROTOCOL ((int32_t)0x80000009u)
#define KLV_E_VERSION_MISMATCH ((int32_t)0x8000000Au)
#define KLV_E_INVALID_ARGUMENT ((int32_t)0x8000000Bu)
#define KLV_E_LIBRARY_NOT_FOUND ((int32_t)0x80000101u)
#define KLV_E_FUNCTION_NOT_FOUND ((int32_t)0x80000102u)

#define KLV_C_MOTOR_OFF ((int32_t)0x1001)
#define KLV_C_MOTOR_ON ((int32_t)0x1002)
#define KLV_C_VALUE_OUT_OF_RANGE ((int32_t)0x1003)
#define KLV_C_VAR_NUMBER_OUT_OF_RANGE ((int32_t)0x1004)
#define KLV_C_NOT_INTERNAL_AUTO ((int32_t)0x1005)
#define KLV_C_UNKNOWN_DEFINITION ((int32_t)0x1006)
#define KLV_C_STRING_TOO_LONG ((int32_t)0x1007)
#define KLV_C_SLAVE_MODE_ACTIVE ((int32_t)0x1008)
#define KLV_C_UNKNOWN_TASK ((int32_t)0x1009)
#define KLV_C_TASK_RUNNING ((int32_t)0x100A)
#define KLV_C_UNKNOWN_FUNCTION ((int32_t)0x100B)
#define KLV_C_BAD_REQUEST ((int32_t)0x100C)
#define KLV_C_STORAGE_FAILED ((int32_t)0x100D)
#define KLV_C_OUT_OF_REACH ((int32_t)0x100E)
#define KLV_C_JOINT_LIMIT ((int32_t)0x100F)
#define KLV_C_SINGULAR ((int32_t)0x1010)
#define KLV_C_MOTION_RUNNING ((int32_t)0x1011)
#define KLV_C_AREA_STOP ((int32_t)0x1012)
#define KLV_C_ERROR_LATCHED ((int32_t)0x1013)
#define KLV_C_SPEED_ZERO ((int32_t)0x1014)
#define KLV_C_INVALID_ARM ((int32_t)0x1015)
#define KLV_C_FIXED_DEFINITION ((int32_t)0x1016)
#define KLV_C_HANDSHAKE_REQUIRED ((int32_t)0x1020)
#define KLV_C_PROTOCOL_VERSION ((int32_t)0x1021)
#define KLV_C_TOO_MANY_CONNECTIONS ((int32_t)0x1022)

/* Default TCP port of the controller ("eth:HOST" without a port). */
#define KLV_DEFAULT_PORT 50420
/* Reply timeout used when klv_Connect() is given timeout_ms = 0. */
#define KLV_DEFAULT_TIMEOUT_MS 1000
/* Longest string (bytes, without NUL) in either direction: a longer input string is
 * KLV_E_INVALID_ARGUMENT, a longer reply string KLV_E_PROTOCOL. The wire protocol has the
 * same limit. A string variable holds up to 1024 bytes. */
#define KLV_MAX_STRING 1024

/* ---------------------------------------------------------------------------------------------
 * Connection
 * ------------------------------------------------------------------------------------------- */

/* Opens the connection and performs the protocol version handshake.
 *   conn        connection string, not kept after the call:
 *                 "eth:HOST" or "eth:HOST:PORT"  TCP; HOST is an IPv4 address, "[IPv6]" or a
 *                                                host name; PORT defaults to 50420
 *                 "com:N:BAUDP:D:S"              serial port COMN (see com_ports.h), BAUD one
 *                                                of 9600 19200 38400 57600 115200, parity P
 *                                                N, E or O, D data bits 8 (the frames are
 *                                                binary), S stop bits 1 or 2, e.g.
 *                                                "com:3:115200N:8:1"
 *               The serial device is opened only if it is a terminal that no other user
 *               but root could have put in place: its entry (device or link) and the
 *               directory holding it belong to the caller or root, and that directory is
 *               writable by nobody else; otherwise KLV_E_PORT_OPEN. Virtual ports COM129 to
 *               COM256 are links in the caller's private directory $XDG_RUNTIME_DIR/kelvor,
 *               else /tmp/kelvor-UID.
 *   timeout_ms  reply timeout of every call in ms; 0 = KLV_DEFAULT_TIMEOUT_MS; negative is
 *               invalid. Also bounds the TCP connect and the handshake.
 *   flags       reserved, must be 0.
 * A controller that refuses the handshake answers with a code, which klv_Connect() returns
 * (KLV_C_TOO_MANY_CONNECTIONS, for instance); a refusal of the protocol version
 * (KLV_C_PROTOCOL_VERSION) is reported as KLV_E_VERSION_MISMATCH. */
KLV_API int32_t klv_Connect(char* conn, int32_t timeout_ms, int32_t flags);

/* Closes the connection and frees everything. Succeeds also on a lost connection;
 * KLV_E_NOT_CONNECTED when there is none. */
KLV_API int32_t klv_Disconnect(void);

/* Writes a description of any result code (library or controller) into buf.
 *   code  result code;  buf  output buffer;  size  its size in bytes (at least 1).
 * Thread-safe, needs no connection. */
KLV_API int32_t klv_ErrorText(int32_t code, char* buf, int32_t size);

/* ---------------------------------------------------------------------------------------------
 * Identity. buf receives the string, size is the buffer size in bytes (at least 1).
 * ------------------------------------------------------------------------------------------- */
KLV_API int32_t klv_get_RomVersion(char* buf, int32_t size); /* controller firmware version */
KLV_API int32_t klv_get_SerialNo(char* buf, int32_t size);   /* controller serial number */
KLV_API int32_t klv_get_RobotType(char* buf, int32_t size);  /* robot type name */

/* ---------------------------------------------------------------------------------------------
 * Controller state
 * ------------------------------------------------------------------------------------------- */

/* mode: 1 Manual (auto mode 0, motor off), 2 Teach (auto mode 0, motor on),
 *       3 Internal Auto (auto mode 2), 4 External Auto (auto mode 1). */
KLV_API int32_t klv_get_OperationMode(int32_t* mode);
/* state: 0 motor power off, 1 on. */
KLV_API int32_t klv_get_MotorState(int32_t* state);
/* state: 0 switches motor power off, 1 on; other values KLV_C_VALUE_OUT_OF_RANGE. */
KLV_API int32_t klv_put_MotorState(int32_t state);
/* mode: 0 none, 1 external automatic, 2 internal automatic. */
KLV_API int32_t klv_get_AutoMode(int32_t* mode);
/* mode: 0, 1 or 2 as above; refused with KLV_C_SLAVE_MODE_ACTIVE while slave mode runs. */
KLV_API int32_t klv_put_AutoMode(int32_t mode);
/* enabled: 1 when an automatic mode is selected, else 0. */
KLV_API int32_t klv_get_AutoEnable(int32_t* enabled);
/* pressed: 1 when the teach pendant's deadman switch is pressed, else 0. */
KLV_API int32_t klv_get_DeadmanSwitch(int32_t* pressed);
/* active: 1 while an emergency stop is active, else 0. */
KLV_API int32_t klv_get_EmergencyStop(int32_t* active);
/* state: 0 slave mode off, 1 on. */
KLV_API int32_t klv_get_RobSlaveState(int32_t* state);
/* Starts slave mode; needs internal automatic mode (KLV_C_NOT_INTERNAL_AUTO). */
KLV_API int32_t klv_StartRobSlave(void);
/* Stops slave mode (succeeds also when it is off). */
KLV_API int32_t klv_StopRobSlave(void);

/* ---------------------------------------------------------------------------------------------
 * Errors latched by the controller
 * ------------------------------------------------------------------------------------------- */

/* code: the latched controller error, 0 when none. */
KLV_API int32_t klv_get_ErrorCode(int32_t* code);
/* buf/size: description of the latched error ("No error" when none). */
KLV_API int32_t klv_get_ErrorDescription(char* buf, int32_t size);
/* code: 0 clears the latched error; a non-zero value clears it only if it equals the latched
 * code (otherwise nothing happens). */
KLV_API int32_t klv_ClearError(int32_t code);

/* ---------------------------------------------------------------------------------------------
 * Current position, configuration and motion state
 * ------------------------------------------------------------------------------------------- */
KLV_API int32_t klv_get_CurrentP(float p[8]);  /* p: current position, P format */
KLV_API int32_t klv_get_CurrentJ(float j[9]);  /* j: current joint angles, J format */
KLV_API int32_t klv_get_CurrentT(float t[11]); /* t: current position, T format */
/* cnf: the controller's configuration register (0 to 7, see Fig above); the conversions do
 * not use it. */
KLV_API int32_t klv_get_CnfData(int32_t* cnf);
/* cnf: 0 to 7, else KLV_C_VALUE_OUT_OF_RANGE. */
KLV_API int32_t klv_put_CnfData(int32_t cnf);
/* state: 0 standing still, 1 moving (settling after "@E" included). */
KLV_API int32_t klv_get_MotionState(int32_t* state);

/* ---------------------------------------------------------------------------------------------
 * Motions, timed at the internal speed (the external speed in external automatic mode).
 * comp, path, next: see "Motion arguments" above. Without next the call answers when the
 * motion has ended ("@P": when the next motion may start), with "NEXT" as soon as the motion
 * is accepted; klv_get_CurrentP/J/T and klv_get_MotionState then show the arm on its way.
 * Refused with KLV_C_MOTOR_OFF, KLV_C_ERROR_LATCHED while an error is latched,
 * KLV_C_MOTION_RUNNING while another motion runs (unless it ends with "@P"), KLV_C_SPEED_ZERO,
 * KLV_C_OUT_OF_REACH, KLV_C_JOINT_LIMIT or KLV_C_SINGULAR for the target or the path.
 * While a motion runs, every progress frame from the controller restarts the timeout (see
 * "Timeouts"); these nine are the only such functions.
 * ------------------------------------------------------------------------------------------- */
/* p: target, P format. */
KLV_API int32_t klv_MoveP(int32_t comp, const char* path, const float p[8], const char* next);
/* j: target, J format. */
KLV_API int32_t klv_MoveJ(int32_t comp, const char* path, const float j[9], const char* next);
/* t: target, T format. */
KLV_API int32_t klv_MoveT(int32_t comp, const char* path, const float t[11], const char* next);
/* Moves to p backed off by length mm along the tool's approach axis (its Z): with the tool
 * pointing down a positive length stops above p. p: P format. */
KLV_API int32_t klv_ApproachP(int32_t comp, const float p[8], const char* path, float length,
                              const char* next);
/* As klv_ApproachP with a J target (its position and Fig). j: J format. */
KLV_API int32_t klv_ApproachJ(int32_t comp, const float j[9], const char* path, float length,
                              const char* next);
/* As klv_ApproachP with a T target. t: T format. */
KLV_API int32_t klv_ApproachT(int32_t comp, const float t[11], const char* path, float length,
                              const char* next);
/* Backs off length mm from the current position along the tool's approach axis. */
KLV_API int32_t klv_Depart(int32_t comp, const char* path, float length, const char* next);
/* Moves all axes to absolute joint angles j (J format), joint interpolation. */
KLV_API int32_t klv_DriveA(const char* path, const float j[9], const char* next);
/* Moves one axis relatively. axis: 1 to 9; value: distance in deg or mm. */
KLV_API int32_t klv_Drive(const char* path, int32_t axis, float value, const char* next);

/* ---------------------------------------------------------------------------------------------
 * Conversions, computed by the controller for its kinematics with the current tool and work.
 * To J: KLV_C_OUT_OF_REACH, KLV_C_JOINT_LIMIT or KLV_C_SINGULAR when the position with its Fig
 * has no joints; at J5 = 0 the current J4 is kept.
 * ------------------------------------------------------------------------------------------- */
KLV_API int32_t klv_P2T(const float p[8], float t[11]); /* p: input P; t: result T */
KLV_API int32_t klv_P2J(const float p[8], float j[9]);  /* p: input P; j: result J */
KLV_API int32_t klv_J2P(const float j[9], float p[8]);  /* j: input J; p: result P */
KLV_API int32_t klv_J2T(const float j[9], float t[11]); /* j: input J; t: result T */
KLV_API int32_t klv_T2P(const float t[11], float p[8]); /* t: input T; p: result P */
KLV_API int32_t klv_T2J(const float t[11], float j[9]); /* t: input T; j: result J */
/* Deviation in the work frame: base shifted by offset's X, Y, Z along the work frame's axes
 * and turned by its Rx, Ry, Rz about the TCP (in the work frame's axes); Fig and extra axis of
 * base kept; offset's Fig and extra axis play no part (P format). */
KLV_API int32_t klv_Dev(const float base[8], const float offset[8], float result[8]);
/* Deviation in the tool frame: base * offset, X along the tool's X and so on. base and result:
 * P's first seven elements (Fig in element 6); offset: H record. */
KLV_API int32_t klv_DevH(const float base[7], const float offset[7], float result[7]);

/* ---------------------------------------------------------------------------------------------
 * Speeds, tools, works, areas
 * ------------------------------------------------------------------------------------------- */
KLV_API int32_t klv_get_Speed(float* percent);    /* percent: internal speed, 0 to 100 */
KLV_API int32_t klv_put_Speed(float percent);     /* percent: 0 to 100, else out of range */
KLV_API int32_t klv_get_ExtSpeed(float* percent); /* percent: external speed, 0 to 100 */
KLV_API int32_t klv_put_ExtSpeed(float percent);  /* percent: 0 to 100, else out of range */
KLV_API int32_t klv_get_CurTool(int32_t* no);     /* no: current tool number */
KLV_API int32_t klv_put_CurTool(int32_t no);      /* no: tool number 0 to 63 */
KLV_API int32_t klv_get_CurWork(int32_t* no);     /* no: current work number */
KLV_API int32_t klv_put_CurWork(int32_t no);      /* no: work number 0 to 63 */
/* no: tool 0 to 63 (KLV_C_UNKNOWN_DEFINITION otherwise); rec: H record, written by get and
 * sent by put (finite values, else KLV_C_VALUE_OUT_OF_RANGE). Tool 0 (the flange) and work 0
 * (the base frame) are fixed: KLV_C_FIXED_DEFINITION. */
KLV_API int32_t klv_get_ToolDef(int32_t no, float rec[7]);
KLV_API int32_t klv_put_ToolDef(int32_t no, const float rec[7]);
/* no: work 0 to 63; rec: H record. */
KLV_API int32_t klv_get_WorkDef(int32_t no, float rec[7]);
KLV_API int32_t klv_put_WorkDef(int32_t no, const float rec[7]);
/* no: area 0 to 31; rec: area record (14 floats, see above): edge lengths not negative, I/O an
 * I/O variable number, Pos, Err and Enable 0 or 1, else KLV_C_VALUE_OUT_OF_RANGE. */
KLV_API int32_t klv_get_AreaDef(int32_t no, float rec[14]);
KLV_API int32_t klv_put_AreaDef(int32_t no, const float rec[14]);

/* ---------------------------------------------------------------------------------------------
 * Calibration and link parameters (7 elements, the seventh not part of the arm). The arm is a
 * standard Denavit-Hartenberg chain; joint i: RotZ(J_i + cal_i + theta0_i) * TransZ(ss_i) *
 * TransX(aa_i) * RotX(alpha_i), alpha = (-90, 0, -90, 90, -90, 0), theta0 = (0, -90, 0, 0, 0,
 * 0) degrees. Link parameters or a calibration set that make no such arm are refused with
 * KLV_C_INVALID_ARM and a description (klv_get_ErrorDescription); not while the arm moves
 * (KLV_C_MOTION_RUNNING). The arm keeps its joints, so its position changes with them.
 * ------------------------------------------------------------------------------------------- */
KLV_API int32_t klv_get_CalData(float a[7]); /* a: calibration set, degrees added to each joint */
KLV_API int32_t klv_put_CalData(const float a[7]); /* a: within +-360 degrees */
/* ss: LinkSS, each joint's offset along its axis (s_i, mm); aa: LinkAA, each link's length
 * (a_i, mm, not negative). The wrist is spherical: aa[3], aa[4] and ss[4] must be 0. */
KLV_API int32_t klv_get_LinkParam(float ss[7], float aa[7]);
KLV_API int32_t klv_put_LinkParam(const float ss[7], const float aa[7]);
/* Calibrates, element by element: calibration set += rot, LinkAA += len. Needs motor power off
 * (KLV_C_MOTOR_ON). rot, len: finite values; a result that makes no arm is refused. */
KLV_API int32_t klv_Calibrate(const float rot[7], const float len[7]);

/* ---------------------------------------------------------------------------------------------
 * Variables. no: variable number; outside its range KLV_C_VAR_NUMBER_OUT_OF_RANGE.
 *   I (int32), F (float), D (double), V, P, J, T : 0 to 999
 *   S (string, up to 1024 bytes)                  : 0 to 99
 *   IO (bit, value 0 or 1)                        : 0 to 2047
 * value, v, p, j, t: the variable's content, written by klv_get_Var*, sent by klv_put_Var*
 * (V: 3 floats, P: 8, J: 9, T: 11).
 * ------------------------------------------------------------------------------------------- */
KLV_API int32_t klv_get_VarI(int32_t no, int32_t* value); /* value: content of I variable no */
KLV_API int32_t klv_put_VarI(int32_t no, int32_t value);  /* value: new content of I variable no */
KLV_API int32_t klv_get_VarF(int32_t no, float* value);   /* value: content of F variable no */
KLV_API int32_t klv_put_VarF(int32_t no, float value);    /* value: new content of F variable no */
KLV_API int32_t klv_get_VarD(int32_t no, double* value);  /* value: content of D variable no */
KLV_API int32_t klv_put_VarD(int32_t no, double value);   /* value: new content of D variable no */
/* buf/size: output buffer and its size; the string is truncated to size - 1 bytes. */
KLV_API int32_t klv_get_VarS(int32_t no, char* buf, int32_t size);
/* text: up to 1024 bytes (KLV_MAX_STRING), trailing spaces kept. */
KLV_API int32_t klv_put_VarS(int32_t no, const char* text);
KLV_API int32_t klv_get_VarIO(int32_t no, int32_t* value); /* value: IO bit no, 0 or 1 */
/* value: 0 or 1, else KLV_C_VALUE_OUT_OF_RANGE. */
KLV_API int32_t klv_put_VarIO(int32_t no, int32_t value);
KLV_API int32_t klv_get_VarV(int32_t no, float v[3]);        /* v: content of V variable no */
KLV_API int32_t klv_put_VarV(int32_t no, const float v[3]);  /* v: new content of V variable no */
KLV_API int32_t klv_get_VarP(int32_t no, float p[8]);        /* p: content of P variable no */
KLV_API int32_t klv_put_VarP(int32_t no, const float p[8]);  /* p: new content of P variable no */
KLV_API int32_t klv_get_VarJ(int32_t no, float j[9]);        /* j: content of J variable no */
KLV_API int32_t klv_put_VarJ(int32_t no, const float j[9]);  /* j: new content of J variable no */
KLV_API int32_t klv_get_VarT(int32_t no, float t[11]);       /* t: content of T variable no */
KLV_API int32_t klv_put_VarT(int32_t no, const float t[11]); /* t: new content of T variable no */

/* ---------------------------------------------------------------------------------------------
 * Tasks. task: 1 to 8 (KLV_C_UNKNOWN_TASK otherwise).
 * ------------------------------------------------------------------------------------------- */
/* Starts program (name, 1 to 32 bytes) as task; needs internal automatic mode. */
KLV_API int32_t klv_StartTask(int32_t task, const char* program);
/* Stops the task (succeeds also when it is stopped). */
KLV_API int32_t klv_StopTask(int32_t task);
/* state: 0 stopped, 1 running. */
KLV_API int32_t klv_get_TaskState(int32_t task, int32_t* state);

#ifdef __cplusplus
}
#endif

#endif /* KELVOR_H */
