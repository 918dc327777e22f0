// The README's picture of the web remote: the real build/tavix with a few clocks, and the page in
// headless chromium at a phone's size (390 x 844 CSS pixels, 2x).
// Usage (from the repository): TAVIX_BINARY=build/tavix tests/support/with-xvfb.sh \
//            node tools/web-remote/screenshot.mjs docs/images/web-remote.png
import { Tavix, clock, colors, launchBrowser, phonePage, sleep, waitFor } from "../../tests/remote/tavixprocess.mjs";

const output = process.argv[2] || "web-remote.png";
const countdown = (name, remaining, fields = {}) => clock(name, "countdown", {
  countdown: { ...clock(name, "countdown").countdown, duration: 1200, remaining, isRunning: true }, ...fields,
});
const tavix = await Tavix.create([
  countdown("Keynote", 1112.4),
  countdown("Doors", 41.6, { foregroundColor: colors.white, outlineColor: colors.white }),
  clock("Break", "stopwatch", { stopwatch: { elapsed: 754.2, isRunning: true }, foregroundColor: colors.cyan,
    outlineColor: colors.cyan, backgroundColor: colors.navy }),
  clock("Deck A", "timecode", { foregroundColor: colors.white, outlineColor: colors.white }),
  clock("Studio", "clock"),
]);
await tavix.start();
const browser = await launchBrowser();
try {
  const page = await phonePage(browser);
  await page.goto(tavix.url);
  await waitFor(() => page.$eval("#link", (e) => e.textContent === "Live"), "the page");
  await tavix.api("POST", "api/v1/clocks/Deck%20A/hold");
  await sleep(1500);
  await page.screenshot({ path: output });
  console.log(`wrote ${output}`);
} finally {
  await browser.close();
  await tavix.stop();
}
