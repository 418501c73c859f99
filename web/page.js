// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

// The page's side of Rotavel Motion: the window's events handed to the rotor, the timer, the
// picture drawn and put on the canvas once per animation frame, the window scaled to a small
// screen, the menu's keyboard, and the files kept for offline use. The rotor itself, its drawing,
// its pixels, the timer's period and the words a screen reader hears are the WebAssembly module's.
"use strict";

(() => {
  // A site's page (this script a file of it) served over HTTP(S) is an app to install that works
  // offline; the page in one file, and a site opened from a disk, go on without.
  const ofASite = document.currentScript.src !== "";
  const asApp = ofASite && /^https?:$/.test(location.protocol);

  const runButton = document.getElementById("Command1");
  const canvas = document.getElementById("Picture1");
  const menuTitle = document.getElementById("mmain");
  const menu = document.getElementById("mmain-items");
  const windowArea = document.getElementById("window");
  const status = document.getElementById("status");
  const context = canvas.getContext("2d", { alpha: false });

  let rotor = null;
  let periodMs = 0; // the timer's interval, from the module

  // What the page measures of its own work in a run; at the run's end it goes to the browser's
  // performance timeline as the measure "rotavel run", which profilers show.
  const newStats = () => ({
    ticks: 0,
    dropped: 0,      // periods that passed while the page was busy elsewhere
    tickMs: 0,       // time spent inside ticks, summed
    tickMaxMs: 0,
    presents: 0,
    presentMs: 0,    // drawing the picture and copying what changed to the canvas, summed
    presentMaxMs: 0,
    changedPixels: 0, // copied to the canvas, summed
  });
  let stats = newStats();

  // ---- The picture: drawn by the module when it is presented, its RGBA bytes onto the canvas
  // only where they changed.

  let imageData = null;
  let framePending = false;

  function sizeCanvas() {
    canvas.width = rotor._rotor_pixel_width();
    canvas.height = rotor._rotor_pixel_height();
    imageData = null;
  }

  // The bytes live in the module's memory, which may move when it grows: the view is made anew
  // whenever the memory or the buffer's place is not what it was.
  function currentImageData() {
    const pointer = rotor._rotor_rgba();
    const length = canvas.width * canvas.height * 4;
    if (!imageData || imageData.data.buffer !== rotor.HEAPU8.buffer ||
        imageData.data.byteOffset !== pointer || imageData.data.length !== length) {
      const bytes = new Uint8ClampedArray(rotor.HEAPU8.buffer, pointer, length);
      imageData = new ImageData(bytes, canvas.width, canvas.height);
    }
    return imageData;
  }

  function paint() {
    framePending = false;
    const started = performance.now();
    const changed = rotor._rotor_present() >> 2; // x, y, width, height as 32-bit words
    const heap = rotor.HEAP32;
    const [x, y, width, height] = [heap[changed], heap[changed + 1], heap[changed + 2],
                                   heap[changed + 3]];
    if (width > 0 && height > 0) {
      context.putImageData(currentImageData(), 0, 0, x, y, width, height);
      stats.changedPixels += width * height;
    }
    const spent = performance.now() - started;
    stats.presents += 1;
    stats.presentMs += spent;
    stats.presentMaxMs = Math.max(stats.presentMaxMs, spent);
  }

  // However many ticks come before the next animation frame, the latest picture alone is drawn,
  // and the canvas updated once.
  function requestPaint() {
    if (!framePending) {
      framePending = true;
      requestAnimationFrame(paint);
    }
  }

  // ---- What a screen reader hears: the words the desktop gives, set only when they change.

  function describe() {
    const words = rotor.UTF8ToString(rotor._rotor_description());
    if (canvas.getAttribute("aria-label") !== words)
      canvas.setAttribute("aria-label", words);
  }

  // ---- Timer1: the module's period kept against the page's clock.
  //
  // The periods lie on a grid that starts when the timer is switched on; each wake-up delivers at
  // most one tick, and periods that passed while the page was busy are dropped. Ticks never nest:
  // a tick runs to its end inside one task of the page, and the next can only start in another.

  let due = 0;       // when the next period falls due
  let pending = 0;   // the timeout that waits for it, 0 while the timer is off

  // The browser takes whole milliseconds and drops the fraction, which would wake the page just
  // before the period falls due, only to wait again: a third more wake-ups than ticks.
  function arm() {
    pending = setTimeout(wake, Math.max(0, Math.ceil(due - performance.now())));
  }

  // Follows the rotor's switch of the timer after anything that may have changed it. Switching it
  // on while it is on keeps the period under way, as Run does during a run.
  function followTimer() {
    const on = rotor._rotor_turning() !== 0;
    if (on && !pending) {
      due = performance.now() + periodMs;
      arm();
    } else if (!on && pending) {
      clearTimeout(pending);
      pending = 0;
    }
  }

  function wake() {
    pending = 0;
    const now = performance.now();
    if (now >= due) {
      const started = performance.now();
      const on = rotor._rotor_tick() !== 0;
      const finished = performance.now();
      stats.ticks += 1;
      stats.tickMs += finished - started;
      stats.tickMaxMs = Math.max(stats.tickMaxMs, finished - started);
      const missed = Math.floor((now - due) / periodMs);
      stats.dropped += missed;
      if (!on)
        performance.measure("rotavel run", { start: runStartedAt, end: finished, detail: stats });
      due += (missed + 1) * periodMs;
      requestPaint();
      describe();
      if (!on)
        return;
    }
    arm();
  }

  // ---- The window's events.

  let runStartedAt = 0;

  function run() {
    runStartedAt = performance.now();
    stats = newStats();
    rotor._rotor_run(); // the hub bar: the picture changes before the first tick
    followTimer();
    requestPaint();
    describe();
  }

  function choose(index) {
    rotor._rotor_choose(index); // draws nothing; the next tick uses the new values
    describe();
  }

  runButton.addEventListener("click", run);
  // The window's activation: the drawing area's persistent image on (again, harmlessly).
  window.addEventListener("focus", () => rotor && rotor._rotor_activate());

  // ---- The window on any screen: scaled down as a whole, keeping its shape, to fit the viewport,
  // and the picture drawn for the device pixels it then covers.

  let ratio = 0; // the picture's pixels to a CSS pixel of the unscaled window

  // The largest scale up to 1 at which the whole window fits, in steps of 1/1024, so that the
  // scaled window never overhangs the viewport by a rounding.
  function fitScale() {
    const root = document.documentElement;
    const fit = Math.min(1, root.clientWidth / windowArea.offsetWidth,
                         root.clientHeight / windowArea.offsetHeight);
    return Math.max(1, Math.floor(fit * 1024)) / 1024;
  }

  // Scales the window to the viewport; returns the device pixel ratio the picture needs for it.
  // The margins take back what the scaled window no longer covers, so that nothing overhangs.
  function fitWindow() {
    const scale = fitScale();
    const style = windowArea.style;
    style.setProperty("--scale", String(scale));
    style.marginRight = `${(scale - 1) * windowArea.offsetWidth}px`;
    style.marginBottom = `${(scale - 1) * windowArea.offsetHeight}px`;
    return scale * (window.devicePixelRatio || 1);
  }

  // A new viewport, a move to a screen of another density or a zoom: the window fitted again and
  // the picture drawn anew at the new ratio, in the middle of a run as well.
  function refit() {
    const wanted = fitWindow();
    if (rotor && wanted !== ratio) {
      ratio = wanted;
      rotor._rotor_set_ratio(ratio);
      sizeCanvas();
      requestPaint();
    }
  }

  function watchRatio() {
    matchMedia(`(resolution: ${window.devicePixelRatio || 1}dppx)`).addEventListener("change", () => {
      refit();
      watchRatio();
    }, { once: true });
  }

  // Fitted from the start, so that even a page whose rotor cannot start shows all it says.
  fitWindow();
  watchRatio();
  window.addEventListener("resize", refit);

  // ---- The menu: a menu bar with one menu, worked by pointer or keyboard.

  let returnFocusTo = null;

  function items() {
    return Array.from(menu.querySelectorAll('[role="menuitem"]'));
  }

  function openMenu(focusIndex) {
    if (menu.hidden) {
      if (document.activeElement !== menuTitle)
        returnFocusTo = document.activeElement;
      menu.hidden = false;
      menuTitle.setAttribute("aria-expanded", "true");
    }
    const list = items();
    list[(focusIndex + list.length) % list.length].focus();
  }

  function closeMenu(focusTitle) {
    if (menu.hidden)
      return;
    menu.hidden = true;
    menuTitle.setAttribute("aria-expanded", "false");
    if (focusTitle)
      menuTitle.focus();
  }

  // After a choice the focus goes back where it was before the keyboard or the pointer went to the
  // menu, as on the desktop; a menu reached by Tab gives it back to its title.
  function leaveMenu() {
    (returnFocusTo && document.contains(returnFocusTo) ? returnFocusTo : menuTitle).focus();
    returnFocusTo = null;
  }

  function chooseFromMenu(item) {
    closeMenu(false);
    choose(Number(item.dataset.preset));
    leaveMenu();
  }

  function buildMenu() {
    const count = rotor._rotor_preset_count();
    for (let i = 0; i < count; ++i) {
      const item = document.createElement("li");
      item.setAttribute("role", "menuitem");
      item.id = rotor.UTF8ToString(rotor._rotor_preset_item(i));
      item.textContent = rotor.UTF8ToString(rotor._rotor_preset_caption(i));
      item.tabIndex = -1;
      item.dataset.preset = String(i);
      item.addEventListener("click", () => chooseFromMenu(item));
      item.addEventListener("mousemove", () => item.focus());
      menu.append(item);
    }
  }

  menuTitle.addEventListener("blur", (event) => {
    if (menu.hidden && !menu.contains(event.relatedTarget) && event.relatedTarget !== returnFocusTo)
      returnFocusTo = null; // left by Tab or the pointer: nothing to return to later
  });

  menuTitle.addEventListener("pointerdown", () => {
    if (document.activeElement !== menuTitle && menu.hidden)
      returnFocusTo = document.activeElement;
  });

  menuTitle.addEventListener("click", () => {
    if (menu.hidden)
      openMenu(0);
    else
      closeMenu(true);
  });

  menuTitle.addEventListener("keydown", (event) => {
    switch (event.key) {
    case "ArrowDown": case "Enter": case " ":
      openMenu(0);
      break;
    case "ArrowUp":
      openMenu(-1);
      break;
    case "Escape": // out of the menu bar, back where Alt came from
      leaveMenu();
      break;
    default:
      return;
    }
    event.preventDefault();
  });

  menu.addEventListener("keydown", (event) => {
    const list = items();
    const at = list.indexOf(document.activeElement);
    switch (event.key) {
    case "ArrowDown": list[(at + 1) % list.length].focus(); break;
    case "ArrowUp": list[(at - 1 + list.length) % list.length].focus(); break;
    case "Home": list[0].focus(); break;
    case "End": list[list.length - 1].focus(); break;
    case "Enter": case " ":
      if (at >= 0)
        chooseFromMenu(list[at]);
      break;
    case "Escape": closeMenu(true); break;
    case "Tab": closeMenu(false); return; // the focus moves on as usual
    default: return;
    }
    event.preventDefault();
  });

  document.addEventListener("pointerdown", (event) => {
    if (!menuTitle.parentElement.contains(event.target))
      closeMenu(false);
  });

  // Alt pressed and let go on its own reaches the menu bar, as on the desktop.
  let altAlone = false;
  document.addEventListener("keydown", (event) => { altAlone = event.key === "Alt"; });
  document.addEventListener("keyup", (event) => {
    if (event.key === "Alt" && altAlone) {
      event.preventDefault();
      if (menu.hidden && document.activeElement !== menuTitle) {
        returnFocusTo = document.activeElement;
        menuTitle.focus();
      } else if (menu.hidden) {
        leaveMenu(); // Alt again leaves the menu bar
      }
    }
    altAlone = false;
  });

  // ---- Start: load before the window is first shown, then the activation.

  // Where a site's module cannot be had, the way round it: the page in one file, which the site
  // carries beside index.html, or a web server.
  function fail(error) {
    console.error("Rotavel Motion could not start:", error);
    if (ofASite) {
      const oneFile = document.createElement("a");
      oneFile.href = "rotavel-motion.html";
      oneFile.textContent = "rotavel-motion.html";
      status.append("The rotor could not be loaded. Open ", oneFile,
                    ", the whole page in one file, or serve this folder with a web server.");
    } else {
      status.textContent = "The rotor could not be started: this browser runs no WebAssembly.";
    }
    status.hidden = false;
    fitWindow(); // with the message under it
    document.body.classList.add("ready");
    windowArea.setAttribute("aria-busy", "false");
  }

  // The app's manifest, and the site's files kept for the next visit without a network; where the
  // browser has no service workers, or refuses this one, the page works as before and only needs
  // the network.
  function becomeApp() {
    if (!asApp)
      return;
    const manifest = document.createElement("link");
    manifest.rel = "manifest";
    manifest.href = "manifest.webmanifest";
    document.head.append(manifest);
    if (!("serviceWorker" in navigator))
      return;
    navigator.serviceWorker.register("service_worker.js").catch((error) => {
      console.warn("Rotavel Motion will not work offline:", error);
    });
  }

  const started = typeof createRotor === "function" ? createRotor() :
    Promise.reject(new Error("rotavel.js did not load"));
  started.then((module) => {
    rotor = module;
    periodMs = rotor._rotor_period_ms();
    ratio = fitWindow();
    rotor._rotor_open(ratio); // the load
    buildMenu();
    sizeCanvas();
    paint(); // the background alone: nothing is drawn before the first Run
    describe();
    windowArea.setAttribute("aria-busy", "false");
    document.body.classList.add("ready");
    runButton.focus();
    rotor._rotor_activate();
    becomeApp();
  }, fail);
})();
