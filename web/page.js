// The page as tavelo's system: a console that queues what is typed or
// pasted and hands it over a line at a time as a Windows console does, a
// form that types the three values at it, an in-memory file system, and the
// viewer that shows resultados.txt as a table, the file, its download link
// and a chart. Page text comes from one table per language.
'use strict';

const $ = (id) => document.getElementById(id);
const transcriptBox = $('transcript');
const lineInput = $('line');
const statusLine = $('status');
const failureBox = $('failure');
const viewer = $('viewer');
const tableBody = document.querySelector('#results tbody');
const fileView = $('resultados');
const downloadPlace = $('download-place');
const chart = $('chart');
const fields = ['Prs', 'Pr', 'N'].map($);

// ---- Page text ----------------------------------------------------------

// The English text of the page's elements stands in index.html, so that
// the page is painted with it before this script runs; the table takes it
// from there. The rest, and all of the Portuguese, is here.
const texts = {
  en: {
    tag: 'en',
    title: document.title,
    otherLanguage: 'Em português',
    loading: statusLine.textContent,
    commaHint: 'The program reads a comma as the end of a value: 0,71 is read as 0. ' +
      'Write a decimal point: 0.71.',
    running: 'Running: the program waits for the values.',
    ended: 'The program ended with exit code {code}.',
    tableWritten: ' resultados.txt was written: its table is below.',
    loadFailed: 'The program could not be loaded (tavelo.js is missing or was blocked). ' +
      'Check the connection and start again.',
    noWasm: 'This browser cannot run WebAssembly, which the program needs: use a current browser.',
    crashed: 'The program stopped unexpectedly ({detail}).',
    startAgain: 'Start again',
    download: 'Download resultados.txt',
  },
  pt: {
    tag: 'pt-BR',
    title: 'tavelo: número de Nusselt de um cilindro em escoamento cruzado',
    otherLanguage: 'In English',
    intro: 'O número de Nusselt de um cilindro circular em escoamento cruzado, tabelado em ' +
      'função do número de Reynolds. O programa pede três valores: digite-os no console ou ' +
      'preencha o formulário.',
    valuesHeading: 'Valores',
    labelPrs: 'Prs: número de Prandtl na temperatura da superfície',
    labelPr: 'Pr: número de Prandtl do fluido',
    labelN: 'N: número de elementos (linhas da tabela)',
    typeValues: 'Digitar no console',
    commaHint: 'O programa lê a vírgula como o fim do valor: 0,71 é lido como 0. ' +
      'Use ponto decimal: 0.71.',
    consoleHeading: 'Console',
    lineLabel: 'Linha a digitar (Enter envia)',
    enter: 'Enter',
    endInput: 'Encerrar entrada',
    newRun: 'Nova execução',
    helpHeading: 'Ajuda',
    help: 'Digite cada valor e pressione Enter: o programa lê um valor por linha. Linhas ' +
      'coladas são lidas uma a uma, como se digitadas. Escreva os decimais com ponto (0.71 ' +
      'ou 7.1E-1): a vírgula encerra o valor. No celular, o ponto pode estar na página de ' +
      'símbolos do teclado, e o botão Enter ou a tecla de envio do teclado envia a linha. ' +
      'Para encerrar a entrada, pressione Ctrl+Z e depois Enter ou, no celular, o botão ' +
      'Encerrar entrada.',
    loading: 'Carregando o programa…',
    running: 'Em execução: o programa aguarda os valores.',
    ended: 'O programa terminou com o código de saída {code}.',
    tableWritten: ' resultados.txt foi gravado: a tabela está abaixo.',
    loadFailed: 'Não foi possível carregar o programa (tavelo.js falta ou foi bloqueado). ' +
      'Verifique a conexão e comece de novo.',
    noWasm: 'Este navegador não executa WebAssembly, de que o programa precisa: use um ' +
      'navegador atual.',
    crashed: 'O programa parou inesperadamente ({detail}).',
    startAgain: 'Começar de novo',
    resultsHeading: 'Resultados',
    chartTitle: 'Nu em função de Re em eixos logarítmicos, os limites das faixas tracejados; ' +
      'a tabela traz os valores',
    download: 'Baixar resultados.txt',
  },
};

