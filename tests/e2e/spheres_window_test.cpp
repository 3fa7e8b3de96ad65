// Both sphere programs as a user sees them: the window, its life, and the
// pictures, judged against the scene model in spheres_common.h.
#include "spheres_common.h"

#include <algorithm>

namespace spheres_test {
namespace {

class SpheresWindow : public testing::TestWithParam<sphere_build> {
protected:
    test_support::x_connection display;
};

// How a picture compares with the model: pixels lit or black against the
// spheres' outlines, and the predicted colours (overlaps counted apart).
struct scene_check {
    long wrongly_black = 0;
    long wrongly_lit = 0;
    long colour_checked = 0;
    long colour_wrong = 0;
    long overlap_checked = 0;
    long overlap_wrong = 0;
    int worst_difference = 0;
    std::string first_wrong;
};

scene_check check_scene(const sphere_build& build, const test_support::rgb_image& image, int tolerance)
{
    scene_check check;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            if (!inside_outlines(x, y, image.width, image.height, 2.0))
                continue;
            const unsigned covered = coverage(x, y, image.width, image.height);
            const test_support::rgb_pixel seen = image.at(x, y);
            const bool lit = std::max({seen.r, seen.g, seen.b}) > 3;
            if (covered && !lit)
                ++check.wrongly_black;
            if (!covered && lit)
                ++check.wrongly_lit;
            const std::optional<expected_colour> expected = expected_pixel(build, x, y, image.width, image.height);
            // Close to an outline the 50-sided sphere's facets stand apart from the
            // true sphere, front and back meeting at a slant: judge colours further in.
            if (!covered || !expected || expected->uncertain ||
                !inside_outlines(x, y, image.width, image.height, 4.0))
                continue;
            int difference = 0;
            const int channels[3] = {seen.r, seen.g, seen.b};
            for (int c = 0; c < 3; ++c)
                difference = std::max(difference, std::abs(channels[c] - int(std::lround(expected->colour[c] * 255))));
            const bool overlap = (covered & (covered - 1)) != 0;  // two spheres or more
            ++check.colour_checked;
            check.overlap_checked += overlap;
            check.worst_difference = std::max(check.worst_difference, difference);
            if (difference > tolerance) {
                ++check.colour_wrong;
                check.overlap_wrong += overlap;
                if (check.first_wrong.empty()) {
                    check.first_wrong = "at (" + std::to_string(x) + ", " + std::to_string(y) + ") saw " +
                                        std::to_string(seen.r) + " " + std::to_string(seen.g) + " " +
                                        std::to_string(seen.b) + ", expected " +
                                        std::to_string(std::lround(expected->colour[0] * 255)) + " " +
                                        std::to_string(std::lround(expected->colour[1] * 255)) + " " +
                                        std::to_string(std::lround(expected->colour[2] * 255));
                }
            }
        }
    }
    return check;
}

// Quantised blending over up to four fragments and vertex lighting against the
// model's per-pixel lighting; far below what a hidden sphere or a wrong factor changes.
constexpr int colour_tolerance = 5;

void expect_scene(const sphere_build& build, const test_support::rgb_image& image, const std::string& what)
{
    const scene_check check = check_scene(build, image, colour_tolerance);
    EXPECT_EQ(check.wrongly_black, 0) << what << ": pixels inside a sphere's outline are black";
    EXPECT_EQ(check.wrongly_lit, 0) << what << ": pixels outside every sphere are lit";
    EXPECT_GT(check.overlap_checked, 500) << what << ": too few overlap pixels to judge";
    EXPECT_EQ(check.overlap_wrong, 0) << what << ": where spheres overlap, the blend of both is not shown; "
                                      << check.first_wrong;
    EXPECT_EQ(check.colour_wrong, 0) << what << ": " << check.first_wrong << " (worst difference "
                                     << check.worst_difference << ")";
    std::fprintf(stderr, "%s %s: %ld colours checked, %ld in overlaps, worst difference %d\n", build.name,
                 what.c_str(), check.colour_checked, check.overlap_checked, check.worst_difference);
    if (testing::Test::HasFailure())
        save_for_inspection(image, std::string(build.name) + "-" + what);
}

// Width and height in pixels of the lit run through a point, along the row and the column.
std::array<int, 2> lit_run(const test_support::rgb_image& image, int x, int y)
{
    auto lit = [&](int px, int py) {
        const test_support::rgb_pixel c = image.at(px, py);
        return std::max({c.r, c.g, c.b}) > 3;
    };
    int left = x, right = x, top = y, bottom = y;
    while (left > 0 && lit(left - 1, y))
        --left;
    while (right + 1 < image.width && lit(right + 1, y))
        ++right;
    while (top > 0 && lit(x, top - 1))
        --top;
    while (bottom + 1 < image.height && lit(x, bottom + 1))
        ++bottom;
    return {right - left + 1, bottom - top + 1};
}

TEST_P(SpheresWindow, OpensSzablonAt640x480TopLeftSaysNothingAndExitsZeroWhenClosed)
{
    const sphere_build& build = GetParam();
    std::optional<running_program> running = start(display, {build.binary});
    ASSERT_TRUE(running);
    EXPECT_EQ(test_support::window_title(display, running->window), "Szablon");
    const std::optional<test_support::window_rect> geometry = test_support::window_geometry(display, running->window);
    ASSERT_TRUE(geometry);
    EXPECT_EQ(geometry->x, 0);
    EXPECT_EQ(geometry->y, 0);
    EXPECT_EQ(geometry->width, 640);
    EXPECT_EQ(geometry->height, 480);

    // It waits for the user: still there after a while and after a key press it ignores.
    ASSERT_TRUE(test_support::capture_settled(display, running->window));
    test_support::press_key(display, running->window, "space");
    EXPECT_FALSE(running->process.wait_for_exit(500ms)) << "ended without being closed";

    const std::optional<test_support::exit_status> status = close_and_wait(display, *running);
    ASSERT_TRUE(status) << "still running after its window was closed";
    EXPECT_TRUE(status->exited_with(0)) << *status << "; stderr:\n" << running->process.stderr_text();
    EXPECT_EQ(running->process.stdout_text(), "");
    EXPECT_TRUE(test_support::wait_window_gone(display, running->window, 5s));
}

