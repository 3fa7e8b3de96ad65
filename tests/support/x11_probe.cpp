// x11_probe: the window helpers of the tests for shell scripts (the Windows
// and package checks run programs they cannot link against):
//
//   x11_probe find TITLE SECONDS         waits for a viewable window titled
//                                        TITLE, prints its id
//   x11_probe frame ID OUT.ppm SECONDS [still]
//                                        waits until the window shows
//                                        something other than black (still:
//                                        and stays the same for 150 ms),
//                                        writes that picture as binary PPM
//   x11_probe close ID                   sends WM_DELETE_WINDOW, as a click
//                                        on the close button does
//   x11_probe focus ID                   gives the window the keyboard focus
//   x11_probe colours IN.ppm             prints how many pixels are red, dark
//                                        and light
//
// Exit status 0 on success, 1 when the wait ran out or the window is gone,
// 2 on a usage error. Each wait stops at its deadline.
#include <gtest/gtest.h>  // before Xlib, whose macros break its names

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/window.h"

namespace {

std::chrono::milliseconds seconds(const char* text)
{
    return std::chrono::milliseconds(static_cast<long>(std::atof(text) * 1000));
}

int usage()
{
    std::fprintf(stderr,
                 "usage: x11_probe find TITLE SECONDS | frame ID OUT.ppm SECONDS [still] |\n"
                 "       close ID | focus ID | colours IN.ppm\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return usage();
    const std::string command = argv[1];

    if (command == "colours") {
        const std::optional<test_support::rgb_image> picture = test_support::read_ppm(argv[2]);
        if (!picture) {
            std::fprintf(stderr, "x11_probe: cannot read %s as binary PPM\n", argv[2]);
            return 1;
        }
        long red = 0, dark = 0, light = 0;
        for (size_t i = 0; i + 2 < picture->rgb.size(); i += 3) {
            const int r = picture->rgb[i], g = picture->rgb[i + 1], b = picture->rgb[i + 2];
            red += r > 180 && g < 100 && b < 100;
            dark += r < 80 && g < 80 && b < 80;
            light += r > 200 && g > 200 && b > 200;
        }
        std::printf("red %ld dark %ld light %ld\n", red, dark, light);
        return 0;
    }

    try {
        const test_support::x_connection display;
        if (command == "find" && argc == 4) {
            if (const std::optional<Window> found = test_support::find_window(display, argv[2], seconds(argv[3]))) {
                std::printf("%lu\n", *found);
                return 0;
            }
            std::fprintf(stderr, "x11_probe: no window titled \"%s\" appeared\n", argv[2]);
            return 1;
        }

        const Window window = std::strtoul(argv[2], nullptr, 0);
        if (command == "frame" && (argc == 5 || (argc == 6 && std::strcmp(argv[5], "still") == 0))) {
            const bool still = argc == 6;
            const std::optional<test_support::rgb_image> shot =
                still ? test_support::capture_settled(display, window, std::chrono::milliseconds(150), seconds(argv[4]))
                      : test_support::capture_until(
                            display, window,
                            [](const test_support::rgb_image& picture) { return test_support::count_non_black(picture) > 0; },
                            seconds(argv[4]));
            if (shot && test_support::count_non_black(*shot) > 0)
                return test_support::write_ppm(*shot, argv[3]) ? 0 : 1;
            std::fprintf(stderr, "x11_probe: window %s showed no %s picture in time\n", argv[2],
                         still ? "settled" : "non-black");
            return 1;
        }
        if (command == "close" && argc == 3)
            return test_support::close_window(display, window) ? 0 : 1;
        if (command == "focus" && argc == 3)
            return test_support::focus_window(display, window) ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "x11_probe: %s\n", error.what());
        return 1;
    }
    return usage();
}
