#!/usr/bin/env bash
# Writes everything a release ships into DIR: the .deb and the .tar.gz of
# the Linux program for x86-64 and for arm64, the ZIP of the 32-bit Windows
# program (tavelo.exe, README.md, LICENSE), the ZIP of the web page (a
# folder with index.html and its files) and SHA256SUMS, which lists these
# files only, whatever else DIR holds. It builds the checkout it lives in,
# in folders of its own (build-release, build-release-arm64,
# build-release-win, build-release-web), configured afresh each time,
# programs only.
#
# One commit gives the same bytes wherever it is checked out: the programs
# name no folder of the machine, and CPack gives every packaged file the
# time SOURCE_DATE_EPOCH, the last commit's unless it is set
# (cmake/cpack-per-generator.cmake). So the checkout must be that commit:
# with uncommitted changes to tracked files it refuses, unless
# --allow-modified is given; the packages' version then says "+modified"
# (tavelo_1.0.0+modified_amd64.deb).
set -euo pipefail
usage="usage: $0 [--allow-modified] DIR"
suffix=
if [ "${1:-}" = --allow-modified ]; then
  suffix=+modified
  shift
fi
if [ $# -ne 1 ] || [ "${1:0:1}" = - ]; then
  echo "$usage" >&2
  exit 2
fi
top=$(cd "$(dirname "$0")/.." && pwd)

if ! changed=$(git -C "$top" status --porcelain --untracked-files=no); then
  echo "release.sh: $top is not a git checkout: a release is made from a commit" >&2
  exit 1
fi
if [ -n "$changed" ] && [ -z "$suffix" ]; then
  printf 'release.sh: the checkout has uncommitted changes to tracked files:\n%s\n' "$changed" >&2
  echo "Commit them, or give --allow-modified to release them as version +modified." >&2
  exit 1
fi
mkdir -p "$1"
out=$(cd "$1" && pwd)
cd "$top"

# The packages are made in a folder of DIR's own and moved into DIR when all
# are made; that folder, with the log of the step at work, goes however
# the script ends.
work=$(mktemp -d "$out/.release.XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
mkdir "$work/files"

# Quiet while it works; what a failing step printed is shown.
quietly() {
  "$@" >"$work/log" 2>&1 || {
    cat "$work/log" >&2
    return 1
  }
}

package() { # package PRESET FOLDER GENERATORS
  quietly cmake --preset "$1" -B "$2" --fresh -DBUILD_TESTING=OFF -DTAVELO_VERSION_SUFFIX="$suffix"
  quietly cmake --build "$2" --target tavelo -j "${JOBS:-2}"
  rm -rf "$2/packages"
  (cd "$2" && quietly cpack -G "$3" -B packages)
  cp "$2"/packages/tavelo?* "$work/files"
}
package default build-release "DEB;TGZ"
package arm64 build-release-arm64 "DEB;TGZ"
package windows build-release-win ZIP
package web build-release-web ZIP
(cd "$work/files" && sha256sum -- tavelo_*.deb tavelo-*-linux-*.tar.gz tavelo-*-win32.zip \
  tavelo-*-web.zip >SHA256SUMS)
mv -f "$work"/files/* "$out"
listed=$(cut -d ' ' -f 3 "$out/SHA256SUMS")
for other in "$out"/tavelo?*; do
  grep -qxF "${other##*/}" <<<"$listed" || echo "release.sh: $other is not of this release" >&2
done
cat "$out/SHA256SUMS"