document.querySelectorAll('[data-text]').forEach((element) => {
  texts.en[element.dataset.text] = element.textContent;
});

let text = texts.en;
// What the status and failure lines say, kept to be said again in the
// other language.
let status = { key: 'loading' };
let failure = null;

function preferredLanguage() {
  try {
    const saved = localStorage.getItem('tavelo-language');
    if (saved in texts) return saved;
  } catch (unavailable) {
    // No storage (a file:// page, a private window): the browser decides.
  }
  for (const tag of navigator.languages || [navigator.language]) {
    if (/^pt\b/i.test(tag)) return 'pt';
    if (/^en\b/i.test(tag)) return 'en';
  }
  return 'en';
}

function setLanguage(language) {
  text = texts[language];
  document.documentElement.lang = text.tag;
  document.title = text.title;
  document.querySelectorAll('[data-text]').forEach((element) => {
    element.textContent = text[element.dataset.text];
  });
  const other = texts[language === 'pt' ? 'en' : 'pt'];
  const switcher = $('language');
  switcher.textContent = text.otherLanguage;
  switcher.lang = other.tag;
  switcher.dataset.language = language === 'pt' ? 'en' : 'pt';
  fields.forEach(hintComma);
  sayStatus();
  sayFailure();
}

$('language').addEventListener('click', (event) => {
  const language = event.currentTarget.dataset.language;
  setLanguage(language);
  try {
    localStorage.setItem('tavelo-language', language);
  } catch (unavailable) {
    // Not remembered where there is no storage.
  }
});

function sayStatus() {
  const { key, code, table } = status;
  statusLine.textContent = key === 'ended'
    ? text.ended.replace('{code}', code) + (table ? text.tableWritten : '') : text[key] || '';
}

function sayFailure() {
  failureBox.textContent = '';
  if (failure === null) return null;
  const message = document.createElement('p');
  message.textContent = text[failure.key].replace('{detail}', failure.detail);
  const again = document.createElement('button');
  again.type = 'button';
  again.textContent = text.startAgain;
  again.addEventListener('click', startAgain);
  failureBox.append(message, again);
  return again;
}

// Bytes and text, one byte per character, as the console's code page.
const textOf = (bytes) => String.fromCharCode(...bytes);
const bytesOf = (line) => Uint8Array.from(line, (c) => (c.charCodeAt(0) < 256 ? c.charCodeAt(0) : 63));

// ---- The console ------------------------------------------------------

// Ctrl+Z shows as this symbol while its line is typed, and as ^Z once read.
const kCtrlZ = '\u241a';

let typedLines = [];  // lines ended with Enter, not yet read: { text, bytes }
let reader = null;    // the program's read waiting for a line
let running = false;

// The transcript only grows, so that a screen reader hears what is added.
function append(shown) {
  transcriptBox.append(shown);
  transcriptBox.scrollTop = transcriptBox.scrollHeight;
}

function show(bytes) {
  append(textOf(bytes).replace(/\r/g, ''));
}

// A read takes the first typed line, or as much of it as fits; the console
// echoes a line when the program takes it, so the transcript is the dialogue.
function handOver() {
  if (reader === null || typedLines.length === 0) return;
  const [size, answer] = reader;
  reader = null;
  answer(takeLine(size));
}

function takeLine(size) {
  const first = typedLines[0];
  if (first.text !== null) append(first.text.replace(/[\x1a\u241a]/g, '^Z') + '\n');
  first.text = null;
  if (first.bytes.length <= size) return typedLines.shift().bytes;
  const part = first.bytes.subarray(0, size);
  first.bytes = first.bytes.subarray(size);
  return part;
}

