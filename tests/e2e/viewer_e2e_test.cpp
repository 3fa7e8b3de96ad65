// model_viewer as a user runs it: the real binary in a folder of its own on
// the private X server, its window, its stdout, its pictures, its GL calls,
// and the error box when the texture cannot be read.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/writer.h"
#include "model.h"
#include "support/support.h"

using namespace std::chrono_literals;

namespace {

Model expected_model;

const std::string viewer = MODEL_VIEWER;

// Not blank: the face, the red icon and the dark text are all there.
struct box_look {
    long red = 0, dark = 0, light = 0;
};

box_look look_of(const test_support::rgb_image& picture)
{
    box_look look;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const test_support::rgb_pixel c = picture.at(x, y);
            look.red += c.r > 180 && c.g < 100 && c.b < 100;
            look.dark += c.r < 60 && c.g < 60 && c.b < 60;
            look.light += c.r > 200 && c.g > 200 && c.b > 200;
        }
    return look;
}

bool looks_painted(const test_support::rgb_image& picture)
{
    const box_look look = look_of(picture);
    return look.red > 100 && look.dark > 100 && look.light > picture.width * picture.height / 2;
}

class ViewerE2e : public testing::Test {
protected:
    std::string file(const std::string& name) const { return folder.file(name); }

    void write_demo_assets()
    {
        const test_support::run_result r = test_support::run_program({MAKE_DEMO_ASSETS, folder.path()});
        ASSERT_EQ(r.code(), 0) << r.err;
    }

    // What the loader prints for this folder's model, by the library itself.
    std::string loading_lines()
    {
        const test_support::run_result r = test_support::run_program({ASSET_INFO, "model", file("szablon.3ds")});
        return r.out;
    }

    test_support::spawn_options in_folder() const
    {
        test_support::spawn_options options;
        options.working_directory = folder.path();
        return options;
    }

    test_support::child_process start(const std::vector<std::string>& argv)
    {
        return test_support::child_process::spawn(argv, in_folder());
    }

    // Waits until the process has printed `text` on stdout (it flushes once loading ends).
    static bool wait_for_stdout(test_support::child_process& p, const std::string& text)
    {
        return test_support::wait_until([&] { return p.stdout_text().find(text) != std::string::npos; }, 10s);
    }

    // Waits for the error box and for it to be painted; its last capture in `picture`.
    std::optional<Window> painted_box(test_support::child_process& p, std::optional<test_support::rgb_image>* picture)
    {
        const std::optional<Window> box = test_support::find_window(x, "Problem");
        EXPECT_TRUE(box) << "no error box; stderr:\n" << p.stderr_text();
        if (!box)
            return std::nullopt;
        *picture = test_support::capture_until(x, *box, looks_painted);
        EXPECT_TRUE(*picture && looks_painted(**picture)) << "the box was never painted";
        return box;
    }

    test_support::temp_folder folder{"viewer-e2e"};
    test_support::x_connection x;
};

std::vector<uint8_t> uniform_rgb(int side, uint8_t r, uint8_t g, uint8_t b)
{
    std::vector<uint8_t> rgb;
    for (int i = 0; i < side * side; ++i)
        rgb.insert(rgb.end(), {r, g, b});
    return rgb;
}

// Layer k of fragments of colour s over black, blended as source x source +
// destination x source: c1 = s^2, ck = s^2 + c(k-1) * s, clamped to 1.
std::vector<double> blended_layers(double s, int layers)
{
    std::vector<double> values;
    double c = 0.0;
    for (int k = 0; k < layers; ++k) {
        c = std::min(1.0, s * s + c * s);
        values.push_back(255.0 * c);
    }
    return values;
}

bool close_to_a_layer(const test_support::rgb_pixel& pixel, const std::vector<double> layers[3], int tolerance)
{
    const int channel[3] = {pixel.r, pixel.g, pixel.b};
    for (size_t k = 0; k < layers[0].size(); ++k) {
        bool all = true;
        for (int c = 0; c < 3; ++c)
            all = all && std::abs(channel[c] - layers[c][k]) <= tolerance;
        if (all)
            return true;
    }
    return false;
}

}  // namespace

