// Plays through the page in headless chromium: a new player logs in (the
// password field masked) and plays a few commands; a second page joins the
// same shared world and sees the first player. Exits 0 when all holds.
// Screenshots, when asked for, are <prefix>-phone-light.png (390x844),
// -phone-dark, -desktop-light and -desktop-dark (1280x800).
//   node play.mjs <url> [screenshot prefix]
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

  const attribute = (page, name) => page.$eval("#line", (input, n) => input.getAttribute(n), name);
  const status = (page) => page.$eval("#status", (line) => line.hidden ? "" : line.textContent);

  async function join(page, name) {
    await page.goto(url);
    await waitFor(page, "Qual'e' il tuo nome?");
    check((await text(page)).replace(/\s+/g, " ").includes("un nome nuovo diventa il tuo personaggio"),
          "the first screen");
    check(await page.$eval("#line", (input) => document.activeElement === input), "focus on the line");
    check(await attribute(page, "autocomplete") === "username", "a name's autocomplete");
    check(await attribute(page, "maxlength") === "4096", "the field's limit");
    await type(page, name);
    step = "the masked field";
    await page.waitForFunction(() => document.getElementById("line").type === "password",
                               { timeout: 10000, polling: 100 });
    check(await attribute(page, "autocomplete") === "current-password", "a password's autocomplete");
    await type(page, "segreto");
    await waitFor(page, "Riscrivi la tua password");
    check(await page.$eval("#line", (input) => input.type) === "password", "second prompt masked");
    check(await attribute(page, "autocomplete") === "new-password", "a new password's autocomplete");
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
  check(await status(anna) === "Sei sulla piazza di Pietracava. · in linea: 1", "status: " + await status(anna));
  // The send button, for phones.
  await anna.type("#line", "leggi la lettera");
  await anna.click("#send");
  await waitFor(anna, "Caro nipote");
  await type(anna, "est");
  step = "the status line after a move";
  await anna.waitForFunction(() => document.getElementById("status").textContent.startsWith("Sei nell'osteria"),
                             { timeout: 10000, polling: 100 });
  await type(anna, "ovest");
  // A long line is one command; one past the limit runs nothing.
  await anna.$eval("#line", (input) => { input.value = "guarda" + " ".repeat(300); });
  await anna.click("#send");
  await waitFor(anna, "Sei sulla piccola piazza");
  await anna.evaluate(() => socket.send("x".repeat(5000)));
  await waitFor(anna, "La riga e' troppo lunga (piu' di 4096 byte)");
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
    for (const [size, width, height] of [["phone", 390, 844], ["desktop", 1280, 800]])
      for (const scheme of ["light", "dark"]) {
        await anna.setViewport({ width, height });
        await anna.emulateMediaFeatures([{ name: "prefers-color-scheme", value: scheme }]);
        await anna.screenshot({ path: `${screenshot}-${size}-${scheme}.png` });
      }

  // The transcript outlives a reload of the tab.
  await anna.bringToFront();
  await anna.reload();
  await waitFor(anna, "Pagina ricaricata.");
  check((await text(anna)).includes("Caro nipote"), "the transcript after a reload");
  // ...and the player is taken up again without the name or the password.
  step = "the session resumed";
  await anna.waitForFunction(() => {
    const log = document.getElementById("log").textContent;
    return log.slice(log.lastIndexOf("Pagina ricaricata.")).includes("Cosa devo fare?");
  }, { timeout: 10000, polling: 100 });
  const resumed = await text(anna);
  check(!resumed.slice(resumed.lastIndexOf("Pagina ricaricata.")).includes("Qual'e' il tuo nome?"),
        "no login after a reload");

  // A connection lost is told as such; connecting again takes the player up.
  await anna.evaluate(() => socket.close());
  await waitFor(anna, "Connessione interrotta.");
  step = "the button to connect again";
  await anna.waitForSelector("#again:not([hidden])", { timeout: 10000 });
  check(await anna.$eval("#again", (button) => button.textContent) === "Riconnetti", "Riconnetti");
  await anna.click("#again");
  await anna.waitForFunction(() => {
    const log = document.getElementById("log").textContent;
    return log.slice(log.lastIndexOf("Connessione interrotta.")).includes("Cosa devo fare?");
  }, { timeout: 10000, polling: 100 });

  // Anna quits: the pause is a button, and the page shows an ending with a
  // button to play again.
  await type(anna, "basta");
  await waitFor(anna, "Vuoi smettere di giocare?");
  await type(anna, "si");
  await waitFor(anna, "Premi <invio>");
  step = "the button to go on";
  await anna.waitForSelector("#continue:not([hidden])", { timeout: 10000 });
  await anna.click("#continue");
  await waitFor(anna, "Fine della partita.");
  const ending = await text(anna);
  check(!ending.slice(ending.lastIndexOf("Premi <invio>")).includes("Connessione interrotta."),
        "a goodbye is no lost connection");
  step = "the button to play again";
  await anna.waitForSelector("#again:not([hidden])", { timeout: 10000 });
  check(await anna.$eval("#again", (button) => button.textContent) === "Gioca ancora", "Gioca ancora");
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
