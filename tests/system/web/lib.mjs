// What the web check's checks share: the site served over HTTP, Debian's
// Chromium driven by Playwright, a person's ways of handing the viewer page
// files, the desktop programs' frames and lines, and frames compared.
import { spawn } from "node:child_process";
import fs from "node:fs";
import http from "node:http";
import path from "node:path";

import pixelmatch from "pixelmatch";
import { chromium } from "playwright-core";
import { PNG } from "pngjs";

// Every wait is for a thing the page or a program shows, up to this long.
export const DEADLINE_MS = 60_000;
// A pixel is off when a channel differs by more than this; a frame passes
// with at most this share of its pixels off (edges rasterised differently).
const CHANNEL_TOLERANCE = 8;
const SHARE_OFF = 0.001;

// ---- the site ----------------------------------------------------------

const TYPES = {
    ".html": "text/html; charset=utf-8", ".js": "text/javascript", ".wasm": "application/wasm",
    ".png": "image/png", ".txt": "text/plain; charset=utf-8",
};

// Serves each folder under its prefix ("/site/": DIR) as a plain file
// server would; resolves to the address to prefix pages with.
export async function serve(mounts) {
    const server = http.createServer((request, response) => {
        const name = decodeURIComponent(new URL(request.url, "http://host").pathname);
        const prefix = Object.keys(mounts).find((p) => name.startsWith(p));
        const root = prefix && path.resolve(mounts[prefix]);
        const file = root && path.resolve(root, "." + name.slice(prefix.length - 1));
        if (!file || !file.startsWith(root + path.sep)) {
            response.writeHead(404).end();
            return;
        }
        fs.readFile(file, (error, data) => {
            if (error) {
                response.writeHead(404).end();
                return;
            }
            const type = TYPES[path.extname(file)] || "application/octet-stream";
            response.writeHead(200, { "Content-Type": type }).end(data);
        });
    });
    await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));
    return { base: `http://127.0.0.1:${server.address().port}`, close: () => server.close() };
}

// ---- the browser -------------------------------------------------------

// Debian's Chromium, never a downloaded one, drawing WebGL with SwiftShader.
export function launch() {
    return chromium.launch({
        executablePath: "/usr/bin/chromium",
        args: ["--use-angle=swiftshader", "--enable-unsafe-swiftshader", "--no-first-run",
               "--disable-background-networking", "--disable-component-update", "--disable-sync",
               "--disable-gpu-sandbox"],
        // Chromium's sandbox refuses to run as root; Playwright then adds --no-sandbox.
        chromiumSandbox: process.getuid() !== 0,
    });
}

// The pages opened since the runner last emptied the list.
export const opened = [];

// A page in a fresh context, with what its console says against it
// collected in page.problems: any warning or error (WebGL's among them),
// uncaught exceptions, failed loads and anything the Content-Security-Policy
// refused, in the page or its frames.
export async function openPage(browser, url, scale = 1, viewport = { width: 1280, height: 1000 },
                               device = {}) {
    const context = await browser.newContext({ viewport, deviceScaleFactor: scale, ...device });
    await context.addInitScript(() => document.addEventListener("securitypolicyviolation", (e) =>
        console.error(`Content-Security-Policy: ${e.violatedDirective} refused ${e.blockedURI}`)));
    const page = await context.newPage();
    page.problems = [];
    opened.push(page);
    page.on("console", (m) => {
        if (m.type() === "error" || m.type() === "warning" || /WebGL|GL_INVALID/.test(m.text()))
            page.problems.push(`console ${m.type()}: ${m.text()} (${m.location().url})`);
    });
    page.on("pageerror", (e) => page.problems.push(`exception: ${e.message}`));
    page.on("requestfailed", (r) =>
        page.problems.push(`failed load: ${r.url()} (${r.failure()?.errorText})`));
    page.on("response", (r) => {
        if (r.status() >= 400)
            page.problems.push(`failed load: ${r.url()} (${r.status()})`);
    });
    await page.goto(url);
    return page;
}

export const dataset = (page) => page.evaluate(() => ({ ...document.documentElement.dataset }));

// Waits for fn(arg) to hold in the page; `what` names it in the failure.
export async function waitFor(page, what, fn, arg) {
    try {
        await page.waitForFunction(fn, arg, { timeout: DEADLINE_MS, polling: 50 });
    } catch (e) {
        if (!(e instanceof Error) || e.name !== "TimeoutError")
            throw e;
        throw new Error(`never ${what} (the page's root: ${JSON.stringify(await dataset(page))}` +
                        `${page.problems.length ? "; " + page.problems[0] : ""})`);
    }
}

