// The viewer's frame in the browser, for frame_bench.html: model_viewer's
// start-up up to its main loop, with the packed szablon.3ds and szablon.bmp,
// then the page times viewer_display itself, frame by frame, against the
// same triangles drawn by plain WebGL (webgl_limit.js), which gets them and
// the texture's pixels from here.
#include <GL/glut.h>
#include <emscripten.h>

#include <cstdint>
#include <string>
#include <vector>

#include "corners.h"
#include "formats/bmp.h"
#include "model.h"
#include "texture.h"
#include "viewer.h"

namespace {

std::vector<float> corners;
formats::bmp_image texture;

// clang-format off
EM_JS(void, hand_to_page, (const float* corners, int corner_count, const uint8_t* rgba, int width,
                           int height), {
    Module.viewerReady(HEAPF32.slice(corners >> 2, (corners >> 2) + corner_count * 5),
                       HEAPU8.slice(rgba, rgba + width * height * 4), width, height);
});

EM_JS(void, fail_page, (const char* why), {
    Module.benchFailed(UTF8ToString(why));
});
// clang-format on

// The first display, once the main loop has reshaped the window: from here
// on the page calls the frames.
void shown()
{
    glutDisplayFunc([] {});
    hand_to_page(corners.data(), static_cast<int>(corners.size() / 5), texture.rgba.data(),
                 texture.width, texture.height);
}

}  // namespace

// One frame of the viewer at `angle` degrees, waited for: viewer_display
// itself, then one pixel read back, which returns only once the browser's
// GPU side has drawn the frame.
extern "C" EMSCRIPTEN_KEEPALIVE void bench_viewer_frame(double angle)
{
    spin_angle = angle - 0.1;  // viewer_display turns by 0.1 first
    viewer_display();
    GLubyte pixel[4];
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
}

int main(int argc, char** argv)
{
    glutInit(&argc, argv);
    open_viewer_window();
    glutDisplayFunc(shown);
    glutReshapeFunc(viewer_reshape);
    set_up_viewer_gl();

    // The model and texture as the viewer has them, without its loading lines.
    const bool loaded = load_3ds_model(&model, "szablon.3ds", nullptr, nullptr, nullptr);
    fit_model(&model);
    model.texture_id = load_bmp_texture("szablon.bmp");
    std::string why;
    if (!loaded || model.texture_id == -1 || !formats::decode_bmp_path("szablon.bmp", &texture, &why)) {
        fail_page("cannot load the packed szablon.3ds or szablon.bmp");
        return 1;
    }
    corners = model_corners(&model);
    glutMainLoop();
    return 0;
}
