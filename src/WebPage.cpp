// The page a browser plays on: one file, nothing fetched from elsewhere.

#include "Web.h"

namespace zanfir {

namespace {

constexpr const char* PAGE = R"PAGE(<!doctype html>
<html lang="it">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{{TITLE}}</title>
<style>
  :root { color-scheme: light dark; --bg: #fbf8f1; --fg: #24211c; --dim: #6b655a; --line: #d9d2c3; }
  @media (prefers-color-scheme: dark) { :root { --bg: #1d1c1a; --fg: #ece6d9; --dim: #a59e90; --line: #45413a; } }
  * { box-sizing: border-box; }
  html, body { height: 100%; margin: 0; }
  body { display: flex; flex-direction: column; background: var(--bg); color: var(--fg);
         font: 1.15rem/1.55 "Iowan Old Style", "Palatino Linotype", Palatino, Georgia, "Book Antiqua", serif; }
  header { padding: .6rem 1rem; border-bottom: 1px solid var(--line); }
  h1 { margin: 0; font-size: 1.1rem; font-weight: 600; letter-spacing: .02em; }
  #log { flex: 1; overflow-y: auto; padding: 1rem; white-space: pre-wrap; overflow-wrap: anywhere;
         max-width: 46rem; width: 100%; margin: 0 auto; }
  #log .typed { color: var(--dim); font-style: italic; }
  #log .note { color: var(--dim); }
  form { display: flex; gap: .5rem; padding: .6rem 1rem; border-top: 1px solid var(--line);
         max-width: 46rem; width: 100%; margin: 0 auto; }
  input { flex: 1; min-width: 0; font: inherit; padding: .45rem .6rem; color: var(--fg); background: transparent;
          border: 1px solid var(--dim); border-radius: .3rem; }
  input:focus { outline: 2px solid var(--fg); outline-offset: 1px; }
  button { font: inherit; padding: .45rem .9rem; border-radius: .3rem; border: 1px solid var(--fg);
           background: var(--fg); color: var(--bg); cursor: pointer; }
  button[hidden] { display: none; }
</style>
</head>
<body>
<header><h1>{{TITLE}}</h1></header>
<main id="log" role="log" aria-live="polite" aria-label="Testo del gioco"></main>
<form id="form" autocomplete="off">
  <input id="line" type="text" aria-label="Il tuo comando" autocapitalize="off" spellcheck="false" autofocus>
  <button id="again" type="button" hidden>Riconnetti</button>
</form>
<script>
"use strict";
const log = document.getElementById("log"), form = document.getElementById("form");
const line = document.getElementById("line"), again = document.getElementById("again");
const history = []; let back = 0, socket = null, secret = false;

function show(text, kind) {
  const part = document.createElement("span");
  if (kind) part.className = kind;
  part.textContent = text;
  log.append(part);
  while (log.childNodes.length > 2000) log.firstChild.remove();
  log.scrollTop = log.scrollHeight;
}

function connect() {
  again.hidden = true; line.disabled = false;
  const scheme = location.protocol === "https:" ? "wss://" : "ws://";
  socket = new WebSocket(scheme + location.host + "/ws");
  socket.onmessage = (event) => {
    let message;
    try { message = JSON.parse(event.data); } catch { return; }
    if (message.type === "text") show(message.text);
    else if (message.type === "input") {
      secret = message.secret === true;
      line.type = secret ? "password" : "text";
      line.setAttribute("aria-label", secret ? "La tua password" : "Il tuo comando");
    }
  };
  socket.onclose = () => {
    show("\n— Connessione interrotta. —\n", "note");
    again.hidden = false; line.disabled = true; again.focus();
  };
}

form.addEventListener("submit", (event) => {
  event.preventDefault();
  if (!socket || socket.readyState !== WebSocket.OPEN) return;
  const text = line.value;
  socket.send(text);
  show(secret ? "\n" : text + "\n", "typed");
  if (!secret && text.trim() && history[history.length - 1] !== text) history.push(text);
  back = history.length; line.value = "";
});

line.addEventListener("keydown", (event) => {
  if (secret || (event.key !== "ArrowUp" && event.key !== "ArrowDown")) return;
  event.preventDefault();
  back = Math.max(0, Math.min(history.length, back + (event.key === "ArrowUp" ? -1 : 1)));
  line.value = history[back] || "";
});

again.addEventListener("click", () => { log.textContent = ""; connect(); line.focus(); });
document.addEventListener("click", () => { if (!line.disabled && !getSelection().toString()) line.focus(); });
connect();
</script>
</body>
</html>
)PAGE";

std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

std::string WebListener::page(const std::string& title) {
    std::string out = PAGE, mark = "{{TITLE}}", name = escaped(title);
    for (auto at = out.find(mark); at != std::string::npos; at = out.find(mark, at + name.size()))
        out.replace(at, mark.size(), name);
    return out;
}

} // namespace zanfir