TEST_P(SpheresWindow, RedrawsTheSameFrameWhenExposedAgain)
{
    const sphere_build& build = GetParam();
    std::optional<running_program> running = start(display, {build.binary});
    ASSERT_TRUE(running);
    const std::optional<test_support::rgb_image> first = test_support::capture_settled(display, running->window);
    ASSERT_TRUE(first) << "no steady frame";

    ASSERT_TRUE(test_support::expose_window(display, running->window));
    const std::optional<test_support::rgb_image> exposed = test_support::capture_settled(display, running->window);
    ASSERT_TRUE(exposed) << "nothing drawn after an expose";
    EXPECT_EQ(test_support::max_channel_difference(*first, *exposed), 0) << "the frame after an expose differs";

    // Watched for a while, it must not change on its own.
    const std::optional<test_support::rgb_image> later = test_support::capture_until(
        display, running->window,
        [&](const test_support::rgb_image& shot) { return test_support::max_channel_difference(*first, shot) != 0; }, 300ms);
    ASSERT_TRUE(later);
    EXPECT_EQ(test_support::max_channel_difference(*first, *later), 0) << "the picture changed on its own";
    close_and_wait(display, *running);
}

TEST_P(SpheresWindow, ShowsSixSpheresWhereNearerOnesBlendWithFartherOnes)
{
    const sphere_build& build = GetParam();
    std::optional<running_program> running = start(display, {build.binary});
    ASSERT_TRUE(running);
    const std::optional<test_support::rgb_image> frame = test_support::capture_settled(display, running->window);
    ASSERT_TRUE(frame);
    ASSERT_EQ(frame->width, 640);
    expect_scene(build, *frame, "640x480");

    // Three rows of two, each row in its own colour: the centre of each
    // sphere outside any overlap shows its row's strongest channel.
    for (const scene_sphere& sphere : scene) {
        const auto [cx, cy] = centre_pixel(sphere, 640, 480);
        const int x = int(cx), y = int(cy);
        if (coverage(x, y, 640, 480) & (coverage(x, y, 640, 480) - 1))
            continue;  // the blue centres lie inside the red discs
        const test_support::rgb_pixel c = frame->at(x, y);
        const int channels[3] = {c.r, c.g, c.b};
        const int strongest = int(std::max_element(channels, channels + 3) - channels);
        const int wanted = sphere.row == 0 ? 1 : sphere.row == 1 ? 0 : 2;
        EXPECT_EQ(strongest, wanted) << "sphere at x " << sphere.centre[0] << ", z " << sphere.centre[2];
    }
    close_and_wait(display, *running);
}

TEST_P(SpheresWindow, AfterAResizeTo800x600ShowsTheSceneAtTheNewSizeAndAspect)
{
    const sphere_build& build = GetParam();
    std::optional<running_program> running = start(display, {build.binary});
    ASSERT_TRUE(running);
    ASSERT_TRUE(test_support::capture_settled(display, running->window));
    ASSERT_TRUE(test_support::resize_window(display, running->window, 800, 600));
    // Until it redraws, the window still shows the old picture at its top left.
    ASSERT_TRUE(test_support::wait_for_new_frames(display, running->window, 2, true)) << "nothing drawn after the resize";
    const std::optional<test_support::rgb_image> resized = test_support::capture_settled(display, running->window);
    ASSERT_TRUE(resized) << "no steady frame after the resize (a black window never settles)";
    ASSERT_EQ(resized->width, 800);
    ASSERT_EQ(resized->height, 600);
    EXPECT_GT(test_support::mean_value(*resized), 5.0) << "the window went black after the resize";
    expect_scene(build, *resized, "800x600");

    // The nearest left sphere stays round: its lit run through the centre is
    // as wide and as tall as its outline at this size (no stretch, no old viewport).
    const scene_sphere& nearest = scene[0];
    const auto [cx, cy] = centre_pixel(nearest, 800, 600);
    const auto [width, height] = outline_size(nearest, 800, 600);
    const auto run = lit_run(*resized, int(cx), int(cy));
    EXPECT_NEAR(run[0], width, 3.0) << "disc width";
    EXPECT_NEAR(run[1], height, 3.0) << "disc height";
    close_and_wait(display, *running);
}

INSTANTIATE_TEST_SUITE_P(Builds, SpheresWindow, testing::ValuesIn(builds), build_name);

TEST(SpheresBuilds, AddAndAlphaShowDifferentPictures)
{
    test_support::x_connection display;
    std::vector<test_support::rgb_image> frames;
    for (const sphere_build& build : builds) {
        std::optional<running_program> running = start(display, {build.binary});
        ASSERT_TRUE(running);
        const std::optional<test_support::rgb_image> frame = test_support::capture_settled(display, running->window);
        ASSERT_TRUE(frame);
        frames.push_back(*frame);
        close_and_wait(display, *running);
        ASSERT_TRUE(test_support::wait_window_gone(display, running->window));
    }
    const long lit = test_support::count_non_black(frames[0], 3);
    EXPECT_GT(lit, 30000);
    EXPECT_GT(test_support::count_different(frames[0], frames[1], 10), lit / 2)
        << "the two builds blend alike";
}

}  // namespace
}  // namespace spheres_test
