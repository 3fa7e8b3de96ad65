#!/usr/bin/env python3
"""Loads the web pages in headless Chromium and checks what they show.

Driven by tests/system/web.sh. Chromium is spoken to over its DevTools pipe:
each page is opened in a tab of its own, and the check waits for the page's
own signals (the data-state its root element carries), never for a time.

  web_check.py --chromium PATH --site DIR --out DIR CHECK...

Each CHECK is one of
  frame:NAME:PAGE:REFERENCE.ppm[:STDOUT.txt]
                                  PAGE (with its ?frames=N) stops, its canvas
                                  matches the desktop frame and its console
                                  holds the desktop program's standard output
  box:NAME:PAGE                   PAGE shows the error box, and OK ends it
and every page must leave no WebGL error, exception or failed load on its
console. Prints one line per check and "N passed, M failed"; exits 1 on any
failure. Screenshots go to the --out folder.
"""

import argparse
import base64
import functools
import http.server
import json
import os
import queue
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time
import zlib

WIDTH, HEIGHT = 640, 480
# A pixel is off when a channel differs by more than this; a frame passes
# with at most this share of its pixels off (edges rasterised differently).
CHANNEL_TOLERANCE = 8
SHARE_OFF = 0.001
PAGE_DEADLINE = 60.0
BOX_TEXT = "Nie znaleziono pliku z tekstur\u00a6"


