// The web pages in headless Chromium, used as a person uses them, against
// the desktop programs: frames, the viewer's panes, its box, the scale
// factor and every page's console. Driven by tests/system/web.sh:
//   node check.mjs --site DIR --no-texture-site DIR --zip-site DIR --files DIR
//                  --scenes DIR --desktop BUILD --testdata DIR --out DIR [--only ID]
// (--only: the checks whose id starts so, "scene-" for the scene table).
// Prints one line per check and "N passed, M failed"; exits 1 on a failure.
import { spawnSync } from "node:child_process";
import fs from "node:fs";
import { createRequire } from "node:module";
import path from "node:path";
import { parseArgs } from "node:util";

import { PNG } from "pngjs";

import {
    DEADLINE_MS, canvasShot, dataset, desktop, drop, expectFrame, expectPane, expectRun, launch,
    messages, opened, openPage, pick, pickFolder, serve, settled, waitFor,
} from "./lib.mjs";

const FOLDERS = ["site", "no-texture-site", "zip-site", "scenes", "files", "desktop", "testdata", "out"];
const { values: dirs } = parseArgs({
    options: Object.fromEntries([...FOLDERS, "only"].map((name) => [name, { type: "string" }])),
});
for (const name of FOLDERS) {
    if (!dirs[name]) {
        console.error(`usage: node check.mjs --${name} DIR ... (see its first lines)`);
        process.exit(2);
    }
    dirs[name] = path.resolve(dirs[name]);
}
const { files, testdata, out } = dirs;
const haveTestdata = fs.existsSync(testdata);
const requireTestdata = (process.env.SZABLON_REQUIRE_TESTDATA || "0") !== "0";

// ---- the files -----------------------------------------------------------

const demo = { model: path.join(dirs.site, "demo/szablon.3ds"),
               texture: path.join(dirs.site, "demo/szablon.bmp") };
const fels = { model: path.join(testdata, "3ds/fels.3ds"),
               texture: path.join(testdata, "bmp/good/rgb24.bmp") };
const named = path.join(files, "named");
const namedFiles = ["named.3ds", "Alpha.bmp", "brick.bmp"].map((f) => path.join(named, f));
// The one named.3ds's first material names (maps\Brick.JPG): not the first by name.
const namedPair = { model: namedFiles[0], texture: namedFiles[2] };
const capacity = { model: path.join(files, "capacity.3ds"),
                   texture: path.join(files, "texture-4096.bmp") };
const notes = path.join(out, "notes.txt");
fs.writeFileSync(notes, "Not a model, not a texture.\n");

// The desktop viewer on a model and texture, as szablon.3ds and szablon.bmp.
const viewer = ({ model, texture }, frames, size) => desktop(dirs.desktop, out, {
    program: "viewer/model_viewer", frames, size,
    files: { ...(model && { "szablon.3ds": model }), ...(texture && { "szablon.bmp": texture }) },
});

const site = (page) => `/site/${page}`;

// ---- checks sharing one shape: a page, files handed to it, its frame -----
//
// A page opens (at ?frames=1 unless it says), the viewer's demo run comes to
// rest, `act` hands it files as a person would, and the run they start
// (run 2) draws the frame asked for: it must be the desktop program's frame
// on the same files at the same count, and where `lines` is set (to the
// count, if it matters) the panes must hold the desktop's standard output
// and error; `say` is what the page's own list must read, a pattern an item.

const felsSaid = [/^model: fels\.3ds$/, /^texture: rgb24\.bmp$/];
const exactly = (text) => new RegExp(`^${text.replace(/[.*+?^${}()|[\]\\]/g, "\\$&")}$`);
const namedSaid = (folder = "") => [
    exactly(`model: ${folder}named.3ds`),
    exactly(`texture: ${folder}brick.bmp, the one the model names (maps\\Brick.JPG)`),
    exactly("the model's materials name 2 textures, maps\\Brick.JPG, Alpha.bmp; the program " +
            "draws one texture over the whole model, as the desktop program draws szablon.bmp: " +
            `${folder}brick.bmp, the one the first material names`)];
// Textures as models come with them, each against the desktop program given
// the same picture as a BMP by ImageMagick (`bmp`): the model and the
// texture it names in subfolders, in a .zip beside a decoy BMP that comes
// first by path, a folder of another case, a TGA. `shown`: the model's and
// the texture's paths as the page says them, the name the model gives, the
// picture as the status line has it.
const at = (...names) => path.join(files, ...names);
// Files neither model nor texture: one line, after what was used.
const unused = (paths) => "not used, neither a model (.3ds) nor a texture (.bmp, .jpg, " +
    `.jpeg, .png, .gif, .webp, .tga): ${paths}`;
