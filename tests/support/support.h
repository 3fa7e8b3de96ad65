// The tests' helpers: run our real programs the way a user does and look at
// what the user would see. Link `test_support` and, for a GoogleTest
// main that brings up the X server, `test_support_xvfb_main`.
//
//   files.h     a temporary folder of the test's own, whole-file reads, the
//               shared test data (REQUIRE_TESTDATA skips a test without it).
//   wait.h      wait_until: the one way to wait, for the thing itself with a
//               deadline, never a guess of time.
//   xserver.h   a private Xvfb per test process (DISPLAY set, software GL),
//               stopped at exit; several test binaries may run in parallel
//               and no display is needed on the machine.
//   process.h   spawn a program with args, working directory and extra
//               environment; stdout and stderr captured apart; wait with a
//               timeout; kill (the whole process group).
//   window.h    find a viewable window by exact title, its geometry, capture
//               it as RGB until it shows what is wanted, close it as a user
//               would (WM_DELETE_WINDOW), resize, paint, expose it, press a
//               key in it, wait for new frames of a program's idle loop.
//   image.h     RGB image, pixel access, measures, comparison, PPM and PNG.
//   gl_trace.h  a whole session of a program under `apitrace trace`, the
//               trace parsed into calls with their arguments and frames.
//
// Everything is in namespace test_support. Timeouts are std::chrono::milliseconds.
#pragma once

// GoogleTest before Xlib: Xlib's macros (Bool, None, Status) break its names.
#include <gtest/gtest.h>

#include "support/files.h"
#include "support/gl_trace.h"
#include "support/image.h"
#include "support/process.h"
#include "support/window.h"
#include "support/wait.h"
#include "support/xserver.h"
