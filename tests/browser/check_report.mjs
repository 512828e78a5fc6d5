// tests/browser/check_report.mjs
// Opens each diagnostics report directory's index.html in the system
// Chromium, headless, and checks what a reader would see: every image
// decodes and is shown without being stretched, every plot is there and
// has something drawn in it, nothing sticks out of the page on a laptop
// screen or on paper, and the page asks for nothing over the network.
//
//   node check_report.mjs [--screenshot FILE] DIR...
//
// Prints "ok DIR" or "FAIL DIR: reason; reason" for each directory; exits
// 0 when all pass, 1 when one fails, 2 when the browser cannot be started.
import { chromium } from 'playwright-core';
import { pathToFileURL } from 'node:url';
import path from 'node:path';
import fs from 'node:fs';
import zlib from 'node:zlib';

const executablePath = process.env.CLBL_CHROMIUM || '/usr/bin/chromium';
// Chromium here runs as root and must not reach out to any service.
const chromiumArgs = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                      '--disable-background-networking', '--disable-component-update', '--disable-sync'];
const laptop = { width: 1366, height: 768 };
// An A4 page at 96 CSS pixels per inch, less 2 cm of margins.
const paper = { width: 718, height: 1047 };
// The plots the page must show, and the series each must have drawn.
const plots = { timeline: ['exposure', 'contrast', 'brightness', 'good pels'], scatter: ['settings'],
                histogram: ['R', 'G', 'B'] };

// Runs in the page: everything that can be judged from the rendered DOM.
async function inspect(expectedPlots) {
  const problems = [];
  const decodes = (src) => new Promise((resolve) => {
    const probe = new Image();
    probe.onload = () => resolve({ ok: probe.naturalWidth > 0, width: probe.naturalWidth, height: probe.naturalHeight });
    probe.onerror = () => resolve({ ok: false });
    probe.src = src;
  });
  // "#id", or the tag and its first class ("svg.record-drawing").
  const describe = (el) => {
    if (el.id) return `#${el.id}`;
    const cls = el.getAttribute('class');
    return el.tagName.toLowerCase() + (cls ? '.' + cls.split(' ')[0] : '');
  };
  const near = (a, b) => Math.abs(a - b) <= Math.max(1.5, 0.01 * Math.max(a, b));

  for (const img of document.images) {
    await img.decode().catch(() => {});
    const src = img.getAttribute('src');
    if (!img.complete || img.naturalWidth === 0) { problems.push(`image ${src} does not decode`); continue; }
    const w = img.clientWidth, h = img.clientHeight;
    if (w > img.naturalWidth + 0.5) problems.push(`image ${src} is enlarged to ${w} pels wide`);
    if (!near(w / h, img.naturalWidth / img.naturalHeight)) problems.push(`image ${src} is stretched to ${w} x ${h}`);
  }
  for (const image of document.querySelectorAll('svg image')) {
    const href = image.getAttribute('href') || image.getAttribute('xlink:href') || '';
    const decoded = await decodes(new URL(href, document.baseURI).href);
    const name = href.startsWith('data:') ? 'embedded image' : href;
    if (!decoded.ok) { problems.push(`image ${name} in a drawing does not decode`); continue; }
    const w = image.width.baseVal.value, h = image.height.baseVal.value;
    if (w !== decoded.width || h !== decoded.height)
      problems.push(`image ${name} is drawn at ${w} x ${h} but is ${decoded.width} x ${decoded.height}`);
  }
  for (const svg of document.querySelectorAll('svg.record-drawing')) {
    const r = svg.getBoundingClientRect(), vb = svg.viewBox.baseVal;
    if (!vb || vb.width === 0 || !near(r.width / r.height, vb.width / vb.height))
      problems.push(`result record drawing is stretched to ${r.width} x ${r.height}`);
  }

  for (const [id, names] of Object.entries(expectedPlots)) {
    const plot = document.getElementById(id);
    if (!plot) { problems.push(`plot ${id} is missing`); continue; }
    const r = plot.getBoundingClientRect();
    if (r.width < 200 || r.height < 100) { problems.push(`plot ${id} is only ${r.width} x ${r.height}`); continue; }
    for (const name of names) {
      const series = [...plot.querySelectorAll('.series')].find((g) => g.dataset.name === name);
      const drawn = series && [...series.querySelectorAll('path, circle, polyline')].some((shape) => {
        const b = shape.getBBox();
        const box = shape.getBoundingClientRect();
        return (b.width > 0 || b.height > 0 || box.width > 0) && getComputedStyle(shape).visibility !== 'hidden';
      });
      if (!drawn) problems.push(`plot ${id} has nothing drawn for ${name}`);
    }
  }

  // Layout: nothing wider than the window, no overlapping neighbours in
  // the grids, and no text cut off by its box.
  const width = document.documentElement.clientWidth;
  if (document.documentElement.scrollWidth > width + 1)
    problems.push(`the page is ${document.documentElement.scrollWidth} pels wide in a ${width} pel window`);
  for (const el of document.querySelectorAll('img, svg:not(svg svg), table, figure, h1, h2, h3, p, section')) {
    const r = el.getBoundingClientRect();
    if (r.right > width + 1 || r.left < -1) problems.push(`${describe(el)} sticks out of the page (${r.left}..${r.right})`);
  }
  for (const grid of document.querySelectorAll('.pair, .thumbs, div.record')) {
    const boxes = [...grid.children].map((c) => c.getBoundingClientRect());
    for (let i = 0; i < boxes.length; ++i)
      for (let j = i + 1; j < boxes.length; ++j) {
        const a = boxes[i], b = boxes[j];
        if (a.left < b.right - 1 && b.left < a.right - 1 && a.top < b.bottom - 1 && b.top < a.bottom - 1)
          problems.push(`${describe(grid.children[i])} and ${describe(grid.children[j])} overlap in ${describe(grid)}`);
      }
  }
  for (const el of document.querySelectorAll('td, th, h1, h2, h3, figcaption')) {
    if (el.scrollWidth > el.clientWidth + 1 && getComputedStyle(el).overflow !== 'visible')
      problems.push(`text of ${describe(el)} is cut off`);
  }
  for (const id of ['summary', 'search', 'images', 'records'])
    if (!document.getElementById(id)) problems.push(`section ${id} is missing`);
  return problems;
}