// ---- the demo scene ---------------------------------------------------------

TEST_F(ViewerE2e, DemoSceneOpensItsWindowPrintsTheLoaderLinesAndRunsUntilClosed)
{
    write_demo_assets();
    test_support::child_process p = start({viewer});
    const std::optional<Window> w = test_support::find_window(x, "Szablon");
    ASSERT_TRUE(w) << p.stderr_text();
    const std::optional<test_support::window_rect> g = test_support::window_geometry(x, *w);
    ASSERT_TRUE(g);
    EXPECT_EQ(g->x, 0);
    EXPECT_EQ(g->y, 0);
    EXPECT_EQ(g->width, 640);
    EXPECT_EQ(g->height, 480);

    ASSERT_TRUE(wait_for_stdout(p, "offesty: ")) << p.stdout_text();
    EXPECT_EQ(p.stdout_text(), loading_lines()) << "stdout carries exactly the loader's lines";

    const auto covered = [](const test_support::rgb_image& shot) { return test_support::count_non_black(shot, 16) > 640 * 480 / 10; };
    const std::optional<test_support::rgb_image> frame = test_support::capture_until(x, *w, covered);
    ASSERT_TRUE(frame);
    test_support::write_png(*frame, test_support::artifact_path("viewer_demo.png"));
    EXPECT_GT(test_support::count_non_black(*frame, 16), 640 * 480 / 10) << "the models cover the window";

    // It animates: a later frame differs.
    const std::optional<test_support::rgb_image> later = test_support::capture_until(
        x, *w, [&](const test_support::rgb_image& shot) { return test_support::count_different(*frame, shot, 8) > 100; });
    ASSERT_TRUE(later);
    EXPECT_GT(test_support::count_different(*frame, *later, 8), 100);

    EXPECT_TRUE(p.running()) << "the viewer ends only when its window is closed";
    ASSERT_TRUE(test_support::close_window(x, *w));
    const std::optional<test_support::exit_status> status = p.wait_for_exit(10s);
    ASSERT_TRUE(status) << "still running after its window was closed";
    EXPECT_TRUE(status->exited_with(0)) << *status;
    EXPECT_EQ(p.stderr_text(), "");
}

TEST_F(ViewerE2e, FragmentsBlendAsSourceTimesSourcePlusDestinationTimesSource)
{
    // One colour everywhere, so every pixel must be the colour blended over
    // black some number of times, and nothing else.
    write_demo_assets();
    const uint8_t colour[3] = {230, 180, 120};
    ASSERT_TRUE(formats::write_file(file("szablon.bmp"),
                           formats::make_bmp24(16, 16, uniform_rgb(16, colour[0], colour[1], colour[2]))));
    test_support::child_process p = start({viewer});
    const std::optional<Window> w = test_support::find_window(x, "Szablon");
    ASSERT_TRUE(w);

    std::vector<double> layers[3];
    for (int c = 0; c < 3; ++c)
        layers[c] = blended_layers(colour[c] / 255.0, 24);
    struct blend_count {
        long drawn = 0, off = 0, deep = 0;
    };
    const auto count = [&](const test_support::rgb_image& shot) {
        blend_count n;
        for (int y = 0; y < shot.height; ++y) {
            for (int x_ = 0; x_ < shot.width; ++x_) {
                const test_support::rgb_pixel pixel = shot.at(x_, y);
                if (pixel == test_support::rgb_pixel{})
                    continue;
                ++n.drawn;
                n.off += !close_to_a_layer(pixel, layers, 3);
                n.deep += std::abs(pixel.g - layers[1][0]) > 3;  // more than one layer
            }
        }
        return n;
    };
    const std::optional<test_support::rgb_image> frame = test_support::capture_until(x, *w, [&](const test_support::rgb_image& shot) {
        const blend_count n = count(shot);
        return n.drawn > 20000 && n.deep > 1000;
    });
    ASSERT_TRUE(frame);
    test_support::write_png(*frame, test_support::artifact_path("viewer_uniform.png"));
    const blend_count n = count(*frame);
    EXPECT_GT(n.drawn, 20000);
    EXPECT_EQ(n.off, 0) << "pixels that no number of blended layers gives";
    EXPECT_GT(n.deep, 1000) << "overlapping surfaces must add up, not hide each other";
    test_support::close_window(x, *w);
    p.wait_for_exit(10s);
}

