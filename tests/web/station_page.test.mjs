// The station's page in Debian's chromium, driven by puppeteer-core, against
// a station that runs a simulated line on a sped-up time: the tiles go from
// empty to burning to PASS, the camera a fault is aimed at turns exactly its
// tile FAIL with its last line, a result stays until the slot's next run, a
// reload shows the same state, and after the station stops the page says so
// and takes a fresh snapshot from the next station on the same address.
import { spawn, spawnSync } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import puppeteer from "puppeteer-core";

const cli = process.env.BURNBENCH_CLI;
const examples = process.env.BURNBENCH_EXAMPLES;
const screenshot = process.env.BURNBENCH_SCREENSHOT;
const work = fs.mkdtempSync(path.join(os.tmpdir(), "burnbench-page-"));
const wait = { timeout: 30000, polling: 100 };
const stations = [];
let browser = null;

function check(condition, what) {
  if (!condition) throw new Error("failed: " + what);
  console.log("ok: " + what);
}

// A station with its page on `address`; resolves with the page's address once
// the station says where it serves.
function startStation(address, args) {
  const station = { lines: [], err: "", exited: null };
  const child = spawn(cli, ["--ini", path.join(work, "Isp.ini"), ...args, "--serve", address],
                      { stdio: ["ignore", "pipe", "pipe"] });
  station.child = child;
  station.exit = new Promise(resolve => child.on("exit", code => { station.exited = code; resolve(code); }));
  let out = "";
  child.stdout.on("data", data => {
    out += data;
    const lines = out.split("\n");
    out = lines.pop();
    station.lines.push(...lines);
  });
  station.url = new Promise((resolve, reject) => {
    child.stderr.on("data", data => {
      station.err += data;
      const served = /the station's page is served at (http:\/\/\S+)/.exec(station.err);
      if (served) resolve(served[1]);
    });
    station.exit.then(code => reject(new Error("the station ended (" + code + ") before serving: " + station.err)));
  });
  stations.push(station);
  return station;
}

// The test starts a second station on the first one's port once it has
// ended: a port below the range the system hands to outgoing connections,
// which could take it in between. One that is taken makes the station end at
// start, and another is tried.
async function firstStation(args) {
  const range = fs.readFileSync("/proc/sys/net/ipv4/ip_local_port_range", "utf8").trim().split(/\s+/);
  const below = Math.max(Number(range[0]) || 32768, 11024);
  for (let tries = 1; ; ++tries) {
    const port = 10000 + Math.floor(Math.random() * (below - 10000));
    const station = startStation("127.0.0.1:" + port, args);
    try {
      return { first: station, url: await station.url };
    } catch (error) {
      if (tries === 10 || station.exited !== 2) throw error;
      stations.pop();
    }
  }
}

async function until(predicate, what, ms = 30000) {
  const end = Date.now() + ms;
  while (Date.now() < end) {
    if (await predicate()) return;
    await new Promise(resolve => setTimeout(resolve, 100));
  }
  throw new Error("timed out waiting for " + what);
}

