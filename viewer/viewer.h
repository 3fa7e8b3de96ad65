// model_viewer's state and GLUT callbacks, apart from its entry so that
// tests can link them into a window of their own.
#pragma once

#include <cstdint>

#include "model.h"

extern Model model;
extern int32_t window_width;
extern int32_t window_height;
extern double spin_angle;  // degrees about the vertical axis; the next frame adds 0.1

void viewer_reshape(int width, int height);
void viewer_display();
void draw_model(const Model* m);