const textured = [
    { id: "zip-png", name: "a .zip dropped: its model and the PNG it names in subfolders",
      act: (p) => drop(p, [at("boat.zip")]), model: "boat/models/boat.3ds", bmp: "hull.bmp",
      shown: ["boat.zip/models/boat.3ds", "boat.zip/textures/hull.png", "MAPS\\Hull.PNG",
              "PNG 64 \u00d7 64"],
      also: [unused("boat.zip/readme.txt")] },
    { id: "7z-png", name: "a .7z dropped: its model and the PNG it names in subfolders",
      act: (p) => drop(p, [at("boat.7z")]), model: "boat/models/boat.3ds", bmp: "hull.bmp",
      shown: ["boat.7z/models/boat.3ds", "boat.7z/textures/hull.png", "MAPS\\Hull.PNG",
              "PNG 64 \u00d7 64"],
      also: [unused("boat.7z/readme.txt")] },
    { id: "tar-gz-png", name: "a .tar.gz picked: its model and the PNG it names in subfolders",
      act: (p) => pick(p, [at("boat.tar.gz")]), model: "boat/models/boat.3ds", bmp: "hull.bmp",
      shown: ["boat.tar.gz/models/boat.3ds", "boat.tar.gz/textures/hull.png", "MAPS\\Hull.PNG",
              "PNG 64 \u00d7 64"],
      also: [unused("boat.tar.gz/readme.txt")] },
    { id: "zip-in-zip",
      name: "a .zip in a .zip beside a preview picture, dropped: opened one level down",
      act: (p) => drop(p, [at("wrapped.zip")]), model: "boat/models/boat.3ds", bmp: "hull.bmp",
      shown: ["wrapped.zip/boat.zip/models/boat.3ds", "wrapped.zip/boat.zip/textures/hull.png",
              "MAPS\\Hull.PNG", "PNG 64 \u00d7 64"],
      also: [unused("wrapped.zip/boat.zip/readme.txt")] },
    { id: "folder-jpeg",
      name: "a folder picked: the JPEG its model names, in a folder of another case",
      act: (p) => pickFolder(p, at("wood")), model: "wood/Model.3ds", bmp: "wood.bmp",
      forDesktop: "Model.zip",
      shown: ["wood/Model.3ds", "wood/Textures/wood.jpg", "TEXTURES\\WOOD.JPG",
              "JPEG 128 \u00d7 128"] },
    { id: "lying-ending", name: "a model and a JPEG named .bmp picked: read as a JPEG, said",
      act: (p) => pick(p, [at("lied/Model.3ds"), at("lied/wood.bmp")]),
      model: "wood/Model.3ds", bmp: "wood.bmp",
      shown: ["Model.3ds", "wood.bmp", "TEXTURES\\WOOD.JPG", "JPEG 128 \u00d7 128"],
      also: ["wood.bmp: its name says BMP, its bytes are JPEG; read as JPEG"] },
    { id: "picked-tga", name: "a model and its RLE TGA picked",
      act: (p) => pick(p, [at("crate/crate.3ds"), at("crate/crate.tga")]),
      model: "crate/crate.3ds", bmp: "crate.bmp",
      shown: ["crate.3ds", "crate.tga", "crate.tga", "TGA 64 \u00d7 64"] },
].map(({ shown: [model, texture, named, picture], also = [], ...c }) => ({
    ...c,
    pair: { model: at(c.model), texture: at("reference", c.bmp) },
    say: [exactly(`model: ${model}`),
          exactly(`texture: ${texture}, the one the model names (${named})`), ...also.map(exactly)],
    status: exactly(`Shown: model ${model} (your choice); texture ${texture}, ${picture} ` +
                    "(your choice)."),
}));
const spheres = (program) => () =>
    desktop(dirs.desktop, out, { program: `spheres/${program}`, frames: 1 });

