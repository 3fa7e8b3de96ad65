// The viewer page's and spheres_add.html's first frames against a bare
// WebGL page's: each loaded in a fresh browser context (nothing cached),
// the three in turns, from navigation to the moment the page says it is
// stopped at its first frame (?frames=1). Prints a ratio line for each page
// as the other benchmarks do. With --against, the same two pages of another
// build's site (say, the commit before a change) take their turns too, and
// a line gives each page's time against that site's.
//   node bench/web/first_frame.mjs --site=DIR [--against=DIR] [--count=N] [--tsv=FILE]
import fs from "node:fs";
import path from "node:path";
import { fileURLToPath } from "node:url";

import { launch, serve } from "../../tests/system/web/lib.mjs";

const here = path.dirname(fileURLToPath(import.meta.url));
const options = Object.fromEntries(process.argv.slice(2).map((arg) => {
  const match = /^--([a-z]+)=(.*)$/.exec(arg);
  if (!match) {
    console.error("usage: first_frame.mjs --site=DIR [--against=DIR] [--count=N] [--tsv=FILE]");
    process.exit(2);
  }
  return [match[1], match[2]];
}));
const count = Math.max(9, Number(options.count ?? 15));
// The demo's files, which the page fetches before the program can run.
const demoBytes = ["szablon.3ds", "szablon.bmp"]
  .map((name) => path.join(options.site, "demo", name))
  .reduce((sum, file) => sum + (fs.existsSync(file) ? fs.statSync(file).size : 0), 0);
const DEADLINE_MS = 60_000;

// When the root element first says "stopped", by the page's own clock,
// which starts at navigation.
// Installed before the page's root element exists: it watches the document.
function stamp() {
  new MutationObserver(() => {
    if (document.documentElement?.dataset.state === "stopped" && window.firstFrameAt === undefined)
      window.firstFrameAt = performance.now();
  }).observe(document, { subtree: true, attributes: true, attributeFilter: ["data-state"] });
}

async function firstFrame(browser, url) {
  const context = await browser.newContext({ viewport: { width: 1280, height: 1000 } });
  try {
    const page = await context.newPage();
    await page.addInitScript(stamp);
    await page.goto(url);
    await page.waitForFunction(() => window.firstFrameAt !== undefined, null, { timeout: DEADLINE_MS });
    return await page.evaluate(() => window.firstFrameAt);
  } finally {
    await context.close();
  }
}

const server = await serve({ "/site/": options.site, "/bench/": here,
                             ...(options.against ? { "/against/": options.against } : {}) });
const browser = await launch();
// Each page against the bare one: the viewer's page with its demo, and the
// additive spheres, a program's page on its own.
const pages = [["demo", `${server.base}/site/model_viewer.html?frames=1`, demoBytes],
               ["spheres_add", `${server.base}/site/spheres_add.html?frames=1`, 0]];
if (options.against)
  pages.push(...pages.map(([name, url, bytes]) => [`${name} against`, url.replace("/site/", "/against/"), bytes]));
const bareUrl = `${server.base}/bench/bare_webgl.html`;
const times = new Map([...pages.map(([name]) => [name, []]), ["bare", []]]);
try {
  // One of each first, unmeasured: the browser's own start-up is no page's.
  for (const [, url] of pages)
    await firstFrame(browser, url);
  await firstFrame(browser, bareUrl);
  for (let i = 0; i < count; ++i) {
    // In turns, each round in another order.
    const round = [...pages.map(([name, url]) => [name, url]), ["bare", bareUrl]];
    for (let k = 0; k < i % round.length; ++k)
      round.push(round.shift());
    for (const [name, url] of round)
      times.get(name).push(await firstFrame(browser, url));
  }
  console.error(`browser: Chromium ${browser.version()}`);
} finally {
  await browser.close();
  server.close();
}

const median = (values) => {
  const v = [...values].sort((a, b) => a - b);
  return v.length % 2 ? v[(v.length - 1) / 2] : (v[v.length / 2 - 1] + v[v.length / 2]) / 2;
};
const ms = (t) => t.toFixed(t >= 100 ? 0 : t >= 10 ? 1 : 2);
const b = median(times.get("bare"));
for (const [name, , bytes] of pages) {
  if (name.endsWith(" against"))
    continue;
  const a = median(times.get(name)), ratio = (a / b).toFixed(2);
  if (options.against) {
    const before = median(times.get(`${name} against`));
    console.log(`ab web_first_frame ${name}: ours ${ms(a)} ms, against ${ms(before)} ms = ` +
      `${(a / before).toFixed(2)} [median of ${count}, in turns]`);
  }
  console.log(`ratio web_first_frame ${name}: ours ${ms(a)} ms, webgl ${ms(b)} ms, ours/webgl = ${ratio} ` +
    `[input ${bytes} bytes, median of ${count}]`);
  if (options.tsv)
    fs.appendFileSync(options.tsv, ["web_first_frame", name, bytes, "webgl", ms(a), ms(b), ratio, "", "", "",
      count, "", "", "", ""].join("\t") + "\n");
}
