#!/usr/bin/env bash
# Installs anything missing (Debian packages), builds with warnings as errors
# and runs every test: Linux, the 32-bit Windows program under wine, and the
# hardening checks.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

install_missing() {
  local missing=()
  for package in "$@"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
  done
  ((${#missing[@]})) || return 0
  as_root apt-get update -q
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -q "${missing[@]}"
}

echo "== Linux"
install_missing cmake ninja-build g++ libgtest-dev googletest clang-format clang-tidy strace
cmake --preset ci
cmake --build --preset ci
ctest --preset ci -j "$(nproc)"

echo "== 32-bit Windows under wine"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
  as_root apt-get update -q
fi
install_missing g++-mingw-w64-i686 wine wine32
export WINEDEBUG=-all
wineboot --init >/dev/null 2>&1 || true
wineserver -p 60 >/dev/null 2>&1 || true  # keep one server warm between runs
cmake --preset windows
cmake --build --preset windows
ctest --preset windows
(cd build-win && cpack -G ZIP)
TAVELO_COMMAND="wine $top/build-win/tavelo.exe" TAVELO_WIN_HELPER="$top/build-win/tests/win_helper.exe" \
  build-ci/tests/tavelo_e2e_tests --gtest_brief=1

echo "== Formatting and lint"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
git ls-files 'app/*.cpp' 'console/*.cpp' 'results/*.cpp' 'launch/*.cpp' 'runtime/*.cpp' \
  'platform/*_posix.cpp' 'platform/fpu.cpp' | grep -v '_test\.cpp$' |
  xargs clang-tidy -p build-ci --quiet

if [ -x scripts/hardening.sh ]; then
  echo "== Hardening"
  scripts/hardening.sh
fi
echo "All tests passed"