const frameChecks = [
    { id: "spheres_add", name: "spheres_add.html: its first frame is the desktop's",
      page: site("spheres_add.html?frames=1"), reference: spheres("spheres_add") },
    { id: "spheres_alpha", name: "spheres_alpha.html: its first frame is the desktop's",
      page: site("spheres_alpha.html?frames=1"), reference: spheres("spheres_alpha") },
    { id: "demo", name: "model_viewer.html: the demo's frame 200 and lines are the desktop's",
      page: site("model_viewer.html?frames=200"), reference: () => viewer(demo, 200),
      lines: true },
    { id: "picked", name: "fels.3ds and rgb24.bmp picked: frame 1 and lines are the desktop's",
      testdata: true, act: (p) => pick(p, [fels.model, fels.texture]),
      reference: () => viewer(fels, 1), lines: true, say: felsSaid },
    { id: "dropped", name: "fels.3ds and rgb24.bmp dropped: frame 1 and lines are the desktop's",
      testdata: true, act: (p) => drop(p, [fels.texture, fels.model]),
      reference: () => viewer(fels, 1), lines: true, say: felsSaid },
    { id: "named-dropped",
      name: "a model and two textures dropped over the program: the texture it names is used",
      act: (p) => drop(p, namedFiles, "frame"), reference: () => viewer(namedPair, 1),
      lines: true, say: namedSaid() },
    { id: "named-folder", name: "a model's folder picked: the texture it names is used",
      act: (p) => pickFolder(p, named), reference: () => viewer(namedPair, 1), lines: true,
      say: namedSaid("named/") },
    ...textured.map((c) => ({ ...c, reference: () => viewer(c.pair, 1), lines: true })),
    { id: "capacity",
      name: "a capacity model and a 4096 x 4096 texture dropped: shown, all 10001 lines",
      act: (p) => drop(p, [capacity.model, capacity.texture]),
      reference: () => viewer(capacity, 1), lines: 10001,
      say: [/^model: capacity\.3ds$/, /^texture: texture-4096\.bmp$/] },
    { id: "scale-2",
      name: "at device scale factor 2: a 1280 x 960 canvas, frame 50 the desktop's at that " +
            "size, saved as it is",
      scale: 2, page: site("model_viewer.html?frames=50"),
      reference: () => viewer(demo, 50, "1280x960"), canvas: [1280, 960], save: "szablon.png" },
];

async function frameCheck(browser, base, c) {
    const page = await openPage(browser, base + (c.page || site("model_viewer.html?frames=1")),
                                c.scale);
    const viewerPage = await page.locator("#program").count() > 0;
    if (viewerPage)
        await expectRun(page, 1, "stopped");
    else
        await waitFor(page, "to stop at its last frame",
                      () => document.documentElement.dataset.state === "stopped");
    if (c.act) {
        await c.act(page);
        await expectRun(page, 2, "stopped");
    }
    const said = [];
    if (c.canvas) {
        const size = await page.frameLocator("#program").locator("canvas").evaluate(
            (e) => [e.width, e.height, e.clientWidth, e.clientHeight]);
        if (String(size) !== String([...c.canvas, 640, 480])) {
            throw new Error(`the canvas is ${size[0]} x ${size[1]} ` +
                            `shown at ${size[2]} x ${size[3]}`);
        }
        said.push(`canvas ${size[0]} x ${size[1]} at 640 x 480`);
    }
    const reference = await c.reference();
    said.push(expectFrame(await canvasShot(page), reference.frame, out, c.id));
    if (c.lines) {
        const lines = await expectPane(page, "stdout", reference.stdout);
        if (typeof c.lines === "number" && lines !== c.lines)
            throw new Error(`the desktop printed ${lines} lines, not ${c.lines}`);
        const errors = await expectPane(page, "stderr", reference.stderr);
        said.push(`the desktop's ${lines} stdout and ${errors} stderr lines`);
    }
    if (c.say)
        await expectMessages(page, c.say);
    if (c.status) {
        const status = await page.locator("#status").textContent();
        if (!c.status.test(status))
            throw new Error(`the status line reads ${JSON.stringify(status)}`);
    }
    if (c.save)
        said.push(await expectSaved(page, c.save));
    if (c.forDesktop)
        said.push(await expectForDesktop(page, c.forDesktop));
    return said.join("; ");
}

