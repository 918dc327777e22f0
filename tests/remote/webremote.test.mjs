// The web remote in a real browser: Debian's chromium, headless, driven by puppeteer-core, against
// the real build/tavix (under the private Xvfb of with-xvfb.sh).
import assert from "node:assert/strict";
import { after, before, test } from "node:test";
import { Tavix, clock, launchBrowser, phonePage, sleep, waitFor } from "./tavixprocess.mjs";

let tavix;
let browser;
let page;

const seconds = (text) => {
  const parts = text.replace("-", "").split(":").map(Number);
  return parts.reduce((total, part) => total * 60 + part, 0);
};

async function card(name) {
  return page.evaluateHandle((name) =>
    [...document.querySelectorAll(".clock")].find((c) => c.querySelector(".name").textContent === name), name);
}

async function shown(name) {
  return page.evaluate((name) => {
    const c = [...document.querySelectorAll(".clock")].find((c) => c.querySelector(".name").textContent === name);
    if (!c) return null;
    const start = c.querySelector("button.primary");
    return { text: c.querySelector(".digits").textContent, start: start && start.textContent };
  }, name);
}

before(async () => {
  tavix = await Tavix.create([clock("Show", "countdown"), clock("Wall", "clock")]);
  await tavix.start();
  browser = await launchBrowser();
  page = await phonePage(browser);
  await page.goto(tavix.url);
});

after(async () => {
  if (browser) await browser.close();
  if (tavix) await tavix.stop();
});

test("tapping Start runs the countdown and the page follows it", async () => {
  await waitFor(async () => (await shown("Show"))?.text === "5:00", "the countdown on the page");
  const show = await card("Show");
  await (await show.$("button.primary")).tap();
  await waitFor(async () => (await shown("Show")).start === "Pause", "the button to read Pause");
  await waitFor(async () => seconds((await shown("Show")).text) < 300, "the countdown to count");
  const [state] = (await tavix.clocks()).filter((c) => c.name === "Show");
  assert.equal(state.isRunning, true, "the tap changed the clock in Tavix");
});

test("a change made over OSC appears on the page", async () => {
  await tavix.oscsend("/tavix/clock/Show/nudge", "f", "120");
  await waitFor(async () => seconds((await shown("Show")).text) > 400, "the nudge on the page");
});

test("Reset needs a press and hold, not a tap", async () => {
  const reset = await (await card("Show")).$("button.reset");
  await reset.tap();
  await sleep(1500);
  assert.equal((await shown("Show")).start, "Pause", "a tap leaves the countdown running");
  const box = await reset.boundingBox();
  await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
  await page.mouse.down();
  await sleep(1300);
  await page.mouse.up();
  await waitFor(async () => {
    const s = await shown("Show");
    return s.text === "5:00" && s.start === "Start";
  }, "the reset");
});

test("the page reconnects by itself after Tavix restarts", async () => {
  await tavix.stop();
  await waitFor(() => page.$eval("#link", (e) => e.textContent === "Reconnecting…"), "the page to notice");
  await tavix.start();
  await waitFor(() => page.$eval("#link", (e) => e.textContent === "Live"), "the page to reconnect");
  await tavix.api("POST", "api/v1/clocks/Show/toggle");
  await waitFor(async () => (await shown("Show")).start === "Pause", "a change after the restart");
});
