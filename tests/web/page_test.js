// The page in headless Chromium, typed at as a person would: the worked
// example (with a Backspace), a bad first value and an early end of input.
// Checks the console, the viewer, the downloaded bytes and the chart, and
// keeps a screenshot of each run.
// Usage: node page_test.js URL EXPECTED-RESULTADOS SCREENSHOT-FOLDER
'use strict';
const fs = require('fs');
const path = require('path');
const puppeteer = require('puppeteer-core');
const { launch, typeKeys } = require('./browser');

const [url, expectedFile, shots] = process.argv.slice(2);
const expected = fs.readFileSync(expectedFile);
const prompt = (name) => `Digite o ${name}\n`;
const prompts = [prompt('valor de Prs'), prompt('valor de Pr'),
  prompt('numero de elementos dos conjuntos')];

const runs = [
  { name: 'worked-example', keys: ['0.77', 'Backspace', 'Enter', '0.71', 'Enter', '7', 'Enter'],
    console: prompts[0] + '0.7\n' + prompts[1] + '0.71\n' + prompts[2] + '7\n', exit: 0,
    table: expected },
  { name: 'bad-first-value', keys: ['abc', 'Enter'], exit: 1,
    console: prompts[0] + 'abc\n\nrun-time error F6103: READ(CON)\n- ' },
  { name: 'end-of-input', keys: ['Control+z', 'Enter'], exit: 1,
    console: prompts[0] + '^Z\n\nrun-time error F6501: READ(CON)\n- ' },
];

function check(ok, what) {
  if (!ok) throw new Error(what);
}

async function downloaded(page, folder) {
  fs.rmSync(path.join(folder, 'resultados.txt'), { force: true });
  await page.click('a[download]');
  const file = path.join(folder, 'resultados.txt');
  for (let waited = 0; !fs.existsSync(file); waited += 50) {
    check(waited < 10000, 'the download link gave no file');
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  return fs.readFileSync(file);
}

async function main() {
  const { browser, page, downloads, errors } = await launch(puppeteer, url);
  try {
    check(await page.evaluate(() => document.activeElement.id) === 'console',
      'the console has no focus when the page opens');
    check(await page.$eval('#console', (area) => area.labels.length > 0 ||
      area.getAttribute('aria-label') !== null), 'the console has no label');
    for (const [index, run] of runs.entries()) {
      if (index > 0) await page.click('#new-run');
      await page.waitForFunction(() => document.getElementById('console').value.length > 0);
      await page.focus('#console');
      await typeKeys(page, run.keys);
      await page.waitForFunction(
        (code) => document.getElementById('status').textContent.includes(`exit code ${code}.`),
        { timeout: 10000 }, run.exit);
      const shown = await page.$eval('#console', (area) => area.value);
      check(shown.startsWith(run.console), `${run.name}: the console shows ${JSON.stringify(shown)}`);
      const link = await page.$('a[download="resultados.txt"]');
      if (run.table) {
        check(link !== null, `${run.name}: no download link`);
        const bytes = await downloaded(page, downloads);
        check(bytes.equals(run.table), `${run.name}: ${bytes.length} bytes downloaded, not the table`);
        const text = await page.$eval('#resultados', (pane) => pane.textContent);
        check(text === run.table.toString('latin1').replace(/\r\n/g, '\n'),
          `${run.name}: the viewer shows ${JSON.stringify(text)}`);
        const drawn = await page.$eval('#chart', (svg) => ({
          points: svg.querySelectorAll('circle').length,
          bands: svg.querySelectorAll('line.band').length,
          visible: svg.getBoundingClientRect().height > 0,
        }));
        check(drawn.points === 7 && drawn.bands === 3 && drawn.visible,
          `${run.name}: the chart shows ${JSON.stringify(drawn)}`);
      } else {
        check(link === null, `${run.name}: a download link after a failed run`);
      }
      await page.screenshot({ path: path.join(shots, `${run.name}.png`), fullPage: true });
      console.log(`${run.name}: passed (${path.join(shots, run.name + '.png')})`);
    }
    check(errors.length === 0, `the page reported errors: ${errors.join('; ')}`);
  } finally {
    await browser.close();
  }
}

main().catch((error) => {
  console.error(`FAILED: ${error.message}`);
  process.exit(1);
});
