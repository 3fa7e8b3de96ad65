#include <windows.h>

void show_platform_box(const char* caption, const char* text, const char* /*detail*/)
{
    MessageBoxA(nullptr, text, caption, MB_ICONERROR | MB_OK);
}
