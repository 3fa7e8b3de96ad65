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

// The textures models name, by ending, with the format each name says; the
// bytes decide how a texture is read (prepareTexture).
const TEXTURES = {
  ".bmp": {format: "BMP"}, ".jpg": {format: "JPEG"}, ".jpeg": {format: "JPEG"},
  ".png": {format: "PNG"}, ".gif": {format: "GIF"}, ".webp": {format: "WebP"},
  ".tga": {format: "TGA"},
};
const ENDINGS = Object.keys(TEXTURES).join(", ");

const root = document.documentElement;
const messages = document.getElementById("messages");
const status = document.getElementById("status");
const problem = document.getElementById("problem");
const demoButton = document.getElementById("demo");
const saveButton = document.getElementById("save");
const desktopButton = document.getElementById("desktop");

// What the next run opens as szablon.3ds and as szablon.bmp:
// {path, bytes, choice} (choice 0: the demo's), the texture with its
// format and, where known, sides.
let model = null;
let texture = null;
let demo = {model: null, texture: null};
let choices = 0;
let frame = document.getElementById("program");    // the current run's frame
let handedFiles = null;   // what the current run was handed: {model, texture}
let runs = 0;

// The page's own module and what it asks of it, loaded when first needed:
// the demo needs none of it.
function facts() {
  return import("./file_facts.js");
}

const stdout = pane("stdout");
const stderr = pane("stderr");

// The page's own lines: what it took, what it left out and why. `style`:
// true for a refusal, "aside" for files that are simply not the model's.
function say(text, style) {
  const item = document.createElement("li");
  item.textContent = text;
  if (style)
    item.className = style === true ? "refused" : style;
  messages.append(item);
}

