// The page's cost to the person who opens it: Lighthouse's mobile scores
// and first contentful paint (from the report bench/web_page.sh has it
// write), the size of its files, as they are and gzipped, the time from the
// third Enter of the worked example to the table on the page (the median of
// RUNS runs in headless Chromium, each on a freshly loaded page), and the
// tab's peak memory at the largest arrays the web heap grants and at the
// first it refuses. Goals: the four scores 100, under 300 KB gzipped, under
// 0.5 s, under 512 MiB.
// Usage: node bench/web_page.js URL SITE-FOLDER [RUNS [LIGHTHOUSE-REPORT]]
// (bench/web_page.sh serves build-web/site and runs this.)
'use strict';
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const tests = path.join(__dirname, '..', 'tests', 'web');
const puppeteer = require(require.resolve('puppeteer-core', { paths: [tests] }));
const { launch, typeKeys } = require(path.join(tests, 'browser'));

const [url, site, runs = '9', lighthouseReport] = process.argv.slice(2);

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

function lighthouse(file) {
  const report = JSON.parse(fs.readFileSync(file, 'utf8'));
  const scores = ['performance', 'accessibility', 'best-practices', 'seo']
    .map((name) => `${report.categories[name].title} ${Math.round(report.categories[name].score * 100)}`);
  console.log(`Lighthouse ${report.lighthouseVersion}, ${report.configSettings.formFactor}: ` +
    `${scores.join(', ')}; first contentful paint ` +
    `${report.audits['first-contentful-paint'].displayValue}`);
  for (const category of Object.values(report.categories)) {
    for (const { id, weight } of category.auditRefs) {
      const audit = report.audits[id];
      if (weight > 0 && audit.score !== null && audit.score < 1) {
        console.log(`  ${category.title}: ${audit.title} ${audit.displayValue || ''}`);
      }
    }
  }
}

// The peak resident memory (VmHWM) of the browser's largest renderer
// process, the page's tab, in MiB.
function tabPeak(browserPid) {
  const field = (pid, name) => fs.readFileSync(`/proc/${pid}/${name}`, 'latin1');
  const descends = (pid) => {
    for (let at = pid; at > 1; at = Number(field(at, 'stat').split(') ')[1].split(' ')[1])) {
      if (at === browserPid) return true;
    }
    return false;
  };
  let peak = 0;
  for (const pid of fs.readdirSync('/proc').filter((name) => /^\d+$/.test(name)).map(Number)) {
    try {
      if (!field(pid, 'cmdline').includes('--type=renderer') || !descends(pid)) continue;
      peak = Math.max(peak, Number(field(pid, 'status').match(/VmHWM:\s+(\d+) kB/)[1]));
    } catch {
      // A process that has ended meanwhile.
    }
  }
  return peak / 1024;
}

// The report of a run with N = n, and the tab's peak, said when `say`.
async function largeArrays(n, say = true) {
  const { browser, page } = await launch(puppeteer, url);
  try {
    const text = () => document.body.innerText +
      [...document.querySelectorAll('textarea')].map((area) => area.value).join('');
    await page.waitForFunction(`(${text})().includes('Digite o valor de Prs')`);
    await page.keyboard.type(`0.7\n0.71\n${n}\n`);
    await page.waitForFunction(`/run-time error [FM]\\d+/.test((${text})())`, { timeout: 60000 });
    const report = (await page.evaluate(text)).match(/run-time error [FM]\d+/)[0];
    if (say) console.log(`N = ${n}: ${report}; the tab's peak ${tabPeak(browser.process().pid).toFixed(0)} MiB`);
    return report;
  } finally {
    await browser.close();
  }
}

// The last N the page's heap grants four arrays for. It moves by one with
// every 16 bytes that the program's own data and stack take, so it is
// found, by halving a range around it, rather than kept.
async function largestGranted() {
  let granted = 16400000, refused = 16500000;
  while (refused - granted > 1) {
    const middle = Math.floor((granted + refused) / 2);
    if ((await largeArrays(middle, false)) === 'run-time error F6772') refused = middle;
    else granted = middle;
  }
  return granted;
}

async function main() {
  if (lighthouseReport) lighthouse(lighthouseReport);
  const { bytes, gzipped } = sizes();
  console.log(`page: ${bytes} bytes in all, ${gzipped} bytes gzipped (${site})`);
  const times = [];
  for (let i = 0; i < Number(runs); i++) times.push(await oneRun());
  times.sort((a, b) => a - b);
  const median = times[Math.floor(times.length / 2)];
  console.log(`third Enter to the table: median ${median.toFixed(1)} ms of ${times.length} runs ` +
    `(${times[0].toFixed(1)} to ${times[times.length - 1].toFixed(1)} ms)`);
  const largest = await largestGranted();
  await largeArrays(largest);
  await largeArrays(largest + 1);
}

main().catch((error) => {
  console.error(`FAILED: ${error.message}`);
  process.exit(1);
});
