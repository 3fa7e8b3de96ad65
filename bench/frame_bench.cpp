// One frame of model_viewer (viewer_display, immediate mode) against the same
// triangles drawn from a vertex buffer object with glDrawArrays, in a real
// GLUT window; glFinish after each frame so the drawing itself is timed.
//   bench_frame --model=FILE --texture=FILE [--label=NAME] [--tsv=OUT] [benchmark flags]
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/freeglut.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "compare.h"
#include "corners.h"
#include "model.h"
#include "texture.h"
#include "viewer.h"

namespace {

bool shown = false;
GLuint corner_buffer = 0;
GLsizei corner_count = 0;

void note_shown() { shown = true; }

void fill_corner_buffer(const Model* m)
{
    const std::vector<GLfloat> corners = model_corners(m);
    corner_count = static_cast<GLsizei>(corners.size() / 5);
    glGenBuffers(1, &corner_buffer);
    glBindBuffer(GL_ARRAY_BUFFER, corner_buffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(corners.size() * sizeof(GLfloat)),
                 corners.data(), GL_STATIC_DRAW);
}

void draw_buffer(const Model*)
{
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(model.texture_id));
    glBindBuffer(GL_ARRAY_BUFFER, corner_buffer);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    const GLsizei stride = 5 * sizeof(GLfloat);
    glTexCoordPointer(2, GL_FLOAT, stride, nullptr);
    glVertexPointer(3, GL_FLOAT, stride, reinterpret_cast<const void*>(2 * sizeof(GLfloat)));
    glDrawArrays(GL_TRIANGLES, 0, corner_count);
}

// viewer_display with the drawing from the buffer.
void buffer_display()
{
    viewer_frame(draw_buffer);
}

void ours_frame(benchmark::State& state)
{
    for (auto _ : state) {
        viewer_display();
        glFinish();
    }
    state.counters["triangles"] = 2.0 * model.face_count;
}

void buffer_frame(benchmark::State& state)
{
    for (auto _ : state) {
        buffer_display();
        glFinish();
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    state.counters["triangles"] = 2.0 * corner_count / 3;
}

// One frame of either kind at the same angle, read back from the front buffer.
std::vector<uint8_t> frame_pixels(void (*display)(), double angle)
{
    spin_angle = angle - 0.1;
    display();
    glFinish();
    std::vector<uint8_t> pixels(static_cast<size_t>(window_width) * window_height * 4);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, window_width, window_height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

// The two ways must draw the same picture, and not an empty one.
bool same_frames()
{
    const double saved_angle = spin_angle;
    const std::vector<uint8_t> ours = frame_pixels(viewer_display, 45.0);
    const std::vector<uint8_t> buffer = frame_pixels(buffer_display, 45.0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    spin_angle = saved_angle;
    size_t lit = 0, differ = 0;
    for (size_t i = 0; i < ours.size(); i += 4) {
        lit += ours[i] | ours[i + 1] | ours[i + 2] ? 1 : 0;
        differ += std::memcmp(&ours[i], &buffer[i], 3) != 0 ? 1 : 0;
    }
    std::fprintf(stderr, "one frame at 45 degrees: %zu of %zu pixels lit, %zu differ\n", lit,
                 ours.size() / 4, differ);
    return lit > 0 && differ == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    take_compare_options(&argc, argv);
    std::string model_path, texture_path, label = "capacity";
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (const char* v = option_value(argv[i], "--model"))
            model_path = v;
        else if (const char* v = option_value(argv[i], "--texture"))
            texture_path = v;
        else if (const char* v = option_value(argv[i], "--label"))
            label = v;
        else
            argv[kept++] = argv[i];
    }
    argv[kept] = nullptr;
    if (model_path.empty() || texture_path.empty()) {
        std::fprintf(stderr, "usage: bench_frame --model=FILE --texture=FILE [--tsv=OUT]\n");
        return 2;
    }

    // model_viewer's start-up, up to the main loop.
    int glut_argc = 1;
    glutInit(&glut_argc, argv);
    open_viewer_window();
    glutDisplayFunc(note_shown);
    glutReshapeFunc(viewer_reshape);
    set_up_viewer_gl();

    // The model as the viewer has it, without its loading lines.
    const bool loaded = load_3ds_model(&model, model_path.c_str(), nullptr, nullptr, nullptr);
    fit_model(&model);
    model.texture_id = load_bmp_texture(texture_path.c_str());
    if (!loaded || model.texture_id == -1) {
        std::fprintf(stderr, "cannot load %s or %s\n", model_path.c_str(), texture_path.c_str());
        return 1;
    }
    // The window is mapped and reshaped before the first frame is timed.
    while (!shown)
        glutMainLoopEvent();
    std::fprintf(stderr, "renderer: %s; OpenGL %s; %d triangles per copy\n",
                 reinterpret_cast<const char*>(glGetString(GL_RENDERER)),
                 reinterpret_cast<const char*>(glGetString(GL_VERSION)), model.face_count);
    fill_corner_buffer(&model);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    if (!same_frames()) {
        std::fprintf(stderr, "the two ways of drawing disagree; not comparing\n");
        return 1;
    }

    struct stat st;
    comparison c;
    c.what = "frame";
    c.input = label;
    c.input_bytes = stat(model_path.c_str(), &st) == 0 ? static_cast<double>(st.st_size) : 0;
    c.rate = rate_kind::frames;
    c.peer = "vbo";
    c.show_cpu = true;
    add_comparison(c, ours_frame, buffer_frame);
    return run_comparisons(kept, argv);
}
