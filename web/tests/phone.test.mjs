// The phone in the browser: what a person sees and does on the page reaches
// the program and comes back on the screen.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import {
  launchBrowser, openPhone, registryValue, screenshot, snapshotOf, startPhone, waitForSnapshot,
} from './harness.mjs';

let browser;
before(async () => { browser = await launchBrowser(); });
after(async () => { await browser?.close(); });

describe('the page', () => {
  let phone;
  before(async () => { phone = await startPhone(); });
  after(async () => { await phone.stop(); });

  test('loads and shows the main window with its frames and softkeys', async () => {
    const page = await openPhone(browser, phone);
    await page.waitForFunction(() => window.cordavex.framesShown > 0);
    const size = await page.locator('#frame').evaluate((c) => [c.width, c.height]);
    assert.deepEqual(size, [240, 320]);
    // The stock text is Traditional Chinese.
    assert.equal(await page.locator('#softleft .label').textContent(), '離開');
    assert.equal(await page.locator('#softright .label').textContent(), '功能表');
    await screenshot(page, 'main');
    assert.deepEqual(page.problems, []);
    await page.close();
  });

  test('the right softkey opens the menu and 設定 opens the settings screen', async () => {
    const page = await openPhone(browser, phone);
    await page.locator('#softright').click();
    await page.locator('#menu').waitFor();
    await screenshot(page, 'menu');
    await page.locator('#menu li', { hasText: '設定' }).click();
    await page.locator('body[data-window="settings"]').waitFor();
    await page.locator('#window .control', { hasText: '解碼聲音' }).waitFor();
    await screenshot(page, 'settings');
    await page.locator('#softright').click();  // cancel: back to the main window
    await page.locator('body[data-window="main"]').waitFor();
    await page.close();
  });

  test('toggling 解碼聲音 and OK changes the registry', async () => {
    const page = await openPhone(browser, phone);
    const before = await registryValue(phone.root, 'HKCU\\Software\\Cordavex', 'Decode_Sound');
    await page.locator('#softright').click();
    await page.locator('#menu li', { hasText: '設定' }).click();
    const box = page.locator('#window .control', { hasText: '解碼聲音' });
    const checked = await box.getAttribute('aria-checked');
    await box.click();
    await page.locator(`#window .control[aria-checked="${checked === 'true' ? 'false' : 'true'}"]`,
      { hasText: '解碼聲音' }).waitFor();
    await screenshot(page, 'settings-toggled');
    await page.locator('#softleft').click();  // OK
    await page.locator('body[data-window="main"]').waitFor();
    const afterOk = await registryValue(phone.root, 'HKCU\\Software\\Cordavex', 'Decode_Sound');
    assert.equal(before, checked === 'true' ? '1' : '0');
    assert.equal(afterOk, checked === 'true' ? '0' : '1');
    await page.close();
  });

  test('About shows its screen and its softkey closes it', async () => {
    const page = await openPhone(browser, phone);
    await page.locator('#softright').click();
    await page.locator('#menu li', { hasText: '關於' }).click();
    await page.locator('body[data-window="about"]').waitFor();
    assert.match(await page.locator('#window').textContent(), /Cordavex/);
    await screenshot(page, 'about');
    await page.locator('#softleft').click();
    await page.locator('body[data-window="main"]').waitFor();
    await page.close();
  });

  test('a message box is answered by a click', async () => {
    const page = await openPhone(browser, phone);
    await page.locator('#softright').click();
    // The history list is not built yet: it says so in a message box.
    await page.locator('#menu li', { hasText: '瀏覽紀錄' }).click();
    await page.locator('#message').waitFor();
    assert.equal((await snapshotOf(page)).window, 'message-box');
    assert.match(await page.locator('#message .text').textContent(), /瀏覽紀錄/);
    await screenshot(page, 'message-box');
    await page.locator('#message button[data-answer="ok"]').click();
    await page.locator('body[data-window="main"]').waitFor();
    assert.equal(await page.locator('#message').isHidden(), true);
    await page.close();
  });

  test('keys typed on the keyboard reach the program', async () => {
    const page = await openPhone(browser, phone);
    await page.keyboard.press('F2');  // the right softkey
    await waitForSnapshot(page, () => window.cordavex.snapshot.menuOpen === true, 'F2 opens the menu');
    const first = (await snapshotOf(page)).menuSelected;
    await page.keyboard.press('ArrowDown');
    await waitForSnapshot(page, `window.cordavex.snapshot.menuSelected !== ${first}`, 'ArrowDown moves in the menu');
    await screenshot(page, 'menu-keyboard');
    await page.keyboard.press('Escape');  // back
    await waitForSnapshot(page, () => window.cordavex.snapshot.menuOpen === false, 'Escape closes the menu');
    await page.close();
  });
});

