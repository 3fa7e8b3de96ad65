// model_viewer's state and GLUT callbacks, apart from its entry so that
// tests can link them into a window of their own.
#pragma once

#include <cstdint>

#include "model.h"

extern Model model;
extern int32_t window_width;
extern int32_t window_height;
extern double spin_angle;  // degrees about the vertical axis; the next frame adds 0.1

// The window "Szablon", 640 x 480 at the top left, double-buffered RGB with
// depth; after glutInit.
void open_viewer_window();
// The OpenGL state the frames rely on, set once after the window opens.
void set_up_viewer_gl();

void viewer_reshape(int width, int height);
void viewer_display();
void draw_model(const Model* m);
// One frame as viewer_display draws it, each copy of the model drawn by
// `draw` (viewer_display's is draw_model; the frame benchmark's a buffer).
void viewer_frame(void (*draw)(const Model*));
