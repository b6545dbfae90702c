// What the browser tests share: the program started on a temporary device root
// with the web front end on a free port, Debian's chromium driven headless by
// playwright-core, and screenshots kept in the build tree.
//
// The build tells where things are (ctest sets these):
//   CORDAVEX_PROGRAM      the Cordavex program
//   CORDAVEX_TOOL         the cordavex command-line tool (registry checks)
//   CORDAVEX_SCREENSHOTS  the folder for screenshots
//   CORDAVEX_CHROMIUM     the browser (default /usr/bin/chromium)
import { spawn, execFile } from 'node:child_process';
import { mkdtempSync, mkdirSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { promisify } from 'node:util';
import { chromium } from 'playwright-core';

const program = process.env.CORDAVEX_PROGRAM;
const tool = process.env.CORDAVEX_TOOL;
const screenshots = process.env.CORDAVEX_SCREENSHOTS || join(tmpdir(), 'cordavex-web-screenshots');
if (!program || !tool) throw new Error('CORDAVEX_PROGRAM and CORDAVEX_TOOL must name the built programs (ctest sets them)');

export const kAddressLine = /^Cordavex: (http:\/\/127\.0\.0\.1:(\d+)\/)$/m;

// Starts the program; resolves once it printed its address.
export async function startPhone({ profile, args = [] } = {}) {
  const root = mkdtempSync(join(tmpdir(), 'cordavex-web-'));
  if (profile) writeFileSync(join(root, 'device.json'), JSON.stringify(profile));
  const child = spawn(program,
    ['--device-root', root, '--camera', 'none', '--no-browser', '--port', '0', ...args],
    { stdio: ['ignore', 'pipe', 'pipe'] });
  let out = '';
  let err = '';
  child.stderr.on('data', (data) => { err += data; });
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));
  const url = await new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error(`no address in 20 s; stderr: ${err}`)), 20000);
    child.stdout.on('data', (data) => {
      out += data;
      const found = kAddressLine.exec(out);
      if (found) {
        clearTimeout(timer);
        resolve(found[1]);
      }
    });
    exited.then(({ code }) => reject(new Error(`Cordavex ended (${code}) before its address; stderr: ${err}`)));
  });
  return {
    url, root, child, exited,
    stdout: () => out,
    stderr: () => err,
    alive: () => child.exitCode === null && child.signalCode === null,
    // SIGTERM closes the program as the system's close would.
    async stop() {
      if (child.exitCode === null && child.signalCode === null) child.kill('SIGTERM');
      const result = await Promise.race([exited, new Promise((r) => setTimeout(() => r(null), 10000))]);
      if (result === null) child.kill('SIGKILL');
      rmSync(root, { recursive: true, force: true });
      return result;
    },
  };
}

export async function launchBrowser(extraArgs = []) {
  return chromium.launch({
    executablePath: process.env.CORDAVEX_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: extraArgs,
  });
}

// A page on the phone, the main window drawn.
export async function openPhone(browser, phone) {
  const page = await browser.newPage();
  // Bounds for a slow machine (a sanitizer build, a busy CI host), not speed goals.
  page.setDefaultTimeout(30000);
  const problems = [];
  page.on('pageerror', (error) => problems.push(error.message));
  await page.goto(phone.url);
  await page.locator('body[data-window="main"]').waitFor();
  page.problems = problems;
  return page;
}

export async function screenshot(page, name) {
  mkdirSync(screenshots, { recursive: true });
  const path = join(screenshots, `${name}.png`);
  await page.locator('#phone').screenshot({ path });
  return path;
}

// The snapshot the page drew last.
export const snapshotOf = (page) => page.evaluate(() => window.cordavex.snapshot);

export async function waitForSnapshot(page, predicate, what) {
  try {
    await page.waitForFunction(predicate, null, { timeout: 30000 });
  } catch (error) {
    throw new Error(`${what}: ${error.message}\nlast snapshot: ${JSON.stringify(await snapshotOf(page))}`);
  }
}

export async function registryValue(root, key, value) {
  const { stdout } = await promisify(execFile)(tool, ['reg', '--device-root', root, 'get', key, value]);
  return stdout.trim();
}
