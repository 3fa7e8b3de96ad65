// The failures the sphere programs guard against that no X server produces
// on request: no quadric from GLU, and a window of height 0. The preloaded
// spheres_shim library makes them happen in the real binaries.
#include "spheres_common.h"

#include "spheres_trace.h"

namespace spheres_test {
namespace {

class SpheresMended : public testing::TestWithParam<sphere_build> {
protected:
    test_support::x_connection display;
};

TEST_P(SpheresMended, NoQuadricEndsWithAMessageAndAFailureStatus)
{
    test_support::spawn_options options = test_support::with_preload({}, SPHERES_SHIM);
    options.environment.emplace_back("SPHERES_SHIM_NO_QUADRIC", "1");
    test_support::child_process program = test_support::child_process::spawn({GetParam().binary}, options);
    const std::optional<test_support::exit_status> status = program.wait_for_exit(10s);
    ASSERT_TRUE(status) << "kept running without a quadric";
    EXPECT_TRUE(status->exited) << "crashed: " << *status;
    EXPECT_NE(status->code, 0);
    EXPECT_NE(program.stderr_text().find("gluNewQuadric"), std::string::npos)
        << "stderr does not say what failed:\n" << program.stderr_text();
    EXPECT_EQ(program.stdout_text(), "");
}

TEST_P(SpheresMended, HeightZeroTakesTheAspectAsIfTheHeightWereOne)
{
    test_support::spawn_options options = test_support::with_preload({}, SPHERES_SHIM);
    options.environment.emplace_back("SPHERES_SHIM_ZERO_HEIGHT", "1");
    const std::optional<test_support::gl_trace> trace = test_support::record_trace(display, {GetParam().binary}, {options, {}, 2, false});
    ASSERT_TRUE(trace);

    size_t zero = trace->npos;
    for (size_t i = 0; i < trace->calls.size() && zero == trace->npos; ++i) {
        if (trace->calls[i].text == "glViewport(0, 0, 640, 0)")
            zero = i;
    }
    ASSERT_NE(zero, trace->npos) << "the shim's reshape to height 0 did not happen";
    const size_t projection = trace->find("glMultMatrixd", zero);
    ASSERT_NE(projection, trace->npos);
    expect_perspective(trace->calls[projection], 640.0);

    // And it goes on to draw the real size as usual (record_trace checked the exit).
    const size_t restored = trace->find("glMultMatrixd", projection + 1);
    ASSERT_NE(restored, trace->npos);
    expect_perspective(trace->calls[restored], 640.0 / 480.0);
    EXPECT_NE(trace->find("glXSwapBuffers", restored), trace->npos);
}

INSTANTIATE_TEST_SUITE_P(Builds, SpheresMended, testing::ValuesIn(builds), build_name);

}  // namespace
}  // namespace spheres_test
