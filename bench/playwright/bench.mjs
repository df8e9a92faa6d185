// Playwright's side of the browser benchmark: median round trip of page.evaluate and of
// page.click on the same page, in a browser it launches from the given executable.
// Usage: BENCH_CHROMIUM=path BENCH_PAGE=url BENCH_ROUNDS=n node bench.mjs
import { chromium } from 'playwright-core';

const executablePath = process.env.BENCH_CHROMIUM;
const pageUrl = process.env.BENCH_PAGE;
const rounds = Number(process.env.BENCH_ROUNDS || 500);

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

async function timeEach(count, action) {
  const times = [];
  for (let i = 0; i < count; i++) {
    const start = performance.now();
    await action();
    times.push(performance.now() - start);
  }
  return times;
}

const args = process.getuid && process.getuid() === 0 ? ['--no-sandbox'] : [];
const browser = await chromium.launch({ executablePath, headless: true, args });
const page = await browser.newPage();
await page.goto(pageUrl);
await timeEach(50, () => page.evaluate('1+1'));
const evaluate = await timeEach(rounds, () => page.evaluate('1+1'));
await timeEach(20, () => page.click('#target'));
const click = await timeEach(Math.max(50, Math.floor(rounds / 3)), () => page.click('#target'));
const clicks = await page.evaluate('window.clicks');
await browser.close();
console.log(`playwright evaluate_ms=${median(evaluate).toFixed(4)} click_ms=${median(click).toFixed(4)} clicks=${clicks}`);