// ---- the GL call stream -------------------------------------------------------

class ViewerTrace : public ViewerE2e {
protected:
    // Runs the viewer under apitrace, lets it draw three frames, resizes it to
    // 800 x 600, lets it draw three more and closes it.
    void record()
    {
        write_demo_assets();
        std::optional<test_support::gl_trace> t = test_support::record_trace(x, {viewer}, {in_folder(), {{800, 600}}, 3, true});
        ASSERT_FALSE(HasFailure());
        ASSERT_TRUE(t);
        trace = std::move(*t);
        // Drop what apitrace made up itself.
        trace.calls.erase(std::remove_if(trace.calls.begin(), trace.calls.end(),
                                         [](const test_support::gl_call& c) { return c.fake; }),
                          trace.calls.end());

        load_3ds_model(&expected_model, file("szablon.3ds").c_str(), nullptr, nullptr, nullptr);
    }

    // Expects the calls from `at` on to be exactly `texts`, in order; returns the index after.
    size_t expect_sequence(size_t at, const std::vector<std::string>& texts)
    {
        for (const std::string& text : texts) {
            if (at >= trace.calls.size()) {
                ADD_FAILURE() << "trace ended before " << text;
                return at;
            }
            EXPECT_EQ(trace.calls[at].text, text) << "call " << trace.calls[at].number;
            ++at;
        }
        return at;
    }

    test_support::gl_trace trace;
};

