// The page as the phone's camera: chromium's fake webcam plays a QR code, the
// page posts its pictures to the program (`--camera browser`), and the
// program decodes it.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFile } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { promisify } from 'node:util';
import { launchBrowser, screenshot, startPhone } from './harness.mjs';

const kWidth = 320;
const kHeight = 240;

// A one-frame YUV4MPEG2 clip (4:2:0, mid-grey chroma) of a binary PGM picture
// centred on white, as chromium's --use-file-for-fake-video-capture plays it.
function y4mOf(pgm) {
  const header = /^P5\s+(\d+)\s+(\d+)\s+(\d+)\s/.exec(pgm.toString('latin1', 0, 64));
  assert.ok(header, 'a binary PGM');
  const [whole, width, height] = [header[0], Number(header[1]), Number(header[2])];
  assert.ok(width <= kWidth && height <= kHeight, `the symbol (${width}x${height}) fits the frame`);
  const luma = Buffer.alloc(kWidth * kHeight, 255);
  const left = (kWidth - width) >> 1;
  const top = (kHeight - height) >> 1;
  for (let y = 0; y < height; y++) {
    pgm.copy(luma, (top + y) * kWidth + left, whole.length + y * width, whole.length + (y + 1) * width);
  }
  const chroma = Buffer.alloc((kWidth / 2) * (kHeight / 2) * 2, 128);
  return Buffer.concat([
    Buffer.from(`YUV4MPEG2 W${kWidth} H${kHeight} F15:1 Ip A1:1 C420jpeg\n`), Buffer.from('FRAME\n'), luma, chroma,
  ]);
}

const folder = mkdtempSync(join(tmpdir(), 'cordavex-webcam-'));
after(() => rmSync(folder, { recursive: true, force: true }));

test('a QR code shown to the webcam decodes through the browser source', async () => {
    const pgm = join(folder, 'symbol.pgm');
    await promisify(execFile)(process.env.CORDAVEX_TOOL,
      ['generate', 'qr', '--scale', '4', 'https://cordavex.example/webcam', '-o', pgm]);
    const clip = join(folder, 'webcam.y4m');
    writeFileSync(clip, y4mOf(readFileSync(pgm)));

    const browser = await launchBrowser([
      '--use-fake-ui-for-media-stream', '--use-fake-device-for-media-stream',
      `--use-file-for-fake-video-capture=${clip}`,
    ]);
    const phone = await startPhone({ args: ['--camera', 'browser'] });
    try {
      // Not openPhone: the page is the camera, and its first pictures may be
      // read before the main window was ever drawn.
      const page = await browser.newPage();
      page.setDefaultTimeout(60000);
      await page.goto(phone.url);
      await page.waitForFunction(() => window.cordavex.webcamFrames > 3, null, { timeout: 60000 });
      // The result screen's stand-in: a message box with the decoded text.
      await page.locator('body[data-window="message-box"]').waitFor({ timeout: 60000 });
      assert.match(await page.locator('#message').textContent(), /cordavex\.example\/webcam/);
      await screenshot(page, 'webcam-result');
    } finally {
      await phone.stop();
      await browser.close();
    }
  });