def read_png(data):
    """Pixels of an 8-bit, non-interlaced RGB or RGBA PNG, as RGB rows."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        raise ValueError("PNG kind not read here")
    channels = 3 if colour == 2 else 4
    raw = zlib.decompress(idat)
    stride = width * channels
    previous = bytearray(stride)
    rgb = bytearray()
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for x in range(stride):
            left = line[x - channels] if x >= channels else 0
            up = previous[x]
            if kind == 1:
                line[x] = (line[x] + left) & 255
            elif kind == 2:
                line[x] = (line[x] + up) & 255
            elif kind == 3:
                line[x] = (line[x] + (left + up) // 2) & 255
            elif kind == 4:
                corner = previous[x - channels] if x >= channels else 0
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                best = left if pa <= pb and pa <= pc else up if pb <= pc else corner
                line[x] = (line[x] + best) & 255
        previous = line
        if channels == 3:
            rgb += line
        else:
            for x in range(width):
                rgb += line[x * 4:x * 4 + 3]
    return width, height, bytes(rgb)


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b"P6" or fields[3] != b"255":
        raise ValueError(path + ": not an 8-bit binary PPM")
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[pos + 1:pos + 1 + width * height * 3]


def pixels_off(a, b):
    off = 0
    for i in range(0, len(a), 3):
        if (abs(a[i] - b[i]) > CHANNEL_TOLERANCE or abs(a[i + 1] - b[i + 1]) > CHANNEL_TOLERANCE
                or abs(a[i + 2] - b[i + 2]) > CHANNEL_TOLERANCE):
            off += 1
    return off


class Browser:
    """Headless Chromium over --remote-debugging-pipe (NUL-ended JSON)."""

    def __init__(self, chromium, log_path):
        self.profile = tempfile.mkdtemp(prefix="web-check-profile-")
        to_browser_r, self.to_browser = os.pipe()
        self.from_browser, from_browser_w = os.pipe()
        flags = [
            "--headless=new", "--no-sandbox", "--use-angle=swiftshader",
            "--enable-unsafe-swiftshader", "--no-first-run", "--disable-background-networking",
            "--disable-component-update", "--disable-sync", "--disable-gpu-sandbox",
            "--user-data-dir=" + self.profile, "--remote-debugging-pipe", "about:blank",
        ]
        # The pipe's two ends must be the browser's descriptors 3 and 4.
        command = 'exec "$0" "$@" 3<&%d 4>&%d' % (to_browser_r, from_browser_w)
        self.log = open(log_path, "wb")
        self.process = subprocess.Popen(["sh", "-c", command, chromium] + flags,
                                        pass_fds=(to_browser_r, from_browser_w),
                                        stdin=subprocess.DEVNULL, stdout=self.log,
                                        stderr=subprocess.STDOUT)
        os.close(to_browser_r)
        os.close(from_browser_w)
        self.next_id = 0
        self.replies = {}
        self.events = []
        self.incoming = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        buffer = b""
        while True:
            chunk = os.read(self.from_browser, 65536)
            if not chunk:
                self.incoming.put(None)
                return
            buffer += chunk
            while b"\0" in buffer:
                message, buffer = buffer.split(b"\0", 1)
                self.incoming.put(json.loads(message))

    def _take(self, deadline):
        remaining = deadline - time.monotonic()
        if remaining <= 0:
            raise TimeoutError("no answer from Chromium")
        try:
            message = self.incoming.get(timeout=remaining)
        except queue.Empty:
            raise TimeoutError("no answer from Chromium") from None
        if message is None:
            raise RuntimeError("Chromium closed its pipe")
        if "id" in message:
            self.replies[message["id"]] = message
        else:
            self.events.append(message)

    def send(self, method, params=None, session=None, timeout=PAGE_DEADLINE):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        os.write(self.to_browser, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + timeout
        while self.next_id not in self.replies:
            self._take(deadline)
        reply = self.replies.pop(self.next_id)
        if "error" in reply:
            raise RuntimeError("%s: %s" % (method, reply["error"].get("message")))
        return reply["result"]

    def drain(self):
        while not self.incoming.empty():
            self._take(time.monotonic() + 1)

    def close(self):
        try:
            self.send("Browser.close", timeout=10)
        except (RuntimeError, TimeoutError, OSError):
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.log.close()
        shutil.rmtree(self.profile, ignore_errors=True)


class Page:
    def __init__(self, browser, url):
        self.browser = browser
        target = browser.send("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.target = target
        self.session = browser.send("Target.attachToTarget",
                                    {"targetId": target, "flatten": True})["sessionId"]
        for domain in ("Page", "Runtime", "Log"):
            self.send(domain + ".enable")
        self.send("Emulation.setDeviceMetricsOverride",
                  {"width": 800, "height": 600, "deviceScaleFactor": 1, "mobile": False})
        self.send("Page.navigate", {"url": url})

    def send(self, method, params=None):
        return self.browser.send(method, params, self.session)

    def evaluate(self, expression):
        result = self.send("Runtime.evaluate", {"expression": expression, "returnByValue": True})
        return result["result"].get("value")

    def wait_for(self, expression, what):
        """Polls the page until `expression` is true; its own signal, with a deadline."""
        deadline = time.monotonic() + PAGE_DEADLINE
        while not self.evaluate(expression):
            if self.problems():
                raise RuntimeError("page failed before %s: %s" % (what, self.problems()[0]))
            if time.monotonic() > deadline:
                raise TimeoutError("page never reached %s (state %r, frames %r)" % (
                    what, self.evaluate("document.documentElement.dataset.state"),
                    self.evaluate("document.documentElement.dataset.frames")))
            time.sleep(0.05)

    def screenshot(self, path):
        shot = self.send("Page.captureScreenshot", {
            "format": "png", "captureBeyondViewport": False,
            "clip": {"x": 0, "y": 0, "width": WIDTH, "height": HEIGHT, "scale": 1}})
        data = base64.b64decode(shot["data"])
        with open(path, "wb") as f:
            f.write(data)
        return read_png(data)

    def problems(self):
        """WebGL errors, uncaught exceptions and failed loads reported by this page."""
        self.browser.drain()
        found = []
        for event in self.browser.events:
            if event.get("sessionId") != self.session:
                continue
            method, params = event["method"], event.get("params", {})
            if method == "Runtime.exceptionThrown":
                details = params["exceptionDetails"]
                found.append("exception: " + details.get("exception", {}).get(
                    "description", details.get("text", "")))
            elif method == "Log.entryAdded":
                entry = params["entry"]
                if "WebGL" in entry["text"] or "GL_INVALID" in entry["text"] or (
                        entry["level"] == "error" and entry.get("source") == "network"):
                    found.append("%s: %s" % (entry["level"], entry["text"]))
            elif method == "Runtime.consoleAPICalled":
                text = " ".join(str(a.get("value", a.get("description", "")))
                                for a in params.get("args", []))
                if "WebGL" in text or "GL_INVALID" in text:
                    found.append("console: " + text)
        return found

    def console_lines(self):
        """What the page wrote with console.log: its standard output."""
        self.browser.drain()
        lines = []
        for event in self.browser.events:
            if (event.get("sessionId") == self.session
                    and event["method"] == "Runtime.consoleAPICalled"
                    and event["params"]["type"] == "log"):
                lines.append(" ".join(str(a.get("value", "")) for a in event["params"]["args"]))
        return lines

    def close(self):
        self.browser.send("Target.closeTarget", {"targetId": self.target})


def check_frame(browser, base, out, name, page_path, reference, stdout_path=None):
    page = Page(browser, base + page_path)
    try:
        page.wait_for("document.documentElement.dataset.state == 'stopped'", "its last frame")
        width, height, shot = page.screenshot(os.path.join(out, name + ".png"))
        ref_width, ref_height, ref = read_ppm(reference)
        if (width, height) != (ref_width, ref_height):
            return False, "page is %dx%d, desktop frame %dx%d" % (width, height, ref_width,
                                                                 ref_height)
        off = pixels_off(shot, ref)
        detail = "%d of %d pixels off by more than %d/255 (%.3f %%)" % (
            off, width * height, CHANNEL_TOLERANCE, 100.0 * off / (width * height))
        problems = page.problems()
        if problems:
            return False, "%s; console: %s" % (detail, "; ".join(problems[:3]))
        if stdout_path:
            with open(stdout_path, encoding="utf-8") as f:
                expected = f.read().splitlines()
            lines = page.console_lines()
            if lines[:len(expected)] != expected:
                return False, "%s; console has %d lines, not the desktop's %d lines of stdout" % (
                    detail, len(lines), len(expected))
            detail += "; console holds its %d stdout lines" % len(expected)
        return off <= SHARE_OFF * width * height, detail
    finally:
        page.close()


def check_box(browser, base, out, name, page_path):
    page = Page(browser, base + page_path)
    try:
        page.wait_for("document.documentElement.dataset.state == 'box'", "the error box")
        page.screenshot(os.path.join(out, name + ".png"))
        text = page.evaluate("document.getElementById('error-box').innerText")
        if "Problem" not in text or BOX_TEXT not in text or "OK" not in text:
            return False, "box reads %r" % text
        page.evaluate("document.querySelector('#error-box button').click()")
        page.wait_for("document.documentElement.dataset.state == 'exited'", "its end after OK")
        status = page.evaluate("document.documentElement.dataset.exitStatus")
        if status != "0":
            return False, "ended with status %r after OK" % status
        if page.evaluate("document.getElementById('error-box') !== null"):
            return False, "box still shown after OK"
        problems = page.problems()
        if problems:
            return False, "console: " + "; ".join(problems[:3])
        return True, "box with caption, text and OK; OK ended the program with status 0"
    finally:
        page.close()


def serve(site):
    handler = functools.partial(QuietHandler, directory=site)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = dict(http.server.SimpleHTTPRequestHandler.extensions_map,
                          **{".wasm": "application/wasm", ".data": "application/octet-stream"})

    def log_message(self, *args):
        pass


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--chromium", default="chromium")
    parser.add_argument("--site", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("checks", nargs="+")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)

    server = serve(args.site)
    base = "http://127.0.0.1:%d/" % server.server_address[1]
    browser = Browser(args.chromium, os.path.join(args.out, "chromium.log"))
    passed = failed = 0
    try:
        browser.send("Target.getTargets")  # the browser is up once it answers
        for check in args.checks:
            kind, name, rest = check.split(":", 2)
            started = time.monotonic()
            try:
                if kind == "frame":
                    ok, detail = check_frame(browser, base, args.out, name, *rest.split(":"))
                elif kind == "box":
                    ok, detail = check_box(browser, base, args.out, name, rest)
                else:
                    raise ValueError("unknown check " + kind)
            except (RuntimeError, TimeoutError, ValueError, OSError) as e:
                ok, detail = False, str(e)
            print("%s %s: %s (%.1f s)" % ("PASS" if ok else "FAIL", name, detail,
                                          time.monotonic() - started), flush=True)
            passed, failed = passed + ok, failed + (not ok)
    finally:
        browser.close()
        server.shutdown()
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