TEST_F(ViewerTrace, StartUpStateTextureUploadAndFirstFrameInOrder)
{
    ASSERT_NO_FATAL_FAILURE(record());
    // Normalise a copy the way the viewer did, to know the vertices it sends.
    fit_model(&expected_model);

    size_t at = trace.find("glClearColor");
    ASSERT_NE(at, test_support::gl_trace::npos);
    at = expect_sequence(at, {"glClearColor(0, 0, 0, 0)", "glShadeModel(GL_SMOOTH)",
                              "glMatrixMode(GL_PROJECTION)", "glLoadIdentity()",
                              "glEnable(GL_DEPTH_TEST)",
                              "glPolygonMode(GL_FRONT_AND_BACK, GL_FILL)",
                              "glEnable(GL_TEXTURE_2D)"});
    // The upload: the texture limit is asked for, then the name 0 is bound and filled.
    at = expect_sequence(at + 1, {"glBindTexture(GL_TEXTURE_2D, 0)",
                                  "glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT)",
                                  "glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT)",
                                  "glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR)",
                                  "glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, "
                                  "GL_LINEAR_MIPMAP_NEAREST)",
                                  "glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE)",
                                  "glTexImage2D(GL_TEXTURE_2D, 0, 4, 256, 256, 0, GL_RGBA, "
                                  "GL_UNSIGNED_BYTE, blob(262144))"});
    // The mipmap builder gives level 0 again and the rest of the chain down to 1 x 1.
    const size_t last_level = trace.find("glTexImage2D", at);
    ASSERT_NE(last_level, test_support::gl_trace::npos);
    size_t level = last_level;
    while (trace.find("glTexImage2D", level + 1) < trace.find("glXSwapBuffers"))
        level = trace.find("glTexImage2D", level + 1);
    EXPECT_EQ(trace.calls[level].text,
              "glTexImage2D(GL_TEXTURE_2D, 8, 4, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, blob(4))");

    // The first reshape, then the first frame.
    at = trace.find("glClear", level);
    at = expect_sequence(at, {"glClear(GL_DEPTH_BUFFER_BIT | GL_COLOR_BUFFER_BIT)",
                              "glViewport(0, 0, 640, 480)", "glMatrixMode(GL_PROJECTION)",
                              "glLoadIdentity()"});
    ASSERT_EQ(trace.calls[at].function, "glMultMatrixd");
    at = trace.find("glEnable", at);
    at = expect_sequence(at, {"glEnable(GL_BLEND)", "glDepthMask(GL_FALSE)",
                              "glBlendFunc(GL_SRC_COLOR, GL_SRC_COLOR)",
                              "glClear(GL_DEPTH_BUFFER_BIT | GL_COLOR_BUFFER_BIT)",
                              "glMatrixMode(GL_MODELVIEW)", "glLoadIdentity()",
                              "glTranslatef(0, 0, -19)", "glRotatef(10.1, 0, 1, 0)",
                              "glRotatef(40, 0, 0, 1)", "glTranslatef(0, 0, -3)"});
    for (int copy = 0; copy < 2; ++copy) {
        if (copy == 1)
            at = expect_sequence(at, {"glTranslatef(0, 0, 6)"});
        at = expect_sequence(at, {"glBindTexture(GL_TEXTURE_2D, 0)", "glBegin(GL_TRIANGLES)"});
        for (int32_t f = 0; f < expected_model.face_count && at + 1 < trace.calls.size(); ++f) {
            const model_face& face = expected_model.faces[f];
            for (int32_t idx : {face.a, face.b, face.c}) {
                const test_support::gl_call& tc = trace.calls[at++];
                const test_support::gl_call& vx = trace.calls[at++];
                ASSERT_EQ(tc.function, "glTexCoord2f") << tc.number;
                ASSERT_EQ(vx.function, "glVertex3f") << vx.number;
                const std::vector<double> uv = {tc.numbers(0)[0], tc.numbers(1)[0]};
                const std::vector<double> xyz = {vx.numbers(0)[0], vx.numbers(1)[0],
                                                 vx.numbers(2)[0]};
                ASSERT_NEAR(uv[0], expected_model.texcoords[idx].u, 1e-5) << tc.number;
                ASSERT_NEAR(uv[1], expected_model.texcoords[idx].v, 1e-5) << tc.number;
                ASSERT_NEAR(xyz[0], expected_model.vertices[idx].x, 1e-5) << vx.number;
                ASSERT_NEAR(xyz[1], expected_model.vertices[idx].y, 1e-5) << vx.number;
                ASSERT_NEAR(xyz[2], expected_model.vertices[idx].z, 1e-5) << vx.number;
            }
        }
        at = expect_sequence(at, {"glEnd()"});
    }
    at = expect_sequence(at, {"glDepthMask(GL_TRUE)", "glFlush()"});
    EXPECT_EQ(trace.find("glXSwapBuffers", at), at + 1) << "glutSwapBuffers flushes, then swaps";
}

TEST_F(ViewerTrace, FramesTurnByATenthOfADegree)
{
    ASSERT_NO_FATAL_FAILURE(record());
    const std::vector<size_t> rotations = trace.find_all("glRotatef");
    std::vector<double> angles;
    for (size_t i : rotations)
        if (trace.calls[i].numbers(2)[0] == 1.0)  // about the vertical axis
            angles.push_back(trace.calls[i].numbers(0)[0]);
    ASSERT_GE(angles.size(), 5u);
    for (size_t k = 0; k < angles.size() && k < 100; ++k)
        EXPECT_NEAR(angles[k], 10.1 + 0.1 * static_cast<double>(k), 1e-4) << "frame " << k + 1;
}

