// The viewer's page: model_viewer on the files a visitor opens or drops,
// exactly as the desktop program runs in a folder holding them as
// szablon.3ds and szablon.bmp. The program's globals cannot be reset and
// its main loop never returns, so each choice of files gets a fresh run in
// a frame of its own (model_viewer_program.html); the page hands that run
// its files and shows what it prints. Nothing leaves the browser.
//
// The root element says where a run is, for a script watching the page:
// data-run (runs started so far), data-state ("running", then "stopped" at
// the frame ?frames=N asks for, "box", "exited" or "aborted") and
// data-frames (frames drawn).
import {pictureInfo, textureNames} from "./file_facts.js";
import {pane} from "./panes.js";

// No file larger than this is read. A texture whose pixels the program
// would take but this page could not hold is not handed over: it would
// end the run for want of memory before the program could say anything.
const MAX_FILE_BYTES = 1024 * 1024 * 1024;
const MAX_PIXEL_BYTES = 512 * 1024 * 1024;

const root = document.documentElement;
const stage = document.getElementById("stage");
const messages = document.getElementById("messages");
const frames = new URLSearchParams(location.search).get("frames") || "";
const framesAsked = /^[0-9]+$/.test(frames) ? frames : null;

let model = null;    // {name, bytes}: what the next run opens as szablon.3ds
let texture = null;  // and as szablon.bmp
let frame = null;    // the current run's frame
let runs = 0;

const stdout = pane("stdout");
const stderr = pane("stderr");

// The page's own lines: what it took, what it left out and why.
function say(text, refused) {
  const item = document.createElement("li");
  item.textContent = text;
  if (refused)
    item.className = "refused";
  messages.append(item);
}

// ---- one run of the program --------------------------------------------

function start() {
  runs += 1;
  const run = runs;
  if (frame) {
    // Browsers keep only a few GL contexts; the old run's goes first.
    try {
      frame.contentWindow.szablonRelease();
    } catch (e) {
      // A run that never got going has no context to let go of.
    }
    frame.remove();
  }
  stdout.clear();
  stderr.clear();
  root.dataset.run = run;
  root.dataset.state = "running";
  delete root.dataset.frames;
  delete root.dataset.exitStatus;

  // A run that has been replaced may still be speaking; it is not heard.
  const live = function(f) {
    return function(value) {
      if (run === runs)
        f(value);
    };
  };
  frame = document.createElement("iframe");
  frame.id = "program";
  frame.title = "model_viewer";
  frame.szablonRun = {
    model: model,
    texture: texture,
    out: live(stdout.push),
    err: live(stderr.push),
    state: live(function(data) {
      if (data.frames)
        root.dataset.frames = data.frames;
      if (data.state)
        root.dataset.state = data.state;
    }),
    exited: live(function(status) {
      root.dataset.state = "exited";
      root.dataset.exitStatus = status;
      say("The program has ended (exit status " + status + "). Open or drop files to run it again.");
    }),
    aborted: live(function(what) {
      root.dataset.state = "aborted";
      say("The program stopped: " + what + ". Open or drop files to run it again.", true);
    }),
    drag: dragged,
  };
  frame.src = "model_viewer_program.html" + (framesAsked ? "?frames=" + framesAsked : "");
  stage.append(frame);
}

// ---- choosing the files ------------------------------------------------

function endsWith(name, ending) {
  return name.toLowerCase().endsWith(ending);
}

// By the names' code points, which is not JavaScript's own string order.
function byName(a, b) {
  const x = Array.from(a.name), y = Array.from(b.name);
  for (let i = 0; i < x.length && i < y.length; ++i) {
    const d = x[i].codePointAt(0) - y[i].codePointAt(0);
    if (d !== 0)
      return d;
  }
  return x.length - y.length;
}

function names(files) {
  return files.map(function(f) { return f.name; }).join(", ");
}

async function read(file) {
  if (file.size > MAX_FILE_BYTES) {
    say(file.name + ": left out: it is " + file.size + " bytes, more than this page reads (" +
        MAX_FILE_BYTES / 1024 / 1024 + " MiB)", true);
    return null;
  }
  return {name: file.name, bytes: new Uint8Array(await file.arrayBuffer())};
}

// A picture that would take more than the page holds, as the program's
// decoder reads its headers; one the decoder refuses by them goes to the
// program, which says why.
async function tooLargeForThePage(bytes) {
  const picture = await pictureInfo(bytes);
  const pixels = picture && picture.width * picture.height * 4;
  if (!picture || pixels <= MAX_PIXEL_BYTES)
    return null;
  return "a picture of " + picture.width + " x " + picture.height + " pixels takes " +
      Math.ceil(pixels / 1024 / 1024) + " MiB, more than this page can hold (" +
      MAX_PIXEL_BYTES / 1024 / 1024 + " MiB)";
}

function baseName(path) {
  return path.split(/[\\/]/).pop().toLowerCase();
}
function stem(name) {
  const dot = name.lastIndexOf(".");
  return dot > 0 ? name.slice(0, dot) : name;
}

