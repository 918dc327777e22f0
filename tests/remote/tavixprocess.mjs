// Runs the real build/tavix for the browser tests and the web remote screenshot: a fresh state
// folder with the given clocks and its own free ports, and Debian's chromium through puppeteer-core.
import { spawn } from "node:child_process";
import { randomUUID } from "node:crypto";
import dgram from "node:dgram";
import fs from "node:fs";
import net from "node:net";
import os from "node:os";
import path from "node:path";
import puppeteer from "puppeteer-core";

export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

/** Polls `check` until it returns something truthy; generous by default for a busy machine. */
export async function waitFor(check, what, timeoutMs = 30000) {
  const deadline = Date.now() + timeoutMs;
  let last;
  while (Date.now() < deadline) {
    try {
      last = await check();
      if (last) return last;
    } catch (e) {
      last = e;
    }
    await sleep(100);
  }
  throw new Error(`timed out waiting for ${what} (last: ${last})`);
}

/** A port free for both TCP and UDP on the loopback address. */
export async function freePort() {
  for (;;) {
    const port = await new Promise((resolve, reject) => {
      const server = net.createServer();
      server.once("error", reject);
      server.listen(0, "127.0.0.1", () => {
        const { port } = server.address();
        server.close(() => resolve(port));
      });
    });
    const free = await new Promise((resolve) => {
      const socket = dgram.createSocket("udp4");
      socket.once("error", () => resolve(false));
      socket.bind(port, "127.0.0.1", () => socket.close(() => resolve(true)));
    });
    if (free) return port;
  }
}

function plistValue(value, indent) {
  const pad = "\t".repeat(indent);
  if (typeof value === "boolean") return `${pad}<${value}/>\n`;
  if (typeof value === "number") {
    return Number.isInteger(value) && !Object.is(value, -0)
      ? `${pad}<integer>${value}</integer>\n`
      : `${pad}<real>${value}</real>\n`;
  }
  if (typeof value === "string") {
    const text = value.replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;");
    return `${pad}<string>${text}</string>\n`;
  }
  if (Array.isArray(value)) {
    return `${pad}<array>\n${value.map((v) => plistValue(v, indent + 1)).join("")}${pad}</array>\n`;
  }
  const entries = Object.entries(value).map(([k, v]) => `${pad}\t<key>${k}</key>\n${plistValue(v, indent + 1)}`);
  return `${pad}<dict>\n${entries.join("")}${pad}</dict>\n`;
}

const rgb = (red, green, blue) => ({ red, green, blue, alpha: 1 });
export const colors = {
  green: rgb(0.2, 0.84, 0.3), black: rgb(0, 0, 0), yellow: rgb(1, 0.8, 0), red: rgb(1, 0.23, 0.19),
  white: rgb(1, 1, 1), navy: rgb(0.05, 0.09, 0.2), cyan: rgb(0.35, 0.85, 1),
};

/** A clock record with every mode's settings; `fields` overrides any of them. */
export function clock(name, mode, fields = {}) {
  return {
    id: randomUUID().toUpperCase(), name, mode,
    foregroundColor: colors.green, backgroundColor: colors.black, outlineColor: colors.green,
    opacity: 1, alwaysOnTop: false, windowOrigin: [60, 60], windowSize: [480, 170], timeZoneOffset: 0,
    countdown: {
      duration: 300, remaining: 300, isRunning: false, warningTime: 60,
      warningForegroundColor: colors.yellow, warningOutlineColor: colors.yellow, flashWhenDone: true,
    },
    stopwatch: { elapsed: 0, isRunning: false },
    timecode: { frameRate: "25", audioChannelIndex: 0 },
    timeUntil: {
      targetHour: 18, targetMinute: 0, targetSecond: 0,
      atTargetForegroundColor: colors.red, atTargetOutlineColor: colors.red, flashAtTarget: true,
    },
    ...fields,
  };
}

/** The application with `clocks`, on its own XDG_DATA_HOME and ports. */
export class Tavix {
  static async create(clocks) {
    const tavix = new Tavix();
    tavix.home = fs.mkdtempSync(path.join(os.tmpdir(), "tavix-remote-"));
    tavix.httpPort = await freePort();
    tavix.oscPort = await freePort();
    const settings = {
      defaultForegroundColor: colors.green, defaultBackgroundColor: colors.black, defaultOutlineColor: colors.green,
      defaultOpacity: 1, defaultAlwaysOnTop: false, defaultCountdownDuration: 1800,
      defaultTimeUntilAtTargetForegroundColor: colors.red, defaultTimeUntilAtTargetOutlineColor: colors.red,
      defaultTimeUntilFlashAtTarget: true, remoteControlEnabled: true, remoteHttpPort: tavix.httpPort,
      remoteOscPort: tavix.oscPort, remoteAllowOtherComputers: false,
    };
    fs.mkdirSync(path.join(tavix.home, "Tavix"));
    fs.writeFileSync(path.join(tavix.home, "Tavix", "tavix.plist"),
      '<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0">\n' +
      plistValue({ clocks, settings }, 0) + "</plist>\n");
    return tavix;
  }

  get url() { return `http://127.0.0.1:${this.httpPort}/`; }

  async start() {
    const binary = process.env.TAVIX_BINARY;
    if (!binary) throw new Error("TAVIX_BINARY is not set");
    this.process = spawn(binary, [], {
      env: { ...process.env, XDG_DATA_HOME: this.home }, stdio: ["ignore", "pipe", "pipe"],
    });
    this.output = "";
    this.process.stdout.on("data", (chunk) => { this.output += chunk; });
    this.exited = new Promise((resolve) => this.process.once("exit", resolve));
    await waitFor(async () => (await fetch(this.url + "api/v1/clocks")).ok, "the HTTP server");
  }

  async stop() {
    if (!this.process || this.process.exitCode !== null) return;
    this.process.kill("SIGTERM");
    await this.exited;
  }

  async clocks() {
    return (await fetch(this.url + "api/v1/clocks")).json();
  }

  async api(method, pathAndQuery, body) {
    const response = await fetch(this.url + pathAndQuery, {
      method, body: body ? JSON.stringify(body) : undefined, headers: { "Content-Type": "application/json" },
    });
    return { status: response.status, body: await response.json() };
  }

  /** liblo's oscsend to this instance. */
  oscsend(...args) {
    return new Promise((resolve, reject) => {
      const child = spawn("oscsend", ["127.0.0.1", String(this.oscPort), ...args], { stdio: "ignore" });
      child.once("error", reject);
      child.once("exit", resolve);
    });
  }
}

/** Headless chromium on a fresh profile, quiet on a machine without a network. */
export async function launchBrowser() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), "tavix-chromium-"));
  return puppeteer.launch({
    executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
    headless: true,
    userDataDir: profile,
    args: [
      "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
      "--disable-background-networking", "--disable-component-update", "--disable-sync",
    ],
  });
}

/** A phone-sized page. */
export async function phonePage(browser) {
  const page = await browser.newPage();
  await page.setViewport({ width: 390, height: 844, deviceScaleFactor: 2, isMobile: true, hasTouch: true });
  return page;
}
