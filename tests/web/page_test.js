// The page in headless Chromium, used as people use it: typed at, pasted at, its form; at a
// phone's width, in Portuguese, printed, failing. Checks the console, the table, the chart,
// the downloaded bytes and axe's WCAG 2.1 A and AA rules, keeping a screenshot of each case;
// a long line must end as NATIVE ends on a pseudo-terminal.
// Usage: node page_test.js URL EXPECTED-RESULTADOS SCREENSHOT-FOLDER [NATIVE]
'use strict';
const childProcess = require('child_process');
const fs = require('fs');
const path = require('path');
const puppeteer = require('puppeteer-core');
const axe = require('axe-core');
const { launch, typeKeys } = require('./browser');

const [url, expectedFile, shots, native] = process.argv.slice(2);
const expected = fs.readFileSync(expectedFile);
const prompt = (name) => `Digite o ${name}\n`;
const prompts = [prompt('valor de Prs'), prompt('valor de Pr'),
  prompt('numero de elementos dos conjuntos')];
const dialogue = prompts[0] + '0.7\n' + prompts[1] + '0.71\n' + prompts[2] + '7\n';
const longLine = '7'.repeat(10000);
const phone = { width: 360, height: 640 };

// Each case: how the page opens, what is done (keys, a paste, a click), what must follow.
const pasted = { paste: '0.7\n0.71\n7\n', console: dialogue, exit: 0, table: true };
const cases = [
  { name: 'worked-example', keys: ['0.77', 'Backspace', 'Enter', '0.71', 'Enter', '7', 'Enter'],
    console: dialogue, exit: 0, table: true, axe: true },
  { name: 'bad-first-value', keys: ['abc', 'Enter'], exit: 1,
    console: prompts[0] + 'abc\n\nrun-time error F6103: READ(CON)\n- ' },
  { name: 'end-of-input', keys: ['Control+z', 'Enter'], exit: 1,
    console: prompts[0] + '^Z\n\nrun-time error F6501: READ(CON)\n- ' },
  { name: 'end-input-button', keys: ['1'], click: '#end-input', exit: 1,
    console: prompts[0] + '1^Z\n\nrun-time error F6501: READ(CON)\n- ' },
  { name: 'worked-example-pasted-phone', open: phone, ...pasted, axe: true, print: 'print-preview' },
  { name: 'worked-example-portuguese', open: { ...phone, languages: 'pt-BR,pt;q=0.9' }, ...pasted,
    language: /código de saída/ },
  { name: 'long-line-pasted', paste: `${longLine}\n0.71\n7\n`, exit: 1,
    console: prompts[0] + longLine + '\n', nativeInput: `${longLine}\n` },
  { name: 'form-with-comma', open: { query: '?Prs=0.7&Pr=0,71' }, fill: ['#N', '7'],
    click: '#values button', exit: 0, hint: '#Pr-hint', address: '?Prs=0.7&Pr=0%2C71&N=7',
    console: prompts[0] + '0.7\n' + prompts[1] + '0,71\n' + prompts[2] + '7\n' },
  { name: 'huge-n', paste: '0.7\n0.71\n100000000\n', exit: 1, again: true,
    console: dialogue.replace('\n7\n', '\n100000000\n\nrun-time error ') },
  { name: 'blocked-load', open: { block: 'tavelo.js' }, failure: /tavelo\.js/ },
  { name: 'trap', failure: /unreachable/, again: true,  // as a trap in a resumed program comes
    script: 'Promise.reject(new WebAssembly.RuntimeError("unreachable"))' },
];

function check(ok, what) {
  if (!ok) throw new Error(what);
}