function typeLine(line) {
  typedLines.push({ text: line, bytes: bytesOf(line.split(kCtrlZ).join('\x1a') + '\n') });
  handOver();
}

function enter(ending = '') {
  const line = lineInput.value + ending;
  lineInput.value = '';
  if (running) typeLine(line);
}

function setTyping(on) {
  running = on;
  for (const control of [lineInput, ...$('typing').querySelectorAll('button')]) {
    control.disabled = !on;
  }
}

$('typing').addEventListener('submit', (event) => {
  event.preventDefault();
  enter();
});
$('end-input').addEventListener('click', () => enter(kCtrlZ));
lineInput.addEventListener('keydown', (event) => {
  if (event.ctrlKey && !event.altKey && event.key.toLowerCase() === 'z') {
    event.preventDefault();
    lineInput.setRangeText(kCtrlZ, lineInput.selectionStart, lineInput.selectionEnd, 'end');
  }
});
// Pasted lines are typed one after another; the text after the last line
// end stays on the line being typed.
lineInput.addEventListener('paste', (event) => {
  const pasted = event.clipboardData.getData('text/plain');
  if (!/[\r\n]/.test(pasted)) return;
  event.preventDefault();
  const { value, selectionStart, selectionEnd } = lineInput;
  const lines = pasted.split(/\r\n|\r|\n/);
  lines[0] = value.slice(0, selectionStart) + lines[0];
  const rest = lines.pop();
  lineInput.value = rest + value.slice(selectionEnd);
  lineInput.setSelectionRange(rest.length, rest.length);
  if (running) lines.forEach(typeLine);
});

// ---- The viewer ---------------------------------------------------------

let downloadUrl = null;
let tableRows = [];  // the rows of the last table shown, as numbers
let wroteTable = false;

const superscript = (power) => String(power).replace(/[-\d]/g,
  (c) => '⁻⁰¹²³⁴⁵⁶⁷⁸⁹'['-0123456789'.indexOf(c)]);

// A field of the file as people write numbers: 0.6630815, 64, 1.701412 × 10³⁸.
function readable(field) {
  const parts = /^([-+]?\d\.\d+)E([-+]\d+)$/.exec(field);
  if (!parts) return field;
  const power = Number(parts[2]);
  if (power >= -4 && power < 7) return String(Number(field));
  return `${Number(parts[1])} × 10${superscript(power)}`;
}

function showTable(name, bytes) {
  const content = textOf(bytes);
  fileView.textContent = content.replace(/\r\n/g, '\n');
  downloadUrl = URL.createObjectURL(new Blob([bytes], { type: 'text/plain' }));
  const link = document.createElement('a');
  link.download = name;
  link.href = downloadUrl;
  link.dataset.text = 'download';
  link.textContent = text.download;
  downloadPlace.textContent = '';
  downloadPlace.append(link);
  const rows = content.split('\r\n').slice(1).map((row) => row.trim().split(/\s+/))
    .filter((row) => row.length === 5);
  tableBody.textContent = '';
  tableBody.append(...rows.map((row) => {
    const line = document.createElement('tr');
    row.forEach((field, column) => {
      const cell = document.createElement(column === 0 ? 'th' : 'td');
      if (column === 0) cell.scope = 'row';
      cell.textContent = readable(field);
      line.append(cell);
    });
    return line;
  }));
  tableRows = rows.map((row) => row.map(Number));
  wroteTable = true;
  viewer.hidden = false;
  drawChart();
}

const svg = (tag, attributes, content) => {
  const element = document.createElementNS('http://www.w3.org/2000/svg', tag);
  for (const [name, value] of Object.entries(attributes)) element.setAttribute(name, value);
  if (content !== undefined) element.textContent = content;
  chart.append(element);
  return element;
};

