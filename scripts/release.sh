#!/usr/bin/env bash
# Writes everything a release ships into DIR: the .deb and the .tar.gz of
# the Linux program for x86-64 and for arm64, the ZIP of the 32-bit Windows
# program (tavelo.exe, README.md, LICENSE), the ZIP of the web page (a
# folder with index.html and its files) and SHA256SUMS. It builds the
# checkout it lives in, in folders of its own (build-release,
# build-release-arm64, build-release-win, build-release-web), programs only.
#
# One commit gives the same bytes wherever it is checked out: the programs
# name no folder of the machine, and CPack gives every packaged file the
# time SOURCE_DATE_EPOCH, the last commit's unless it is set
# (cmake/cpack-per-generator.cmake).
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: $0 DIR" >&2
  exit 2
fi
mkdir -p "$1"
out=$(cd "$1" && pwd)
cd "$(dirname "$0")/.."

# Quiet while it works; what a failing step printed is shown.
quietly() {
  local log
  log=$(mktemp)
  "$@" >"$log" 2>&1 || {
    cat "$log" >&2
    rm -f "$log"
    return 1
  }
  rm -f "$log"
}

package() { # package PRESET FOLDER GENERATORS
  quietly cmake --preset "$1" -B "$2" -DBUILD_TESTING=OFF
  quietly cmake --build "$2" --target tavelo -j "${JOBS:-2}"
  rm -rf "$2/packages"
  (cd "$2" && quietly cpack -G "$3" -B packages)
  cp "$2"/packages/tavelo?* "$out"
}
package default build-release "DEB;TGZ"
package arm64 build-release-arm64 "DEB;TGZ"
package windows build-release-win ZIP
package web build-release-web ZIP
(cd "$out" && sha256sum -- tavelo_*.deb tavelo-*-linux-*.tar.gz tavelo-*-win32.zip \
  tavelo-*-web.zip >SHA256SUMS)
cat "$out/SHA256SUMS"
