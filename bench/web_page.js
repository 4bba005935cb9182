// The page's cost to the person who opens it: the size of its files, as
// they are and gzipped, and the time from the third Enter of the worked
// example to the table on the page (the median of RUNS runs in headless
// Chromium, each on a freshly loaded page). Goals: under 300 KB gzipped,
// under 0.5 s.
// Usage: node bench/web_page.js URL SITE-FOLDER [RUNS]
// (bench/web_page.sh serves build-web/site and runs this.)
'use strict';
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const tests = path.join(__dirname, '..', 'tests', 'web');
const puppeteer = require(require.resolve('puppeteer-core', { paths: [tests] }));
const { launch, typeKeys } = require(path.join(tests, 'browser'));

const [url, site, runs = '9'] = process.argv.slice(2);

function sizes() {
  let bytes = 0, gzipped = 0;
  for (const name of fs.readdirSync(site)) {
    const contents = fs.readFileSync(path.join(site, name));
    bytes += contents.length;
    gzipped += zlib.gzipSync(contents, { level: 9 }).length;
  }
  return { bytes, gzipped };
}

// Milliseconds from the third Enter to the table drawn: the link, the
// viewer's text and the chart are in place and a frame has been painted.
async function oneRun() {
  const { browser, page } = await launch(puppeteer, url);
  try {
    await page.waitForFunction(() => document.getElementById('transcript').textContent !== '');
    await page.evaluate(() => {
      window.tableShown = new Promise((resolve) => {
        let enter = 0;
        document.getElementById('line').addEventListener('keydown', (event) => {
          if (event.key === 'Enter') enter = performance.now();
        }, { capture: true });
        new MutationObserver((changes, observer) => {
          if (document.querySelector('a[download]') === null) return;
          observer.disconnect();
          requestAnimationFrame(() => setTimeout(() => resolve(performance.now() - enter)));
        }).observe(document.getElementById('download-place'), { childList: true });
      });
    });
    await typeKeys(page, ['0.7', 'Enter', '0.71', 'Enter', '7', 'Enter']);
    return await page.evaluate(() => window.tableShown);
  } finally {
    await browser.close();
  }
}

async function main() {
  const { bytes, gzipped } = sizes();
  console.log(`page: ${bytes} bytes in all, ${gzipped} bytes gzipped (${site})`);
  const times = [];
  for (let i = 0; i < Number(runs); i++) times.push(await oneRun());
  times.sort((a, b) => a - b);
  const median = times[Math.floor(times.length / 2)];
  console.log(`third Enter to the table: median ${median.toFixed(1)} ms of ${times.length} runs ` +
    `(${times[0].toFixed(1)} to ${times[times.length - 1].toFixed(1)} ms)`);
}

main().catch((error) => {
  console.error(`FAILED: ${error.message}`);
  process.exit(1);
});