// Save for the desktop program: a .zip named after the model, whose
// szablon.3ds and szablon.bmp the desktop viewer shows as the page does.
async function expectForDesktop(page, name) {
    const [download] = await Promise.all([
        page.waitForEvent("download", { timeout: DEADLINE_MS }),
        page.getByRole("button", { name: "Save for the desktop program" }).click(),
    ]);
    if (download.suggestedFilename() !== name)
        throw new Error(`saved as ${download.suggestedFilename()}, not ${name}`);
    const folder = path.join(out, "for-desktop");
    fs.rmSync(folder, { recursive: true, force: true });
    fs.mkdirSync(folder);
    await download.saveAs(path.join(folder, name));
    const unpacked = spawnSync("cmake", ["-E", "tar", "xf", name], { cwd: folder });
    if (unpacked.status !== 0)
        throw new Error(`${name} does not unpack: ${unpacked.stderr}`);
    const held = fs.readdirSync(folder).filter((f) => f !== name).sort();
    if (String(held) !== "szablon.3ds,szablon.bmp")
        throw new Error(`${name} holds ${held.join(", ")}`);
    const reference = await viewer({ model: path.join(folder, "szablon.3ds"),
                                     texture: path.join(folder, "szablon.bmp") }, 1);
    return `saved ${name}; the desktop on its files: ` +
        expectFrame(await canvasShot(page), reference.frame, out, "for-desktop");
}

// Save the picture: a PNG named after the model, the frame shown exactly.
async function expectSaved(page, name) {
    const [download] = await Promise.all([
        page.waitForEvent("download", { timeout: DEADLINE_MS }),
        page.getByRole("button", { name: "Save the picture" }).click(),
    ]);
    const file = path.join(out, "saved-" + download.suggestedFilename());
    await download.saveAs(file);
    if (download.suggestedFilename() !== name)
        throw new Error(`saved as ${download.suggestedFilename()}, not ${name}`);
    const saved = PNG.sync.read(fs.readFileSync(file));
    const off = expectFrame(saved, await canvasShot(page), out, "saved");
    return `saved ${name}, ${saved.width} x ${saved.height}, the canvas: ${off}`;
}

async function expectMessages(page, patterns) {
    const items = await messages(page);
    if (items.length !== patterns.length || !patterns.every((p, i) => p.test(items[i])))
        throw new Error(`the page says ${JSON.stringify(items)}`);
}

// ---- the error box -----------------------------------------------------

// The box the page shows must be the desktop's: caption, text and the
// reason the desktop prints; its stderr pane holds the desktop's lines.
async function expectBox(page, reference) {
    if (!reference.box)
        throw new Error("the desktop program showed no box on these files");
    await expectPane(page, "stderr", reference.stderr);
    const box = await page.frameLocator("#program").locator("#error-box").evaluate((b) => ({
        caption: b.firstElementChild.textContent,
        text: b.querySelector("#error-detail").parentElement.firstChild.textContent,
        detail: b.querySelector("#error-detail").textContent,
    }));
    if (JSON.stringify(box) !== JSON.stringify(reference.box)) {
        throw new Error(`the box reads ${JSON.stringify(box)}, ` +
                        `the desktop ${JSON.stringify(reference.box)}`);
    }
    return `box "${box.caption}", "${box.text}", "${box.detail}"`;
}

async function noTextureBox(browser, base) {
    const page = await openPage(browser, base + "/no-texture/model_viewer.html?frames=1");
    await expectRun(page, 1, "box");
    const model = path.join(dirs["no-texture-site"], "demo/szablon.3ds");
    const said = await expectBox(page, await viewer({ model }, 1));
    await page.locator("#program").screenshot({ path: path.join(out, "no-texture.png") });
    await page.frameLocator("#program").getByRole("button", { name: "OK" }).click();
    const d = await expectRun(page, 1, "exited");
    if (d.exitStatus !== "0")
        throw new Error(`OK ended the program with status ${d.exitStatus}`);
    if (await page.frameLocator("#program").locator("#error-box").count() !== 0)
        throw new Error("the box is still there after OK");
    return `${said}; OK ended the program with status 0`;
}

// The first file of the shared broken BMPs that the desktop viewer refuses.
async function refusedTexture() {
    const bad = path.join(testdata, "bmp/bad");
    for (const name of fs.readdirSync(bad).sort()) {
        const file = path.join(bad, name);
        if ((await viewer({ model: demo.model, texture: file }, 1)).box)
            return file;
    }
    throw new Error(`the desktop viewer takes every file of ${bad}`);
}

