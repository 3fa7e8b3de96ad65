// model_viewer under valgrind's memcheck on the private X server: it runs a
// few seconds of frames and is closed by its window, as a user would. No
// invalid read or write and no definite leak may come from our code.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/support.h"

using namespace std::chrono_literals;

namespace {

// Memcheck makes the software renderer some fifty times slower.
constexpr auto WINDOW_TIMEOUT = 60s;
constexpr int FRAMES = 3;
constexpr auto EXIT_TIMEOUT = 60s;
constexpr int VALGRIND_ERROR_STATUS = 99;

class ViewerValgrind : public testing::Test {
protected:
    void SetUp() override
    {
        const test_support::run_result r = test_support::run_program({MAKE_DEMO_ASSETS, folder.path()});
        ASSERT_EQ(r.code(), 0) << r.err;
    }

    std::string file(const std::string& name) const { return folder.file(name); }

    // Runs the viewer under memcheck, closes the window titled `title` once
    // it has drawn, and returns valgrind's log.
    std::string run_and_close(const std::string& title)
    {
        const std::string log = file("memcheck.log");
        test_support::spawn_options options;
        options.working_directory = folder.path();
        // Kept loaded, the driver's frames keep its name in the leak stacks.
        if (std::filesystem::exists(GL_DRIVER))
            options = test_support::with_preload(options, GL_DRIVER);
        test_support::child_process viewer = test_support::child_process::spawn(
            {VALGRIND, "--error-exitcode=" + std::to_string(VALGRIND_ERROR_STATUS),
             "--leak-check=full", "--errors-for-leak-kinds=definite",
             "--show-leak-kinds=definite", "--num-callers=30",
             "--suppressions=" + std::string(SUPPRESSIONS), "--log-file=" + log, MODEL_VIEWER},
            options);

        const std::optional<Window> window = test_support::find_window(x, title, WINDOW_TIMEOUT);
        EXPECT_TRUE(window) << "no window titled " << title << "\n" << viewer.stderr_text();
        if (window) {
            // Frames of the loop, or the box painted, run under memcheck before the close.
            const bool shown =
                title == "Szablon"
                    ? test_support::wait_for_new_frames(x, *window, FRAMES, false, WINDOW_TIMEOUT)
                    : test_support::count_non_black(test_support::capture_until(x, *window, painted, WINDOW_TIMEOUT).value_or(test_support::rgb_image{})) > 0;
            EXPECT_TRUE(shown) << "nothing drawn in " << title;
            EXPECT_TRUE(test_support::close_window(x, *window));
        }
        const std::optional<test_support::exit_status> status = viewer.wait_for_exit(EXIT_TIMEOUT);
        const std::string report = test_support::read_file(log);
        EXPECT_TRUE(status) << "still running after its window was closed\n" << report;
        if (status) {
            EXPECT_TRUE(status->exited_with(0))
                << *status << (status->exited_with(VALGRIND_ERROR_STATUS) ? ": memcheck found errors" : "")
                << "\n" << report;
        }
        stdout_text = viewer.stdout_text();
        return report;
    }

    static void expect_clean(const std::string& report)
    {
        EXPECT_NE(report.find("ERROR SUMMARY: 0 errors"), std::string::npos) << report;
        EXPECT_EQ(report.find("Invalid read"), std::string::npos) << report;
        EXPECT_EQ(report.find("Invalid write"), std::string::npos) << report;
        EXPECT_EQ(report.find("definitely lost in loss record"), std::string::npos) << report;
    }

    static bool painted(const test_support::rgb_image& shot) { return test_support::count_non_black(shot) > 0; }

    test_support::temp_folder folder{"viewer-valgrind"};
    std::string stdout_text;
    test_support::x_connection x;
};

}  // namespace

TEST_F(ViewerValgrind, DemoAssetsRunAndCloseWithoutMemoryErrorsOrLeaks)
{
    expect_clean(run_and_close("Szablon"));
    EXPECT_NE(stdout_text.find("offesty: "), std::string::npos) << "the model was not loaded";
}

TEST_F(ViewerValgrind, ModelCutShortMidListRunsAndClosesWithoutMemoryErrorsOrLeaks)
{
    // Cut inside a list: the walk keeps the complete records and stops there.
    const std::string model = file("szablon.3ds");
    std::filesystem::resize_file(model, std::filesystem::file_size(model) * 3 / 5);
    expect_clean(run_and_close("Szablon"));
}

TEST_F(ViewerValgrind, RefusedTextureShowsTheErrorBoxWithoutMemoryErrorsOrLeaks)
{
    std::filesystem::resize_file(file("szablon.bmp"), 20);
    expect_clean(run_and_close("Problem"));
}
