// The error box where the platform has none: a small top-level X window of
// its own with an error icon, the text and an OK button. It blocks until the
// user presses OK, Enter, Space or Escape, or closes it.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/Xatom.h>
#include <X11/keysym.h>

#include <cstring>

namespace {

const int MARGIN = 16;
const int ICON_SIZE = 32;
const int BUTTON_WIDTH = 80;
const int BUTTON_HEIGHT = 26;
const unsigned long FACE = 0xF0F0F0, TEXT = 0x000000, ICON = 0xD03030, ICON_MARK = 0xFFFFFF,
                    EDGE = 0x707070, BUTTON = 0xE1E1E1, BUTTON_DOWN = 0xCCE4F7;

// Core fonts carry the Latin-1 upper half, which agrees with the Windows
// code page there, so the text's bytes are drawn as they stand.
const char* const FONTS[] = {
    "-*-helvetica-medium-r-normal--12-*-*-*-*-*-iso8859-1",
    "-misc-fixed-medium-r-normal--13-*-*-*-*-*-iso8859-1",
    "fixed",
};

struct box {
    Display* display;
    Window window;
    GC gc;
    XFontStruct* font;
    const char* text;
    int width, height;
    int button_x, button_y;
    bool button_down;
};

bool in_button(const box& b, int x, int y)
{
    return x >= b.button_x && x < b.button_x + BUTTON_WIDTH && y >= b.button_y &&
           y < b.button_y + BUTTON_HEIGHT;
}

void fill(const box& b, unsigned long colour, int x, int y, int w, int h)
{
    XSetForeground(b.display, b.gc, colour);
    XFillRectangle(b.display, b.window, b.gc, x, y, static_cast<unsigned>(w),
                   static_cast<unsigned>(h));
}

void draw_text(const box& b, const char* text, int x, int baseline)
{
    XSetForeground(b.display, b.gc, TEXT);
    XDrawString(b.display, b.window, b.gc, x, baseline, text, static_cast<int>(std::strlen(text)));
}

int text_width(const box& b, const char* text)
{
    return XTextWidth(b.font, text, static_cast<int>(std::strlen(text)));
}

void draw(const box& b)
{
    fill(b, FACE, 0, 0, b.width, b.height);

    // The error icon: a red disc with a white cross.
    XSetForeground(b.display, b.gc, ICON);
    XFillArc(b.display, b.window, b.gc, MARGIN, MARGIN, ICON_SIZE, ICON_SIZE, 0, 360 * 64);
    XSetForeground(b.display, b.gc, ICON_MARK);
    XSetLineAttributes(b.display, b.gc, 3, LineSolid, CapRound, JoinRound);
    const int lo = MARGIN + 10, hi = MARGIN + ICON_SIZE - 10;
    XDrawLine(b.display, b.window, b.gc, lo, lo, hi, hi);
    XDrawLine(b.display, b.window, b.gc, lo, hi, hi, lo);
    XSetLineAttributes(b.display, b.gc, 1, LineSolid, CapButt, JoinMiter);

    const int text_x = MARGIN * 2 + ICON_SIZE;
    const int text_baseline = MARGIN + ICON_SIZE / 2 + (b.font->ascent - b.font->descent) / 2;
    draw_text(b, b.text, text_x, text_baseline);

    fill(b, b.button_down ? BUTTON_DOWN : BUTTON, b.button_x, b.button_y, BUTTON_WIDTH,
         BUTTON_HEIGHT);
    XSetForeground(b.display, b.gc, EDGE);
    XDrawRectangle(b.display, b.window, b.gc, b.button_x, b.button_y, BUTTON_WIDTH - 1,
                   BUTTON_HEIGHT - 1);
    const int label_x = b.button_x + (BUTTON_WIDTH - text_width(b, "OK")) / 2;
    const int label_baseline =
        b.button_y + (BUTTON_HEIGHT + b.font->ascent - b.font->descent) / 2;
    draw_text(b, "OK", label_x, label_baseline);
    XFlush(b.display);
}

XFontStruct* load_font(Display* display)
{
    for (const char* name : FONTS)
        if (XFontStruct* font = XLoadQueryFont(display, name))
            return font;
    return nullptr;
}

void name_window(Display* display, Window window, const char* caption)
{
    XStoreName(display, window, caption);
    // The caption is ASCII, so the same bytes serve as UTF-8.
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False),
                    XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(caption),
                    static_cast<int>(std::strlen(caption)));
    Atom dialog = XInternAtom(display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_WINDOW_TYPE", False),
                    XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&dialog), 1);
}

}  // namespace

