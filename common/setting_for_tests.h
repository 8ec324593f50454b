// Settings that only tests give: a folder of fake devices, a lock folder of
// their own, a point to stop at. Root runs the command line at boot, and a
// caller may shape root's environment (sudo with env_keep, SETENV or -E): as
// root they are not read at all, so that none of them can move a lock where
// no other program looks, hide a device, or stop root holding a port.
#pragma once

// The value of the environment variable `name`, or nullptr when it is unset,
// empty, or the program runs as root.
const char* test_setting(const char* name);
