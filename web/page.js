// The page around the show: loading with progress, the start button, full
// screen, the canvas letterboxed at the display's pixel ratio, the show's
// message boxes, and the way back to the start page when the show ends.
//
// document.body.dataset.state: loading -> ready -> playing -> ready, or
// held (a virtual-clock frame on the canvas), or error (the show's message
// in #message).
//
// Query: ?at=T[&fps=F] runs the show on the virtual clock to show time T
// and holds that frame; &autostart=1 starts without the click; &missing=PATH
// removes that file of the data package before the show starts.
"use strict";

var Page = (function () {
  var params = new URLSearchParams(window.location.search);
  var at = params.has("at") ? Number(params.get("at")) : -1;
  var fps = params.has("fps") ? Number(params.get("fps")) : 10;
  var autostart = params.get("autostart") === "1";
  var missing = params.get("missing");

  var body = document.body;
  var canvas = document.getElementById("screen");
  var progress = document.getElementById("progress");
  var status = document.getElementById("status");
  var messages = [];
  var running = false;

  function setState(state) { body.dataset.state = state; }

  function setProgress(fraction, text) {
    if (fraction >= 0) progress.value = Math.max(0, Math.min(1, fraction));
    if (text) status.textContent = text;
  }

  // The picture keeps 4:3 inside the window, centred between black bars;
  // its drawing buffer has one pixel per device pixel.
  function layout() {
    var w = window.innerWidth, h = window.innerHeight;
    var scale = Math.min(w / 1024, h / 768);
    var cssW = Math.max(1, Math.round(1024 * scale)), cssH = Math.max(1, Math.round(768 * scale));
    var ratio = window.devicePixelRatio || 1;
    canvas.style.width = cssW + "px";
    canvas.style.height = cssH + "px";
    canvas.style.left = Math.floor((w - cssW) / 2) + "px";
    canvas.style.top = Math.floor((h - cssH) / 2) + "px";
    // A new buffer size clears the canvas: a held frame keeps its buffer
    // and is only stretched.
    if (body.dataset.state === "held") return;
    var bw = Math.round(cssW * ratio), bh = Math.round(cssH * ratio);
    if (canvas.width !== bw) canvas.width = bw;
    if (canvas.height !== bh) canvas.height = bh;
  }

  // Keys from the click on belong to the show, but the program listens for
  // them only once it starts, a few frames later (after full screen, and
  // after the loading picture is on the page): until then they are kept
  // here, copied, and handed over as it starts. Leaving full screen in that
  // time (the browser's own way out on Esc) counts as Esc, as it does
  // while the show runs.
  var pending = (function () {
    var keys = null;
    function copy(type, e) {
      return new KeyboardEvent(type, { key: e.key, code: e.code, location: e.location, repeat: e.repeat,
                                       altKey: e.altKey, ctrlKey: e.ctrlKey, shiftKey: e.shiftKey,
                                       metaKey: e.metaKey, bubbles: true, cancelable: true });
    }
    function onKey(e) {
      if (!keys || !e.isTrusted) return;
      keys.push(copy(e.type, e));
      // F2 and Alt+Enter would do the browser's own things.
      if (e.key === "F2" || (e.key === "Enter" && e.altKey)) e.preventDefault();
    }
    function onFullscreen() {
      if (!keys || document.fullscreenElement) return;
      var esc = { key: "Escape", code: "Escape", location: 0, repeat: false };
      keys.push(copy("keydown", esc), copy("keyup", esc));
    }
    window.addEventListener("keydown", onKey, true);
    window.addEventListener("keyup", onKey, true);
    document.addEventListener("fullscreenchange", onFullscreen);
    return {
      start: function () { keys = []; },
      stop: function () { var k = keys || []; keys = null; return k; },
    };
  })();

  function showMessage(caption, text) {
    messages.push({ caption: caption, text: text });
    if (messages.length === 1) {
      document.getElementById("caption").textContent = caption;
      document.getElementById("message").textContent = text;
    }
  }

  function leaveFullscreen() {
    if (document.fullscreenElement && document.exitFullscreen) document.exitFullscreen().catch(function () {});
  }

  function ended() {
    running = false;
    leaveFullscreen();
    setState(messages.length ? "error" : "ready");
  }

  function run() {
    layout();
    if (missing) {
      try { Module.FS.unlink("/" + missing.replace(/^\/+/, "")); } catch (e) { console.warn("missing=" + missing + ": " + e); }
      missing = null;  // once: the file stays gone for later runs of this page
    }
    messages = [];
    running = true;
    setState("playing");
    // Loading runs in one go: let the page show the loading picture first.
    requestAnimationFrame(function () { setTimeout(launch, 0); });
  }

  function launch() {
    var result = Module.ccall("vt_web_start", "number", ["number", "number"], [at, fps]);
    // The program listens for keys now: hand it what came since the click.
    var early = pending.stop();
    if (result === 0) early.forEach(function (e) { window.dispatchEvent(e); });
    if (result === 1) {
      ended();  // the show could not start; its message says why
    } else if (result !== 0) {
      running = false;
      showMessage("Vantorel", "The show cannot start with these settings (at=" + at + ", fps=" + fps + ").");
      setState("error");
    }
  }

  // Sound may start only after a click, full screen only from one; the
  // show starts once the window has its full-screen size, so the device
  // sizes its picture for it.
  function start() {
    if (running || body.dataset.state !== "ready") return;
    pending.start();
    var go = function () { requestAnimationFrame(run); };
    var el = document.documentElement;
    if (at < 0 && !autostart && el.requestFullscreen) {
      el.requestFullscreen().then(go, go);
    } else {
      go();
    }
  }

  document.getElementById("start").addEventListener("click", start);
  document.getElementById("ok").addEventListener("click", function () {
    messages = [];
    setState("ready");
  });
  window.addEventListener("resize", function () { if (running) layout(); });
  // A held frame ends as the show does.
  window.addEventListener("keydown", function (e) {
    if (body.dataset.state === "held" && (e.key === "Escape" || e.key === "F2" || (e.key === "Enter" && e.altKey))) {
      e.preventDefault();
      Module.ccall("vt_web_release", null, [], []);
    }
  });

  return {
    ready: function () {
      setProgress(1, "");
      setState("ready");
      if (autostart) start();
    },
    failed: function (text) {
      showMessage("Vantorel", text);
      setState("error");
    },
    setProgress: setProgress,
    showMessage: showMessage,
    onShow: function (what) {
      if (what === "playing") {
        setState("playing");
      } else if (what === "held") {
        // Two animation frames: the held picture has been composited.
        requestAnimationFrame(function () { requestAnimationFrame(function () { setState("held"); }); });
      } else if (what === "ended") {
        ended();
      }
    },
  };
})();

var Module = {
  canvas: document.getElementById("screen"),
  // The data package reports "Downloading data... (loaded/total)".
  setStatus: function (text) {
    var m = /\((\d+(?:\.\d+)?)\/(\d+(?:\.\d+)?)\)/.exec(text || "");
    if (m && Number(m[2]) > 0) Page.setProgress(Number(m[1]) / Number(m[2]), "Loading the show…");
  },
  onRuntimeInitialized: function () { Page.ready(); },
  onAbort: function (what) { Page.failed("The show stopped: " + what); },
  print: function (text) { console.log(text); },
  printErr: function (text) { console.warn(text); },
  vtMessageBox: function (caption, text) { Page.showMessage(caption, text); },
  vtOnShow: function (what, code) { Page.onShow(what, code); },
};
window.addEventListener("error", function (e) {
  if (document.body.dataset.state === "loading") Page.failed("The show could not load: " + e.message);
});
