// What the sphere programs' tests share: the two builds, starting one on the
// private X server, and an independent model of the scene they must show
// (ray-cast spheres lit by the fixed-function formula), to judge pictures by.
#pragma once

#include "support/support.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace spheres_test {

using namespace std::chrono_literals;

// ---- the two builds ----------------------------------------------------------

struct sphere_build {
    const char* name;
    const char* binary;
    bool additive;           // GL_SRC_COLOR, GL_ONE; else GL_SRC_ALPHA, GL_DST_ALPHA
    std::array<double, 3> row_alpha;
};

inline const sphere_build add_build{"spheres_add", SPHERES_ADD_BINARY, true, {1.0, 1.0, 1.0}};
inline const sphere_build alpha_build{"spheres_alpha", SPHERES_ALPHA_BINARY, false, {1.0, 0.7, 0.9}};
inline const std::vector<sphere_build> builds{add_build, alpha_build};

inline std::string build_name(const testing::TestParamInfo<sphere_build>& info) { return info.param.name; }
inline void PrintTo(const sphere_build& build, std::ostream* out) { *out << build.name; }

// ---- running one --------------------------------------------------------------

struct running_program {
    test_support::child_process process;
    Window window = 0;
};

// Starts the program and waits for its "Szablon" window; fails the test
// (and returns nothing) if none appears.
inline std::optional<running_program> start(Display* display, const std::vector<std::string>& argv,
                                            const test_support::spawn_options& options = {})
{
    // A window left by an earlier run in this process must not be taken for the new one.
    const std::vector<Window> earlier = test_support::windows_titled(display, "Szablon");
    running_program running{test_support::child_process::spawn(argv, options), 0};
    const std::optional<Window> window = test_support::find_window(display, "Szablon", 10s, earlier);
    if (!window) {
        ADD_FAILURE() << argv.front() << " showed no window titled Szablon; stderr:\n"
                      << running.process.stderr_text();
        return std::nullopt;
    }
    running.window = *window;
    return running;
}

// Closes the window as a user would and returns how the process ended.
inline std::optional<test_support::exit_status> close_and_wait(Display* display, running_program& running)
{
    test_support::close_window(display, running.window);
    return running.process.wait_for_exit(10s);
}

inline void save_for_inspection(const test_support::rgb_image& image, const std::string& name)
{
    const std::string path = test_support::artifact_path(name + ".png");
    if (test_support::write_png(image, path))
        std::fprintf(stderr, "picture left at %s\n", path.c_str());
}

// ---- the scene as it should look -------------------------------------------------

using vec3 = std::array<double, 3>;

