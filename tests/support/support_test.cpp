// The end-to-end support itself: a fault here would make program tests pass
// or fail for the wrong reason.
#include "support/support.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <csignal>
#include <cstdlib>
#include <fstream>

namespace {

using namespace std::chrono_literals;

// ---- processes ------------------------------------------------------------------

TEST(ChildProcessTest, KeepsStdoutAndStderrApartAndReportsTheExitCode)
{
    test_support::spawn_options options;
    options.working_directory = "/tmp";
    options.environment = {{"E2E_GREETING", "hello"}};
    const test_support::run_result result =
        test_support::run_program({"sh", "-c", "pwd; echo \"$E2E_GREETING\" >&2; exit 3"}, 10s, options);
    ASSERT_TRUE(result.status);
    EXPECT_TRUE(result.status->exited_with(3)) << *result.status;
    EXPECT_EQ(result.out, "/tmp\n");
    EXPECT_EQ(result.err, "hello\n");
}

TEST(ChildProcessTest, TimeoutLeavesItRunningAndKillEndsTheWholeGroup)
{
    test_support::child_process child = test_support::child_process::spawn({"sh", "-c", "sleep 30 & echo $!; wait"});
    EXPECT_FALSE(child.wait_for_exit(200ms));
    EXPECT_TRUE(child.running());
    // The shell prints the sleeper's pid in its own time: wait for the line.
    ASSERT_TRUE(test_support::wait_until(
        [&] { return child.stdout_text().find('\n') != std::string::npos; }, 10s));
    const std::string sleeper = child.stdout_text();
    const test_support::exit_status status = child.kill();
    EXPECT_FALSE(status.exited);
    EXPECT_EQ(status.signal, SIGKILL);

    // The background sleep was in the same group: it is gone or a zombie.
    auto sleeper_alive = [&] {
        std::ifstream stat("/proc/" + std::to_string(std::stol(sleeper)) + "/stat");
        std::string pid, name, state;
        return stat >> pid >> name >> state && state != "Z";
    };
    EXPECT_TRUE(test_support::wait_until([&] { return !sleeper_alive(); }, 1s)) << "a grandchild outlived the kill";
}

TEST(ChildProcessTest, AMissingProgramIsAnErrorNotAnExitCode)
{
    EXPECT_THROW(test_support::child_process::spawn({"/nonexistent/e2e-program"}), std::runtime_error);
}

// ---- apitrace dumps ----------------------------------------------------------------

const char* const sample_dump = R"(// process.name = "/tmp/program"
3 glXGetVisualFromFBConfig(0x55c5d3a3f840, 0x55c5d3b37ea0) = &{visual = 0x55c5d3a4d2b0, visualid = 975}
8 glViewport(0, 0, 640, 480) // fake
18 glViewport(0, 0, 640, 480)
21 glLightfv(GL_LIGHT0, GL_AMBIENT, {0, -0.5, 1e-3, 1})
27 glGetBooleanv(GL_DEPTH_WRITEMASK, &GL_TRUE)
29 glClear(GL_DEPTH_BUFFER_BIT | GL_COLOR_BUFFER_BIT)
30 glXSwapBuffers(0x55c5d3a3f840, 2097154)

31 glShaderSource(7, 1, {"a, (b"}, NULL)
32 glXSwapBuffers(0x55c5d3a3f840, 2097154)
)";

TEST(GlTraceTest, ReadsNumbersNamesArgumentsResultsAndFakes)
{
    const test_support::gl_trace trace = test_support::parse_trace_dump(sample_dump);
    ASSERT_EQ(trace.calls.size(), 9u);
    EXPECT_EQ(trace.calls[0].function, "glXGetVisualFromFBConfig");
    EXPECT_EQ(trace.calls[0].result, "&{visual = 0x55c5d3a4d2b0, visualid = 975}");
    EXPECT_TRUE(trace.calls[1].fake);
    EXPECT_FALSE(trace.calls[2].fake);
    EXPECT_EQ(trace.calls[2].number, 18u);
    EXPECT_EQ(trace.calls[2].text, "glViewport(0, 0, 640, 480)");

    const test_support::gl_call& light = trace.calls[3];
    ASSERT_EQ(light.args.size(), 3u);
    EXPECT_EQ(light.args[2], "{0, -0.5, 1e-3, 1}");
    EXPECT_EQ(light.numbers(2), (std::vector<double>{0, -0.5, 0.001, 1}));
    EXPECT_TRUE(light.numbers(0).empty()) << "GL_LIGHT0 is a name, not the number 0";
    EXPECT_TRUE(trace.calls[0].numbers(0).empty()) << "a pointer is not a number";

    const test_support::gl_call& source = trace.calls[7];
    ASSERT_EQ(source.args.size(), 4u) << "a comma or bracket inside a string splits nothing";
    EXPECT_EQ(source.args[2], "{\"a, (b\"}");
}

TEST(GlTraceTest, FramesEndAtEachSwap)
{
    const test_support::gl_trace trace = test_support::parse_trace_dump(sample_dump);
    const auto frames = trace.frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], std::make_pair(std::size_t{0}, std::size_t{6}));
    EXPECT_EQ(frames[1], std::make_pair(std::size_t{7}, std::size_t{8}));
    EXPECT_EQ(trace.find("glClear"), 5u);
    EXPECT_EQ(trace.find("glClear", 6), test_support::gl_trace::npos);
}

