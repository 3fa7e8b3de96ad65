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
    // On Windows the GLUT header makes this __glutInitWithExit, handing GLUT
    // the C library's exit.
    glutInit(&argc, argv);
    open_viewer_window();
    glutDisplayFunc(viewer_display);
    glutIdleFunc(viewer_display);
    glutReshapeFunc(viewer_reshape);
    set_up_viewer_gl();

    load_3ds_model(&model, "szablon.3ds");
    normalize_model(&model);
    std::string why;
    model.texture_id = load_bmp_texture("szablon.bmp", &why);
    if (model.texture_id == -1) {
        // The text ends in byte 0xA6 of the Windows code page.
        const std::string detail = "szablon.bmp: " + why;
        show_error_box("Problem", "Nie znaleziono pliku z tekstur\xA6", detail.c_str());
        std::exit(0);
    }
    glutMainLoop();
    return 0;
}
