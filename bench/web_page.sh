#!/usr/bin/env bash
# What the page costs the person who opens it, served by python3 -m http.server
# on 127.0.0.1: Lighthouse's mobile run (its four scores and the first
# contentful paint), the page's size, the time from the third Enter to the
# table, and the tab's peak memory at the largest arrays the web heap grants
# (bench/web_page.js has the goals).
# Usage: bench/web_page.sh [SITE-FOLDER] [RUNS]   (default: build-web/site,
# made by `cmake --preset web && cmake --build --preset web`, or the release's
# web ZIP unpacked; puppeteer-core and lighthouse installed by `npm ci` in
# tests/web; Debian's chromium, or the one CHROMIUM names)
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
site="$(realpath "${1:-$top/build-web/site}")"
report=$(mktemp)
source "$top/tests/web/serve.sh"
serve "$site"
trap 'kill "$served_pid"; rm -f "$report"' EXIT
# Lighthouse starts a Chromium of its own (chrome-launcher, CHROME_PATH),
# headless, as root too.
CHROME_PATH=${CHROMIUM:-/usr/bin/chromium} "$top/tests/web/node_modules/.bin/lighthouse" \
  "$served_url" --quiet --form-factor=mobile --output=json --output-path="$report" \
  --chrome-flags="--headless=new --no-sandbox --disable-gpu --no-first-run --disable-sync
    --disable-background-networking --disable-component-update"
node "$top/bench/web_page.js" "$served_url" "$site" "${2:-9}" "$report"