// A browser shows what it can of a truncated or damaged PNG, so each PNG
// the page uses is also decoded here in full: every chunk's CRC, an IEND,
// and image data that inflates to exactly the rows the header announces.
const crcTable = Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});
function crc32(bytes) {
  let c = 0xffffffff;
  for (const b of bytes) c = crcTable[(c ^ b) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}
function pngProblem(file) {
  let data;
  try { data = fs.readFileSync(file); } catch (e) { return 'cannot be read'; }
  if (data.length < 8 || data.readUInt32BE(0) !== 0x89504e47) return 'is not a PNG';
  let at = 8, header = null, ended = false;
  const idat = [];
  while (at + 12 <= data.length && !ended) {
    const length = data.readUInt32BE(at), type = data.toString('latin1', at + 4, at + 8);
    if (at + 12 + length > data.length) return `is truncated in its ${type} chunk`;
    if (crc32(data.subarray(at + 4, at + 8 + length)) !== data.readUInt32BE(at + 8 + length))
      return `has a corrupted ${type} chunk`;
    const body = data.subarray(at + 8, at + 8 + length);
    if (type === 'IHDR') header = { width: body.readUInt32BE(0), height: body.readUInt32BE(4), depth: body[8], colour: body[9] };
    if (type === 'IDAT') idat.push(body);
    ended = type === 'IEND';
    at += 12 + length;
  }
  if (!header || !ended) return 'is truncated';
  const channels = { 0: 1, 2: 3, 3: 1, 4: 2, 6: 4 }[header.colour];
  let pels;
  try { pels = zlib.inflateSync(Buffer.concat(idat)); } catch (e) { return 'has image data that does not inflate'; }
  const expected = header.height * (1 + Math.ceil((header.width * channels * header.depth) / 8));
  if (pels.length !== expected) return `has ${pels.length} bytes of rows, not ${expected}`;
  return null;
}

async function checkDirectory(browser, dir, screenshot) {
  const problems = [];
  const index = path.join(dir, 'index.html');
  if (!fs.existsSync(index)) return [`${index} does not exist`];
  const html = fs.readFileSync(index, 'utf8');
  for (const [, name] of html.matchAll(/(?:src|href)="([^":]+\.png)"/g)) {
    const problem = pngProblem(path.join(dir, name));
    if (problem) problems.push(`image ${name} does not decode: it ${problem}`);
  }
  for (const [view, media] of [[laptop, 'screen'], [paper, 'print']]) {
    const context = await browser.newContext({ viewport: view, offline: true });
    const page = await context.newPage();
    const where = media === 'print' ? ' (printed)' : '';
    page.on('request', (request) => {
      const url = request.url();
      if (!url.startsWith('file:') && !url.startsWith('data:')) problems.push(`the page asks for ${url}${where}`);
    });
    page.on('requestfailed', (request) => problems.push(`${request.url()} cannot be loaded${where}`));
    page.on('console', (message) => {
      if (message.type() === 'error') problems.push(`browser error: ${message.text()}${where}`);
    });
    await page.emulateMedia({ media });
    await page.goto(pathToFileURL(index).href, { waitUntil: 'load' });
    for (const p of await page.evaluate(inspect, plots)) problems.push(p + where);
    if (screenshot && media === 'screen') await page.screenshot({ path: screenshot, fullPage: true });
    await context.close();
  }
  return [...new Set(problems)];
}

const args = process.argv.slice(2);
let screenshot = null;
if (args[0] === '--screenshot') { screenshot = args[1]; args.splice(0, 2); }
if (args.length === 0) { console.error('usage: node check_report.mjs [--screenshot FILE] DIR...'); process.exit(2); }

// Playwright gives the browser a fresh profile directory of its own.
let browser;
try {
  browser = await chromium.launch({ executablePath, headless: true, args: chromiumArgs, chromiumSandbox: false });
} catch (e) {
  console.error(`cannot start ${executablePath}: ${e.message.split('\n')[0]}`);
  process.exit(2);
}
let failed = false;
try {
  for (const dir of args) {
    const problems = await checkDirectory(browser, dir, screenshot);
    if (problems.length === 0) console.log(`ok ${dir}`);
    else { failed = true; console.log(`FAIL ${dir}: ${problems.join('; ')}`); }
  }
} finally {
  await browser.close();
}
process.exit(failed ? 1 : 0);
