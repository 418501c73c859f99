// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

// Keeps the page's files for visits without a network, one build's files together. The build
// writes its name and its files below: the name changes with any byte of any file, and each of
// this build's files is kept under the name's cache only if its bytes are the ones the build made.
//
// The page asks for the module, its script and its style with "?build=NAME": those addresses always
// hold the same bytes and come from the cache. Everything else (the page itself, the manifest, its
// icons) comes from the network while there is one, so a new build is seen at the next visit, and
// from the cache only without it. A page of another build is never given this build's files.
"use strict";

const BUILD = "@ROTAVEL_BUILD@";
const CACHE = `rotavel-${BUILD}`;
// [address, SHA-256 of its bytes]
const FILES = @ROTAVEL_FILES@;

async function digest(response) {
  const bytes = await crypto.subtle.digest("SHA-256", await response.clone().arrayBuffer());
  return Array.from(new Uint8Array(bytes), (b) => b.toString(16).padStart(2, "0")).join("");
}

// All of this build's files from the server, past any HTTP cache, or none: a file whose bytes
// are not this build's (a server half way through an update) fails the install, and the files
// kept so far stay in use until a later visit tries again.
async function keepFiles() {
  const cache = await caches.open(CACHE);
  const fetched = await Promise.all(FILES.map(async ([address, sha256]) => {
    const response = await fetch(address, { cache: "no-store" });
    if (!response.ok || await digest(response) !== sha256)
      throw new Error(`${address} is not the file of build ${BUILD}`);
    return [address, response];
  }));
  await Promise.all(fetched.map(([address, response]) => cache.put(address, response)));
}

self.addEventListener("install", (event) => {
  event.waitUntil(keepFiles().then(() => self.skipWaiting()));
});

// Once this build's files are all kept, the other builds' are dropped together.
self.addEventListener("activate", (event) => {
  event.waitUntil((async () => {
    for (const name of await caches.keys()) {
      if (name.startsWith("rotavel-") && name !== CACHE)
        await caches.delete(name);
    }
    await self.clients.claim();
  })());
});

const scope = new URL(self.registration.scope);

function kept(request) {
  const address = request.mode === "navigate" ? "index.html" : request.url;
  return caches.open(CACHE).then((cache) => cache.match(new URL(address, scope).href));
}

async function fromCache(request) {
  return (await kept(request)) || fetch(request);
}

async function fromNetwork(request) {
  try {
    return await fetch(request.mode === "navigate" ? request.url : request, { cache: "no-cache" });
  } catch (offline) {
    const response = await kept(request);
    if (response)
      return response;
    throw offline;
  }
}

self.addEventListener("fetch", (event) => {
  const url = new URL(event.request.url);
  if (event.request.method !== "GET" || url.origin !== scope.origin)
    return;
  const ofThisBuild = url.searchParams.get("build") === BUILD;
  event.respondWith(ofThisBuild ? fromCache(event.request) : fromNetwork(event.request));
});
