// The overlay page of SERVE in Debian's chromium, headless, against the simulated player: what
// it shows, how it follows changes without reloading, and that it asks nothing of anyone else.
// node overlay.test.mjs JARVET SIMPLAYER DATA_DIR ARTIFACT_DIR
import { spawn } from "node:child_process";
import { copyFileSync, existsSync, mkdirSync, mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import assert from "node:assert/strict";
import { createRequire } from "node:module";

const [jarvet, simplayer, data, artifacts] = process.argv.slice(2);
const require = createRequire(process.env.JARVET_BROWSER_MODULES + "/");
const puppeteer = require("puppeteer-core");

const dir = mkdtempSync(join(tmpdir(), "jarvet-browser-"));
const env = { ...process.env, JARVET_WINDOW_DIR: join(dir, "windows"), JARVET_TOKEN: "browser-token" };
mkdirSync(env.JARVET_WINDOW_DIR);
const flac = join(dir, "cover.flac");
copyFileSync(join(data, "flac/vorbis-comment-cover-metaflac.flac"), flac);
const port = 20000 + (process.pid % 20000);
const base = `http://127.0.0.1:${port}`;
const children = [];
const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

function start(program, args) {
  const child = spawn(program, args, { env, stdio: ["ignore", "ignore", "pipe"] });
  child.errors = "";
  child.stderr.on("data", (bytes) => (child.errors += bytes));
  children.push(child);
  return child;
}
async function until(what, test, ms = 10000) {
  const end = Date.now() + ms;
  while (Date.now() < end) {
    if (await test()) return;
    await sleep(50);
  }
  throw new Error("timed out waiting for " + what);
}
async function control(action) {
  const answer = await fetch(`${base}/control/${action}`, {
    method: "POST", headers: { Authorization: "Bearer browser-token" } });
  assert.equal(answer.status, 204, action);
}

let browser;
try {
  start(simplayer, ["--dir", dir, "--entry", `${flac}|200`, "--entry",
                    `${join(dir, "second.mp3")}|180|Second Song`, "--status", "playing",
                    "--time", "20000", "--clock"]);
  await until("the player", () => existsSync(join(env.JARVET_WINDOW_DIR, "Winamp v1.x")));
  const server = start(jarvet, [dir, "SERVE", String(port)]);
  await until("the start line", () => server.errors.includes("serving"));

  const profile = mkdtempSync(join(tmpdir(), "jarvet-chromium-"));
  browser = await puppeteer.launch({
    executablePath: "/usr/bin/chromium",
    headless: true,
    args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
           "--disable-background-networking", "--disable-component-update", "--disable-sync",
           `--user-data-dir=${profile}`],
  });
  const page = await browser.newPage();
  await page.setViewport({ width: 900, height: 200 });
  const asked = [];
  page.on("request", (request) => asked.push(request.url()));
  const template = encodeURIComponent("{title}[ by {artist}]");
  await page.goto(`${base}/?template=${template}&color=rgb(255,200,0)&size=30`);
  await page.evaluate(() => (window.loadedOnce = true));

  const text = () => page.$eval("#text", (e) => e.textContent);
  const shown = () => page.$eval("#card", (e) => getComputedStyle(e).opacity === "1");
  const progress = () => page.$eval("#fill", (e) => parseFloat(e.style.width));
  await until("the title", async () => (await text()) === "Café au lait by Sól og Rós");
  await until("the card", shown);
  assert.equal(await page.$eval("#album", (e) => e.textContent), "Ágæt plata");
  assert.equal(await page.$eval("body", (e) => getComputedStyle(e).color), "rgb(255, 200, 0)");
  assert.equal(await page.$eval("body", (e) => getComputedStyle(e).fontSize), "30px");
  assert.equal(await page.$eval("html", (e) => getComputedStyle(e).backgroundColor), "rgba(0, 0, 0, 0)");
  await until("the cover", () => page.$eval("#cover", (e) => e.complete && e.naturalWidth > 1));

  // Playing, the bar moves on between events; paused, it stands still.
  const first = await progress();
  await sleep(1000);
  const later = await progress();
  assert.ok(later > first, `the bar moves while playing: ${first} then ${later}`);
  mkdirSync(artifacts, { recursive: true });
  await page.screenshot({ path: join(artifacts, "overlay.png"), omitBackground: true });

  await control("pause");
  await sleep(600);
  const paused = await progress();
  await sleep(1000);
  assert.equal(await progress(), paused, "the bar stands still while paused");

  await control("next");
  await until("the next title", async () => (await text()) === "Second Song");
  assert.equal(await page.evaluate(() => window.loadedOnce), true, "no reload");

  await control("stop");
  await until("the card to fade out", async () =>
    page.$eval("#card", (e) => getComputedStyle(e).opacity === "0"));
  await control("play");
  await until("the card again", shown);

  const foreign = asked.filter((url) => !url.startsWith(base + "/"));
  assert.deepEqual(foreign, [], "every request goes to the server itself");
  console.log(`overlay in chromium: ok (${asked.length} requests, screenshot in ${artifacts})`);
} catch (error) {
  console.error(error);
  process.exitCode = 1;
} finally {
  if (browser) await browser.close();
  for (const child of children) child.kill("SIGTERM");
  await sleep(300);
  rmSync(dir, { recursive: true, force: true });
}