async function main() {
  for (const name of ["Isp.ini", "param.txt", "core.bin", "fw.brn"]) {
    fs.copyFileSync(path.join(examples, name), path.join(work, name));
  }
  const pin = spawnSync(cli, ["--ini", path.join(work, "Isp.ini"), "pin"]);
  check(pin.status === 0, "the job's images are pinned");

  const { first, url } = await firstStation(["--simulate", "3", "station", "--line", "9", "--line-serials", "PAGE-",
                                              "--time-scale", "3", "--fault", "@2:storage-write-fails"]);
  browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM,
    headless: true,
    userDataDir: path.join(work, "chromium"),
    args: ["--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage", "--no-first-run"],
    defaultViewport: { width: 1366, height: 768 },
  });
  const page = await browser.newPage();
  await page.goto(url);
  await page.waitForFunction(() => document.querySelectorAll("#slots .tile").length === 3, wait);
  check(true, "the page shows one tile per slot");
  // Everything each tile showed, in order: the run's steps pass quickly.
  await page.evaluate(() => {
    window.seen = [];
    const record = () => {
      for (const tile of document.querySelectorAll("#slots .tile")) {
        const now = { label: tile.dataset.label, state: tile.dataset.state, serial: tile.dataset.serial,
                      present: tile.dataset.present, percent: Number(tile.dataset.percent),
                      bar: tile.querySelector(".bar div").style.width,
                      barShown: getComputedStyle(tile.querySelector(".bar")).display !== "none",
                      result: tile.querySelector(".result").textContent, line: tile.querySelector(".line").textContent };
        const last = window.seen.filter(s => s.label === now.label).pop();
        if (!last || Object.keys(now).some(key => last[key] !== now[key])) window.seen.push(now);
      }
    };
    record();
    new MutationObserver(record).observe(document.getElementById("slots"),
                                         { subtree: true, attributes: true, childList: true, characterData: true });
  });
  const seen = () => page.evaluate(() => window.seen);

  // The first two cameras' runs end: exactly the one the fault is aimed at fails.
  const ended = serial => first.lines.find(line => line.split("\t")[2] === serial);
  await until(() => ended("PAGE-00001") && ended("PAGE-00002"), "the first two cameras' runs");
  await page.waitForFunction(() => window.seen.some(s => s.serial === "PAGE-00002" && s.state === "failed") &&
                             window.seen.some(s => s.serial === "PAGE-00001" && s.state === "passed"), wait);
  fs.mkdirSync(path.dirname(screenshot), { recursive: true });
  await page.screenshot({ path: screenshot });
  check(fs.statSync(screenshot).size > 0, "a screenshot in the middle of the shift: " + screenshot);

  const history = await seen();
  const failedLine = ended("PAGE-00002").split("\t");
  check(failedLine[3] === "failed", "the station says the second camera failed");
  const failedTile = history.find(s => s.serial === "PAGE-00002" && s.state === "failed");
  check(failedTile.result === "FAIL" && failedTile.line === failedLine[5],
        `its tile shows FAIL with its last line "${failedTile.line}"`);
  check(history.filter(s => s.state === "failed").every(s => s.serial === "PAGE-00002"),
        "no other tile fails");
  const passed = history.find(s => s.serial === "PAGE-00001" && s.state === "passed");
  check(passed.result === "PASS", "the first camera's tile shows PASS");

  // The PASS stays, its camera taken away too, until the slot's next run.
  await page.waitForFunction(label => {
    const slot = window.seen.filter(s => s.label === label);
    const at = slot.findIndex(s => s.serial === "PAGE-00001" && s.state === "passed");
    return slot.slice(at).some(s => s.state !== "passed");
  }, wait, passed.label);
  const slotSeen = (await seen()).filter(s => s.label === passed.label);
  const passedAt = slotSeen.findIndex(s => s.serial === "PAGE-00001" && s.state === "passed");
  const after = slotSeen.slice(passedAt);
  const firstOther = after.findIndex(s => s.state !== "passed");
  check(passedAt >= 0 && after.slice(0, firstOther).some(s => s.present === "false"),
        "the PASS stays on the tile after its camera was taken away");
  check(["burning", "waiting_for_return", "writing_storage", "verifying"].includes(after[firstOther].state) &&
        after[firstOther].serial !== "PAGE-00001",
        `it stays until the next camera's run starts (then: ${after[firstOther].state})`);

  // The next cameras burn with the page watching: a progress bar rises.
  await page.waitForFunction(() => {
    const burns = window.seen.filter(s => s.state === "burning" && s.percent >= 0);
    return burns.some((s, i) => burns.slice(i + 1).some(t => t.label === s.label && t.serial === s.serial &&
                                                             t.percent > s.percent && t.bar === t.percent + "%"));
  }, wait);
  check(true, "a tile burns, its progress bar rising");
  const states = await seen();
  check(states.some(s => s.state === "writing_storage") &&
        states.every(s => s.barShown === (s.percent >= 0 && ["burning", "verifying"].includes(s.state))),
        "a bar shows only while its step has a percentage (none while the camera writes its storage)");

  // A reload in the middle of the shift shows the same state as the station.
  await page.reload();
  await page.waitForFunction(async () => {
    const tiles = [...document.querySelectorAll("#slots .tile")];
    const api = await (await fetch("/api/slots", { cache: "no-store" })).json();
    return tiles.length === api.slots.length &&
           api.slots.every((slot, i) => tiles[i].dataset.state === slot.state && tiles[i].dataset.serial === slot.serial);
  }, wait);
  check(true, "after a reload the tiles show what the station shows");
  await page.waitForFunction(() => document.querySelectorAll("#runs tr").length > 0, wait);
  const runsTitle = await page.$eval("#runs-title", element => element.textContent);
  check(runsTitle.includes("from its records"), "the last runs come from the station's records");

  // The station ends with its line: the page says it lost the station.
  const status = await first.exit;
  check(status === 1, "the shift ends with one failed run (exit 1)");
  await page.waitForFunction(() => document.body.dataset.connected === "false", wait);
  const rows = await page.$$eval("#runs tr", trs => trs.map(tr => tr.children[2].textContent));
  check(rows.length === 9 && rows.includes("PAGE-00009") && rows.includes("PAGE-00001"),
        `the last runs list every run of the shift from the records (${rows.length})`);
  const lost = await page.$eval("#connection", element => element.textContent);
  check(lost.includes("lost the station"), `the page says "${lost}"`);

  // A station back on the same address: the page reconnects to its snapshot.
  const port = new URL(url).port;
  const snapshots = await page.evaluate(() => Number(document.body.dataset.snapshots));
  const second = startStation("127.0.0.1:" + port, ["--simulate", "2", "station", "--line", "2",
                                                    "--line-serials", "AGAIN-", "--time-scale", "4"]);
  await second.url;
  await page.waitForFunction(count => document.body.dataset.connected === "true" &&
                             Number(document.body.dataset.snapshots) > count &&
                             document.querySelectorAll("#slots .tile").length === 2, wait, snapshots);
  check(true, "the page reconnects by itself and shows the new station's fresh snapshot");
}

main()
  .then(() => { console.log("station page in a real browser: all checks passed"); process.exitCode = 0; })
  .catch(error => {
    console.error(error.stack || String(error));
    for (const station of stations) console.error("station standard error:\n" + station.err);
    process.exitCode = 1;
  })
  .finally(async () => {
    if (browser) await browser.close().catch(() => {});
    for (const station of stations) if (station.exited === null) station.child.kill("SIGKILL");
    fs.rmSync(work, { recursive: true, force: true });
  });
