// The page's service worker: the first visit stores the page's files, and
// every later one is answered from the store, with or without a network.
// The store is named after the release (the build writes the version and
// the file list in), so a new release's worker fills a new store and drops
// the old one.
'use strict';
const store = 'tavelo-@PROJECT_VERSION@';
const files = '@TAVELO_SITE_FILES@'.split(';');

self.addEventListener('install', (event) => {
  // Fresh from the server, never a copy the browser kept of an older release.
  const requests = ['./', ...files].map((file) => new Request(file, { cache: 'reload' }));
  event.waitUntil(caches.open(store).then((cache) => cache.addAll(requests))
    .then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter((name) => name.startsWith('tavelo-') && name !== store)
      .map((name) => caches.delete(name))))
    .then(() => self.clients.claim()));
});

// A shared link (index.html?Prs=0.7&Pr=0.71&N=7) opens the stored page.
self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET') return;
  event.respondWith(caches.open(store)
    .then((cache) => cache.match(request, { ignoreSearch: request.mode === 'navigate' }))
    .then((stored) => stored || fetch(request)));
});
