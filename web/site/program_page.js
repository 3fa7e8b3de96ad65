// The script of a program's page (shell.html), run before the program's
// own: a classic script, not a module, as Emscripten's runtime takes the
// global Module set up here. A program runs on its own page, or as one run
// inside the viewer's page, which hands it the files it opens and takes its
// output. On its own, standard output goes to the browser's console and
// standard error to its warnings, with the runtime's messages.
var inViewer = /model_viewer_program\.html$/.test(location.pathname);
var leaving = inViewer && !window.frameElement;
if (leaving)
  location.replace("model_viewer.html" + location.search);
// The program's script and WebAssembly are fetched from here on, and the
// WebAssembly compiled, while the page makes its WebGL context below:
// browsers otherwise ask for an async script only once the page's own have
// run, and for the WebAssembly once that script runs. Emscripten names both
// after the page; should the runtime name another WebAssembly (programWasm,
// from locateFile), that one is fetched instead.
var programName = location.pathname.replace(/^.*\//, "").replace(/\.html$/, "");
var earlyWasm = programName + ".wasm";
var earlyModule = null;
if (!leaving) {
  var preload = document.createElement("link");
  preload.rel = "preload";
  preload.as = "script";
  preload.href = programName + ".js";
  preload.fetchPriority = "high";
  document.head.append(preload);
  earlyModule = WebAssembly.compileStreaming(fetch(earlyWasm, {credentials: "same-origin"}));
}
var programWasm = null;
if (earlyModule)
  earlyModule.catch(function() {});  // a failure is the runtime's to report
// The run the viewer's page hands over: {files, out, err, state, exited,
// aborted, drag}. The page may make this frame, and hand it over first, or
// come with it, and hand it over once its own script runs.
var viewerRun = null;
var viewerRunGiven = inViewer && window.frameElement && new Promise(function(resolve) {
  var frame = window.frameElement;
  if (frame.szablonRun)
    resolve(frame.szablonRun);
  else
    frame.szablonTake = resolve;
}).then(function(run) {
  viewerRun = run;
  return run;
});
function toViewer(f) {
  if (viewerRunGiven)
    viewerRunGiven.then(f);
}
var releasing = false;
// A program on its own page says which it is, with the way back; in the
// viewer's page the page around it does.
var header = document.getElementById("page-header");
if (inViewer) {
  header.hidden = true;
  // The canvas fills the viewer's frame: nothing to scroll.
  document.documentElement.style.overflow = "hidden";
} else {
  document.getElementById("title").textContent = programName;
  document.title = "Szablon: " + programName;
}
function prepareCanvas(canvas) {
  // The viewer's page saves the frame shown as a picture: the drawing buffer
  // must still hold it after the browser has shown it.
  var getContext = canvas.getContext;
  canvas.getContext = function(type, attributes) {
    return getContext.call(canvas, type,
                           Object.assign({}, attributes, {preserveDrawingBuffer: true}));
  };
  // The canvas is the program's, as the window is on the desktop: no menu.
  canvas.addEventListener("contextmenu", function(event) {
    event.preventDefault();
  });
  // The desktop program would simply stop drawing; say why on the console.
  canvas.addEventListener("webglcontextlost", function(event) {
    if (!releasing)
      console.error("WebGL context lost");
    event.preventDefault();
  });
}
prepareCanvas(document.getElementById("canvas"));
// A run's standard output and error, byte for byte, a line at a time; the
// runtime's own messages stay on the console.
function lines(take) {
  var bytes = [], utf8 = new TextDecoder();
  return function(byte) {
    if (byte === 10) {
      take(utf8.decode(new Uint8Array(bytes)));
      bytes = [];
    } else if (byte !== null) {
      bytes.push(byte);
    }
  };
}
var Module = {
  canvas: document.getElementById("canvas"),
  print: function(text) { console.log(text); },
  printErr: function(text) { console.warn(text); },
  // The program prints in main, which waits for the run.
  stdout: inViewer ? lines(function(line) { viewerRun.out(line); }) : undefined,
  stderr: inViewer ? lines(function(line) { viewerRun.err(line); }) : undefined,
  preRun: [function() {
    // The program opens them in its working directory, as on the desktop;
    // its main waits until they have arrived.
    if (!viewerRunGiven)
      return;
    addRunDependency("szablon files");
    viewerRunGiven.then(function(run) { return run.files; }).then(function(files) {
      if (files.model)
        FS.writeFile("szablon.3ds", files.model.bytes);
      if (files.texture)
        FS.writeFile("szablon.bmp", files.texture.bytes);
      removeRunDependency("szablon files");
    }).catch(function(e) {
      // The program never starts without its files (its memory could not
      // hold them): the run ends here, and says why, not "running" for ever.
      document.documentElement.dataset.state = "aborted";
      toViewer(function(run) {
        run.aborted("its files could not be handed to it (" + (e && e.message || e) + ")");
      });
    });
  }],
  onExit: function(status) {
    var ended = document.getElementById("ended");
    ended.textContent = "The program has ended (exit status " + status + ").";
    ended.style.display = "block";
    Module.canvas.style.display = "none";
    document.documentElement.dataset.state = "exited";
    document.documentElement.dataset.exitStatus = status;
    toViewer(function(run) { run.exited(status); });
  },
  locateFile: function(path, prefix) {
    if (/\.wasm$/.test(path))
      programWasm = prefix + path;
    return prefix + path;
  },
  instantiateWasm: function(imports, receive) {
    var early = earlyModule && (!programWasm ||
        new URL(programWasm, location.href).href === new URL(earlyWasm, location.href).href);
    var module = early ? earlyModule :
        WebAssembly.compileStreaming(fetch(programWasm, {credentials: "same-origin"}));
    module.then(function(compiled) {
      return WebAssembly.instantiate(compiled, imports).then(function(instance) {
        receive(instance, compiled);
      });
    }).catch(function(reason) {
      console.error("the program's WebAssembly could not be loaded: " + reason);
      Module.onAbort(String(reason));
    });
    return {};
  },
  onAbort: function(what) {
    document.documentElement.dataset.state = "aborted";
    toViewer(function(run) { run.aborted(String(what)); });
  },
};
// The page watching this one reads the state the program's frames leave
// on the root element, and takes the files dropped on the program.
toViewer(function(run) {
  new MutationObserver(function() { run.state(document.documentElement.dataset); })
      .observe(document.documentElement, {attributes: true});
  ["dragenter", "dragover", "dragleave", "drop"].forEach(function(type) {
    addEventListener(type, function(event) { run.drag(type, event); });
  });
});
// The viewer's page lets a run's GL context go before it starts the next:
// browsers keep only a few. A run that ended before GLUT made its window
// still holds the one the page made for it.
window.szablonRelease = function() {
  releasing = true;
  var context = Module.ctx || Module.earlyContext;
  var lose = context && context.getExtension("WEBGL_lose_context");
  if (lose)
    lose.loseContext();
};
// The window nearly every GLUT program asks for (GLUT_RGB | GLUT_DOUBLE |
// GLUT_DEPTH, or GLUT's default) takes a WebGL context with these. Made
// now, the browser sets it up while the program still downloads, and GLUT
// finds it made. A program asking for another kind of window gets a fresh
// canvas (the GL layer's glutInitDisplayMode calls freshCanvas), on which
// GLUT makes the context asked for.
if (!leaving)
  Module.earlyContext = Module.canvas.getContext("webgl2",
      {alpha: false, depth: true, stencil: false, antialias: false});
Module.freshCanvas = function() {
  var fresh = Module.canvas.cloneNode(false);
  prepareCanvas(fresh);
  Module.canvas.replaceWith(fresh);
  Module.canvas = fresh;
  Module.earlyContext = null;
};