// Waits for run `run` of the viewer page to come to rest and says in which
// state it did: the frame asked for drawn ("stopped"), the box, an end.
export async function settled(page, run) {
    await waitFor(page, `to settle run ${run}`, (r) => {
        const d = document.documentElement.dataset;
        return d.run === String(r) && ["stopped", "box", "exited", "aborted"].includes(d.state);
    }, run);
    return dataset(page);
}

export async function expectRun(page, run, state) {
    const d = await settled(page, run);
    if (d.state !== state)
        throw new Error(`run ${run} ended "${d.state}", not "${state}"`);
    return d;
}

// ---- handing the viewer page files, as a person does -------------------

export async function pick(page, paths) {
    await page.locator("#files").setInputFiles(paths);
}

export async function pickFolder(page, folder) {
    await page.locator("#folder").setInputFiles(folder);
}

// Drags the files onto the page, or over the program's frame, which passes
// its drags to the page. The files are read from disk by the browser,
// through an input of the test's own, as a drag from a file manager hands
// them over; the drag itself is dispatched as the browser would.
export async function drop(page, paths, over = "page") {
    const input = await page.evaluateHandle(() => {
        const i = Object.assign(document.createElement("input"), { type: "file", multiple: true });
        i.hidden = true;
        document.body.append(i);
        return i;
    });
    await input.setInputFiles(paths);
    await page.evaluate(([input, over]) => {
        const target = over === "frame"
            ? document.getElementById("program").contentDocument.body : document.body;
        const view = target.ownerDocument.defaultView;
        const transfer = new view.DataTransfer();
        for (const file of input.files)
            transfer.items.add(file);
        input.remove();
        for (const type of ["dragenter", "dragover", "drop"]) {
            target.dispatchEvent(new view.DragEvent(type, {
                bubbles: true, cancelable: true, composed: true, dataTransfer: transfer,
            }));
        }
    }, [input, over]);
}

// What the page's own list says, one item a line.
export const messages = (page) =>
    page.locator("#messages li").evaluateAll((items) => items.map((i) => i.textContent));

// Waits for the pane to count as many lines as `expected` holds, then
// requires exactly those lines in it.
export async function expectPane(page, id, expected) {
    const lines = expected.split("\n").length - 1;
    const count = `${lines} line${lines === 1 ? "" : "s"}`;
    await waitFor(page, `to count ${count} in #${id}`,
                  ([id, count]) => document.getElementById(id + "-count").textContent === count,
                  [id, count]);
    const shown = await page.locator("#" + id).textContent();
    if (shown !== expected) {
        const a = shown.split("\n"), b = expected.split("\n");
        const at = a.findIndex((line, i) => line !== b[i]);
        throw new Error(`#${id} differs from the desktop at line ${at + 1}: ` +
                        `${JSON.stringify(a[at])}, not ${JSON.stringify(b[at])}`);
    }
    return lines;
}

// ---- the desktop programs ----------------------------------------------

const desktopRuns = new Map();

// Runs a desktop program under the Xvfb of tests/system/web.sh with the
// frame_grab preload, in a folder of its own holding `files` (name: path),
// with `args`, until it has drawn frame `frames` (at `size`, "WxH", if given) or shown
// its error box. Resolves to {stdout, stderr, frame} or {stdout, stderr,
// box: {caption, text, detail}}. Runs are shared by the checks.
export function desktop(build, out, { program, args = [], files = {}, frames, size }) {
    const key = JSON.stringify([program, args, files, frames, size]);
    if (!desktopRuns.has(key))
        desktopRuns.set(key, runDesktop(build, path.join(out, `desktop-${desktopRuns.size + 1}`),
                                        program, args, files, frames, size));
    return desktopRuns.get(key);
}