TEST_F(ViewerTrace, ResizeSetsTheViewportAndTheAspectOfTheNewSize)
{
    ASSERT_NO_FATAL_FAILURE(record());
    const size_t viewport = trace.find("glViewport", trace.find("glXSwapBuffers"));
    ASSERT_NE(viewport, test_support::gl_trace::npos);
    EXPECT_EQ(trace.calls[viewport].text, "glViewport(0, 0, 800, 600)");
    const size_t matrix = trace.find("glMultMatrixd", viewport);
    ASSERT_NE(matrix, test_support::gl_trace::npos);
    const std::vector<double> m = trace.calls[matrix].numbers(0);
    ASSERT_EQ(m.size(), 16u);
    EXPECT_NEAR(m[5] / m[0], 800.0 / 600.0, 1e-5);
    EXPECT_NEAR(m[5], 1.0 / std::tan(22.5 * M_PI / 180.0), 1e-5) << "45 degrees up and down";
    // Near 10 and far 10000 give these two entries of the perspective matrix.
    EXPECT_NEAR(m[10], -(10000.0 + 10.0) / (10000.0 - 10.0), 1e-5);
    EXPECT_NEAR(m[14], -2.0 * 10000.0 * 10.0 / (10000.0 - 10.0), 1e-3);
    // Frames after the resize go on drawing.
    EXPECT_NE(trace.find("glBegin", matrix), test_support::gl_trace::npos);
}

// ---- missing or unusable files -------------------------------------------------

struct dismissal {
    const char* name;
    const char* key;  // nullptr: close the box as a window manager would
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const dismissal& d, std::ostream* out)
{
    *out << d.name;
}

class ViewerErrorBox : public ViewerE2e, public testing::WithParamInterface<dismissal> {};

TEST_P(ViewerErrorBox, MissingTextureShowsTheBoxAndExitsZeroOnceDismissed)
{
    write_demo_assets();
    std::filesystem::remove(file("szablon.bmp"));
    test_support::child_process p = start({viewer});
    std::optional<test_support::rgb_image> picture;
    const std::optional<Window> box = painted_box(p, &picture);
    ASSERT_TRUE(box);
    ASSERT_TRUE(picture);
    test_support::write_png(*picture, test_support::artifact_path(std::string("error_box_") + GetParam().name + ".png"));
    const box_look look = look_of(*picture);
    EXPECT_GT(look.red, 100);
    EXPECT_GT(look.dark, 100);
    EXPECT_GT(look.light, picture->width * picture->height / 2);

    // It waits for the user.
    EXPECT_FALSE(p.wait_for_exit(300ms)) << "ended before the box was dismissed";
    // Nothing was drawn in the viewer's own window meanwhile (the box itself,
    // centred on the screen, may cover part of it).
    const std::optional<test_support::window_rect> box_at = test_support::window_geometry(x, *box);
    ASSERT_TRUE(box_at);
    if (const std::optional<Window> main_window = test_support::find_window(x, "Szablon", 0ms)) {
        const std::optional<test_support::rgb_image> behind = test_support::capture_window(x, *main_window);
        ASSERT_TRUE(behind);
        long lit = 0;
        for (int y = 0; y < behind->height; ++y)
            for (int x_ = 0; x_ < behind->width; ++x_) {
                const bool under_box = x_ >= box_at->x - 2 && x_ < box_at->x + box_at->width + 2 &&
                                       y >= box_at->y - 2 && y < box_at->y + box_at->height + 2;
                lit += !under_box && behind->at(x_, y) != test_support::rgb_pixel{};
            }
        EXPECT_EQ(lit, 0);
    }

    if (GetParam().key)
        ASSERT_TRUE(test_support::press_key(x, *box, GetParam().key));
    else
        ASSERT_TRUE(test_support::close_window(x, *box));
    const std::optional<test_support::exit_status> status = p.wait_for_exit(2s);
    ASSERT_TRUE(status) << "still running two seconds after the box was dismissed";
    EXPECT_TRUE(status->exited_with(0)) << *status;
    EXPECT_EQ(p.stdout_text(), loading_lines()) << "the loading lines come before the box";
    EXPECT_NE(p.stderr_text().find("Nie znaleziono pliku z tekstur\xC2\xA6"), std::string::npos)
        << p.stderr_text();
    EXPECT_NE(p.stderr_text().find("szablon.bmp: cannot open"), std::string::npos)
        << p.stderr_text();
}

