#!/usr/bin/env python3
"""Captures what the programs of a build say and write, so that two builds can
be compared byte for byte (diff -r of two captures):

    scripts/capture.py BUILD_DIR OUT_DIR

The console walkthrough of the bundled game, a shared world with three
clients (their bytes, the log, the state files), a world per connection with
a save and a load, the checker on good and broken adventures, and the
browser test's verdict. Times and password hashes are masked."""

import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
build = os.path.abspath(sys.argv[1])
out = os.path.abspath(sys.argv[2])
os.makedirs(out, exist_ok=True)
work = tempfile.mkdtemp(prefix="zanfir-capture-")


def masked(data):
    data = re.sub(rb"porta \d+", b"porta <port>", data)
    data = re.sub(rb"\d{4}-\d\d-\d\d[ T]\d\d:\d\d:\d\d(\.\d+)?", b"<time>", data)
    data = re.sub(rb"\d\d:\d\d:\d\d(\.\d+)?", b"<time>", data)
    data = re.sub(rb"\$argon2id\$[^\s\"]+", b"<hash>", data)
    data = re.sub(rb"\b\d{10,}\b", b"<stamp>", data)
    return data


def keep(name, data):
    with open(os.path.join(out, name), "wb") as f:
        f.write(masked(data))


def copy_adventure(name, port=None, extra=""):
    copies = len(os.listdir(work))
    target = os.path.join(work, "%d-%s" % (copies, name))
    shutil.copytree(os.path.join(ROOT, "adventures", name), target)
    main = os.path.join(target, name + ".zanfa")
    with open(main) as f:
        text = f.read()
    if port is not None:
        text = re.sub(r"(?m)^RemotePort=.*$", "RemotePort=%d" % port, text)
        if "RemotePort=" not in text:
            text = "RemotePort=%d\n" % port + text
    text = extra + text
    with open(main, "w") as f:
        f.write(text)
    return main


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Client:
    def __init__(self, port):
        for _ in range(100):
            try:
                self.sock = socket.create_connection(("127.0.0.1", port))
                break
            except OSError:
                time.sleep(0.1)
        self.sock.settimeout(10)
        self.seen = b""

    def until(self, words):
        while words.encode() not in self.seen.split(b"\0")[-1]:
            chunk = self.sock.recv(65536)
            if not chunk:
                break
            self.seen += chunk
        self.seen += b"\0"

    def say(self, line, words):
        self.sock.sendall(line.encode() + b"\r\n")
        self.until(words)

    def close(self):
        self.sock.close()
        return self.seen.replace(b"\0", b"")


def server(main, *switches):
    return subprocess.Popen([os.path.join(build, "zanfir"), main, "-server", *switches],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, cwd=work)


def stop(process):
    process.send_signal(signal.SIGTERM)
    stdout, stderr = process.communicate(timeout=30)
    return stdout + b"\n--- stderr\n" + stderr + b"\n--- status %d\n" % process.returncode


def logs(main):
    folder = os.path.join(os.path.dirname(main), "logs")
    return b"".join(open(os.path.join(folder, f), "rb").read() for f in sorted(os.listdir(folder)))


def console_walkthrough():
    main = copy_adventure("miniera")
    lines = [l[2:] for l in open(os.path.join(ROOT, "adventures/miniera/miniera.walkthrough"),
                                  encoding="utf-8").read().splitlines() if l.startswith("> ")]
    run = subprocess.run([os.path.join(build, "zanfir"), main, "-log"],
                         input="\n".join(lines).encode() + b"\n", capture_output=True)
    keep("console.out", run.stdout + b"\n--- stderr\n" + run.stderr +
         b"\n--- status %d\n" % run.returncode)
    keep("console.log", logs(main))