// The whole decades around values' logarithms, at least one.
function decades(values) {
  const low = Math.floor(Math.min(...values));
  return [low, Math.max(low + 1, Math.ceil(Math.max(...values)))];
}

// Nu against Re on logarithmic axes fitted to the rows, rows outside every
// band (C = 0) left out. One unit of the drawing is one CSS pixel of its
// width on the screen, so its text keeps the size the style gives it.
function drawChart() {
  chart.querySelectorAll(':scope > :not(title)').forEach((element) => element.remove());
  const rows = tableRows.filter((row) => row[1] > 0 && row[3] > 0 && row[4] > 0 &&
    Number.isFinite(row[4]));
  chart.style.display = rows.length === 0 ? 'none' : '';
  if (rows.length === 0) return;
  const width = Math.max(240, Math.round(viewer.clientWidth));
  const height = Math.round(Math.min(420, Math.max(260, width * 0.62)));
  chart.setAttribute('viewBox', `0 0 ${width} ${height}`);
  const [left, right, top, bottom] = [60, width - 12, 10, height - 48];
  const [reLow, reHigh] = decades(rows.map((row) => Math.log10(row[3])));
  const [nuLow, nuHigh] = decades(rows.map((row) => Math.log10(row[4])));
  const x = (re) => left + ((Math.log10(re) - reLow) / (reHigh - reLow)) * (right - left);
  const y = (nu) => bottom - ((Math.log10(nu) - nuLow) / (nuHigh - nuLow)) * (bottom - top);
  // Labels at most every 48 px across and 28 px up.
  const reStep = Math.ceil(((reHigh - reLow) * 48) / (right - left));
  const nuStep = Math.ceil(((nuHigh - nuLow) * 28) / (bottom - top));
  for (let k = reLow; k <= reHigh; k++) {
    svg('line', { class: 'grid', x1: x(10 ** k), x2: x(10 ** k), y1: top, y2: bottom });
    if ((k - reLow) % reStep === 0) {
      svg('text', { x: x(10 ** k), y: bottom + 20, 'text-anchor': 'middle' }, '10' + superscript(k));
    }
  }
  for (let k = nuLow; k <= nuHigh; k++) {
    svg('line', { class: 'grid', x1: left, x2: right, y1: y(10 ** k), y2: y(10 ** k) });
    if ((k - nuLow) % nuStep === 0) {
      svg('text', { x: left - 6, y: y(10 ** k) + 5, 'text-anchor': 'end' }, '10' + superscript(k));
    }
  }
  svg('path', { class: 'axis', d: `M${left},${top}V${bottom}H${right}` });
  svg('text', { x: (left + right) / 2, y: bottom + 42, 'text-anchor': 'middle' }, 'Re');
  svg('text', { x: 16, y: (top + bottom) / 2, 'text-anchor': 'middle',
    transform: `rotate(-90 16 ${(top + bottom) / 2})` }, 'Nu');
  for (const limit of [40, 1000, 200000].filter((re) => re > 10 ** reLow && re < 10 ** reHigh)) {
    svg('line', { class: 'band', x1: x(limit), x2: x(limit), y1: top, y2: bottom });
    svg('text', { class: 'band-label', x: x(limit) - 5, y: top + 4, 'text-anchor': 'end',
      transform: `rotate(-90 ${x(limit) - 5} ${top + 4})` }, 'Re = ' + limit);
  }
  svg('polyline', { class: 'curve', points: rows.map((r) => `${x(r[3])},${y(r[4])}`).join(' ') });
  for (const row of rows) svg('circle', { class: 'point', cx: x(row[3]), cy: y(row[4]), r: 3 });
}

window.addEventListener('resize', () => {
  if (!viewer.hidden) drawChart();
});

// ---- A run --------------------------------------------------------------

function host() {
  return createPageHost({
    console: {
      read: (size) => (typedLines.length > 0 ? takeLine(size)
        : new Promise((answer) => { reader = [size, answer]; })),
      write: show,
    },
    view: showTable,
    end: ended,
  });
}