// What the page is busy with, said where it takes longer than half a
// second: reading an archive or a file, decoding a picture. The root's
// data-busy says it too.
const busyLine = document.getElementById("busy");
function sizeText(bytes) {
  if (bytes >= 1024 * 1024)
    return (bytes / 1024 / 1024).toFixed(1) + " MiB";
  return bytes >= 1024 ? Math.ceil(bytes / 1024) + " KiB" : bytes + " bytes";
}
async function busy(doing, path, size, work) {
  const text = doing + " " + path + " (" + sizeText(size) + ")\u2026";
  const timer = setTimeout(function() {
    busyLine.textContent = text;
    busyLine.hidden = false;
    root.dataset.busy = text;
  }, 500);
  try {
    return await work();
  } finally {
    clearTimeout(timer);
    if (busyLine.textContent === text) {
      busyLine.hidden = true;
      busyLine.textContent = "";
      delete root.dataset.busy;
    }
  }
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
  desktopButton.disabled = true;
  files.then(function(f) {
    shown = f.texture;
    if (run === runs) {
      handedFiles = f;
      desktopButton.disabled = false;
    }
  });
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
// The last part of a path, as written; baseName in lower case, to compare.
function fileName(path) {
  return path.split(/[\\/]/).pop();
}
function baseName(path) {
  return fileName(path).toLowerCase();
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

// The archives the page opens like a folder, by ending: a .zip through
// zip.js, which reads an entry where the archive's directory says it lies
// and inflates only the entries read; the others through libarchive.js in a
// worker of its own, which holds the archive and reads it from its start
// for each entry.
const ARCHIVES = [".zip", ".7z", ".rar", ".tar", ".tar.gz", ".tgz", ".tar.bz2", ".tbz2",
                  ".tar.xz", ".txz"];
const ARCHIVE_NAMES = ".zip, .7z, .rar, .tar, .tar.gz";
function archiveEnding(path) {
  const name = baseName(path);
  return ARCHIVES.find(function(e) { return name.endsWith(e) && name.length > e.length; });
}

// What the first bytes say an archive is, to tell a damaged archive from a
// file of another kind where the library reads neither.
async function archiveMagic(blob) {
  const b = new Uint8Array(await blob.slice(0, 262).arrayBuffer());
  const starts = function(...bytes) { return bytes.every(function(x, i) { return b[i] === x; }); };
  if (starts(0x50, 0x4b))
    return "zip";
  if (starts(0x37, 0x7a, 0xbc, 0xaf, 0x27, 0x1c))
    return "7z";
  if (starts(0x52, 0x61, 0x72, 0x21, 0x1a, 0x07))
    return "rar";
  if (starts(0x1f, 0x8b) || starts(0x42, 0x5a, 0x68) || starts(0xfd, 0x37, 0x7a, 0x58, 0x5a))
    return "compressed";
  if (String.fromCharCode(...b.subarray(257, 262)) === "ustar")
    return "tar";
  return null;
}

async function unreadable(archive, e) {
  const why = await archiveMagic(archive.blob).catch(function() { return null; })
      ? "it is damaged or cut short" : "it is not an archive of a kind this page opens (" +
        ARCHIVE_NAMES + ")";
  say(archive.path + ": left out: " + why + (e ? " (" + (e.message || e) + ")" : ""), true);
  return [];
}

let zipLibrary = null;
function zipModule() {
  if (!zipLibrary) {
    zipLibrary = import("./zip.js").then(function(zip) {
      // Its workers would come from blob: addresses, which the page's
      // policy does not run; the browser's own streams inflate and deflate.
      zip.configure({useWebWorkers: false});
      return zip;
    });
  }
  return zipLibrary;
}

async function zipFiles(archive) {
  const zip = await zipModule();
  let entries;
  try {
    const reader = new zip.ZipReader(new zip.BlobReader(archive.blob));
    entries = await reader.getEntries();
  } catch (e) {
    return unreadable(archive, e);
  }
  if (entries.some(function(e) { return e.encrypted; }))
    return encrypted(archive);
  return entries.filter(function(e) { return !e.directory; }).map(function(entry) {
    return {path: archive.path + "/" + entry.filename, size: entry.uncompressedSize,
            read: function() { return entry.getData(new zip.Uint8ArrayWriter()); }};
  });
}

function encrypted(archive) {
  say(archive.path + ": left out: it is encrypted, and this page opens no encrypted archive",
      true);
  return [];
}

let archiveLibrary = null;

// `archive.close` is set to let its worker go once the choice is read.
async function otherFiles(archive) {
  if (!archiveLibrary) {
    archiveLibrary = import("./libarchive/libarchive.js").then(function(library) {
      return library.Archive;
    });
  }
  const Archive = await archiveLibrary;
  // The worker's failures end the wait for it, whatever call is waiting.
  let worker = null;
  const failed = new Promise(function(resolve, reject) {
    Archive.init({getWorker: function() {
      worker = new Worker(new URL("./archive_worker.js", import.meta.url), {type: "module"});
      worker.addEventListener("error", function(event) {
        event.preventDefault();
        reject(new Error(event.message || "the archive reader stopped"));
      });
      return worker;
    }});
  });
  failed.catch(function() {});
  const guard = function(promise) { return Promise.race([promise, failed]); };
  archive.close = function() {
    if (worker)
      worker.terminate();
  };
  let entries;
  try {
    const reader = await guard(Archive.open(archive.blob));
    if (await guard(reader.hasEncryptedData()))
      return encrypted(archive);
    entries = await guard(reader.getFilesArray());
  } catch (e) {
    return unreadable(archive, e);
  }
  if (entries.length === 0)
    return unreadable(archive, null);
  return entries.map(function(entry) {
    return {path: archive.path + "/" + entry.path + entry.file.name, size: entry.file.size,
            read: async function() {
              const file = await guard(entry.file.extract());
              return new Uint8Array(await file.arrayBuffer());
            }};
  });
}

// An archive's files, each read only when it is read, as a folder's are;
// an archive among them is opened in turn, one level down, no further.
// One the library cannot open, or an encrypted one, is left out with one
// line. `opened` collects the archives, to be closed once the choice is read.
async function archiveFiles(archive, opened, depth) {
  opened.push(archive);
  const found = await busy("Opening the archive", archive.path, archive.blob.size, function() {
    return (archiveEnding(archive.path) === ".zip" ? zipFiles : otherFiles)(archive);
  });
  // A Mac's archiver adds each file's metadata under __MACOSX/ as ._NAME:
  // not files of the model's.
  const files = found.filter(function(f) {
    return !/(^|\/)(__MACOSX\/|\._)/.test(f.path.slice(archive.path.length + 1));
  });
  const all = [];
  for (const f of files) {
    if (!archiveEnding(f.path) || f.size > MAX_FILE_BYTES) {
      all.push(f);
    } else if (depth > 1) {
      say(f.path + ": left out: an archive in an archive in an archive; this page opens " +
          "one level down", true);
    } else {
      const bytes = await read(f);
      if (bytes)
        all.push(...await archiveFiles({path: f.path, blob: new Blob([bytes])}, opened, depth + 1));
    }
  }
  return all;
}

// The bytes of a file, or null with a line saying why not.
async function read(file) {
  try {
    return await busy("Reading", file.path, file.size, file.read);
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
      return {file: hit, byName: true,
              why: "texture: " + hit.path + ", the one the model names (" + named + ")"};
  }
  const absent = named ? "; the model names " + named + ", which is not among the files" : "";
  if (textures.length === 1)
    return {file: textures[0], why: "texture: " + textures[0].path + absent};
  return {file: textures[0], why: "texture: " + textures[0].path + ", the first by name" +
      (absent || "; the model names no texture")};
}

// What a picture's bytes say it is, whatever its name says: the signature
// each format starts with, or a TGA's footer; null where there is none. A
// BMP goes to the program as it is; the others become one, decoded by the
// browser (by type) or, for TGA, by formats/.
const BROWSER_TYPES = {JPEG: "image/jpeg", PNG: "image/png", GIF: "image/gif",
                       WebP: "image/webp"};
function pictureFormat(bytes) {
  const at = function(offset, text) {
    return Array.from(text).every(function(c, i) {
      return bytes[offset + i] === c.charCodeAt(0);
    });
  };
  if (at(0, "BM"))
    return "BMP";
  if (at(0, "\xff\xd8\xff"))
    return "JPEG";
  if (at(0, "\x89PNG\r\n\x1a\n"))
    return "PNG";
  if (at(0, "GIF87a") || at(0, "GIF89a"))
    return "GIF";
  if (at(0, "RIFF") && at(8, "WEBP"))
    return "WebP";
  if (bytes.length >= 44 && at(bytes.length - 18, "TRUEVISION-XFILE.\0"))
    return "TGA";
  return null;
}

// A texture as the program reads it: a BMP as it is, any other made into
// one, each decoded as what its bytes are. A file with no signature is a
// TGA where formats/ takes its header as one, else what its name says.
// Throws Refused with the reason.
async function prepareTexture(file, bytes) {
  const {bmpPicture, tgaToBmp, pictureToBmp, Refused} = await facts();
  const named = TEXTURES[ending(file.path)].format;
  const prepared = function(format, made) {
    return {path: file.path, bytes: made.bytes, format: format, named: named, width: made.width,
            height: made.height, notes: made.notes};
  };
  const format = pictureFormat(bytes);
  if (!format && named !== "TGA") {
    try {
      return prepared("TGA", await tgaToBmp(bytes, MAX_PIXEL_BYTES));
    } catch (e) {
      if (!(e instanceof Refused))
        throw e;
    }
  }
  const kind = format || named;
  if (kind === "BMP") {
    const picture = await bmpPicture(bytes, MAX_PIXEL_BYTES);
    return prepared(kind, {bytes: bytes, width: picture && picture.width,
                           height: picture && picture.height});
  }
  if (kind === "TGA")
    return prepared(kind, await tgaToBmp(bytes, MAX_PIXEL_BYTES));
  return prepared(kind, await pictureToBmp(bytes, BROWSER_TYPES[kind], MAX_PIXEL_BYTES));
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
  const archives = [];
  try {
    await openFiles(given, archives);
  } finally {
    for (const archive of archives) {
      if (archive.close)
        archive.close();
    }
  }
}

async function openFiles(given, archives) {
  const files = [];
  for (const f of given) {
    if (archiveEnding(f.path) && f.file.size <= MAX_FILE_BYTES)
      files.push(...await archiveFiles({path: f.path, blob: f.file}, archives, 1));
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
  // Said last, once, after what was used: every download has some.
  const sayOthers = function() {
    if (others.length > 0) {
      say("not used, neither a model (.3ds) nor a texture (" + ENDINGS + "): " +
          paths(others), "aside");
    }
  };
  // A download of textures alone, said before its texture is shown on
  // another model.
  const download = given.some(function(f) {
    return archiveEnding(f.path) || /[\\/]/.test(f.path);
  });
  if (download && models.length === 0 && textures.length > 0) {
    const tops = [...new Set(given.map(function(f) { return f.path.split(/[\\/]/)[0]; }))];
    say(tops.join(", ") + " " + (tops.length > 1 ? "hold" : "holds") + " no model (.3ds): " +
        "its texture is shown on " + (model ? (model.choice === 0 ? "the demo's model" :
        "your last model, " + model.path) : "no model (the program draws nothing)"));
  }

  const choice = choices + 1;
  let newModel = null, newTexture = null, textureRefused = false, byName = false;
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
    byName = Boolean(pick.byName);
    const bytes = await read(pick.file);
    if (bytes) {
      try {
        newTexture = await busy("Decoding the picture", pick.file.path, bytes.length,
                                function() { return prepareTexture(pick.file, bytes); });
        newTexture.choice = choice;
        say(pick.why);
        if (newTexture.format !== newTexture.named) {
          say(pick.file.path + ": its name says " + newTexture.named + ", its bytes are " +
              newTexture.format + "; read as " + newTexture.format);
        }
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
  // The program reads one szablon.bmp and draws it over every material.
  const distinct = names.filter(function(n, i) {
    return names.findIndex(function(m) { return baseName(m) === baseName(n); }) === i;
  });
  const shown = textureRefused ? null : newTexture || texture;
  if (newModel && distinct.length > 1 && shown) {
    if (!newTexture)
      byName = baseName(shown.path) === baseName(names[0]);
    say("the model's materials name " + distinct.length + " textures, " + distinct.join(", ") +
        "; the program draws one texture over the whole model, as the desktop program draws " +
        "szablon.bmp: " + shown.path + ", " + (byName ? "the one the first material names"
                                                      : "as the first material's is not here"));
  }
  sayOthers();
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

// The two files exactly as this run was handed them, szablon.3ds and
// szablon.bmp, in one .zip named after the model: the desktop model_viewer
// run in a folder of them draws what the page draws.
desktopButton.addEventListener("click", async function() {
  const files = handedFiles;
  if (!files)
    return;
  const zip = await zipModule();
  const writer = new zip.ZipWriter(new zip.BlobWriter("application/zip"));
  if (files.model)
    await writer.add("szablon.3ds", new zip.Uint8ArrayReader(files.model.bytes));
  if (files.texture)
    await writer.add("szablon.bmp", new zip.Uint8ArrayReader(files.texture.bytes));
  const blob = await writer.close();
  // In the model's own case: a name the visitor knows.
  download(blob, stem(files.model ? fileName(files.model.path) : "model_viewer") + ".zip");
});

function download(blob, name) {
  const link = document.createElement("a");
  link.href = URL.createObjectURL(blob);
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(function() { URL.revokeObjectURL(link.href); }, 60000);
}

// The frame shown, at the canvas's own pixels, named after the model.
saveButton.addEventListener("click", function() {
  const canvas = frame.contentDocument && frame.contentDocument.getElementById("canvas");
  if (!canvas)
    return;
  canvas.toBlob(function(blob) {
    if (blob)
      download(blob, stem(model ? baseName(model.path) : "model_viewer") + ".png");
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
      "model (.3ds) and its texture (" + ENDINGS + "), a folder or an archive (" +
      ARCHIVE_NAMES + "), to see them instead.");
});
