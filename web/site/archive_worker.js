// The worker that reads .7z, .rar and .tar archives for the viewer's page:
// libarchive.js's own, off the page's thread. Its reader prints each
// failure on the console as an error; the page says every one in a line
// of its own, so here they go to the console's verbose level, which a
// visitor's console hides and no check counts. A failure the library does not
// hand back (its promise rejected inside the worker) is raised as the
// worker's error, which the page hears, instead of leaving it waiting.
// (Imported, not loaded later: the page's first message must find the
// library listening.)
import "./libarchive/worker-bundle.js";

console.error = console.debug.bind(console);
addEventListener("unhandledrejection", function(event) {
  const reason = event.reason;
  setTimeout(function() { throw reason instanceof Error ? reason : new Error(String(reason)); });
});