function say(said) {
  status = said;
  sayStatus();
}

function ended(code) {
  setTyping(false);
  say({ key: 'ended', code, table: wroteTable });
  if (document.activeElement === document.body || document.activeElement.disabled) {
    $('new-run').focus();
  }
}

// Whatever stops the program other than its end: said, with a way back.
function failed(key, detail = '') {
  setTyping(false);
  reader = null;
  say({ key: '' });
  failure = { key, detail };
  sayFailure().focus();
}

const programLoaded = () => typeof createTavelo === 'function';

function newRun(focus = true, typedAhead = []) {
  typedLines = typedAhead;
  reader = null;
  transcriptBox.textContent = '';
  lineInput.value = '';
  viewer.hidden = true;
  downloadPlace.textContent = '';
  if (downloadUrl) URL.revokeObjectURL(downloadUrl);
  wroteTable = false;
  failure = null;
  sayFailure();
  say({ key: 'running' });
  setTyping(true);
  if (focus) lineInput.focus();
  createTavelo({ host: host(), onAbort: (reason) => failed('crashed', String(reason)) })
    .catch((error) => failed('crashed', what(error)));
}

function startAgain() {
  if (programLoaded()) newRun();
  else location.reload();
}

const what = (error) => String((error && error.message) || error);
window.addEventListener('error', (event) => failed('crashed', what(event.error || event.message)));
window.addEventListener('unhandledrejection', (event) => {
  // The program's end unwinds it; that is no failure.
  if (event.reason !== 'unwind') failed('crashed', what(event.reason));
});

$('new-run').addEventListener('click', startAgain);

// ---- The values form ----------------------------------------------------

// The program reads a comma as the end of a value; the page says so and
// sends what was written all the same.
function hintComma(field) {
  $(field.id + '-hint').textContent = field.value.includes(',') ? text.commaHint : '';
}

fields.forEach((field) => field.addEventListener('input', () => hintComma(field)));

$('values').addEventListener('submit', (event) => {
  event.preventDefault();
  const values = new URLSearchParams(fields.map((field) => [field.name, field.value]));
  try {
    history.replaceState(null, '', '?' + values);
  } catch (unavailable) {
    // A page opened from a folder may not rewrite its address.
  }
  // Before the program has loaded, the values wait for its first run.
  if (programLoaded()) newRun(false);
  else typedLines = [];
  values.forEach((value) => typeLine(value));
});

// ---- Start ----------------------------------------------------------------

const shared = new URLSearchParams(location.search);
fields.forEach((field) => {
  if (shared.has(field.name)) field.value = shared.get(field.name);
});
setLanguage(preferredLanguage());
// Lines typed before the program has loaded wait for its first run.
setTyping(true);

// The program, tavelo.js, is the larger part of the page: it is fetched once
// the page's own text has been painted.
if (typeof WebAssembly !== 'object') {
  failed('noWasm');
} else {
  requestAnimationFrame(() => setTimeout(() => {
    const program = document.createElement('script');
    program.src = 'tavelo.js';
    program.onload = () => (programLoaded() ? newRun(true, typedLines) : failed('loadFailed'));
    program.onerror = () => failed('loadFailed');
    document.head.append(program);
  }));
}

// Served (http: or https:), the page can be installed as an app, and its
// service worker keeps it for use offline. A page opened from a folder
// (file://) can have neither: a browser refuses it the manifest and the
// worker.
if (location.protocol.startsWith('http')) {
  const manifest = document.createElement('link');
  manifest.rel = 'manifest';
  manifest.href = 'manifest.webmanifest';
  document.head.append(manifest);
  if (window.isSecureContext && 'serviceWorker' in navigator) {
    // Without its worker the page still runs, only not offline.
    addEventListener('load', () => navigator.serviceWorker.register('sw.js').catch(() => {}));
  }
}
