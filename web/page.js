// The page as tavelo's system: a console that edits and hands over typed
// lines as a Windows console does, an in-memory file system, and the viewer
// that shows resultados.txt with its download link and chart.
'use strict';

const consoleArea = document.getElementById('console');
const statusLine = document.getElementById('status');
const viewer = document.getElementById('viewer');
const table = document.getElementById('resultados');
const downloadPlace = document.getElementById('download-place');
const chart = document.getElementById('chart');

// Bytes and text, one byte per character, as the console's code page.
const textOf = (bytes) => String.fromCharCode(...bytes);
const bytesOf = (text) => Uint8Array.from(text, (c) => (c.charCodeAt(0) < 256 ? c.charCodeAt(0) : 63));

// ---- The console ------------------------------------------------------

let transcript = '';  // what the console shows above the line being typed
let line = '';        // the line being typed, Ctrl+Z as \x1a
let typedLines = [];  // lines ended with Enter, not yet read
let reader = null;    // the program's read waiting for a line
let running = false;

function render() {
  consoleArea.value = transcript + line.replace(/\x1a/g, '^Z');
  consoleArea.selectionStart = consoleArea.selectionEnd = consoleArea.value.length;
  consoleArea.scrollTop = consoleArea.scrollHeight;
}

function show(bytes) {
  transcript += textOf(bytes).replace(/\r/g, '');
  render();
}

// A read takes the first typed line, or as much of it as fits.
function handOver() {
  if (reader === null || typedLines.length === 0) return;
  const [size, answer] = reader;
  reader = null;
  answer(takeLine(size));
}

function takeLine(size) {
  const first = typedLines[0];
  if (first.length <= size) return typedLines.shift();
  typedLines[0] = first.subarray(size);
  return first.subarray(0, size);
}

function enter() {
  transcript += line.replace(/\x1a/g, '^Z') + '\n';
  typedLines.push(bytesOf(line + '\n'));
  line = '';
  handOver();
}

function type(text) {
  for (const c of text.replace(/\r\n?/g, '\n')) {
    if (c === '\n') enter();
    else line += c;
  }
}

consoleArea.addEventListener('beforeinput', (event) => {
  if (!event.cancelable) return;  // a composition ends in an input event
  event.preventDefault();
  if (!running) return;
  if (event.inputType === 'insertText') type(event.data);
  else if (event.inputType === 'insertLineBreak' || event.inputType === 'insertParagraph') enter();
  else if (event.inputType === 'deleteContentBackward') line = line.slice(0, -1);
  render();
});
consoleArea.addEventListener('input', () => {
  const value = consoleArea.value;
  if (running && value.startsWith(transcript)) {
    line = '';
    type(value.slice(transcript.length).replace(/\^Z/g, '\x1a'));
  }
  render();
});
consoleArea.addEventListener('paste', (event) => {
  event.preventDefault();
  if (running) type(event.clipboardData.getData('text/plain'));
  render();
});
consoleArea.addEventListener('keydown', (event) => {
  if (event.ctrlKey && !event.altKey && event.key.toLowerCase() === 'z') {
    event.preventDefault();
    if (running) line += '\x1a';
    render();
  }
});

// ---- The viewer ---------------------------------------------------------

let downloadUrl = null;

function showTable(name, bytes) {
  table.textContent = textOf(bytes).replace(/\r\n/g, '\n');
  downloadUrl = URL.createObjectURL(new Blob([bytes], { type: 'text/plain' }));
  const link = document.createElement('a');
  link.download = name;
  link.href = downloadUrl;
  link.textContent = 'Download ' + name;
  downloadPlace.replaceChildren(link);
  drawChart(textOf(bytes));
  viewer.hidden = false;
}

const svg = (tag, attributes, text) => {
  const element = document.createElementNS('http://www.w3.org/2000/svg', tag);
  for (const [name, value] of Object.entries(attributes)) element.setAttribute(name, value);
  if (text !== undefined) element.textContent = text;
  chart.append(element);
  return element;
};

// Nu against Re on logarithmic axes, over the bands' whole range of Re;
// rows outside every band (C = 0) are left out.
function drawChart(text) {
  chart.querySelectorAll(':scope > :not(title)').forEach((element) => element.remove());
  const rows = text.split('\r\n').slice(1).map((row) => row.trim().split(/\s+/).map(Number))
    .filter((row) => row.length === 5 && row[1] > 0 && row[4] > 0 && Number.isFinite(row[4]));
  const [left, right, top, bottom] = [64, 620, 16, 350];
  const nus = rows.map((row) => Math.log10(row[4]));
  const low = Math.floor(Math.min(0, ...nus)), high = Math.max(low + 1, Math.ceil(Math.max(...nus, 0)));
  const x = (re) => left + (Math.log10(re) / 6) * (right - left);
  const y = (nu) => bottom - ((Math.log10(nu) - low) / (high - low)) * (bottom - top);
  for (let k = 0; k <= 6; k++) {
    svg('line', { class: 'grid', x1: x(10 ** k), x2: x(10 ** k), y1: top, y2: bottom });
    svg('text', { x: x(10 ** k), y: bottom + 18, 'text-anchor': 'middle' }, '1e' + k);
  }
  for (let k = low; k <= high; k++) {
    svg('line', { class: 'grid', x1: left, x2: right, y1: y(10 ** k), y2: y(10 ** k) });
    svg('text', { x: left - 6, y: y(10 ** k) + 4, 'text-anchor': 'end' }, '1e' + k);
  }
  svg('path', { class: 'axis', d: `M${left},${top}V${bottom}H${right}` });
  svg('text', { x: (left + right) / 2, y: bottom + 40, 'text-anchor': 'middle' }, 'Re');
  svg('text', { x: 14, y: (top + bottom) / 2, 'text-anchor': 'middle',
    transform: `rotate(-90 14 ${(top + bottom) / 2})` }, 'Nu');
  for (const limit of [40, 1000, 200000]) {
    svg('line', { class: 'band', x1: x(limit), x2: x(limit), y1: top, y2: bottom });
    svg('text', { class: 'band-label', x: x(limit) + 4, y: top + 12 }, 'Re = ' + limit);
  }
  if (rows.length === 0) return;
  svg('polyline', { class: 'curve', points: rows.map((r) => `${x(r[3])},${y(r[4])}`).join(' ') });
  for (const row of rows) svg('circle', { class: 'point', cx: x(row[3]), cy: y(row[4]), r: 3 });
}

// ---- A run --------------------------------------------------------------

function host() {
  return createPageHost({
    console: {
      read: (size) => (typedLines.length > 0 ? takeLine(size)
        : new Promise((answer) => { reader = [size, answer]; })),
      write: show,
    },
    view: showTable,
    end: (code) => {
      running = false;
      statusLine.textContent = `The program ended with exit code ${code}.`;
    },
  });
}

function newRun() {
  transcript = line = '';
  typedLines = [];
  reader = null;
  viewer.hidden = true;
  downloadPlace.replaceChildren();
  if (downloadUrl) URL.revokeObjectURL(downloadUrl);
  statusLine.textContent = 'Running.';
  running = true;
  render();
  consoleArea.focus();
  createTavelo({ host: host() });
}

document.getElementById('new-run').addEventListener('click', newRun);
newRun();
