// model_viewer: two textured, colour-blended copies of szablon.3ds circling
// a vertical axis. The entry is the start-up list and nothing else.
#include <GL/glut.h>

#include <cstdlib>
#include <string>

#include "error_box.h"
#include "model.h"
#include "texture.h"
#include "viewer.h"

int main(int argc, char** argv)
{
    // On Windows the GLUT header turns these two calls into their
    // __glut...WithExit forms, handing GLUT the C library's exit.
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(window_width, window_height);
    glutInitWindowPosition(0, 0);
    glutCreateWindow("Szablon");
    glutDisplayFunc(viewer_display);
    glutIdleFunc(viewer_display);
    glutReshapeFunc(viewer_reshape);

    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glShadeModel(GL_SMOOTH);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glEnable(GL_DEPTH_TEST);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glEnable(GL_TEXTURE_2D);

    load_3ds_model(&model, "szablon.3ds");
    normalize_model(&model);
    model.texture_id = load_bmp_texture("szablon.bmp");
    if (model.texture_id == -1) {
        // The text ends in byte 0xA6 of the Windows code page.
        const std::string why = "szablon.bmp: " + texture_error;
        show_error_box("Problem", "Nie znaleziono pliku z tekstur\xA6", why.c_str());
        std::exit(0);
    }
    glutMainLoop();
    return 0;
}