async function badTextureThenGood(browser, base) {
    const bad = await refusedTexture();
    const page = await openPage(browser, base + site("model_viewer.html?frames=1"));
    await expectRun(page, 1, "stopped");
    await drop(page, [bad]);
    await expectRun(page, 2, "box");
    const refused = await viewer({ model: demo.model, texture: bad }, 1);
    const said = await expectBox(page, refused);
    await expectPane(page, "stdout", refused.stdout);
    // Under the frame, the visitor's own file and the program's reason.
    const problem = await page.locator("#problem").textContent();
    const reason = refused.box.detail.replace(/^szablon\.bmp: /, "");
    if (!problem.includes(`your texture ${path.basename(bad)}: ${reason}`))
        throw new Error(`under the frame: ${JSON.stringify(problem)}`);
    await drop(page, [fels.texture]);
    await expectRun(page, 3, "stopped");
    const good = await viewer({ model: demo.model, texture: fels.texture }, 1);
    await expectPane(page, "stdout", good.stdout);
    return `${path.basename(bad)}: ${said}; then rgb24.bmp: the demo model again, ` +
        expectFrame(await canvasShot(page), good.frame, out, "bad-then-good");
}

// ---- files the page leaves out -------------------------------------------

// Each dropped alone on the demo: a file the page leaves out leaves the run
// as it was; a texture it cannot use is not swapped for the last one in
// silence: the program runs without one (its box). Then the page still works.
const refusals = [
    { id: "refused-notes",
      name: "a file neither model nor texture dropped: left out with its line, the page works",
      file: notes,
      line: /^not used, neither a model \(\.3ds\) nor a texture \(\.bmp, .*\.tga\): notes\.txt$/ },
    { id: "refused-zip", name: "a truncated .zip dropped: one line, the page works",
      file: path.join(files, "broken.zip"),
      line: /^broken\.zip: left out: it is damaged or cut short \(.+\)$/ },
    { id: "refused-too-large",
      name: "a 16384 x 16384 texture dropped: its line, the program without a texture",
      file: path.join(files, "too-large.bmp"), box: true,
      line: /^too-large\.bmp: left out: a picture of 16384 x 16384 .*; the program runs without a texture$/ },
];

async function refusal(browser, base, c) {
    const page = await openPage(browser, base + site("model_viewer.html?frames=1"));
    await expectRun(page, 1, "stopped");
    await drop(page, [c.file]);
    await waitFor(page, `to say ${c.line}`, (line) =>
        new RegExp(line).test(document.querySelector("#messages li")?.textContent), c.line.source);
    let run = 1;
    if (c.box) {
        await expectRun(page, ++run, "box");
    } else {
        const d = await dataset(page);
        if (d.run !== "1" || d.state !== "stopped")
            throw new Error(`the run did not stay as it was: ${JSON.stringify(d)}`);
    }
    // Still working: the next choice is the next run, and right.
    await drop(page, namedFiles);
    await expectRun(page, ++run, "stopped");
    const reference = await viewer(namedPair, 1);
    await expectPane(page, "stdout", reference.stdout);
    return `run 1 ${c.box ? "followed by the box" : "left alone"}; then run ${run} right: ` +
        expectFrame(await canvasShot(page), reference.frame, out, c.id);
}

// ---- twenty drops ----------------------------------------------------------

async function twentyDrops(browser, base) {
    const page = await openPage(browser, base + site("model_viewer.html?frames=1"));
    await expectRun(page, 1, "stopped");
    for (let i = 0; i < 20; ++i) {
        const [paths, pair] = i % 2 ? [[demo.model, demo.texture], demo] : [namedFiles, namedPair];
        await drop(page, paths, i % 4 === 3 ? "frame" : "page");
        await expectRun(page, i + 2, "stopped");
        const reference = await viewer(pair, 1);
        try {
            await expectPane(page, "stdout", reference.stdout);
            expectFrame(await canvasShot(page), reference.frame, out, "twenty-drops");
        } catch (e) {
            throw new Error(`drop ${i + 1}: ${e.message}`);
        }
        const frames = await page.locator("iframe").count();
        if (frames !== 1)
            throw new Error(`drop ${i + 1}: ${frames} program frames`);
    }
    return "runs 2 to 21 each the desktop's frame and stdout, one program frame";
}

// ---- forty hostile drops -------------------------------------------------

