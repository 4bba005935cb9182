#!/usr/bin/env bash
# The page's size and the time from the third Enter to the table, served
# by python3 -m http.server on 127.0.0.1 (bench/web_page.js has the goals).
# Usage: bench/web_page.sh [SITE-FOLDER] [RUNS]   (default: build-web/site,
# made by `cmake --preset web && cmake --build --preset web`; puppeteer-core
# installed by `npm ci` in tests/web)
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
site="$(realpath "${1:-$top/build-web/site}")"
source "$top/tests/web/serve.sh"
serve "$site"
trap 'kill "$served_pid"' EXIT
node "$top/bench/web_page.js" "$served_url" "$site" "${2:-9}"
