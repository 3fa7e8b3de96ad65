// The least a GLUT program does to show model_viewer's window: the same
// window and display mode, cleared and swapped. Start-up is timed against it.
#include <GL/glut.h>

namespace {

void display()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glutSwapBuffers();
}

}  // namespace

int main(int argc, char** argv)
{
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(640, 480);
    glutInitWindowPosition(0, 0);
    glutCreateWindow("Szablon");
    glutDisplayFunc(display);
    glutMainLoop();
    return 0;
}
