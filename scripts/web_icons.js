// Draws the page's PNG icons from web/icon.svg in headless Chromium: 192
// and 512 px as the SVG is, and a maskable 512 px one whose ground fills the
// square and whose picture keeps inside the middle 80 %, which a launcher
// may cut to any shape. The PNGs are kept in the repository; run this after
// changing the SVG.
// Usage: node scripts/web_icons.js   (puppeteer-core from `npm ci` in tests/web)
'use strict';
const fs = require('fs');
const path = require('path');
const web = path.join(__dirname, '..', 'web');
const tests = path.join(__dirname, '..', 'tests', 'web');
const puppeteer = require(require.resolve('puppeteer-core', { paths: [tests] }));

const icons = [
  { name: 'icon-192.png', size: 192, maskable: false },
  { name: 'icon-512.png', size: 512, maskable: false },
  { name: 'icon-maskable-512.png', size: 512, maskable: true },
];

async function main() {
  const svg = fs.readFileSync(path.join(web, 'icon.svg'), 'utf8');
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu'],
  });
  try {
    const page = await browser.newPage();
    for (const { name, size, maskable } of icons) {
      await page.setViewport({ width: size, height: size });
      await page.setContent(`<style>html, body { margin: 0 } svg { display: block }</style>${svg}`);
      await page.evaluate((size, maskable) => {
        const svg = document.querySelector('svg');
        svg.setAttribute('width', size);
        svg.setAttribute('height', size);
        if (!maskable) return;
        document.getElementById('ground').setAttribute('rx', 0);
        document.getElementById('motif').setAttribute('transform', 'translate(256 256) scale(0.72) translate(-256 -256)');
      }, size, maskable);
      await page.screenshot({ path: path.join(web, name), omitBackground: true });
      console.log(`${name}: ${fs.statSync(path.join(web, name)).size} bytes`);
    }
  } finally {
    await browser.close();
  }
}

main().catch((error) => {
  console.error(`FAILED: ${error.message}`);
  process.exit(1);
});
