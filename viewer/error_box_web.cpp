// The error box in a web page: a box drawn over the canvas with the caption,
// an error icon, the text, below it why (which a desktop user reads on the
// console) and an OK button. A page cannot wait inside a
// call, so the box does not return: the program stops here, and OK ends it
// with status 0, as the viewer ends after its box on the desktop. The page's
// root element says data-state="box" while it is up.
#include <GL/glut.h>
#include <emscripten.h>

// clang-format off
EM_JS(void, draw_box, (const char* caption, const char* text, const char* detail), {
    // The text is in the Windows code page, whose upper half agrees with
    // Latin-1 where our text uses it.
    var latin1 = function(address) {
        var s = "";
        for (var c; (c = HEAPU8[address]) != 0; ++address)
            s += String.fromCharCode(c);
        return s;
    };
    var box = document.createElement("div");
    box.id = "error-box";
    box.setAttribute("role", "alertdialog");
    box.style.cssText = "position:absolute;left:50%;top:50%;transform:translate(-50%,-50%);" +
        "min-width:320px;max-width:560px;" +
        "background:#f0f0f0;border:1px solid #707070;font:12px sans-serif;color:#000;" +
        "box-shadow:0 4px 16px rgba(0,0,0,.5)";
    var title = document.createElement("div");
    title.textContent = latin1(caption);
    title.style.cssText = "background:#fff;padding:6px 10px;border-bottom:1px solid #ddd";
    var body = document.createElement("div");
    body.style.cssText = "display:flex;align-items:center;gap:12px;padding:16px";
    var icon = document.createElement("div");
    icon.textContent = "\u2715";
    icon.style.cssText = "width:32px;height:32px;border-radius:16px;background:#d03030;" +
        "color:#fff;font:bold 18px/32px sans-serif;text-align:center;flex:none";
    var message = document.createElement("div");
    message.textContent = latin1(text);
    var why = document.createElement("div");
    why.id = "error-detail";
    why.textContent = UTF8ToString(detail);
    why.style.cssText = "color:#555;font-size:11px;margin-top:6px";
    message.append(why);
    var buttons = document.createElement("div");
    buttons.style.cssText = "text-align:right;padding:0 16px 16px";
    var ok = document.createElement("button");
    ok.textContent = "OK";
    ok.style.cssText = "width:80px;height:26px";
    ok.onclick = function() {
        box.remove();
        try {
            _web_error_box_ok();
        } catch (e) {
            // Ending the program unwinds the call with an ExitStatus.
            if (e.name != "ExitStatus")
                throw e;
        }
    };
    body.append(icon, message);
    buttons.append(ok);
    box.append(title, body, buttons);
    document.body.append(box);
    ok.focus();
    document.documentElement.dataset.state = "box";
});
// clang-format on

extern "C" EMSCRIPTEN_KEEPALIVE void web_error_box_ok()
{
    emscripten_force_exit(0);
}

void show_platform_box(const char* caption, const char* text, const char* detail)
{
    // In the browser GLUT runs the idle callback from its registration on,
    // not from glutMainLoop: nothing may draw behind the box.
    glutIdleFunc(nullptr);
    draw_box(caption, text, detail);
    emscripten_exit_with_live_runtime();
}