describe('several pages and a closed tab', () => {
  let phone;
  before(async () => { phone = await startPhone(); });
  after(async () => { await phone.stop(); });

  test('two tabs show the same phone, and closing one leaves the program running', async () => {
    const context = await browser.newContext();
    const first = await openPhone(context, phone);
    const second = await openPhone(context, phone);
    await first.keyboard.press('F2');
    for (const page of [first, second]) {
      await waitForSnapshot(page, () => window.cordavex.snapshot.menuOpen === true, 'both tabs show the menu');
      await page.locator('#menu').waitFor();
    }
    await first.close();
    await second.keyboard.press('Escape');
    await waitForSnapshot(second, () => window.cordavex.snapshot.menuOpen === false, 'the other tab still drives it');
    assert.equal(phone.alive(), true);
    await context.close();
    // A new page after every tab closed finds the phone as it was.
    const again = await openPhone(browser, phone);
    assert.equal((await snapshotOf(again)).window, 'main');
    await again.close();
    assert.equal(phone.alive(), true);
  });

  test('bad requests get a clear error and never end the program', async () => {
    const cases = [
      { body: 'not json', type: 'application/json', status: 400 },
      { body: '{"key":"up","command":1}', type: 'application/json', status: 400 },
      { body: '{"command":4242}', type: 'application/json', status: 400 },
      { body: '{"key":"up"}', type: 'text/plain', status: 415 },
      { body: `{"key":"${'x'.repeat(10000)}"}`, type: 'application/json', status: 413 },
      { body: Buffer.alloc(20 << 20, 0x7b), type: 'application/json', status: 413 },
    ];
    for (const c of cases) {
      const response = await fetch(`${phone.url}input`, {
        method: 'POST', headers: { 'Content-Type': c.type }, body: c.body,
      }).catch((error) => ({ status: 413, json: async () => ({ error: `closed early: ${error.message}` }) }));
      assert.equal(response.status, c.status, `${String(c.body).slice(0, 40)} as ${c.type}`);
      const answer = await response.json();
      assert.equal(typeof answer.error, 'string');
      assert.ok(answer.error.length > 0);
    }
    const camera = await fetch(`${phone.url}camera?width=2&height=2&format=rgba`, {
      method: 'POST', headers: { 'Content-Type': 'application/octet-stream' }, body: Buffer.alloc(3),
    });
    assert.equal(camera.status, 400);
    const still = await fetch(`${phone.url}snapshot`);
    assert.equal(still.status, 200);
    assert.equal((await still.json()).window, 'main');
    assert.equal(phone.alive(), true);
  });

  test('the program ends cleanly on SIGTERM and reports its address once', async () => {
    const lines = phone.stdout().split('\n').filter((line) => line.startsWith('Cordavex: '));
    assert.equal(lines.length, 1);
    const result = await phone.stop();
    assert.deepEqual(result, { code: 0, signal: null }, phone.stderr());
  });
});

describe('the larger screen', () => {
  test('a 480×640 device profile draws a 480×640 screen', async () => {
    const phone = await startPhone({ profile: { screen: { width: 480, height: 640 } } });
    try {
      const page = await openPhone(browser, phone);
      await page.waitForFunction(() => window.cordavex.framesShown > 0);
      assert.deepEqual(await page.locator('#frame').evaluate((c) => [c.width, c.height]), [480, 640]);
      assert.equal(await page.evaluate(() => document.body.dataset.screen), '480x640');
      await screenshot(page, 'main-480x640');
      await page.close();
    } finally {
      await phone.stop();
    }
  });
});
