// The OpenGL calls of both sphere programs, as apitrace records them: the
// start-up, the first frame, and what a resize does.
#include "spheres_common.h"

#include "spheres_trace.h"

namespace spheres_test {
namespace {

// The display callback's calls, the same in every frame but for the build's part.
std::vector<std::string> frame_calls(const sphere_build& build)
{
    std::vector<std::string> colour;
    if (build.additive) {
        colour = {"glColor3fv({0.2, 1, 0.2})", "glColor3fv({1, 0.2, 0.2})", "glColor3fv({0.1, 0.2, 1})"};
    } else {
        colour = {"glColor4fv({0.2, 1, 0.2, 1})", "glColor4fv({1, 0.2, 0.2, 0.7})",
                  "glColor4fv({0.1, 0.2, 1, 0.9})"};
    }
    return {
        "glClear(GL_DEPTH_BUFFER_BIT | GL_COLOR_BUFFER_BIT)",
        "glPolygonMode(GL_FRONT_AND_BACK, GL_FILL)",
        "glMatrixMode(GL_MODELVIEW)",
        "glLoadIdentity()",
        "glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE)",
        "glEnable(GL_COLOR_MATERIAL)",
        "glMaterialfv(GL_FRONT, GL_SPECULAR, {0.5, 0.5, 0.5, 0.4})",
        "glMaterialfv(GL_FRONT, GL_AMBIENT, {0.6, 0.6, 0.6, 0.4})",
        "glMaterialfv(GL_FRONT, GL_DIFFUSE, {0.6, 0.6, 0.6, 0.4})",
        "glMaterialfv(GL_FRONT, GL_EMISSION, {0, 0, 0, 0.4})",
        "glMateriali(GL_FRONT, GL_SHININESS, 100)",
        "glEnable(GL_BLEND)",
        "glDepthMask(GL_FALSE)",
        build.additive ? "glBlendFunc(GL_SRC_COLOR, GL_ONE)" : "glBlendFunc(GL_SRC_ALPHA, GL_DST_ALPHA)",
        colour[0],
        "glTranslatef(-2, -1.5, -7)",
        unit_sphere,
        "glTranslatef(4, 0, 0)",
        unit_sphere,
        colour[1],
        "glTranslatef(0, 0, -5)",
        unit_sphere,
        "glTranslatef(-4, 0, 0)",
        unit_sphere,
        colour[2],
        "glTranslatef(0, 0, -5)",
        unit_sphere,
        "glTranslatef(4, 0, 0)",
        unit_sphere,
        "glDisable(GL_COLOR_MATERIAL)",
        "glFlush()",
        "glFlush()",  // glutSwapBuffers flushes as well
        "glXSwapBuffers",
    };
}

// sphere_reshape for a window of the given size; the mask read back is the
// one the depth writes had before.
std::vector<std::string> reshape_calls(int width, int height, const char* mask_before)
{
    const std::string size = std::to_string(width) + ", " + std::to_string(height);
    return {
        std::string("glGetBooleanv(GL_DEPTH_WRITEMASK, &") + mask_before + ")",
        "glDepthMask(GL_TRUE)",
        "glClear(GL_DEPTH_BUFFER_BIT | GL_COLOR_BUFFER_BIT)",
        std::string("glDepthMask(") + mask_before + ")",
        "glViewport(0, 0, " + size + ")",
        "glMatrixMode(GL_PROJECTION)",
        "glLoadIdentity()",
        "glMultMatrixd",
    };
}

class SpheresTrace : public testing::TestWithParam<sphere_build> {
protected:
    test_support::x_connection display;
};

TEST_P(SpheresTrace, StartUpAndFirstFrameCallInOrderWithTheBuildsBlendAndColours)
{
    const sphere_build& build = GetParam();
    const std::optional<test_support::gl_trace> trace = test_support::record_trace(display, {build.binary});
    ASSERT_TRUE(trace);
    const auto frames = trace->frames();
    ASSERT_FALSE(frames.empty()) << "no frame was swapped";

    std::vector<std::string> expected = {
        "glViewport(0, 0, 640, 480)",
        "glEnable(GL_DEPTH_TEST)",
        "glEnable(GL_LIGHTING)",
        "glLightfv(GL_LIGHT0, GL_AMBIENT, {0, 0, 0, 1})",
        "glLightfv(GL_LIGHT0, GL_DIFFUSE, {1, 1, 1, 1})",
        "glLightfv(GL_LIGHT0, GL_SPECULAR, {0.4, 1.4, 0.4, 1})",
        "glLightfv(GL_LIGHT0, GL_POSITION, {-20, 20, 30, 1})",
        "glEnable(GL_LIGHT0)",
    };
    const std::vector<std::string> reshape = reshape_calls(640, 480, "GL_TRUE");
    const std::vector<std::string> frame = frame_calls(build);
    expected.insert(expected.end(), reshape.begin(), reshape.end());
    expected.insert(expected.end(), frame.begin(), frame.end());

    const std::vector<const test_support::gl_call*> calls = program_calls(*trace, frames[0].first, frames[0].second);
    EXPECT_EQ(summarise(calls), expected);

    // gluPerspective(45, 640 / 480 in double precision, 1, 10000), as GLU hands it to GL.
    const std::vector<size_t> projections = trace->find_all("glMultMatrixd");
    ASSERT_FALSE(projections.empty());
    expect_perspective(trace->calls[projections[0]], 640.0 / 480.0);
}

TEST_P(SpheresTrace, ResizeClearsTheNewDepthBufferAndMovesViewportAndAspectAlong)
{
    const sphere_build& build = GetParam();
    const std::optional<test_support::gl_trace> trace = test_support::record_trace(display, {build.binary}, {{}, {{800, 600}}, 2, false});
    ASSERT_TRUE(trace);
    const auto frames = trace->frames();
    ASSERT_GE(frames.size(), 2u);

    // The first reshape after the resize: depth writes are off by then, so it
    // switches them on for its clear and back off after.
    size_t reshape = trace->npos;
    for (size_t i = frames[0].second; i < trace->calls.size() && reshape == trace->npos; ++i) {
        if (trace->calls[i].text == "glViewport(0, 0, 800, 600)")
            reshape = i;
    }
    ASSERT_NE(reshape, trace->npos) << "no viewport of 800 x 600 after the resize";
    const size_t start = trace->find("glGetBooleanv", reshape >= 8 ? reshape - 8 : 0);
    ASSERT_LT(start, reshape);
    const size_t swap = trace->find("glXSwapBuffers", reshape);
    ASSERT_NE(swap, trace->npos) << "no frame after the resize";

    std::vector<std::string> expected = reshape_calls(800, 600, "GL_FALSE");
    const std::vector<std::string> frame = frame_calls(build);
    expected.insert(expected.end(), frame.begin(), frame.end());
    const std::vector<const test_support::gl_call*> calls = program_calls(*trace, start, swap);
    EXPECT_EQ(summarise(calls), expected);
    const size_t projection = trace->find("glMultMatrixd", reshape);
    ASSERT_LT(projection, swap);
    expect_perspective(trace->calls[projection], 800.0 / 600.0);

    // Still, it draws only when asked: no idle or timer redraws.
    EXPECT_LE(frames.size(), 8u) << "frames drawn without being asked";
}

INSTANTIATE_TEST_SUITE_P(Builds, SpheresTrace, testing::ValuesIn(builds), build_name);

}  // namespace
}  // namespace spheres_test
