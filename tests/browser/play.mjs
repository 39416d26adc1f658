// Plays through the page in headless chromium: a new player logs in (the
// password field masked) and plays a few commands; a second page joins the
// same shared world and sees the first player. Exits 0 when all holds.
//   node play.mjs <url> [screenshot.png]
import puppeteer from "puppeteer-core";

const [url, screenshot] = process.argv.slice(2);
const chromium = process.env.CHROMIUM || "/usr/bin/chromium";
const failures = [];
let step = "start"; // where a failure happened
// A browser that dies leaves the script waiting: a minute is the end.
setTimeout(() => { console.error("browser: " + step + ": no answer"); process.exit(1); }, 60000).unref();
const pages = [];
const check = (ok, what) => { if (!ok) failures.push(what); };

const browser = await puppeteer.launch({
  executablePath: chromium,
  headless: true,
  args: ["--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"],
});
try {
  const text = (page) => page.$eval("#log", (log) => log.textContent);
  const waitFor = (page, words) => (step = "waiting for " + words,
    page.waitForFunction((w) => document.getElementById("log").textContent.includes(w),
                         { timeout: 10000, polling: 100 }, words));
  const type = async (page, line) => { await page.type("#line", line); await page.keyboard.press("Enter"); };

  async function join(page, name) {
    await page.goto(url);
    await waitFor(page, "Qual'e' il tuo nome?");
    check(await page.$eval("#line", (input) => document.activeElement === input), "focus on the line");
    await type(page, name);
    step = "the masked field";
    await page.waitForFunction(() => document.getElementById("line").type === "password",
                               { timeout: 10000, polling: 100 });
    await type(page, "segreto");
    await waitFor(page, "Riscrivi la tua password");
    check(await page.$eval("#line", (input) => input.type) === "password", "second prompt masked");
    await type(page, "segreto");
    await waitFor(page, "Cosa devo fare?");
    // The field turns back to text by the message after the prompt's text.
    check(await page.waitForFunction(() => document.getElementById("line").type === "text",
                                     { timeout: 5000, polling: 50 }).then(() => true, () => false),
          "commands in clear");
  }

  const anna = await browser.newPage();
  pages.push(anna);
  await anna.setViewport({ width: 900, height: 700 });
  await join(anna, "Anna");
  check((await anna.title()) === "La miniera di Santa Barbara", "the title: " + await anna.title());
  let log = await text(anna);
  check(log.includes("È la sera del 3 dicembre."), "accents");
  check(log.includes("l'osteria «Al Piccone»"), "apostrophes and «»");
  check(!log.includes("segreto"), "no password in the transcript");
  await type(anna, "leggi la lettera");
  await waitFor(anna, "Caro nipote");
  await type(anna, "guarda");
  await anna.keyboard.press("ArrowUp");
  check(await anna.$eval("#line", (input) => input.value) === "guarda", "history on Up");
  await anna.$eval("#line", (input) => { input.value = ""; });

  const bruno = await browser.newPage();
  pages.push(bruno);
  await join(bruno, "Bruno");
  check((await text(bruno)).includes("Qui c'e' Anna."), "Bruno sees Anna");
  await type(anna, "guarda");
  await waitFor(anna, "Qui c'e' Bruno.");
  check((await anna.$eval("#log", (log) => log.getAttribute("aria-live"))) === "polite", "aria-live");
  if (screenshot)
    await anna.screenshot({ path: screenshot });

  // Anna quits: the page says the connection is over and offers another.
  await anna.bringToFront();
  await type(anna, "basta");
  await waitFor(anna, "Vuoi smettere di giocare?");
  await type(anna, "si");
  await waitFor(anna, "Premi <invio>");
  await type(anna, "");
  await waitFor(anna, "Connessione interrotta.");
  step = "the button to connect again";
  await anna.waitForSelector("#again:not([hidden])", { timeout: 10000 });
  await anna.click("#again");
  await waitFor(anna, "Qual'e' il tuo nome?");
} catch (error) {
  failures.push(step + ": " + String(error));
  for (const page of pages) // what each page showed last
    console.error(JSON.stringify((await page.$eval("#log", (log) => log.textContent).catch(() => "")).slice(-400)));
} finally {
  await browser.close();
}
if (failures.length) {
  console.error("browser: " + failures.join("; "));
  process.exit(1);
}
console.log("browser: all holds");
