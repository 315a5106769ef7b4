// Safe access to the devices behind COM numbers, shared by the tester's port probe, the
// client library and kelvor-sim.
//
// Virtual COM ports (COM129 to COM256) are symbolic links to pseudo-terminals in a directory
// private to the user: "$XDG_RUNTIME_DIR/kelvor" when the runtime directory belongs to the
// user and nobody else may enter it, else "/tmp/kelvor-UID". kelvor-sim creates it with mode
// 0700 and refuses to use it unless it is a real directory owned by the user with no access
// for group or others, so no other user can plant a port there.
#pragma once

#include <string>

namespace kelvor {

// The directory of this user's virtual COM ports (not created).
std::string virtualPortDir();

// Creates virtualPortDir() when missing (mode 0700) and checks that it is a directory, not a
// symbolic link, owned by the user, with no permissions for group or others. On success dir
// holds it; otherwise error says what is wrong.
bool prepareVirtualPortDir(std::string& dir, std::string& error);

// The link that kelvor-sim --pty ARG makes: "COMn" with n a virtual COM number is that port's
// link in the prepared virtual-port directory; any other ARG is taken as the link's path.
bool ptyLinkPath(const std::string& arg, std::string& link, std::string& error);

// Opens the serial device at path for reading and writing, non-blocking and without making
// it the controlling terminal, unless another user could have put it there:
//  - the entry (the device node or a symbolic link to it) must belong to the user or root,
//  - its directory must belong to the user or root and be writable by nobody else,
//  - its target must be a character device (no file, FIFO or socket is opened), and the
//    device, once open, a terminal; the descriptor must be the file that was checked.
// Returns the descriptor (close-on-exec), or -1 with why (when given) saying why.
int openPortDevice(const std::string& path, std::string* why = nullptr);

}  // namespace kelvor
