// Headless Chromium for the page's test and benchmark: Debian's chromium,
// as root too, a profile of its own, nothing fetched from the network.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');

// options: width and height of the viewport, the browser's languages
// (Accept-Language), and a file whose request fails as if blocked.
async function launch(puppeteer, url, { width = 900, height = 900, languages, block } = {}) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'tavelo-chromium-'));
  const downloads = path.join(profile, 'downloads');
  fs.mkdirSync(downloads);
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      `--user-data-dir=${profile}`],
  });
  const close = browser.close.bind(browser);
  browser.close = async () => {
    await close();
    fs.rmSync(profile, { recursive: true, force: true });
  };
  const page = await browser.newPage();
  await page.setViewport({ width, height });
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  page.on('console', (message) => {
    if (message.type() === 'error') errors.push(message.text());
  });
  const session = await page.createCDPSession();
  await session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
  if (languages) {
    await session.send('Network.setUserAgentOverride',
      { userAgent: await browser.userAgent(), acceptLanguage: languages });
  }
  if (block) {
    await session.send('Network.enable');
    await session.send('Network.setBlockedURLs', { urls: [`*${block}`] });
  }
  // The page fetches its program once it has been painted, after 'load'.
  await page.goto(url, { waitUntil: ['load', 'networkidle0'] });
  return { browser, page, downloads, errors };
}

// Text is typed key by key; "Enter", "Backspace" and "Control+z" are keys.
async function typeKeys(page, keys) {
  for (const key of keys) {
    if (key === 'Control+z') {
      await page.keyboard.down('Control');
      await page.keyboard.press('z');
      await page.keyboard.up('Control');
    } else if (key === 'Enter' || key === 'Backspace') {
      await page.keyboard.press(key);
    } else {
      await page.keyboard.type(key);
    }
  }
}

module.exports = { launch, typeKeys };
