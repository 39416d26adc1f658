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