inline double dot(const vec3& a, const vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
inline vec3 scaled(const vec3& a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }
inline vec3 minus(const vec3& a, const vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
inline vec3 normalised(const vec3& a) { return scaled(a, 1.0 / std::sqrt(dot(a, a))); }

struct scene_sphere {
    vec3 centre;
    int row;  // 0 nearest (green), 1 red, 2 farthest (blue)
};

// Eye coordinates; radius 1 each.
inline const std::array<scene_sphere, 6> scene{{
    {{-2, -1.5, -7}, 0},
    {{2, -1.5, -7}, 0},
    {{2, -1.5, -12}, 1},
    {{-2, -1.5, -12}, 1},
    {{-2, -1.5, -17}, 2},
    {{2, -1.5, -17}, 2},
}};
inline const std::array<vec3, 3> row_colour{{{0.2, 1.0, 0.2}, {1.0, 0.2, 0.2}, {0.1, 0.2, 1.0}}};

inline const vec3 light_position{-20, 20, 30};
inline const vec3 highlight_colour{0.4 * 0.5, 1.4 * 0.5, 0.4 * 0.5};  // light specular x material specular
constexpr double scene_ambient = 0.2;                                // GL's default light model ambient
constexpr double shininess = 100;
const double tan_half_fov = std::tan(22.5 * M_PI / 180.0);

// Ray from the eye through the centre of pixel (x, y), y counted from the top.
inline vec3 pixel_ray(double x, double y, int width, int height)
{
    const double ndc_x = 2.0 * (x + 0.5) / width - 1.0;
    const double ndc_y = 1.0 - 2.0 * (y + 0.5) / height;
    const double aspect = static_cast<double>(width) / height;
    return {ndc_x * aspect * tan_half_fov, ndc_y * tan_half_fov, -1.0};
}

// Distances along the ray to where it enters and leaves the sphere.
inline std::optional<std::array<double, 2>> hits(const vec3& ray, const scene_sphere& sphere)
{
    const double a = dot(ray, ray);
    const double b = -2.0 * dot(ray, sphere.centre);
    const double c = dot(sphere.centre, sphere.centre) - 1.0;
    const double disc = b * b - 4 * a * c;
    if (disc < 0)
        return std::nullopt;
    const double root = std::sqrt(disc);
    return std::array<double, 2>{(-b - root) / (2 * a), (-b + root) / (2 * a)};
}

// Which spheres the pixel's centre sees, one bit each.
inline unsigned coverage(double x, double y, int width, int height)
{
    const vec3 ray = pixel_ray(x, y, width, height);
    unsigned bits = 0;
    for (size_t i = 0; i < scene.size(); ++i) {
        if (hits(ray, scene[i]))
            bits |= 1u << i;
    }
    return bits;
}

// Away from every outline: the same spheres cover everything within `margin` pixels.
inline bool inside_outlines(int x, int y, int width, int height, double margin = 2.0)
{
    const unsigned here = coverage(x, y, width, height);
    for (double dx : {-margin, 0.0, margin}) {
        for (double dy : {-margin, 0.0, margin}) {
            if (coverage(x + dx, y + dy, width, height) != here)
                return false;
        }
    }
    return true;
}

struct lit_colour {
    vec3 colour;
    // GL lights the vertices, 7.2 degrees apart, and interpolates: near a
    // highlight, the shadow line or a clamp at 1 that differs from this
    // per-point model by more than rounding.
    bool vertex_lighting_differs;
};

// Fixed-function lighting of one surface point: colour material gives the row
// colour as ambient and diffuse, no emission, light 0 with no ambient.
inline lit_colour light_point(const vec3& point, const vec3& normal, const vec3& colour)
{
    const vec3 to_light = normalised(minus(light_position, point));
    const double n_dot_l = dot(normal, to_light);
    const vec3 half = normalised({to_light[0], to_light[1], to_light[2] + 1.0});
    const double n_dot_h = std::max(dot(normal, half), 0.0);
    const double highlight = n_dot_l > 0 ? std::pow(n_dot_h, shininess) : 0.0;
    const double highlight_angle = std::acos(std::min(n_dot_h, 1.0)) * 180.0 / M_PI;
    lit_colour lit{{}, std::abs(n_dot_l) < 0.15 || (n_dot_l > 0 && highlight_angle < 25.0)};
    for (int c = 0; c < 3; ++c) {
        const double value = scene_ambient * colour[c] + std::max(n_dot_l, 0.0) * colour[c] +
                             highlight * highlight_colour[c];
        lit.vertex_lighting_differs = lit.vertex_lighting_differs || std::abs(value - 1.0) < 0.15;
        lit.colour[c] = std::min(std::max(value, 0.0), 1.0);
    }
    return lit;
}

struct expected_colour {
    vec3 colour;          // 0 to 1
    bool uncertain;  // vertex lighting may differ from this model here (see lit_colour)
};

// The colour the build must show at a pixel: every sphere is drawn whole, front
// and back, and every fragment blended (depth writes are off). Additive: the
// sum of colour x colour. Alpha: colour x alpha plus destination x destination
// alpha, which is 1 once a row-1 fragment (alpha 1, drawn first) has landed, so
// only pixels row 1 covers are predicted for it. Nothing where not predicted.
inline std::optional<expected_colour> expected_pixel(const sphere_build& build, int x, int y, int width, int height)
{
    const vec3 ray = pixel_ray(x, y, width, height);
    expected_colour expected{{0, 0, 0}, false};
    bool row_one = false;
    for (const scene_sphere& sphere : scene) {
        const auto distances = hits(ray, sphere);
        if (!distances)
            continue;
        row_one = row_one || sphere.row == 0;
        for (double t : *distances) {
            const vec3 point = scaled(ray, t);
            const lit_colour lit = light_point(point, minus(point, sphere.centre), row_colour[sphere.row]);
            expected.uncertain = expected.uncertain || lit.vertex_lighting_differs;
            for (int c = 0; c < 3; ++c) {
                const double factor = build.additive ? lit.colour[c] : build.row_alpha[sphere.row];
                expected.colour[c] += lit.colour[c] * factor;
            }
        }
    }
    if (!build.additive && !row_one)
        return std::nullopt;
    for (double& c : expected.colour)
        c = std::min(c, 1.0);
    return expected;
}

// Size in pixels of a sphere's outline: the tangents from the eye, per axis.
inline std::array<double, 2> outline_size(const scene_sphere& sphere, int width, int height)
{
    const double aspect = static_cast<double>(width) / height;
    auto extent = [&](double across, double pixels, double scale) {
        const double distance = std::hypot(across, sphere.centre[2]);
        const double middle = std::atan2(across, -sphere.centre[2]);
        const double half = std::asin(1.0 / distance);
        return (std::tan(middle + half) - std::tan(middle - half)) / (2 * scale) * pixels;
    };
    return {extent(sphere.centre[0], width, aspect * tan_half_fov), extent(sphere.centre[1], height, tan_half_fov)};
}

// Where a sphere's centre lands, in pixels from the top-left.
inline std::array<double, 2> centre_pixel(const scene_sphere& sphere, int width, int height)
{
    const double aspect = static_cast<double>(width) / height;
    const double ndc_x = sphere.centre[0] / -sphere.centre[2] / (aspect * tan_half_fov);
    const double ndc_y = sphere.centre[1] / -sphere.centre[2] / tan_half_fov;
    return {(ndc_x + 1) * width / 2, (1 - ndc_y) * height / 2};
}

}  // namespace spheres_test
