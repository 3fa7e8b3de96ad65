// Loads the frame bench page (frame_bench.html) in Debian's headless
// Chromium from a local HTTP server, waits for the page to say it is done,
// and prints the ratio line of the comparison, as bench/compare.cpp does for
// the desktop's; the browser and its WebGL renderer go to stderr.
//   node bench/web/frame_bench.mjs --site=DIR --model=FILE [--label=NAME] [--count=N] [--tsv=FILE]
import fs from "node:fs";
import http from "node:http";
import path from "node:path";
import { createRequire } from "node:module";
import { fileURLToPath } from "node:url";

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), "../..");
// The browser driver pinned for the web checks (npm ci in tests/system/web).
const { chromium } = createRequire(path.join(root, "tests/system/web/package.json"))("playwright-core");

const FLAGS = ["--headless=new", "--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
  "--no-first-run", "--disable-background-networking", "--disable-component-update", "--disable-sync",
  "--disable-gpu-sandbox"];
// Loading, a warm-up and 2 x count frames of tens of milliseconds each.
const DEADLINE_MS = 600_000;
const TYPES = { ".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm",
  ".data": "application/octet-stream" };

const options = Object.fromEntries(process.argv.slice(2).map((arg) => {
  const match = /^--([a-z]+)=(.*)$/.exec(arg);
  if (!match) {
    console.error("usage: frame_bench.mjs --site=DIR --model=FILE [--label=NAME] [--count=N] [--tsv=FILE]");
    process.exit(2);
  }
  return [match[1], match[2]];
}));
const site = path.resolve(options.site);
const label = options.label ?? "capacity";
const count = Number(options.count ?? 300);
const inputBytes = fs.statSync(options.model).size;

const server = http.createServer((request, response) => {
  const file = path.join(site, decodeURIComponent(new URL(request.url, "http://x").pathname));
  if (!file.startsWith(site + path.sep) || !fs.existsSync(file)) {
    response.writeHead(404).end();
    return;
  }
  response.writeHead(200, { "Content-Type": TYPES[path.extname(file)] ?? "application/octet-stream" });
  fs.createReadStream(file).pipe(response);
});
await new Promise((resolve) => server.listen(0, "127.0.0.1", resolve));

// Playwright gives the browser a fresh profile folder of its own.
const browser = await chromium.launch({ executablePath: "/usr/bin/chromium", headless: false, args: FLAGS });
let result, failure;
try {
  const page = await browser.newPage();
  page.on("console", (message) => {
    if (message.type() == "error" || message.type() == "warning")
      console.error(`page ${message.type()}: ${message.text()}`);
  });
  page.on("pageerror", (error) => { failure = `exception in the page: ${error.message}`; });
  await page.goto(`http://127.0.0.1:${server.address().port}/frame_bench.html?count=${count}`);
  await page.waitForFunction(() => ["done", "failed"].includes(document.documentElement.dataset.state),
    null, { timeout: DEADLINE_MS, polling: 1000 });
  const state = await page.evaluate(() => ({ ...document.documentElement.dataset, result: window.benchResult }));
  if (state.state == "failed")
    failure = state.reason;
  result = state.result;
  console.error(`browser: Chromium ${browser.version()}; WebGL renderer: ${result?.renderer}`);
} finally {
  await browser.close();
  server.close();
}
if (failure || !result) {
  console.error(`the frame bench page failed: ${failure}`);
  process.exit(1);
}

const median = (values) => {
  const v = [...values].sort((a, b) => a - b);
  return v.length % 2 ? v[(v.length - 1) / 2] : (v[v.length / 2 - 1] + v[v.length / 2]) / 2;
};
// Three significant figures, as the desktop comparisons print them.
const ms = (t) => t.toFixed(t >= 100 ? 0 : t >= 10 ? 1 : t >= 1 ? 2 : 3);
const ours = median(result.viewer), limit = median(result.webgl);
const frames = Math.min(result.viewer.length, result.webgl.length);
const ratio = (ours / limit).toFixed(2);
const fps = (t) => (1000 / t).toFixed(1);
console.error(`one frame of each at 45 degrees: ${result.check.lit} of ${result.check.pixels} pixels lit, ` +
  `${result.check.off} off by more than 8/255`);
console.log(`ratio web_frame ${label}: ours ${ms(ours)} ms, webgl ${ms(limit)} ms, ours/webgl = ${ratio} ` +
  `(ours ${fps(ours)} fps, webgl ${fps(limit)} fps) [input ${inputBytes} bytes, median of ${frames}]`);
if (options.tsv)
  fs.appendFileSync(options.tsv, ["web_frame", label, inputBytes, "webgl", ms(ours), ms(limit), ratio, "fps",
    fps(ours), fps(limit), frames, "", "", "", ""].join("\t") + "\n");
