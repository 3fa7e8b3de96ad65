// The one fatal message of model_viewer: a modal box with an error icon,
// a caption, a text and an OK button, shown where no window owns it.
#pragma once

// Shows the box and returns once the user has dismissed it. `text` is in
// the Windows single-byte code page; `detail` (why it came to this) goes to
// stderr only, on one line with the text.
void show_error_box(const char* caption, const char* text, const char* detail);
