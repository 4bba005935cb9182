// The page in headless Chromium, used as people use it: values typed key by
// key, pasted all at once, sent from the form; a phone's width, Portuguese,
// a blocked program, a huge N, printing. Checks the console, the viewer,
// the downloaded bytes, the table, the chart, axe's WCAG 2.1 A and AA rules,
// and keeps a screenshot of each case. A long pasted line must end as the
// native program ends on a terminal (NATIVE, run on a pseudo-terminal).
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

// Each case: how the page is opened, what is done (keys, a paste, a
// click), and what must follow.
const cases = [
  { name: 'worked-example', keys: ['0.77', 'Backspace', 'Enter', '0.71', 'Enter', '7', 'Enter'],
    console: dialogue, exit: 0, table: true, axe: true },
  { name: 'bad-first-value', keys: ['abc', 'Enter'], exit: 1,
    console: prompts[0] + 'abc\n\nrun-time error F6103: READ(CON)\n- ' },
  { name: 'end-of-input', keys: ['Control+z', 'Enter'], exit: 1,
    console: prompts[0] + '^Z\n\nrun-time error F6501: READ(CON)\n- ' },
  { name: 'end-input-button', keys: ['1'], click: '#end-input', exit: 1,
    console: prompts[0] + '1^Z\n\nrun-time error F6501: READ(CON)\n- ' },
  { name: 'worked-example-pasted-phone', open: phone, paste: '0.7\n0.71\n7\n', console: dialogue,
    exit: 0, table: true, axe: true, print: 'print-preview' },
  { name: 'worked-example-portuguese', open: { ...phone, languages: 'pt-BR,pt;q=0.9' },
    paste: '0.7\n0.71\n7\n', console: dialogue, exit: 0, table: true, language: 'pt-BR' },
  { name: 'long-line-pasted', paste: `${longLine}\n0.71\n7\n`, exit: 1,
    console: prompts[0] + longLine + '\n', nativeInput: `${longLine}\n` },
  { name: 'form-with-comma', open: { query: '?Prs=0.7&Pr=0,71' }, fill: ['#N', '7'],
    click: '#values button', exit: 0, hint: 'Pr', address: 'Prs=0.7&Pr=0%2C71&N=7', console: prompts[0] + '0.7\n' + prompts[1] + '0,71\n' + prompts[2] + '7\n' },
  { name: 'huge-n', paste: '0.7\n0.71\n100000000\n', exit: 1,
    console: dialogue.replace('\n7\n', '\n100000000\n\nrun-time error ') },
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

// What the native program writes on standard error, and its exit code,
// for this input typed at a terminal.
function nativeOnTerminal(input) {
  const script = 'import os, pty, subprocess, sys\n' +
    'main, other = pty.openpty()\n' +
    'p = subprocess.Popen([sys.argv[1]], stdin=other, stdout=subprocess.DEVNULL, ' +
    'stderr=subprocess.PIPE, env={"COMSPEC": "/bin/true"})\n' +
    'os.close(other); os.write(main, sys.stdin.buffer.read())\n' +
    'sys.stdout.buffer.write(p.stderr.read()); sys.exit(p.wait())';
  const result = childProcess.spawnSync('python3', ['-c', script, native], { input });
  return { report: result.stdout.toString('latin1').replace(/\r/g, ''), exit: result.status };
}

async function paste(page, text) {
  await page.$eval('#line', (line, pasted) => {
    const data = new DataTransfer();
    data.setData('text/plain', pasted);
    line.dispatchEvent(new ClipboardEvent('paste', { clipboardData: data, bubbles: true,
      cancelable: true }));
  }, text);
}

async function axeViolations(page) {
  await page.evaluate(axe.source);
  const found = await page.evaluate(() => window.axe.run(document,
    { runOnly: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa'] }));
  return found.violations.map((rule) => `${rule.id} (${rule.nodes.map((n) => n.target).join(', ')})`);
}

// At a phone's width nothing scrolls sideways, every Nu is on the screen,
// and the chart's text is at least 12 px tall.
const layout = (page) => page.evaluate(() => ({
  wide: [document.documentElement, ...document.querySelectorAll('body *')]
    .filter((box) => box.scrollWidth > box.clientWidth + 1 &&
      (box === document.documentElement || /auto|scroll/.test(getComputedStyle(box).overflowX)))
    .map((box) => box.id || box.tagName),
  nuOff: [...document.querySelectorAll('#results td:last-child')]
    .filter((cell) => cell.getBoundingClientRect().right > innerWidth).length,
  smallText: [...document.querySelectorAll('#chart text')].filter((label) => {
    const scale = label.getScreenCTM();
    return parseFloat(getComputedStyle(label).fontSize) * Math.hypot(scale.a, scale.b) < 12;
  }).length,
}));

async function checkTable(page, run, downloads) {
  check((await downloaded(page, downloads)).equals(expected), `${run.name}: downloaded bytes`);
  const file = await page.$eval('#resultados', (pane) => pane.textContent);
  check(file === expected.toString('latin1').replace(/\r\n/g, '\n'), `${run.name}: file view`);
  const shown = await page.evaluate(() => ({
    nu: [...document.querySelectorAll('#results tbody td:last-child')].map((c) => c.textContent),
    headers: [...document.querySelectorAll('#results th[scope=col]')].map((c) => c.textContent),
    points: document.querySelectorAll('#chart circle').length,
    ticks: [...document.querySelectorAll('#chart text')].map((label) => label.textContent),
  }));
  check(shown.headers.join() === 'i,C,m,Re,Nu' && shown.nu[0] === '0.6630815' &&
    shown.nu[6] === '3.607163' && shown.points === 7 && shown.ticks.includes('10¹') &&
    shown.ticks.includes('Re = 40') && !shown.ticks.includes('Re = 1000'),
  `${run.name}: the table and chart show ${JSON.stringify(shown)}`);
}

async function oneCase(run) {
  const { query = '', ...options } = run.open || {};
  const { browser, page, downloads, errors } = await launch(puppeteer, url + query, options);
  try {
    await page.waitForFunction(() => document.getElementById('transcript').textContent !== '');
    if (run.hint) {
      const hint = await page.$eval(`#${run.hint}-hint`, (box) => box.textContent);
      check(/0,71/.test(hint), `${run.name}: no hint for the comma`);
    }
    await page.focus('#line');
    if (run.keys) await typeKeys(page, run.keys);
    if (run.paste) await paste(page, run.paste);
    if (run.fill) await page.type(...run.fill);
    if (run.click) await page.click(run.click);
    await page.waitForFunction((code) => document.getElementById('status').textContent
      .includes(` ${code}.`) || document.getElementById('failure').textContent !== '',
    { timeout: 60000 }, run.exit);
    const failure = await page.$eval('#failure', (box) => box.textContent);
    check(failure === '', `${run.name}: the page says ${failure}`);
    const shown = await page.$eval('#transcript', (log) => log.textContent);
    check(shown.startsWith(run.console), `${run.name}: the console shows ${JSON.stringify(shown)}`);
    if (run.nativeInput) {
      const terminal = nativeOnTerminal(run.nativeInput);
      check(terminal.exit === run.exit && shown.startsWith(run.console + terminal.report),
        `${run.name}: not the native program's ${JSON.stringify(terminal)}`);
    }
    if (run.address) check(await page.evaluate(() => location.search) === '?' + run.address,
      `${run.name}: the address does not hold the values`);
    if (run.table) await checkTable(page, run, downloads);
    else if (run.exit !== 0) check(await page.$('a[download]') === null, `${run.name}: a link`);
    if (run.language) {
      const language = await page.evaluate(() => [document.documentElement.lang,
        document.getElementById('status').textContent]);
      check(language[0] === run.language && /código de saída/.test(language[1]),
        `${run.name}: the page is in ${language}`);
    }
    if (run.open?.width === phone.width) {
      const fits = await layout(page);
      check(fits.wide.length + fits.nuOff + fits.smallText === 0,
        `${run.name}: on a phone ${JSON.stringify(fits)}`);
    }
    if (run.axe) {
      const violations = await axeViolations(page);
      check(violations.length === 0, `${run.name}: axe finds ${violations.join('; ')}`);
    }
    await page.screenshot({ path: path.join(shots, `${run.name}.png`), fullPage: true });
    if (run.print) {
      await page.emulateMediaType('print');
      const printed = await page.evaluate(() => ['values', 'transcript', 'typing', 'results', 'chart']
        .map((id) => document.getElementById(id).getBoundingClientRect().height > 0));
      check(printed.join() === 'false,false,false,true,true', `${run.name}: printed ${printed}`);
      await page.screenshot({ path: path.join(shots, `${run.print}.png`), fullPage: true });
    }
    if (run.name === 'huge-n') {
      await page.click('#new-run');
      await page.waitForFunction(() => document.getElementById('transcript').textContent !== '');
    }
    check(errors.length === 0, `${run.name}: the page reported errors: ${errors.join('; ')}`);
  } finally {
    await browser.close();
  }
  console.log(`${run.name}: passed (${path.join(shots, run.name + '.png')})`);
}

// The language follows the browser, and the switch is remembered.
async function languageSwitch() {
  const { browser, page } = await launch(puppeteer, url, { languages: 'pt-BR' });
  try {
    const lang = () => page.evaluate(() => document.documentElement.lang);
    check(await lang() === 'pt-BR', 'Portuguese is not chosen for a Portuguese browser');
    await page.click('#language');
    check(await lang() === 'en', 'the switch does not give English');
    await page.reload({ waitUntil: 'load' });
    check(await lang() === 'en', 'the switch is not remembered');
  } finally {
    await browser.close();
  }
  console.log('language-switch: passed');
}

// The program cannot load, or stops with a trap: said, announced, with a
// way to start again.
async function failures() {
  const said = (page) => page.evaluate(() => [document.getElementById('failure').textContent,
    document.querySelector('#failure[role=alert] button') !== null,
    document.getElementById('status').textContent]);
  let { browser, page } = await launch(puppeteer, url, { block: 'tavelo.js' });
  try {
    const blocked = await said(page);
    check(/tavelo\.js/.test(blocked[0]) && blocked[1] && blocked[2] === '',
      `blocked load: the page says ${JSON.stringify(blocked)}`);
    await page.screenshot({ path: path.join(shots, 'blocked-load.png'), fullPage: true });
  } finally {
    await browser.close();
  }
  ({ browser, page } = await launch(puppeteer, url));
  try {
    // As a trap in a resumed program arrives.
    await page.addScriptTag({ content: 'Promise.reject(new WebAssembly.RuntimeError("unreachable"))' });
    await page.waitForFunction(() => document.getElementById('failure').textContent !== '');
    const trapped = await said(page);
    check(/unreachable/.test(trapped[0]) && trapped[1] && trapped[2] === '',
      `trap: the page says ${JSON.stringify(trapped)}`);
    await page.click('#failure button');
    await page.waitForFunction(() => document.getElementById('failure').textContent === '' &&
      document.getElementById('transcript').textContent.startsWith('Digite'));
  } finally {
    await browser.close();
  }
  console.log(`failures: passed (${path.join(shots, 'blocked-load.png')})`);
}

async function main() {
  for (const run of cases) {
    if (run.nativeInput && !native) {
      console.log(`${run.name}: skipped, no native program given`);
      continue;
    }
    await oneCase(run);
  }
  await languageSwitch();
  await failures();
}

main().catch((error) => {
  console.error(`FAILED: ${error.message}`);
  process.exit(1);
});