INSTANTIATE_TEST_SUITE_P(Dismissals, ViewerErrorBox,
                         testing::Values(dismissal{"enter", "Return"}, dismissal{"space", "space"},
                                         dismissal{"escape", "Escape"},
                                         dismissal{"close", nullptr}),
                         [](const testing::TestParamInfo<dismissal>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(ViewerE2e, ClickingOkDismissesTheBox)
{
    write_demo_assets();
    std::filesystem::remove(file("szablon.bmp"));
    test_support::child_process p = start({viewer});
    std::optional<test_support::rgb_image> picture;
    const std::optional<Window> box = painted_box(p, &picture);
    ASSERT_TRUE(box);
    const std::optional<test_support::window_rect> g = test_support::window_geometry(x, *box);
    ASSERT_TRUE(g);
    // The button sits in the bottom right corner; click its middle.
    const test_support::run_result click = test_support::run_program(
        {"xdotool", "mousemove", "--window", std::to_string(*box), std::to_string(g->width - 56),
         std::to_string(g->height - 29), "click", "1"});
    ASSERT_TRUE(click.status && click.status->exited_with(0)) << click.err;
    const std::optional<test_support::exit_status> status = p.wait_for_exit(2s);
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->exited_with(0)) << *status;
}

TEST_F(ViewerE2e, RefusedTextureShowsTheBoxWithTheReasonOnStderr)
{
    write_demo_assets();
    std::vector<uint8_t> stub = {'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_TRUE(formats::write_file(file("szablon.bmp"), stub));
    test_support::child_process p = start({viewer});
    std::optional<test_support::rgb_image> picture;
    const std::optional<Window> box = painted_box(p, &picture);
    ASSERT_TRUE(box);
    ASSERT_TRUE(test_support::press_key(x, *box, "Return"));
    const std::optional<test_support::exit_status> status = p.wait_for_exit(2s);
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->exited_with(0));
    EXPECT_NE(p.stderr_text().find("szablon.bmp: file is 10 bytes"), std::string::npos)
        << p.stderr_text();
}

TEST_F(ViewerE2e, MissingModelLeavesTheWindowBlackAndKeepsRunning)
{
    write_demo_assets();
    std::filesystem::remove(file("szablon.3ds"));
    test_support::child_process p = start({viewer});
    const std::optional<Window> w = test_support::find_window(x, "Szablon");
    ASSERT_TRUE(w) << p.stderr_text();
    ASSERT_TRUE(wait_for_stdout(p, "offesty: "));
    // Painted white from outside, the window turns black again only by the
    // program's own frames.
    ASSERT_TRUE(test_support::paint_window(x, *w, test_support::rgb_pixel{255, 255, 255}));
    const std::optional<test_support::rgb_image> frame =
        test_support::capture_until(x, *w, [](const test_support::rgb_image& shot) { return test_support::count_non_black(shot) == 0; });
    ASSERT_TRUE(frame);
    EXPECT_EQ(test_support::count_non_black(*frame), 0) << "the frame loop does not draw an empty black frame";
    EXPECT_TRUE(p.running());
    EXPECT_EQ(p.stdout_text(), "offesty: 0.000000 0.000000 0.000000\n");
    ASSERT_TRUE(test_support::close_window(x, *w));
    const std::optional<test_support::exit_status> status = p.wait_for_exit(10s);
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->exited_with(0));
}

TEST_F(ViewerE2e, LoadingLinesAreFlushedBeforeTheFrameLoopSoAKillLosesNone)
{
    write_demo_assets();
    test_support::child_process p = start({viewer});
    ASSERT_TRUE(test_support::find_window(x, "Szablon"));
    ASSERT_TRUE(wait_for_stdout(p, "offesty: "));
    p.kill();
    EXPECT_EQ(p.stdout_text(), loading_lines());
}