function runDesktop(build, dir, program, args, files, frames, size) {
    fs.rmSync(dir, { recursive: true, force: true });
    fs.mkdirSync(dir, { recursive: true });
    for (const [name, file] of Object.entries(files))
        fs.symlinkSync(path.resolve(file), path.join(dir, name));
    const ppm = path.join(dir, "frame.ppm");
    const child = spawn(path.join(build, program), args, {
        cwd: dir,
        env: {
            ...process.env, LD_PRELOAD: path.join(build, "tests/system/libframe_grab.so"),
            FRAME_GRAB_AT: String(frames), FRAME_GRAB_TO: ppm, FRAME_GRAB_SIZE: size || "",
        },
        stdio: ["ignore", "pipe", "pipe"],
    });
    const stdout = [], stderr = [];
    child.stdout.on("data", (b) => stdout.push(b));
    return new Promise((resolve, reject) => {
        const text = (chunks) => Buffer.concat(chunks).toString("utf8");
        let box = null, late = false;
        const timer = setTimeout(() => {
            late = true;
            child.kill("SIGKILL");
        }, DEADLINE_MS);
        // The box waits for a person; its line on stderr is enough.
        child.stderr.on("data", (b) => {
            stderr.push(b);
            const line = /^Problem: (.*?) \((.*)\)\n/m.exec(text(stderr));
            if (line && !box) {
                box = { caption: "Problem", text: line[1], detail: line[2] };
                child.kill("SIGKILL");
            }
        });
        child.on("error", (e) => {
            clearTimeout(timer);
            reject(new Error(`desktop ${program}: ${e.message}`));
        });
        // Once its output is all read.
        child.on("close", (status) => {
            clearTimeout(timer);
            const said = { stdout: text(stdout), stderr: text(stderr) };
            if (box)
                resolve({ ...said, box });
            else if (status === 0 && fs.existsSync(ppm))
                resolve({ ...said, frame: readPpm(ppm) });
            else if (late)
                reject(new Error(`desktop ${program} drew no frame ${frames} and showed no box`));
            else
                reject(new Error(`desktop ${program} ended with status ${status}: ${said.stderr}`));
        });
    });
}

function readPpm(file) {
    const data = fs.readFileSync(file);
    const header = /^P6\s+(\d+)\s+(\d+)\s+255\s/.exec(data.subarray(0, 64).toString("latin1"));
    if (!header)
        throw new Error(`${file}: not an 8-bit binary PPM`);
    const [width, height] = [Number(header[1]), Number(header[2])];
    const rgb = data.subarray(header[0].length);
    const rgba = Buffer.alloc(width * height * 4);
    for (let i = 0, j = 0; i < rgba.length; i += 4, j += 3) {
        rgb.copy(rgba, i, j, j + 3);
        rgba[i + 3] = 255;
    }
    return { width, height, data: rgba };
}

// ---- frames ------------------------------------------------------------

// The program's canvas as shown, in device pixels: on the viewer page in
// the program's frame, on the sphere pages in the page itself.
export async function canvasShot(page) {
    const frame = await page.locator("#program").count() ? page.frameLocator("#program") : page;
    return PNG.sync.read(await frame.locator("canvas").screenshot());
}

// Compares a page's frame with the desktop's; a frame that differs leaves
// the two and pixelmatch's picture of where (red) under `out` as NAME*.png.
// Throws with the count of pixels off, or returns it as a sentence.
export function expectFrame(shot, reference, out, name) {
    fs.writeFileSync(path.join(out, name + ".png"), PNG.sync.write(shot));
    const { width, height } = reference;
    if (shot.width !== width || shot.height !== height)
        throw new Error(`the frame is ${shot.width} x ${shot.height}, ` +
                        `the desktop's ${width} x ${height}`);
    let off = 0;
    for (let i = 0; i < shot.data.length; i += 4) {
        if (Math.abs(shot.data[i] - reference.data[i]) > CHANNEL_TOLERANCE ||
            Math.abs(shot.data[i + 1] - reference.data[i + 1]) > CHANNEL_TOLERANCE ||
            Math.abs(shot.data[i + 2] - reference.data[i + 2]) > CHANNEL_TOLERANCE)
            ++off;
    }
    const said = `${off} of ${width * height} pixels off by more than ${CHANNEL_TOLERANCE}/255`;
    if (off <= SHARE_OFF * width * height)
        return said;
    const diff = new PNG({ width, height });
    // Its threshold puts about 8/255 in one channel at the edge of "off".
    pixelmatch(reference.data, shot.data, diff.data, width, height, { threshold: 0.02 });
    fs.writeFileSync(path.join(out, name + "-desktop.png"), PNG.sync.write(reference));
    fs.writeFileSync(path.join(out, name + "-diff.png"), PNG.sync.write(diff));
    throw new Error(`${said} (${(100 * off / (width * height)).toFixed(3)} %, more than ` +
                    `${100 * SHARE_OFF} %); see ${name}*.png`);
}