async function downloaded(page, folder) {
  fs.rmSync(path.join(folder, 'resultados.txt'), { force: true });
  await page.click('a[download]');
  const file = path.join(folder, 'resultados.txt');
  // Chrome holds the name with an empty file until the bytes are in.
  for (let waited = 0; !fs.existsSync(file) || fs.statSync(file).size === 0; waited += 50) {
    check(waited < 10000, 'the download link gave no file');
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  return fs.readFileSync(file);
}

// What the native program writes on standard error, and its exit code,
// for this input typed at a terminal.
function nativeOnTerminal(input) {
  const script = 'import os, pty, subprocess, sys\nmain, other = pty.openpty()\n' +
    'p = subprocess.Popen([sys.argv[1]], stdin=other, stdout=subprocess.DEVNULL, ' +
    'stderr=subprocess.PIPE, env={"COMSPEC": "/bin/true"})\nos.close(other)\n' +
    'os.write(main, sys.stdin.buffer.read())\n' +
    'print(p.stderr.read().decode(), end=""); sys.exit(p.wait())';
  const result = childProcess.spawnSync('python3', ['-c', script, native], { input });
  return { report: result.stdout.toString('latin1').replace(/\r/g, ''), exit: result.status };
}

const paste = (page, text) => page.$eval('#line', (line, pasted) => {
  const clipboardData = new DataTransfer();
  clipboardData.setData('text/plain', pasted);
  line.dispatchEvent(new ClipboardEvent('paste', { clipboardData, bubbles: true, cancelable: true }));
}, text);

// At a phone's width nothing scrolls sideways, every Nu is on the screen,
// and the chart's text is at least 12 px tall.
const layout = (page) => page.evaluate(() => ({
  wide: [document.documentElement, ...document.querySelectorAll('body *')].filter((box) =>
    box.scrollWidth > box.clientWidth + 1 && (box === document.documentElement ||
      /auto|scroll/.test(getComputedStyle(box).overflowX))).length,
  nuOff: [...document.querySelectorAll('#results td:last-child')]
    .filter((cell) => cell.getBoundingClientRect().right > innerWidth).length,
  smallText: [...document.querySelectorAll('#chart text')].filter((label) =>
    Math.hypot(label.getScreenCTM().a, label.getScreenCTM().b) *
    parseFloat(getComputedStyle(label).fontSize) < 12).length,
}));

async function checkTable(page, run, downloads) {
  check((await downloaded(page, downloads)).equals(expected), `${run.name}: downloaded bytes`);
  const shown = await page.evaluate(() => ({
    file: document.getElementById('resultados').textContent,
    nu: [...document.querySelectorAll('#results tbody td:last-child')].map((c) => c.textContent),
    headers: [...document.querySelectorAll('#results th[scope=col]')].map((c) => c.textContent),
    points: document.querySelectorAll('#chart circle').length,
    ticks: [...document.querySelectorAll('#chart text')].map((label) => label.textContent),
  }));
  check(shown.file === expected.toString('latin1').replace(/\r\n/g, '\n') &&
    shown.headers.join() === 'i,C,m,Re,Nu' && shown.nu[0] === '0.6630815' &&
    shown.nu[6] === '3.607163' && shown.points === 7 && shown.ticks.includes('10¹') &&
    shown.ticks.includes('Re = 40') && !shown.ticks.includes('Re = 1000'),
  `${run.name}: the table and chart show ${JSON.stringify(shown)}`);
}

async function oneCase(run) {
  const { query = '', ...options } = run.open || {};
  const { browser, page, downloads, errors } = await launch(puppeteer, url + query, options);
  try {
    await page.waitForFunction(() => document.getElementById('transcript').textContent !== '' ||
      document.getElementById('failure').textContent !== '');
    if (run.hint) check(/0,71/.test(await page.$eval(run.hint, (box) => box.textContent)),
      `${run.name}: no hint for the comma`);
    await page.focus('#line');
    if (run.keys) await typeKeys(page, run.keys);
    if (run.paste) await paste(page, run.paste);
    if (run.fill) await page.type(...run.fill);
    if (run.click) await page.click(run.click);
    if (run.script) await page.addScriptTag({ content: run.script });
    await page.waitForFunction((code) => document.getElementById('status').textContent
      .includes(` ${code}.`) || document.getElementById('failure').textContent !== '',
    { timeout: 60000 }, run.exit);
    const [shown, status, failure] = await page.evaluate(() => ['transcript', 'status', 'failure']
      .map((id) => document.getElementById(id).textContent));
    check(run.failure ? run.failure.test(failure) && status === '' &&
      await page.$('#failure[role=alert] button') : failure === '' && errors.length === 0 &&
      shown.startsWith(run.console), `${run.name}: ${JSON.stringify([shown, status, failure])}`);
    if (run.nativeInput) {
      const terminal = nativeOnTerminal(run.nativeInput);
      check(terminal.exit === run.exit && shown.startsWith(run.console + terminal.report),
        `${run.name}: not the native program's ${JSON.stringify(terminal)}`);
    }
    if (run.address) check(await page.evaluate(() => location.search) === run.address,
      `${run.name}: the address does not hold the values`);
    if (run.table) await checkTable(page, run, downloads);
    else if (run.exit === 1) check(await page.$('a[download]') === null, `${run.name}: a link`);
    const language = () => page.$eval('html', (html) => html.lang);
    if (run.language) check(await language() === 'pt-BR' && run.language.test(status), run.name);
    if (run.open?.width === phone.width) {
      const fits = await layout(page);
      check(fits.wide + fits.nuOff + fits.smallText === 0,
        `${run.name}: on a phone ${JSON.stringify(fits)}`);
    }
    if (run.axe) {
      await page.evaluate(axe.source);
      const found = await page.evaluate(() => window.axe.run(document,
        { runOnly: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa'] }));
      check(found.violations.length === 0, `${run.name}: axe: ${JSON.stringify(found.violations)}`);
    }
    await page.screenshot({ path: path.join(shots, `${run.name}.png`), fullPage: true });
    if (run.print) {
      await page.emulateMediaType('print');
      const printed = await page.evaluate(() => ['values', 'transcript', 'typing', 'results', 'chart']
        .map((id) => document.getElementById(id).getBoundingClientRect().height > 0));
      check(printed.join() === 'false,false,false,true,true', `${run.name}: printed ${printed}`);
      await page.screenshot({ path: path.join(shots, `${run.print}.png`), fullPage: true });
    }
    if (run.language) {
      await page.click('#language');
      await page.reload({ waitUntil: 'load' });
      check(await language() === 'en', `${run.name}: the switch to English is not remembered`);
    }
    if (run.again) {
      await page.click(run.failure ? '#failure button' : '#new-run');
      await page.waitForFunction(() => document.getElementById('transcript').textContent
        .startsWith('Digite') && document.getElementById('failure').textContent === '');
    }
  } finally {
    await browser.close();
  }
  console.log(`${run.name}: passed (${path.join(shots, run.name + '.png')})`);
}

async function main() {
  for (const run of cases) {
    if (run.nativeInput && !native) console.log(`${run.name}: skipped, no native program given`);
    else await oneCase(run);
  }
}

main().catch((error) => {
  console.error(`FAILED: ${error.message}`);
  process.exit(1);
});
