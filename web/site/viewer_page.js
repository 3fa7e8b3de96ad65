// The viewer's page: model_viewer on the files a visitor opens or drops,
// exactly as the desktop program runs in a folder holding them as
// szablon.3ds and szablon.bmp. The program's globals cannot be reset and
// its main loop never returns, so each choice of files gets a fresh run in
// a frame of its own (model_viewer_program.html); the page hands that run
// its files and shows what it prints. Nothing leaves the browser.
//
// The root element says where a run is, for a script watching the page:
// data-run (runs started so far), data-state ("running", then "stopped" at
// the frame ?frames=N asks for, "box", "exited" or "aborted"),
// data-frames (frames drawn) and data-handled (picks and drops read).
import {pane} from "./panes.js";

// No file larger than this is read. A texture whose pixels the program
// would take but this page could not hold is not handed over: it would
// end the run for want of memory before the program could say anything.
const MAX_FILE_BYTES = 1024 * 1024 * 1024;
const MAX_PIXEL_BYTES = 512 * 1024 * 1024;

// The textures models name, by ending: a BMP goes to the program as it is;
// the others become one, decoded by the browser (by type) or by formats/.
const TEXTURES = {
  ".bmp": {format: "BMP"},
  ".jpg": {format: "JPEG", type: "image/jpeg"}, ".jpeg": {format: "JPEG", type: "image/jpeg"},
  ".png": {format: "PNG", type: "image/png"}, ".gif": {format: "GIF", type: "image/gif"},
  ".webp": {format: "WebP", type: "image/webp"}, ".tga": {format: "TGA"},
};
const ENDINGS = Object.keys(TEXTURES).join(", ");

const root = document.documentElement;
const messages = document.getElementById("messages");
const status = document.getElementById("status");
const problem = document.getElementById("problem");
const demoButton = document.getElementById("demo");
const saveButton = document.getElementById("save");

// What the next run opens as szablon.3ds and as szablon.bmp:
// {path, bytes, choice} (choice 0: the demo's), the texture with its
// format and, where known, sides.
let model = null;
let texture = null;
let demo = {model: null, texture: null};
let choices = 0;
let frame = document.getElementById("program");    // the current run's frame
let runs = 0;

// The page's own module and what it asks of it, loaded when first needed:
// the demo needs none of it.
function facts() {
  return import("./file_facts.js");
}

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