void show_platform_box(const char* caption, const char* text, const char* /*detail*/)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return;  // nowhere to show it; stderr already carries the message
    XFontStruct* font = load_font(display);
    if (!font) {
        XCloseDisplay(display);
        return;
    }

    box b{};
    b.display = display;
    b.font = font;
    b.text = text;
    const int text_width_px = XTextWidth(font, text, static_cast<int>(std::strlen(text)));
    b.width = MARGIN * 3 + ICON_SIZE + text_width_px + MARGIN;
    b.height = MARGIN * 3 + ICON_SIZE + BUTTON_HEIGHT;
    b.button_x = b.width - MARGIN - BUTTON_WIDTH;
    b.button_y = b.height - MARGIN - BUTTON_HEIGHT;

    const int screen = DefaultScreen(display);
    const int x = (DisplayWidth(display, screen) - b.width) / 2;
    const int y = (DisplayHeight(display, screen) - b.height) / 3;
    b.window = XCreateSimpleWindow(display, RootWindow(display, screen), x, y,
                                   static_cast<unsigned>(b.width),
                                   static_cast<unsigned>(b.height), 1, EDGE, FACE);
    name_window(display, b.window, caption);

    // A fixed size at a place of our choosing, as message boxes have.
    XSizeHints hints{};
    hints.flags = USPosition | PMinSize | PMaxSize;
    hints.x = x;
    hints.y = y;
    hints.min_width = hints.max_width = b.width;
    hints.min_height = hints.max_height = b.height;
    XSetWMNormalHints(display, b.window, &hints);

    Atom delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, b.window, &delete_window, 1);
    XSelectInput(display, b.window,
                 ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask |
                     StructureNotifyMask);
    b.gc = XCreateGC(display, b.window, 0, nullptr);
    XSetFont(display, b.gc, font->fid);
    XMapRaised(display, b.window);

    bool dismissed = false;
    while (!dismissed) {
        XEvent event;
        XNextEvent(display, &event);
        switch (event.type) {
        case MapNotify:
            // Take the keyboard, so Enter answers the box and nothing else.
            XSetInputFocus(display, b.window, RevertToParent, CurrentTime);
            break;
        case Expose:
            if (event.xexpose.count == 0)
                draw(b);
            break;
        case KeyPress: {
            const KeySym key = XLookupKeysym(&event.xkey, 0);
            dismissed = key == XK_Return || key == XK_KP_Enter || key == XK_space ||
                        key == XK_Escape;
            break;
        }
        case ButtonPress:
            if (event.xbutton.button == Button1 && in_button(b, event.xbutton.x, event.xbutton.y)) {
                b.button_down = true;
                draw(b);
            }
            break;
        case ButtonRelease:
            if (event.xbutton.button == Button1 && b.button_down) {
                b.button_down = false;
                dismissed = in_button(b, event.xbutton.x, event.xbutton.y);
                draw(b);
            }
            break;
        case ClientMessage:
            dismissed = static_cast<Atom>(event.xclient.data.l[0]) == delete_window;
            break;
        default:
            break;
        }
    }

    XFreeGC(display, b.gc);
    XDestroyWindow(display, b.window);
    XFreeFont(display, font);
    XCloseDisplay(display);
}