// ---- windows on the private server ------------------------------------------------------

TEST(PrivateXServerTest, DisplayPointsAtThePrivateServer)
{
    ASSERT_FALSE(test_support::private_x_display().empty());
    EXPECT_EQ(std::getenv("DISPLAY"), test_support::private_x_display());
}

// A plain Xlib window of our own, titled through _NET_WM_NAME only, painted
// in one colour, that records the close messages it gets.
class OwnWindow : public testing::Test {
protected:
    void SetUp() override
    {
        window = XCreateSimpleWindow(own, DefaultRootWindow(own.get()), 30, 40, 200, 100, 0, 0, 0xff8000);
        const std::string title = "e2e \xc5\xbc test";  // UTF-8, not Latin-1
        XChangeProperty(own, window, XInternAtom(own, "_NET_WM_NAME", False), XInternAtom(own, "UTF8_STRING", False),
                        8, PropModeReplace, reinterpret_cast<const unsigned char*>(title.data()),
                        static_cast<int>(title.size()));
        Atom delete_window = XInternAtom(own, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(own, window, &delete_window, 1);
        XMapWindow(own, window);
        XSync(own, False);
    }

    test_support::x_connection own;     // plays the program
    test_support::x_connection tester;  // plays the test
    Window window = 0;
};

TEST_F(OwnWindow, IsFoundByExactTitleWithItsPlaceSizeAndColours)
{
    EXPECT_FALSE(test_support::find_window(tester, "e2e", 200ms)) << "a title prefix must not match";
    const std::optional<Window> found = test_support::find_window(tester, "e2e \xc5\xbc test", 5s);
    ASSERT_TRUE(found);
    EXPECT_EQ(*found, window);
    const std::optional<test_support::window_rect> geometry = test_support::window_geometry(tester, window);
    ASSERT_TRUE(geometry);
    EXPECT_EQ(geometry->x, 30);
    EXPECT_EQ(geometry->y, 40);
    EXPECT_EQ(geometry->width, 200);
    EXPECT_EQ(geometry->height, 100);

    const std::optional<test_support::rgb_image> shot = test_support::capture_window(tester, window);
    ASSERT_TRUE(shot);
    ASSERT_EQ(shot->width, 200);
    EXPECT_EQ(shot->at(0, 0), (test_support::rgb_pixel{0xff, 0x80, 0x00})) << "channels come out in the wrong order";
    EXPECT_EQ(test_support::count_non_black(*shot), 200 * 100);
    EXPECT_NEAR(test_support::mean_value(*shot), (0xff + 0x80) / 3.0, 1e-9);
}

// The next event of `type` for the window on `display`, waiting up to a second.
std::optional<XEvent> next_event(Display* display, Window window, int type)
{
    XEvent event;
    if (test_support::wait_until([&] { return XCheckTypedWindowEvent(display, window, type, &event); }, 1s, 10ms))
        return event;
    return std::nullopt;
}

void drop_events(Display* display, Window window, int type)
{
    XSync(display, False);
    XEvent event;
    while (XCheckTypedWindowEvent(display, window, type, &event)) {
    }
}

TEST_F(OwnWindow, CloseAsksPolitelyResizeWaitsAndExposeDamagesAndTellsTheWindow)
{
    // Like a GL window: no background for the server to paint back.
    XSetWindowBackgroundPixmap(own, window, None);
    XSelectInput(own, window, ExposureMask);
    ASSERT_TRUE(test_support::find_window(tester, "e2e \xc5\xbc test", 5s));
    drop_events(own, window, Expose);

    ASSERT_TRUE(test_support::close_window(tester, window));
    const std::optional<XEvent> close = next_event(own, window, ClientMessage);
    ASSERT_TRUE(close) << "no close message";
    EXPECT_EQ(close->xclient.message_type, XInternAtom(own, "WM_PROTOCOLS", False));
    EXPECT_EQ(static_cast<Atom>(close->xclient.data.l[0]), XInternAtom(own, "WM_DELETE_WINDOW", False));
    EXPECT_TRUE(test_support::window_exists(tester, window)) << "closing must leave the window to its owner";

    ASSERT_TRUE(test_support::resize_window(tester, window, 320, 150));
    EXPECT_EQ(test_support::window_geometry(tester, window)->width, 320);
    drop_events(own, window, Expose);

    ASSERT_TRUE(test_support::expose_window(tester, window));
    EXPECT_TRUE(next_event(own, window, Expose)) << "no Expose after the damage";
    const std::optional<test_support::rgb_image> damaged = test_support::capture_window(tester, window);
    ASSERT_TRUE(damaged);
    EXPECT_EQ(test_support::count_non_black(*damaged), 0) << "the window was not painted over";

    XDestroyWindow(own, window);
    XSync(own, False);
    EXPECT_TRUE(test_support::wait_window_gone(tester, window, 2s));
    EXPECT_FALSE(test_support::capture_window(tester, window)) << "a gone window must not end the test process";
}

}  // namespace