// Files a visitor drops by mistake, or that came broken: empty ones, a
// model named as a picture and the other way round, pictures that are not
// what their ending says, truncated archives, and the demo's model and
// texture and a .7z and a .tar.gz of a model with bytes changed at random
// (the same each run).
function hostileFiles() {
    const folder = path.join(out, "hostile");
    fs.mkdirSync(folder, { recursive: true });
    const model = fs.readFileSync(demo.model), texture = fs.readFileSync(demo.texture);
    const sevenZip = fs.readFileSync(path.join(files, "boat.7z"));
    const tarGz = fs.readFileSync(path.join(files, "boat.tar.gz"));
    const made = [["empty.3ds", ""], ["empty.bmp", ""], ["empty.tga", ""], ["empty.png", ""],
                   ["model.bmp", model], ["texture.3ds", texture], ["model.tga", model],
                   ["not-a.png", "not a picture"], ["not-a.jpg", texture.subarray(0, 100)],
                   ["not-a.gif", "GIF89a"], ["not-a.webp", model.subarray(0, 64)],
                   ["truncated.7z", sevenZip.subarray(0, sevenZip.length >> 1)],
                   ["truncated.tar.gz", tarGz.subarray(0, tarGz.length >> 1)],
                   ["model.7z", model]];
    let seed = 12345;
    const random = (n) => (seed = (Math.imul(seed, 1103515245) + 12345) >>> 0) % n;
    const kinds = [[".3ds", model], [".bmp", texture], [".3ds", model], [".bmp", texture],
                   [".7z", sevenZip], [".tar.gz", tarGz]];
    for (let i = 0; made.length < 39; ++i) {
        const [ending, bytes] = kinds[i % kinds.length];
        const name = `mutated-${i}${ending}`;
        const copy = Buffer.from(bytes);
        // Headers and counts are where a reader goes wrong: mostly the first bytes.
        for (let k = 0; k < 6; ++k)
            copy[random(k < 4 ? 128 : copy.length)] = random(256);
        made.push([name, copy]);
    }
    const paths = made.map(([name, bytes]) => {
        fs.writeFileSync(path.join(folder, name), bytes);
        return path.join(folder, name);
    });
    return [...paths, path.join(files, "broken.zip")];
}

async function hostileDrops(browser, base) {
    const hostile = hostileFiles();
    const page = await openPage(browser, base + site("model_viewer.html?frames=1"));
    await expectRun(page, 1, "stopped");
    for (let i = 0; i < hostile.length; ++i) {
        await drop(page, [hostile[i]]);
        try {
            await waitFor(page, "to read the drop", (n) => document.documentElement.dataset.handled === n,
                          String(i + 1));
            await settled(page, Number((await dataset(page)).run));
        } catch (e) {
            throw new Error(`${path.basename(hostile[i])}: ${e.message}`);
        }
    }
    const run = Number((await dataset(page)).run);
    await drop(page, [demo.model, demo.texture]);
    await expectRun(page, run + 1, "stopped");
    const reference = await viewer(demo, 1);
    await expectPane(page, "stdout", reference.stdout);
    expectFrame(await canvasShot(page), reference.frame, out, "hostile-drops");
    return `${hostile.length} drops each read and their ${run - 1} runs at rest; then the demo right`;
}

// ---- the index -----------------------------------------------------------

async function index(browser, base) {
    const page = await openPage(browser, base + site("index.html"));
    await waitFor(page, "to show its pictures", () =>
        Array.from(document.images).every((i) => i.complete && i.naturalWidth > 0));
    const links = await page.locator("a").evaluateAll((as) => [...new Set(as.map((a) => a.href))]);
    for (const link of links) {
        const response = await page.request.get(link);
        if (!response.ok())
            throw new Error(`${link}: ${response.status()}`);
    }
    const pictures = await page.locator("img").count();
    return `${pictures} pictures shown, ${links.length} links lead to pages`;
}

// ---- every page on a phone, and for everyone -----------------------------

const axe = fs.readFileSync(createRequire(import.meta.url).resolve("axe-core/axe.min.js"), "utf8");