def shared_world():
    port = free_port()
    main = copy_adventure("torre", port)
    process = server(main, "-mud")
    prompt = "Cosa devo fare?"
    clients = {}
    for name in ("Anna", "Bruno", "Carla"):
        c = Client(port)
        c.until("nome?")
        c.say(name, "password?")
        c.say("segreto", "password")
        c.say("segreto", prompt)
        clients[name] = c
    script = [("Anna", "guarda"), ("Bruno", "parla"), ("Bruno", "ciao a tutti"), ("Carla", "guarda"),
              ("Anna", "prendi la mappa"), ("Bruno", "nord"), ("Carla", "cosa"),
              ("Anna", "parla"), ("Anna", "eccomi"), ("Bruno", "sud"), ("Anna", "guarda"),
              ("Carla", "nord"), ("Bruno", "guarda")]
    for name, line in script:
        clients[name].say(line, "dire?" if line == "parla" else prompt)
    for name in ("Carla", "Anna", "Bruno"):  # one by one: their ends logged in order
        clients[name].say("basta", "")
        time.sleep(0.3)
    for name, c in clients.items():
        keep("mud-%s.out" % name, c.close())
    time.sleep(0.5)
    keep("mud-server.out", stop(process))
    keep("mud.log", logs(main))
    folder = os.path.dirname(main)
    for f in sorted(os.listdir(folder)):
        if f.endswith((".gcontext", ".journal")):
            keep("mud-" + f, open(os.path.join(folder, f), "rb").read())
    # The world again from its files: Anna finds her things.
    process = server(main, "-mud")
    c = Client(port)
    c.until("nome?")
    c.say("Anna", "password?")
    c.say("segreto", prompt)
    c.say("cosa", prompt)
    keep("mud-again-Anna.out", c.close())
    time.sleep(0.5)
    keep("mud-again-server.out", stop(process))


def world_per_connection():
    port = free_port()
    main = copy_adventure("torre", port)
    process = server(main)
    prompt = "Cosa devo fare?"
    c = Client(port)
    c.until("nome?")
    c.say("Anna", prompt)
    for line in ("prendi la mappa", "nord", "salva", "sud", "lascia la mappa"):
        c.say(line, prompt)
    c.say("basta", "")
    keep("server-first.out", c.close())
    time.sleep(0.5)  # its end logged before the next one begins
    c = Client(port)
    c.until("nome?")
    c.say("Anna", prompt)
    for line in ("carica", "cosa", "guarda"):
        c.say(line, prompt)
    keep("server-second.out", c.close())
    time.sleep(0.5)
    keep("server.out", stop(process))
    keep("server.log", logs(main))
    folder = os.path.dirname(main)
    for f in sorted(os.listdir(folder)):
        if f.endswith(".context"):
            keep("server-" + f, open(os.path.join(folder, f), "rb").read())


BROKEN = {
    "map-exit": ("torre.map", r"(?m)^(NORD|N|NORTH)=\w+", "NORD=CAZA"),
    "unbalanced": ("torre.actionset", r"\(", "(("),
    "setting": ("torre.zanfa", r"RowLength=80", "RowLength=abc\nCheckpointSeconds=-5"),
    "item": ("torre.map", r"(?m)^ITEMS=foglie", "ITEMS=fogle"),
}


def checker():
    check = os.path.join(build, "zanfir-check")
    results = b""
    for name in ("torre", "miniera"):
        main = copy_adventure(name)
        run = subprocess.run([check, main], capture_output=True, cwd=work)
        results += b"=== %s\n%s%s--- status %d\n" % (name.encode(), run.stdout, run.stderr,
                                                      run.returncode)
    for case, (file, pattern, replacement) in sorted(BROKEN.items()):
        folder = os.path.join(work, "broken-" + case)
        shutil.copytree(os.path.join(ROOT, "adventures/torre"), folder)
        path = os.path.join(folder, file)
        text = open(path, encoding="utf-8").read()
        text = re.sub(pattern, replacement, text, count=1)
        open(path, "w", encoding="utf-8").write(text)
        main = os.path.join(folder, "torre.zanfa")
        for program in (check, os.path.join(build, "zanfir")):
            run = subprocess.run([program, main], input=b"Anna\nguarda\n", capture_output=True, cwd=work)
            results += b"=== %s %s\n%s%s--- status %d\n" % (
                case.encode(), os.path.basename(program).encode(), run.stdout, run.stderr,
                run.returncode)
    keep("checker.out", results.replace(work.encode(), b"<work>"))


def browser():
    if not os.path.exists(os.path.join(build, "zanfir_tests")):
        return
    run = subprocess.run([os.path.join(build, "zanfir_tests"), "--gtest_filter=Browser*:Web*"],
                         capture_output=True)
    verdict = b"".join(l + b"\n" for l in run.stdout.splitlines()
                       if l.startswith((b"[       OK", b"[  FAILED", b"[  SKIPPED")))
    keep("browser.out", re.sub(rb" \(\d+ ms\)", b"", verdict))


try:
    for part in (console_walkthrough, shared_world, world_per_connection, checker, browser):
        part()
finally:
    shutil.rmtree(work, ignore_errors=True)
print("captured in", out)