// `files`, where given, is a promise of the run's {model, texture}: the
// program's runtime loads meanwhile, and its main waits for them.
function start(files) {
  files = files || Promise.resolve({model: model, texture: texture});
  runs += 1;
  const run = runs;
  // The first run takes the frame the page came with; each later one a
  // fresh frame like it, in its place.
  if (run > 1) {
    // Browsers keep only a few GL contexts; the old run's goes first.
    try {
      frame.contentWindow.szablonRelease();
    } catch (e) {
      // A run that never got going has no context to let go of.
    }
    const fresh = frame.cloneNode(false);
    frame.replaceWith(fresh);
    frame = fresh;
  }
  stdout.clear();
  stderr.clear();
  root.dataset.run = run;
  root.dataset.state = "running";
  delete root.dataset.frames;
  delete root.dataset.exitStatus;
  problem.hidden = true;
  showStatus();

  // A run that has been replaced may still be speaking; it is not heard.
  const live = function(f) {
    return function(value) {
      if (run === runs)
        f(value);
    };
  };
  let shown = null;
  files.then(function(f) { shown = f.texture; });
  const handed = {
    files: files,
    out: live(stdout.push),
    err: live(stderr.push),
    state: live(function(data) {
      if (data.frames && !root.dataset.frames && shown && !shown.width)
        measure(shown);
      if (data.frames)
        root.dataset.frames = data.frames;
      if (data.state === "box" && root.dataset.state !== "box")
        explainBox(shown);
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
  // The frame's script takes the run when it starts, or, where it started
  // first, has left a hand to take it.
  frame.szablonRun = handed;
  if (frame.szablonTake)
    frame.szablonTake(handed);
}

function origin(side) {
  if (side.choice === 0)
    return "the demo";
  return side.choice === choices ? "your choice" : "kept from your last choice";
}

// What this run shows, and where each side came from.
function showStatus() {
  const parts = [];
  parts.push(model ? "model " + model.path + " (" + origin(model) + ")"
                   : "no model (the program draws nothing)");
  if (texture) {
    const sides = texture.width ? " " + texture.width + " \u00d7 " + texture.height : "";
    parts.push("texture " + texture.path + ", " + texture.format + sides + " (" +
               origin(texture) + ")");
  } else {
    parts.push("no texture");
  }
  status.textContent = "Shown: " + parts.join("; ") + ".";
  demoButton.hidden = (model ? model.choice : 0) === 0 && (texture ? texture.choice : 0) === 0;
}

// The demo's texture is handed over unread; its sides are asked of the
// page's module once the first frame is up, not before.
function measure(side) {
  facts().then(function(f) { return f.pictureInfo(side.bytes); }).then(function(picture) {
    if (picture) {
      side.width = picture.width;
      side.height = picture.height;
      if (side === texture)
        showStatus();
    }
  }, function() {});
}

// The program's box quotes szablon.bmp; the visitor knows the file by
// their own name: said under the frame.
function explainBox(shown) {
  let reason = "";
  try {
    reason = frame.contentDocument.getElementById("error-detail").textContent
        .replace(/^szablon\.bmp: /, "");
  } catch (e) {
    // No box to read: the program's stderr pane has its lines.
  }
  if (!shown) {
    problem.textContent = "The program shows its box because there is no texture for it: it " +
        "needs one, as the desktop program needs szablon.bmp. Open a texture, or go back to " +
        "the demo.";
  } else {
    const whose = shown.choice === 0 ? "the demo's texture " : "your texture ";
    problem.textContent = "The program could not use " + whose + shown.path + ": " + reason +
        ". Open another texture, or go back to the demo.";
  }
  problem.hidden = false;
}

// ---- the files of one choice -------------------------------------------

function ending(path) {
  const dot = path.lastIndexOf(".");
  return dot > path.search(/[^\\/]*$/) ? path.slice(dot).toLowerCase() : "";
}
function baseName(path) {
  return path.split(/[\\/]/).pop().toLowerCase();
}
function stem(name) {
  const dot = name.lastIndexOf(".");
  return dot > 0 ? name.slice(0, dot) : name;
}

// By the paths' code points, which is not JavaScript's own string order.
function byPath(a, b) {
  const x = Array.from(a.path), y = Array.from(b.path);
  for (let i = 0; i < x.length && i < y.length; ++i) {
    const d = x[i].codePointAt(0) - y[i].codePointAt(0);
    if (d !== 0)
      return d;
  }
  return x.length - y.length;
}

function paths(files) {
  return files.map(function(f) { return f.path; }).join(", ");
}

// A file of a pick or drop as the choice sees it: {path, size, read()}.
// An archive's entries take the same shape, at the archive's path followed
// by theirs.
function plain(file, path) {
  return {path: path || file.webkitRelativePath || file.name, size: file.size,
          read: async function() { return new Uint8Array(await file.arrayBuffer()); }};
}

let zipLibrary = null;

// An archive's files, each inflated only when it is read; one the library
// cannot open, or an encrypted one, is left out with one line.
async function archiveFiles(archive) {
  if (!zipLibrary) {
    zipLibrary = import("./zip.js").then(function(zip) {
      // Its workers would come from blob: addresses, which the page's
      // policy does not run; the browser's DecompressionStream inflates.
      zip.configure({useWebWorkers: false});
      return zip;
    });
  }
  const zip = await zipLibrary;
  let entries;
  try {
    const reader = new zip.ZipReader(new zip.BlobReader(archive.file));
    entries = await reader.getEntries();
  } catch (e) {
    say(archive.path + ": left out: not an archive this page can open (" + e.message + ")", true);
    return [];
  }
  if (entries.some(function(e) { return e.encrypted; })) {
    say(archive.path + ": left out: it is encrypted, and this page opens no encrypted archive",
        true);
    return [];
  }
  // A Mac's archiver adds each file's metadata under __MACOSX/ as ._NAME:
  // not files of the model's.
  const metadata = function(e) { return /(^|\/)(__MACOSX\/|\._)/.test(e.filename); };
  return entries.filter(function(e) { return !e.directory && !metadata(e); }).map(function(entry) {
    return {path: archive.path + "/" + entry.filename, size: entry.uncompressedSize,
            read: function() { return entry.getData(new zip.Uint8ArrayWriter()); }};
  });
}

// The bytes of a file, or null with a line saying why not.
async function read(file) {
  try {
    return await file.read();
  } catch (e) {
    say(file.path + ": left out: it cannot be read (" + e.message + ")", true);
    return null;
  }
}

// Of the textures, the one the model's first material names: by its name
// without folder (either slash) and case, else by the same stem with any
// texture ending; else the only one given, else the first by path.
function pickTexture(textures, named) {
  if (named) {
    const wanted = baseName(named);
    const hit = textures.find(function(f) { return baseName(f.path) === wanted; }) ||
        textures.find(function(f) {
          return ending(f.path) && stem(baseName(f.path)) === stem(wanted);
        });
    if (hit)
      return {file: hit, why: "texture: " + hit.path + ", the one the model names (" + named + ")"};
  }
  const absent = named ? "; the model names " + named + ", which is not among the files" : "";
  if (textures.length === 1)
    return {file: textures[0], why: "texture: " + textures[0].path + absent};
  return {file: textures[0], why: "texture: " + textures[0].path + ", the first by name" +
      (absent || "; the model names no texture")};
}

// A texture as the program reads it: a BMP as it is, any other made into
// one. Throws Refused with the reason.
async function prepareTexture(file, bytes) {
  const {bmpPicture, tgaToBmp, pictureToBmp} = await facts();
  const kind = TEXTURES[ending(file.path)];
  let made;
  if (kind.format === "BMP") {
    const picture = await bmpPicture(bytes, MAX_PIXEL_BYTES);
    made = {bytes: bytes, width: picture && picture.width, height: picture && picture.height};
  } else if (kind.format === "TGA") {
    made = await tgaToBmp(bytes, MAX_PIXEL_BYTES);
  } else {
    made = await pictureToBmp(bytes, kind.type, MAX_PIXEL_BYTES);
  }
  return {path: file.path, bytes: made.bytes, format: kind.format, width: made.width,
          height: made.height, notes: made.notes};
}

// What the program will make of a model that the visitor would otherwise
// learn only from a note on standard error, or from an empty canvas.
async function sayModelCounts(path, bytes) {
  const c = await (await facts()).modelCounts(bytes);
  if (!c)
    return;
  if (c.triangles === 0) {
    say(path + " holds no triangles: the program draws nothing of it.", true);
  } else if (c.vertices > c.keptVertices || c.triangles > c.keptTriangles) {
    say(path + " holds " + c.vertices + " vertices and " + c.triangles + " triangles; the " +
        "program keeps the first " + c.capacity + " of each, as on the desktop, so parts of it " +
        "are missing or drawn wrong.", true);
  }
}

// The files of one pick or drop, archives opened: a model and a texture
// chosen among them, each side kept as it was where they hold none.
async function open(given) {
  if (given.length === 0)
    return;
  messages.textContent = "";
  const files = [];
  for (const f of given) {
    if (ending(f.path) === ".zip")
      files.push(...await archiveFiles(f));
    else
      files.push(plain(f.file, f.path));
  }
  const models = [], textures = [], others = [];
  for (const f of files) {
    if (f.size > MAX_FILE_BYTES)
      say(f.path + ": left out: it is " + f.size + " bytes, more than this page reads (" +
          MAX_FILE_BYTES / 1024 / 1024 + " MiB)", true);
    else if (ending(f.path) === ".3ds")
      models.push(f);
    else if (TEXTURES[ending(f.path)])
      textures.push(f);
    else
      others.push(f);
  }
  models.sort(byPath);
  textures.sort(byPath);
  if (others.length > 0) {
    say("left out, neither a model (.3ds) nor a texture (" + ENDINGS + "): " + paths(others),
        true);
  }

  const choice = choices + 1;
  let newModel = null, newTexture = null, textureRefused = false;
  if (models.length > 0) {
    const bytes = await read(models[0]);
    if (bytes) {
      newModel = {path: models[0].path, bytes: bytes, choice: choice};
      say("model: " + models[0].path +
          (models.length > 1 ? "; left out the other models: " + paths(models.slice(1)) : ""));
      await sayModelCounts(newModel.path, bytes);
    }
  }
  const named = (textures.length > 0 || newModel) && (newModel || model);
  const names = named ? await (await facts()).textureNames(named.bytes) : [];
  if (textures.length > 0) {
    const pick = pickTexture(textures, names[0]);
    const bytes = await read(pick.file);
    if (bytes) {
      try {
        newTexture = await prepareTexture(pick.file, bytes);
        newTexture.choice = choice;
        say(pick.why);
        // What the reader found wrong in a picture it decoded anyway.
        if (newTexture.notes)
          say(pick.file.path + ": " + newTexture.notes, true);
      } catch (e) {
        if (!(e instanceof (await facts()).Refused))
          throw e;
        // Not the previous texture in silence: the visitor chose this one.
        say(pick.file.path + (e.tooLarge ? ": left out: " : ": cannot be used as a texture: ") +
            e.message + "; the program runs without a texture", true);
        textureRefused = true;
      }
    } else {
      textureRefused = true;
    }
  } else if (newModel && names.length > 0 && texture &&
             baseName(names[0]) !== baseName(texture.path)) {
    say("the model names " + names[0] + ", which is not among the files; it is shown with " +
        "the texture " + texture.path + " (" + origin(texture) + ")");
  }
  if (!newModel && !newTexture && !textureRefused)
    return;  // the run goes on as it was
  choices = choice;
  model = newModel || model;
  texture = textureRefused ? null : newTexture || texture;
  start();
}

// One choice at a time, in the order made: a drop while the last is still
// being read waits for it. A choice takes its place when it is made, even
// where its files (a dropped folder being walked) are still a promise.
// Whatever goes wrong is said, and the run goes on. The root's
// data-handled counts the picks and drops read to the end.
let opening = Promise.resolve();
let handled = 0;
let made = 0;
function choose(given) {
  ++made;
  const files = Promise.resolve(given);
  files.catch(function() {});  // said in its turn, below
  opening = opening.then(function() { return files; }).then(open).catch(function(e) {
    say("These files could not be opened: " + (e && e.message || e), true);
  }).then(function() {
    root.dataset.handled = ++handled;
  });
}

// ---- picking and dropping ----------------------------------------------

for (const id of ["files", "folder"]) {
  const input = document.getElementById(id);
  input.addEventListener("change", function() {
    choose(Array.from(input.files).map(function(f) {
      return {file: f, path: f.webkitRelativePath || f.name};
    }));
    input.value = "";  // the same files again are a new choice
  });
}

// A dropped folder comes as an entry to walk, not as its files. A file or
// folder the browser will not read fails the whole choice, with its name:
// half a folder would be shown as if it were all of it.
function entryFiles(entry) {
  const path = entry.fullPath.replace(/^\//, "");
  const failed = function(reject) {
    return function(e) {
      reject(new Error(path + " cannot be read (" + (e && e.message || e) + ")"));
    };
  };
  if (entry.isFile)
    return new Promise(function(resolve, reject) {
      entry.file(function(f) { resolve([{file: f, path: path}]); }, failed(reject));
    });
  return new Promise(function(resolve, reject) {
    const reader = entry.createReader(), found = [];
    (function more() {
      reader.readEntries(function(batch) {
        if (batch.length === 0)
          return resolve(found);
        Promise.all(batch.map(entryFiles)).then(function(lists) {
          for (const list of lists)
            found.push(...list);
          more();
        }, reject);
      }, failed(reject));
    })();
  });
}

// The dropped files, or a promise of them where folders are to be walked.
function dropped(transfer) {
  // The entries are only to be had while the drop is being handled.
  const entries = Array.from(transfer.items || [])
      .map(function(item) { return item.webkitGetAsEntry ? item.webkitGetAsEntry() : null; });
  if (entries.length > 0 && entries.every(Boolean)) {
    return Promise.all(entries.map(entryFiles)).then(function(lists) {
      return [].concat(...lists);
    });
  }
  return Array.from(transfer.files).map(function(f) { return {file: f, path: f.name}; });
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
    choose(dropped(event.dataTransfer));
  }
}
for (const type of ["dragenter", "dragover", "dragleave", "drop"])
  addEventListener(type, function(event) { dragged(type, event); });

// ---- the demo and the picture ------------------------------------------

demoButton.addEventListener("click", function() {
  messages.textContent = "";
  say("The demo again.");
  model = demo.model;
  texture = demo.texture;
  start();
});

// The frame shown, at the canvas's own pixels, named after the model.
saveButton.addEventListener("click", function() {
  const canvas = frame.contentDocument && frame.contentDocument.getElementById("canvas");
  if (!canvas)
    return;
  canvas.toBlob(function(blob) {
    if (!blob)
      return;
    const link = document.createElement("a");
    link.href = URL.createObjectURL(blob);
    link.download = stem(model ? baseName(model.path) : "model_viewer") + ".png";
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(function() { URL.revokeObjectURL(link.href); }, 60000);
  }, "image/png");
});

// The page names the demo files the site holds (the build writes them into
// its head): a file it lacks is not asked for, and the program runs without
// it, as in a folder without it.
const present = (document.querySelector('meta[name="demo-files"]')?.content || "").split(" ");
async function demoFile(name) {
  if (!present.includes(name))
    return null;
  const response = await fetch("demo/" + name);
  return response.ok ? {path: name, bytes: new Uint8Array(await response.arrayBuffer()), choice: 0}
                     : null;
}

// The demo's two files and the program's runtime arrive side by side.
const demoFiles = Promise.all([demoFile("szablon.3ds"), demoFile("szablon.bmp")])
  .then(function([m, t]) {
    if (t)
      t.format = "BMP";
    demo.model = m;
    demo.texture = t;
    // On a slow connection the visitor may have chosen files first: theirs stay.
    if (choices === 0) {
      model = m;
      texture = t;
    }
    return {model: m, texture: t};
  }, function() {
    return {model: null, texture: null};
  });
start(demoFiles);
demoFiles.then(function() {
  if (made !== 0)
    return;
  showStatus();
  const held = [model && "szablon.3ds", texture && "szablon.bmp"].filter(Boolean);
  say("The demo: " + (held.length ? held.join(" and ") : "no files") + ". Open or drop your own " +
      "model (.3ds) and its texture (" + ENDINGS + "), a folder or a .zip, to see them instead.");
});