// As a phone shows them (390 x 844 CSS pixels, 3 device pixels each, a
// mobile browser with touch, whose layout the viewport tag decides): laid out
// 390 wide at scale 1, so text is at its CSS size; nothing scrolls sideways;
// a program's canvas shows at the width there is at 4:3 and draws at that
// size times the pixel ratio; every control is at least 44 CSS pixels tall;
// axe finds nothing serious or critical; the policy refuses nothing (lib.mjs).
const PHONE = { width: 390, height: 844 };
async function phone(browser, base) {
    const said = [];
    for (const name of ["index.html", "model_viewer.html", "spheres_add.html",
                        "spheres_alpha.html"]) {
        const page = await openPage(browser, base + site(name + "?frames=1"), 3, PHONE,
                                    { isMobile: true, hasTouch: true });
        const program = name !== "index.html";
        if (program) {
            await waitFor(page, "to draw its frame",
                          () => document.documentElement.dataset.state === "stopped");
        }
        const layout = await page.evaluate(() => ({
            inner: innerWidth, scale: visualViewport.scale,
            wide: document.documentElement.scrollWidth,
            font: getComputedStyle(document.body).fontSize,
            small: Array.from(document.querySelectorAll("button, input, select, textarea"))
                .filter((e) => e.offsetParent !== null && e.getBoundingClientRect().height < 44)
                .map((e) => `${e.id || e.tagName} ${e.getBoundingClientRect().height} px`),
        }));
        if (layout.inner !== PHONE.width || layout.scale !== 1)
            throw new Error(`${name} is laid out ${layout.inner} wide at scale ${layout.scale}`);
        if (layout.wide > PHONE.width)
            throw new Error(`${name} is ${layout.wide} CSS pixels wide`);
        const css = fs.readFileSync(path.join(dirs.site, name), "utf8");
        const font = /body \{[^}]*font: (\d+px)/.exec(css)?.[1];
        if (layout.font !== font)
            throw new Error(`${name}: body text at ${layout.font}, its style says ${font}`);
        if (layout.small.length)
            throw new Error(`${name}: controls under 44 CSS pixels: ${layout.small.join(", ")}`);
        const canvas = program &&
            (name === "model_viewer.html" ? page.frameLocator("#program") : page).locator("canvas");
        // Drawn at the size shown times the pixel ratio, at 4:3, at most `most` wide.
        const expectCanvas = async (most) => {
            const [w, h, cw, ch] = await canvas.evaluate(
                (c) => [c.width, c.height, c.clientWidth, c.clientHeight]);
            if (w !== cw * 3 || h !== ch * 3 || cw > most || ch !== Math.floor(cw * 3 / 4))
                throw new Error(`${name}: a canvas of ${w} x ${h} shown at ${cw} x ${ch}`);
        };
        if (program)
            await expectCanvas(PHONE.width);
        await page.evaluate(axe);
        const found = await page.evaluate(async () =>
            (await window.axe.run(document, { iframes: false })).violations
                .filter((v) => v.impact === "serious" || v.impact === "critical")
                .map((v) => `${v.id} (${v.nodes.map((n) => n.target.join(" ")).join(", ")})`));
        if (found.length)
            throw new Error(`${name}: axe finds ${found.join("; ")}`);
        // Turned to a wide screen, the program's window grows back to 640 x 480.
        if (program) {
            await page.setViewportSize({ width: 1280, height: 1000 });
            const frame = page.frame({ url: /_program\.html/ }) || page.mainFrame();
            await frame.waitForFunction(() => document.getElementById("canvas").clientWidth === 640,
                                        null, { timeout: DEADLINE_MS, polling: 50 });
            await expectCanvas(640);
        }
        said.push(name);
    }
    return `${said.join(", ")}: laid out 390 wide at scale 1, text at its CSS size, no ` +
        "sideways scrolling, controls 44 CSS pixels tall, the canvas at the width there is, " +
        "and at 640 x 480 once the page is wide; axe: no serious or critical violation";
}

// ---- the site as released --------------------------------------------------

// The zip, unpacked and served as it is: the licences beside the pages, and
// the viewer's demo running.
async function releasedSite(browser, base) {
    const folder = dirs["zip-site"];
    for (const file of ["LICENSE", "THIRD-PARTY-NOTICES.txt", "index.html", "model_viewer.html"]) {
        if (!fs.existsSync(path.join(folder, file)))
            throw new Error(`the zip lacks ${file}`);
    }
    const notices = fs.readFileSync(path.join(folder, "THIRD-PARTY-NOTICES.txt"), "utf8");
    for (const carried of ["Emscripten", "zip.js", "libarchive.js", "libarchive", "OpenSSL"]) {
        if (!notices.includes(carried))
            throw new Error(`THIRD-PARTY-NOTICES.txt does not name ${carried}`);
    }
    const page = await openPage(browser, base + "/zip/model_viewer.html?frames=1");
    await expectRun(page, 1, "stopped");
    return "LICENSE and the notices (Emscripten, zip.js, libarchive.js) beside the pages; the viewer's demo " +
        "runs from it";
}

// ---- changed-template scenes -----------------------------------------------

