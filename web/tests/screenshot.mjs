// Takes the README's picture of the page: the crate sample dropped as a
// folder with its _maps, drawn, with its report.
//   node web/tests/screenshot.mjs --page build/web --out docs/web-page.png
import {cpSync, mkdtempSync, rmSync} from 'node:fs';
import {tmpdir} from 'node:os';
import path from 'node:path';
import {parseArgs} from 'node:util';
import puppeteer from 'puppeteer-core';
import {serve} from '../server.mjs';

const {values: args} = parseArgs({options: {
  page: {type: 'string'}, out: {type: 'string'}, chromium: {type: 'string', default: '/usr/bin/chromium'},
}});
const here = path.dirname(new URL(import.meta.url).pathname);
const samples = path.resolve(here, '../../samples');
const work = mkdtempSync(path.join(tmpdir(), 'torvik-shot-'));
const folder = path.join(work, 'crate');
cpSync(path.join(samples, 'crate.3ds'), path.join(folder, 'crate.3ds'));
cpSync(path.join(samples, 'crate_maps'), path.join(folder, 'crate_maps'), {recursive: true});

const server = await serve(args.page);
const browser = await puppeteer.launch({
  executablePath: args.chromium, headless: true,
  args: ['--headless=new', '--no-sandbox', '--enable-unsafe-swiftshader', '--use-angle=swiftshader'],
});
try {
  const page = await browser.newPage();
  await page.setViewport({width: 1200, height: 800});
  await page.goto(server.origin + '/index.html');
  await page.waitForSelector('body[data-ready="true"]');
  const input = await page.$('#pick-folder');
  await input.uploadFile(folder);
  await page.waitForFunction(() => Number(document.body.dataset.finished || 0) > 0);
  await page.waitForFunction(() => document.querySelector('#view').dataset.drawn);
  for (const selector of ['#grid', '#statistics', '#objects summary']) await page.click(selector);
  await page.waitForSelector('#object-list label');
  await page.waitForFunction(() => document.querySelector('#view').dataset.drawn);
  await page.screenshot({path: args.out, fullPage: true});
} finally {
  await browser.close();
  await server.close();
  rmSync(work, {recursive: true, force: true});
}
