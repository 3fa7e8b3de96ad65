// End-to-end test support: run our real programs the way a user does and
// look at what the user would see. Link `test_support` and, for a GoogleTest
// main that brings up the X server, `test_support_e2e_main`.
//
//   xserver.h   a private Xvfb per test process (DISPLAY set, software GL),
//               stopped at exit; several test binaries may run in parallel
//               and no display is needed on the machine.
//   process.h   spawn a program with args, working directory and extra
//               environment; stdout and stderr captured apart; wait with a
//               timeout; kill (the whole process group).
//   window.h    find a viewable window by exact title, its geometry, capture
//               it as RGB, close it as a user would (WM_DELETE_WINDOW),
//               resize it, damage and expose it, press a key in it.
//   image.h     RGB image, pixel access, mean, non-black count, PPM/PNG out.
//   gl_trace.h  run a program under `apitrace trace`, dump and parse the
//               trace into calls with their arguments, split it into frames.
//
// Everything is in namespace e2e. Timeouts are std::chrono::milliseconds.
#pragma once

// GoogleTest before Xlib: Xlib's macros (Bool, None, Status) break its names.
#include <gtest/gtest.h>

#include "support/gl_trace.h"
#include "support/image.h"
#include "support/process.h"
#include "support/window.h"
#include "support/xserver.h"