// tests/system/web/scenes.cpp, each scene what a person changing one of our
// programs reaches for first, built by the desktop build and by the web
// build: the first frames must agree. What each draws:
const SCENES = {
    primitives: "every glBegin mode, a colour per vertex, flat and smooth",
    fragments: "coloured cube faces culled with the other front face, alpha test, scissor, colour mask",
    blending: "every blend factor of OpenGL 1.x",
    lights: "directional, attenuated and spot lights on lit spheres, GL_NORMALIZE",
    textures: "program-made RGB, RGBA, luminance and alpha textures, odd sizes, every environment mode",
    mipmaps: "gluBuild2DMipmaps of a 32 x 20 picture, trilinear, GL_CLAMP",
    fog: "linear, exp and exp2 fog",
    lists: "display lists compiled, compiled and run, nested, deleted",
    shapes: "GLUT's solid sphere, cube, cone and torus lit with colour material, and their wireframes",
    quadrics: "GLU's textured cylinder, disk and sphere, lit",
    matrices: "glFrustum, glOrtho, push and pop, glMultMatrixd, rotate and scale in doubles, " +
              "in a window with a stencil buffer",
};
// The scene whose window is not the usual one: its context must be the one
// it asked for, not the one the page made ready for the usual window.
const STENCIL_SCENE = "matrices";

async function sceneCheck(browser, base, scene) {
    const page = await openPage(browser, `${base}/scenes/gl_scenes.html?scene=${scene}&frames=1`);
    await waitFor(page, "to stop at frame 1", () => document.documentElement.dataset.state === "stopped");
    const stencil = await page.evaluate(() => Module.ctx.getContextAttributes().stencil);
    if (stencil !== (scene === STENCIL_SCENE))
        throw new Error(`its WebGL context has ${stencil ? "a" : "no"} stencil buffer`);
    const shot = await canvasShot(page);
    const { frame } = await desktop(dirs.desktop, out, { program: "tests/system/gl_scenes", args: [scene],
                                                         frames: 1 });
    return expectFrame(shot, frame, out, `scene-${scene}`);
}

// ---- the runner ----------------------------------------------------------

const checks = [
    ...frameChecks.map((c) => ({ ...c, run: (b, base) => frameCheck(b, base, c) })),
    { id: "no-texture",
      name: "model_viewer.html without szablon.bmp: the desktop's box, and OK ends the program",
      run: noTextureBox },
    { id: "bad-texture",
      name: "a broken texture dropped: the desktop's box; then a good one: the model again",
      testdata: true, run: badTextureThenGood },
    ...refusals.map((c) => ({ ...c, run: (b, base) => refusal(b, base, c) })),
    { id: "twenty-drops", name: "twenty drops in a row: every run right, no WebGL context lost",
      run: twentyDrops },
    { id: "hostile-drops", name: "forty hostile drops in one visit: every run comes to rest",
      run: hostileDrops },
    { id: "index", name: "index.html: its pictures and links", run: index },
    { id: "phone", name: "every page on an emulated phone, audited by axe-core", run: phone },
    { id: "zip", name: "the site's zip, unpacked and served", run: releasedSite },
    ...Object.entries(SCENES).map(([scene, what]) => ({
        id: `scene-${scene}`, name: `scene ${scene} (${what}): frame 1 as on the desktop`,
        run: (b, base) => sceneCheck(b, base, scene) })),
];

const server = await serve({ "/site/": dirs.site, "/no-texture/": dirs["no-texture-site"],
                             "/zip/": dirs["zip-site"], "/scenes/": dirs.scenes });
const browser = await launch();
let passed = 0, failed = 0;
for (const c of checks.filter((c) => !dirs.only || c.id.startsWith(dirs.only))) {
    if (c.testdata && !haveTestdata && !requireTestdata) {
        console.log(`skip - ${c.name}: no shared test data at ${testdata}`);
        continue;
    }
    const started = Date.now();
    opened.length = 0;
    let verdict;
    try {
        if (c.testdata && !haveTestdata)
            throw new Error(`the shared test data is required but missing at ${testdata}`);
        const said = await c.run(browser, server.base);
        // Every page: no WebGL error, exception or failed load on its console.
        const problems = opened.flatMap((p) => p.problems);
        if (problems.length)
            throw new Error(`its console: ${problems.slice(0, 3).join("; ")}`);
        verdict = `ok - ${c.name}: ${said}`;
        ++passed;
    } catch (e) {
        verdict = `FAIL - ${c.name}: ${e.message.split("\n")[0]}`;
        ++failed;
        // What a person would have seen.
        for (const [i, page] of opened.entries()) {
            await page.screenshot({ path: path.join(out, `${c.id}-page${i ? i + 1 : ""}.png`) })
                .catch(() => {});
        }
    }
    console.log(`${verdict} (${((Date.now() - started) / 1000).toFixed(1)} s)`);
    for (const page of opened)
        await page.context().close();
}
await browser.close();
server.close();
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
