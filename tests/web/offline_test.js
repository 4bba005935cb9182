// The page once visited opens and runs with no network, and Chromium finds
// it installable; opened from its folder (file://, no service worker) it
// runs as well. Each time the worked example's download link must give the
// table's exact bytes.
// Usage: node offline_test.js URL SITE-FOLDER EXPECTED-RESULTADOS
'use strict';
const fs = require('fs');
const path = require('path');
const { pathToFileURL } = require('url');
const puppeteer = require('puppeteer-core');
const { launch } = require('./browser');

const [url, site, expectedFile] = process.argv.slice(2);
const expected = fs.readFileSync(expectedFile);

function check(ok, what) {
  if (!ok) throw new Error(what);
}

// Each value is typed once its prompt shows, as a person would.
async function workedExample(page, where) {
  for (const [prompt, value] of [['Prs', '0.7'], ['Pr\n', '0.71'], ['conjuntos', '7']]) {
    await page.waitForFunction((prompt) => (document.body.innerText +
      [...document.querySelectorAll('textarea')].map((area) => area.value).join('') + '\n')
      .includes(prompt), { timeout: 10000 }, prompt);
    await page.keyboard.type(`${value}\n`);
  }
  const link = await page.waitForSelector('a[download]', { timeout: 10000 });
  const bytes = Buffer.from(await link.evaluate(async (a) =>
    [...new Uint8Array(await (await fetch(a.href)).arrayBuffer())]));
  check(bytes.equals(expected), `${where}: ${bytes.length} bytes downloaded, not the table`);
  console.log(`${where}: passed`);
}

async function withPage(address, body) {
  const { browser, page, errors } = await launch(puppeteer, address);
  try {
    await body(page);
    check(errors.length === 0, `${address}: the page reported errors: ${errors.join('; ')}`);
  } finally {
    await browser.close();
  }
}

async function main() {
  await withPage(url, async (page) => {
    await page.waitForFunction(() => navigator.serviceWorker.controller !== null);
    const cdp = await page.target().createCDPSession();
    const { installabilityErrors } = await cdp.send('Page.getInstallabilityErrors');
    check(installabilityErrors.length === 0,
      `Chromium finds the page not installable: ${JSON.stringify(installabilityErrors)}`);
    console.log('installable: passed');
    // The worker fetches for itself: it goes offline too.
    const worker = await page.browser().waitForTarget((target) => target.type() === 'service_worker');
    const workerCdp = await worker.createCDPSession();
    await workerCdp.send('Network.enable');
    await workerCdp.send('Network.emulateNetworkConditions',
      { offline: true, latency: 0, downloadThroughput: -1, uploadThroughput: -1 });
    await page.setOfflineMode(true);
    const shared = await page.goto(`${url}?Prs=0.7&Pr=0.71&N=7`);
    check(shared.ok() && shared.fromServiceWorker(), 'offline, a shared link does not open the page');
    await page.goto(url);
    await workedExample(page, 'offline reload');
  });
  await withPage(pathToFileURL(path.join(site, 'index.html')).href,
    (page) => workedExample(page, 'from its folder (file://)'));
}

main().catch((error) => {
  console.error(`FAILED: ${error.message}`);
  process.exit(1);
});
