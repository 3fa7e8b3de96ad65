// Running a sphere program under apitrace and reading its calls back in a
// form that can be compared line by line with what the program must do.
#pragma once

#include "spheres_common.h"

#include <cstdio>

namespace spheres_test {

// How summarise() writes one gluSphere(quadric, 1.0, 50, 50) drawn with
// GLU_FILL and GLU_OUTSIDE: GLU turns it into two fans and 48 quad strips.
inline const std::string unit_sphere = "sphere: radius 1, 50 slices, 50 stacks, filled, normals outward";

// The calls the program made between two indices (inclusive): GL calls and
// the swap, without apitrace's own ("fake") calls and GLX housekeeping.
inline std::vector<const test_support::gl_call*> program_calls(const test_support::gl_trace& trace, size_t first, size_t last)
{
    std::vector<const test_support::gl_call*> calls;
    for (size_t i = first; i <= last && i < trace.calls.size(); ++i) {
        const test_support::gl_call& call = trace.calls[i];
        if (call.fake)
            continue;
        const bool glx = call.function.rfind("glX", 0) == 0;
        if (call.function.rfind("gl", 0) == 0 && (!glx || call.function == "glXSwapBuffers"))
            calls.push_back(&call);
    }
    return calls;
}

// What a run of glBegin/glNormal3f/glVertex3f/glEnd draws, measured.
inline std::string describe_primitives(const std::vector<const test_support::gl_call*>& run)
{
    int begins = 0, fans = 0, strips = 0, lines = 0;
    int fan_vertices = -1, strip_vertices = -1, vertices = 0;
    bool same_fans = true, same_strips = true;
    int outward = 0, inward = 0;
    double radius_low = 1e9, radius_high = 0;
    std::string mode;
    std::vector<double> normal{0, 0, 0};
    for (const test_support::gl_call* call : run) {
        if (call->function == "glBegin") {
            ++begins;
            vertices = 0;
            mode = call->args.empty() ? "" : call->args[0];
        } else if (call->function == "glEnd") {
            if (mode == "GL_TRIANGLE_FAN") {
                ++fans;
                same_fans = same_fans && (fan_vertices < 0 || fan_vertices == vertices);
                fan_vertices = vertices;
            } else if (mode == "GL_QUAD_STRIP") {
                ++strips;
                same_strips = same_strips && (strip_vertices < 0 || strip_vertices == vertices);
                strip_vertices = vertices;
            } else {
                ++lines;
            }
        } else if (call->function == "glNormal3f") {
            if (call->args.size() == 3)
                normal = {std::stod(call->args[0]), std::stod(call->args[1]), std::stod(call->args[2])};
        } else if (call->function == "glVertex3f" && call->args.size() == 3) {
            const vec3 v{std::stod(call->args[0]), std::stod(call->args[1]), std::stod(call->args[2])};
            const double r = std::sqrt(dot(v, v));
            radius_low = std::min(radius_low, r);
            radius_high = std::max(radius_high, r);
            const double facing = normal.size() == 3 ? dot(v, {normal[0], normal[1], normal[2]}) / r : 0;
            outward += facing > 0.99;
            inward += facing < -0.99;
            ++vertices;
        }
    }
    const int total = outward + inward;
    char text[200];
    if (fans == 2 && lines == 0 && same_fans && same_strips && radius_high - radius_low < 1e-5 &&
        (outward == 0 || inward == 0) && total > 0) {
        // A fan holds the pole and slices + 1 rim points; each strip 2 (slices + 1).
        std::snprintf(text, sizeof text, "sphere: radius %g, %d slices, %d stacks, filled, normals %s",
                      std::round(radius_high * 1e5) / 1e5, fan_vertices - 2, begins,
                      inward ? "inward" : "outward");
        if (strip_vertices != 2 * (fan_vertices - 1))
            return std::string(text) + " (strips of " + std::to_string(strip_vertices) + " vertices)";
        return text;
    }
    std::snprintf(text, sizeof text,
                  "primitives: %d (fans %d, strips %d, other %d), radius %g to %g, normals %d out %d in of %d",
                  begins, fans, strips, lines, radius_low, radius_high, outward, inward, total);
    return text;
}

// One line per call, each sphere's primitives folded into one line, the swap
// and the projection matrix by name only (their values are checked apart).
inline std::vector<std::string> summarise(const std::vector<const test_support::gl_call*>& calls)
{
    auto primitive = [](const test_support::gl_call* call) {
        return call->function == "glBegin" || call->function == "glEnd" || call->function == "glNormal3f" ||
               call->function == "glVertex3f";
    };
    std::vector<std::string> lines;
    for (size_t i = 0; i < calls.size();) {
        if (primitive(calls[i])) {
            std::vector<const test_support::gl_call*> run;
            while (i < calls.size() && primitive(calls[i]))
                run.push_back(calls[i++]);
            lines.push_back(describe_primitives(run));
            continue;
        }
        const std::string& function = calls[i]->function;
        lines.push_back(function == "glXSwapBuffers" || function == "glMultMatrixd" ? function : calls[i]->text);
        ++i;
    }
    return lines;
}

// The matrix gluPerspective(45, aspect, 1, 10000) multiplies in, column by column.
inline void expect_perspective(const test_support::gl_call& call, double aspect)
{
    const double f = 1.0 / std::tan(22.5 * M_PI / 180.0);
    const double near_plane = 1.0, far_plane = 10000.0;
    const std::vector<double> expected{f / aspect, 0, 0, 0, 0, f, 0, 0, 0, 0,
                                       (far_plane + near_plane) / (near_plane - far_plane), -1, 0, 0,
                                       2 * far_plane * near_plane / (near_plane - far_plane), 0};
    const std::vector<double> seen = call.numbers(0);
    ASSERT_EQ(seen.size(), expected.size()) << call.text;
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(seen[i], expected[i], 1e-9 * std::max(1.0, std::abs(expected[i]))) << "element " << i << " of " << call.text;
}

}  // namespace spheres_test