// Of several textures, the one the model names (without folder, without
// case; a name of another format by its base name), else the first.
function pickTexture(textures, named) {
  if (textures.length === 1)
    return {file: textures[0], why: "texture: " + textures[0].name};
  if (named.length > 0) {
    const wanted = baseName(named[0]);
    const hit = textures.find(function(f) { return f.name.toLowerCase() === wanted; }) ||
        textures.find(function(f) { return stem(f.name.toLowerCase()) === stem(wanted); });
    if (hit)
      return {file: hit, why: "texture: " + hit.name + ", the one the model names (" + named[0] + ")"};
    return {file: textures[0], why: "texture: " + textures[0].name + ", the first by name; the model " +
        "names " + named[0] + ", which is not among the files"};
  }
  return {file: textures[0], why: "texture: " + textures[0].name + ", the first by name; the model " +
      "names no texture"};
}

// The files of one pick or drop: a model and a texture chosen among them,
// each side kept as it was where they hold none.
async function open(files) {
  if (files.length === 0)
    return;
  messages.textContent = "";
  const models = [], textures = [];
  for (const f of files) {
    if (endsWith(f.name, ".3ds"))
      models.push(f);
    else if (endsWith(f.name, ".bmp"))
      textures.push(f);
    else
      say(f.name + ": left out: neither a model (.3ds) nor a texture (.bmp)", true);
  }
  models.sort(byName);
  textures.sort(byName);

  let newModel = null, newTexture = null;
  if (models.length > 0) {
    newModel = await read(models[0]);
    if (newModel)
      say("model: " + models[0].name +
          (models.length > 1 ? "; left out the other models: " + names(models.slice(1)) : ""));
  }
  if (textures.length > 0) {
    const named = newModel || model;
    const pick = pickTexture(textures, named ? await textureNames(named.bytes) : []);
    newTexture = await read(pick.file);
    const why = newTexture && await tooLargeForThePage(newTexture.bytes);
    if (why) {
      say(pick.file.name + ": left out: " + why, true);
      newTexture = null;
    } else if (newTexture) {
      say(pick.why);
    }
  }
  if (!newModel && !newTexture)
    return;  // the run goes on as it was
  model = newModel || model;
  texture = newTexture || texture;
  start();
}

// ---- picking and dropping ----------------------------------------------

for (const id of ["files", "folder"]) {
  const input = document.getElementById(id);
  input.addEventListener("change", function() {
    open(Array.from(input.files));
    input.value = "";  // the same files again are a new choice
  });
}

// A dropped folder comes as an entry to walk, not as its files.
function entryFiles(entry) {
  if (entry.isFile)
    return new Promise(function(resolve) {
      entry.file(function(f) { resolve([f]); }, function() { resolve([]); });
    });
  return new Promise(function(resolve) {
    const reader = entry.createReader(), found = [];
    (function more() {
      reader.readEntries(async function(batch) {
        if (batch.length === 0)
          return resolve(found);
        for (const e of batch)
          found.push(...await entryFiles(e));
        more();
      }, function() { resolve(found); });
    })();
  });
}

async function dropped(transfer) {
  // The entries are only to be had while the drop is being handled.
  const entries = Array.from(transfer.items || [])
      .map(function(item) { return item.webkitGetAsEntry ? item.webkitGetAsEntry() : null; });
  if (entries.length > 0 && entries.every(Boolean)) {
    const files = [];
    for (const e of entries)
      files.push(...await entryFiles(e));
    return files;
  }
  return Array.from(transfer.files);
}

// Drags over the program's frame reach its page, which passes them here.
function dragged(type, event) {
  if (!event.dataTransfer || !Array.from(event.dataTransfer.types).includes("Files"))
    return;
  event.preventDefault();
  if (type === "dragenter" || type === "dragover")
    document.body.classList.add("dragging");
  else if (type === "dragleave" && event.relatedTarget === null)
    document.body.classList.remove("dragging");
  else if (type === "drop") {
    document.body.classList.remove("dragging");
    dropped(event.dataTransfer).then(open);
  }
}
for (const type of ["dragenter", "dragover", "dragleave", "drop"])
  addEventListener(type, function(event) { dragged(type, event); });

// ---- the demo ----------------------------------------------------------

// The demo's folder lists what it holds: a file it lacks is not asked
// for, and the program runs without it, as in a folder without it.
async function demoFile(name, present) {
  if (!present.includes(name))
    return null;
  const response = await fetch("demo/" + name);
  return response.ok ? {name: name, bytes: new Uint8Array(await response.arrayBuffer())} : null;
}

let present = [];
try {
  present = await (await fetch("demo/files.json")).json();
} catch (e) {
  // A site without a demo starts the program with no files.
}
model = await demoFile("szablon.3ds", present);
texture = await demoFile("szablon.bmp", present);
const demo = [model && "szablon.3ds", texture && "szablon.bmp"].filter(Boolean);
say("The demo: " + (demo.length ? demo.join(" and ") : "no files") +
    ". Open or drop your own .3ds and .bmp files to see them instead.");
start();
