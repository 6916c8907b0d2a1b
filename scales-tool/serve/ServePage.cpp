#include "scales-tool/serve/ServePage.h"

// Plain HTML and script, no library: it polls each scale's weight once a second (a browser keeps
// six connections to a server, fewer than a counter can have scales) and shows what /scales
// keeps of its last answers. A token given as #token=... in the address is sent with each request.
const char kServePage[] = R"html(<!doctype html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Tarabo scales</title>
<style>
body { font-family: sans-serif; margin: 0; padding: 0.5em; background: #f4f4f4; color: #222; }
h1 { font-size: 1.2em; margin: 0.2em 0 0.5em; }
.scale { background: #fff; border-radius: 8px; padding: 0.7em; margin-bottom: 0.7em; box-shadow: 0 1px 3px #0003; }
.name { font-weight: bold; font-size: 1.1em; }
.device { color: #666; font-size: 0.85em; word-break: break-all; }
.weight { font-size: 2.4em; font-family: monospace; margin: 0.2em 0; }
.status { font-size: 0.95em; }
.status.bad { color: #b00; }
.answers { font-family: monospace; font-size: 0.8em; color: #444; white-space: pre-wrap; word-break: break-all; }
#error { color: #b00; }
</style>
</head>
<body>
<h1>Tarabo scales</h1>
<div id="error"></div>
<div id="scales"></div>
<script>
"use strict";
const token = new URLSearchParams(location.hash.slice(1)).get("token");
const headers = token ? { Authorization: "Bearer " + token } : {};
const cards = new Map();

function card(scale) {
  let c = cards.get(scale.name);
  if (!c) {
    c = document.createElement("div");
    c.className = "scale";
    c.dataset.name = scale.name;
    for (const part of ["name", "device", "weight", "status", "answers"]) {
      const e = document.createElement("div");
      e.className = part;
      c.appendChild(e);
    }
    document.getElementById("scales").appendChild(c);
    cards.set(scale.name, c);
  }
  return c;
}

function show(c, part, text, bad) {
  const e = c.querySelector("." + part);
  e.textContent = text;
  if (part === "status") e.classList.toggle("bad", !!bad);
}

async function readOne(scale) {
  const c = card(scale);
  show(c, "name", scale.name);
  show(c, "device", scale.driver + (scale.device ? " " + scale.device : ""));
  show(c, "answers", scale.answers.map(a => a.text + "  [" + a.hex + "]").join("\n"));
  try {
    const r = await fetch("scales/" + encodeURIComponent(scale.name) + "/weight?timeout=400", { headers });
    const read = await r.json();
    if (read.error) {
      show(c, "status", read.error, true);
    } else if (read.result === 0 && read.step === "ReadWeight") {
      show(c, "weight", read.weight.toFixed(3) + " " + read.unit);
      show(c, "status", "stable: " + read.description);
    } else {
      show(c, "weight", "-");
      show(c, "status", read.step + ": " + read.resultName + " (" + read.result +
           (read.extended ? ", extended " + read.extended : "") + ") " + read.description, read.result !== 112);
    }
  } catch (e) {
    show(c, "status", "no answer from serve: " + e, true);
  }
}

async function round() {
  try {
    const r = await fetch("scales", { headers });
    if (!r.ok) throw new Error((await r.json()).error || r.status);
    const scales = await r.json();
    document.getElementById("error").textContent = "";
    await Promise.all(scales.map(readOne));
  } catch (e) {
    document.getElementById("error").textContent = "serve: " + e.message;
  }
  setTimeout(round, 1000);
}
round();
</script>
</body>
</html>
)html";
