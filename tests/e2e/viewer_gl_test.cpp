// The viewer's callbacks and the texture upload, linked into a real GLUT
// window on the test's private X server (Mesa's llvmpipe).
#include <gtest/gtest.h>

#include <GL/freeglut.h>

#include <cmath>
#include <string>
#include <vector>

#include "formats/bmp.h"
#include "formats/writer.h"
#include "support/files.h"
#include "texture.h"
#include "viewer.h"

namespace {

void open_window_once()
{
    static bool open = false;
    if (open)
        return;
    int argc = 1;
    char name[] = "viewer_gl_test";
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(640, 480);
    glutInitWindowPosition(0, 0);
    glutCreateWindow("viewer_gl_test");
    open = true;
}

class ViewerGl : public testing::Test {
protected:
    void SetUp() override { open_window_once(); }
    // Let go of the display before the private X server goes away, or
    // Xlib ends the process with an I/O error after the tests passed.
    static void TearDownTestSuite() { glutExit(); }
};

std::string write_bmp(const std::string& name, int32_t width, int32_t height)
{
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = static_cast<uint8_t>(i * 37 + 11);
    const std::string path = test_support::temp_path(name);
    EXPECT_TRUE(formats::write_file(path, formats::make_bmp24(width, height, rgb)));
    return path;
}

GLint texture_parameter(GLenum name)
{
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    return value;
}

GLint level0(GLenum name)
{
    GLint value = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, name, &value);
    return value;
}

GLint bound_texture()
{
    GLint name = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    return name;
}

}  // namespace

// ---- texture names and upload -------------------------------------------

TEST_F(ViewerGl, TextureNamesCountFromZeroAndFailuresStillAdvance)
{
    const std::string good = write_bmp("good.bmp", 4, 2);
    const std::string missing = test_support::temp_path("missing.bmp");

    next_texture_id = -1;
    EXPECT_EQ(load_bmp_texture(good.c_str()), 0) << "the first name is the default texture";
    EXPECT_EQ(load_bmp_texture(good.c_str()), 1);

    next_texture_id = -1;
    std::string why;
    EXPECT_EQ(load_bmp_texture(missing.c_str(), &why), -1);
    EXPECT_NE(why.find("cannot open"), std::string::npos) << why;
    EXPECT_EQ(next_texture_id, 0) << "a failed call still takes its name";
    EXPECT_EQ(load_bmp_texture(good.c_str(), &why), 1);
    EXPECT_EQ(bound_texture(), 1);
    EXPECT_TRUE(why.empty()) << why;
}

TEST_F(ViewerGl, UploadSetsFiltersWrapAndReplaceMode)
{
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    const std::string path = write_bmp("params.bmp", 8, 4);
    const int32_t name = load_bmp_texture(path.c_str());
    ASSERT_GE(name, 0);
    EXPECT_EQ(bound_texture(), name);
    EXPECT_EQ(texture_parameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(texture_parameter(GL_TEXTURE_WRAP_T), GL_REPEAT);
    EXPECT_EQ(texture_parameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(texture_parameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_NEAREST);
    GLint mode = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
    EXPECT_EQ(mode, GL_REPLACE) << "the unit's mode must make the texel the fragment colour";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ViewerGl, LevelZeroHoldsTheDecodedPixelsAndMipmapsFollow)
{
    const std::string path = write_bmp("pixels.bmp", 8, 4);
    formats::bmp_image decoded;
    std::string reason;
    ASSERT_TRUE(formats::decode_bmp_path(path.c_str(), &decoded, &reason)) << reason;
    ASSERT_GE(load_bmp_texture(path.c_str()), 0);
    EXPECT_EQ(level0(GL_TEXTURE_WIDTH), 8);
    EXPECT_EQ(level0(GL_TEXTURE_HEIGHT), 4);
    formats::pixel_buffer stored(8 * 4 * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, stored.data());
    EXPECT_EQ(stored, decoded.rgba);
    // The whole chain is there down to 1 x 1, so the mipmapping filter samples something.
    GLint last_width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 3, GL_TEXTURE_WIDTH, &last_width);
    EXPECT_EQ(last_width, 1);
}

TEST_F(ViewerGl, SidesOtherThanPowersOfTwoEndScaledByTheMipmapBuild)
{
    // Level 0 is given twice: as read, then as the mipmap builder scales it.
    const std::string path = write_bmp("odd.bmp", 6, 3);
    ASSERT_GE(load_bmp_texture(path.c_str()), 0);
    const GLint width = level0(GL_TEXTURE_WIDTH), height = level0(GL_TEXTURE_HEIGHT);
    EXPECT_EQ(width & (width - 1), 0) << width;
    EXPECT_EQ(height & (height - 1), 0) << height;
}

TEST_F(ViewerGl, ImageWiderThanTheRendererTakesIsRefusedWithAReason)
{
    GLint max_side = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_side);
    if (max_side >= formats::BMP_MAX_SIDE)
        GTEST_SKIP() << "this renderer takes every side the decoder does";
    const std::string path = write_bmp("wide.bmp", max_side + 1, 1);
    const GLint before = bound_texture();
    std::string why;
    EXPECT_EQ(load_bmp_texture(path.c_str(), &why), -1);
    EXPECT_NE(why.find("limit"), std::string::npos) << why;
    EXPECT_EQ(bound_texture(), before) << "nothing may be bound for a refused image";
}

// ---- the frame callback and reshape ---------------------------------------

TEST_F(ViewerGl, AngleAdvancesByATenthAndWrapsOnceAbove359)
{
    model.face_count = 0;
    model.texture_id = 0;
    spin_angle = 10.0;
    // The same additions in double precision find the frame that must wrap.
    double expected = 10.0;
    bool wrapped = false;
    for (int frame = 1; frame <= 3600 && !wrapped; ++frame) {
        expected += 0.1;
        if (expected > 359.0) {
            expected = 0.0;
            wrapped = true;
        }
        viewer_display();
        ASSERT_EQ(spin_angle, expected) << "frame " << frame;
        if (frame == 1) {
            EXPECT_DOUBLE_EQ(spin_angle, 10.1);
        }
    }
    ASSERT_TRUE(wrapped);
    viewer_display();
    EXPECT_DOUBLE_EQ(spin_angle, 0.1) << "the frame after the wrap";
}

TEST_F(ViewerGl, ReshapeSetsViewportAndAnAspectThatFollowsTheWindow)
{
    viewer_reshape(800, 600);
    EXPECT_EQ(window_width, 800);
    EXPECT_EQ(window_height, 600);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 800);
    EXPECT_EQ(viewport[3], 600);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_PROJECTION) << "the frame callback picks the model-view matrix itself";
    GLdouble m[16];
    glGetDoublev(GL_PROJECTION_MATRIX, m);
    EXPECT_NEAR(m[5] / m[0], 800.0 / 600.0, 1e-6);
    EXPECT_NEAR(m[5], 1.0 / std::tan(22.5 * M_PI / 180.0), 1e-6);

    // A window of no height is taken as one pixel high, not divided by.
    viewer_reshape(320, 0);
    glGetDoublev(GL_PROJECTION_MATRIX, m);
    for (double v : m)
        EXPECT_TRUE(std::isfinite(v));
    EXPECT_NEAR(m[5] / m[0], 320.0, 1e-3);
    viewer_reshape(640, 480);
}
