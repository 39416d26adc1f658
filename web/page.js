"use strict";
const log = document.getElementById("log"), form = document.getElementById("form");
const line = document.getElementById("line"), again = document.getElementById("again");
const send = document.getElementById("send"), pause = document.getElementById("continue");
const status = document.getElementById("status");
const history = []; let back = 0, socket = null, secret = false, playing = false, ended = false;

// The transcript outlives a reload of the tab (not the tab itself), and so
// does the token with which a reload takes the player up again.
const KEPT = "zanfir-transcript", KEPT_PARTS = 1000, RESUME = "zanfir-resume";
const remember = (key, value) => { try { value ? sessionStorage.setItem(key, value) : sessionStorage.removeItem(key); } catch {} };
let kept = [];
try { kept = JSON.parse(sessionStorage.getItem(KEPT) || "[]"); } catch { kept = []; }
let saving = 0;
function keep(text, kind) {
  kept.push([text, kind || ""]);
  if (kept.length > KEPT_PARTS) kept.splice(0, kept.length - KEPT_PARTS);
  clearTimeout(saving);
  saving = setTimeout(() => { try { sessionStorage.setItem(KEPT, JSON.stringify(kept)); } catch {} }, 200);
}

function append(text, kind) {
  const part = document.createElement("span");
  if (kind) part.className = kind;
  part.textContent = text;
  log.append(part);
  while (log.childNodes.length > 2000) log.firstChild.remove();
  log.scrollTop = log.scrollHeight;
}
function show(text, kind) { append(text, kind); keep(text, kind); }

// What the field is for: a name, a password (new when asked twice), a command.
function ask(message) {
  const again = secret && message.secret === true;
  secret = message.secret === true;
  line.type = secret ? "password" : "text";
  line.autocomplete = secret ? (again ? "new-password" : "current-password") : playing ? "off" : "username";
  line.name = secret ? "password" : playing ? "command" : "username";
  line.setAttribute("aria-label", secret ? "La tua password" : playing ? "Il tuo comando" : "Il tuo nome");
  // "- Premi <invio> per continuare... " is a button too.
  pause.hidden = !log.textContent.trimEnd().endsWith("per continuare...");
}

function connect() {
  again.hidden = true; line.disabled = send.disabled = false; ended = playing = false;
  const scheme = location.protocol === "https:" ? "wss://" : "ws://";
  let resume = null;
  try { resume = sessionStorage.getItem(RESUME); } catch {}
  remember(RESUME, null); // it serves once
  socket = new WebSocket(scheme + location.host + "/ws" + (resume ? "?resume=" + encodeURIComponent(resume) : ""));
  socket.onmessage = (event) => {
    let message;
    try { message = JSON.parse(event.data); } catch { return; }
    if (message.type === "text") show(message.text);
    else if (message.type === "input") ask(message);
    else if (message.type === "status") {
      playing = true;
      status.textContent = message.place + (message.online > 0 ? " · in linea: " + message.online : "");
      status.hidden = false;
    } else if (message.type === "resume") remember(RESUME, message.token);
    else if (message.type === "end") { ended = true; remember(RESUME, null); }
  };
  socket.onclose = () => {
    show(ended ? "\n— Fine della partita. —\n" : "\n— Connessione interrotta. —\n", "note");
    again.textContent = ended ? "Gioca ancora" : "Riconnetti";
    again.hidden = false; pause.hidden = true; line.disabled = send.disabled = true; again.focus();
  };
}

function submit(text) {
  if (!socket || socket.readyState !== WebSocket.OPEN) return;
  socket.send(text);
  show(secret ? "\n" : text + "\n", "typed");
  if (!secret && text.trim() && history[history.length - 1] !== text) history.push(text);
  back = history.length; line.value = ""; pause.hidden = true;
}

form.addEventListener("submit", (event) => { event.preventDefault(); submit(line.value); line.focus(); });
pause.addEventListener("click", () => { submit(""); line.focus(); });

line.addEventListener("keydown", (event) => {
  if (secret || (event.key !== "ArrowUp" && event.key !== "ArrowDown")) return;
  event.preventDefault();
  back = Math.max(0, Math.min(history.length, back + (event.key === "ArrowUp" ? -1 : 1)));
  line.value = history[back] || "";
});

again.addEventListener("click", () => { status.hidden = true; show("\n", ""); connect(); line.focus(); });
document.addEventListener("click", (event) => {
  if (!line.disabled && !getSelection().toString() && event.target.tagName !== "BUTTON") line.focus();
});

if (kept.length) { // a reload: what was played before, then a new connection
  log.textContent = "";
  for (const [text, kind] of kept) append(text, kind);
  show("\n— Pagina ricaricata. —\n", "note");
}
addEventListener("resize", () => { log.scrollTop = log.scrollHeight; });
connect();
