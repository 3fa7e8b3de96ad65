// The OpenGL calls a program makes, as apitrace records them.
//
//   std::optional<gl_trace> trace = record_trace(display, {program}, plan);
//
// GLU and GLUT are not traced themselves, only the GL and GLX calls they make
// (gluPerspective arrives as glMultMatrixd, gluSphere as glBegin/glNormal3f/
// glVertex3f/glEnd strips, glutSwapBuffers as glFlush + glXSwapBuffers).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/process.h"
#include "support/window.h"

namespace test_support {

struct gl_call {
    unsigned long number = 0;       // apitrace's call number
    std::string function;           // "glLightfv"
    std::vector<std::string> args;  // each argument as apitrace writes it: "GL_LIGHT0", "{0.4, 1.4, 0.4, 1}"
    std::string result;             // after " = ", or ""
    std::string text;               // "glLightfv(GL_LIGHT0, GL_SPECULAR, {0.4, 1.4, 0.4, 1})"
    bool fake = false;              // made up by apitrace ("// fake"), not called by the program

    // The numbers in argument `index`, in order: "{0.2, 1, 0.2}" gives 0.2, 1, 0.2;
    // "-1.5" gives -1.5; symbols and pointers give nothing.
    std::vector<double> numbers(std::size_t index) const;
};

struct gl_trace {
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    std::vector<gl_call> calls;  // fake calls included, in order

    // Index of the first call to `function` at or after `from`, or npos.
    std::size_t find(const std::string& function, std::size_t from = 0) const;
    std::vector<std::size_t> find_all(const std::string& function) const;

    // Each frame as an index range [first, last]: the calls after the previous
    // glXSwapBuffers (or from the start) up to and including the next one.
    std::vector<std::pair<std::size_t, std::size_t>> frames() const;
};

// argv for running `program_argv` under `apitrace trace -o trace_file`.
std::vector<std::string> apitrace_command(const std::string& trace_file,
                                          const std::vector<std::string>& program_argv);

// `options` plus what a traced program needs: the tracer is an LD_PRELOAD,
// which a sanitizer runtime otherwise refuses to start after.
spawn_options apitrace_options(spawn_options options = {});

// `apitrace dump` of the file, parsed. `call_set` is apitrace's --calls
// syntax ("0-2000", "frame"), empty for all. Nothing, with the reason in
// `error`, when the dump fails.
std::optional<gl_trace> read_trace(const std::string& trace_file, std::string* error = nullptr,
                                  const std::string& call_set = "");

// How record_trace drives the program.
struct trace_plan {
    spawn_options options;                      // working directory, environment
    std::vector<std::pair<int, int>> resizes;   // window sizes to go through, in turn
    int frames = 2;                             // new frames to wait for at each size (2 or more)
    bool idle_loop = false;                     // draws on its own; else frames are asked for by Exposes
};

// The whole traced session of a program whose window is titled "Szablon":
// starts it under apitrace, waits for new frames, resizes the window to each
// size of the plan waiting for new frames at that size, closes the window as
// a user would, expects exit status 0 and reads the trace back. A program
// that draws only when asked is watched a while before the close: its picture
// must not change.
// Records failures through GoogleTest; nothing when there is no trace.
std::optional<gl_trace> record_trace(Display* display, const std::vector<std::string>& argv,
                                     const trace_plan& plan = {});

// The parser behind read_trace, for dump text (arg names off, one call a line).
gl_trace parse_trace_dump(const std::string& dump);

// Splits an argument list at its top-level commas, keeping braces, brackets,
// parentheses and quoted strings whole.
std::vector<std::string> split_arguments(const std::string& list);

}  // namespace test_support
