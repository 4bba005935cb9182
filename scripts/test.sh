#!/usr/bin/env bash
# Installs anything missing, builds with warnings as errors and runs every
# test: Linux, the Linux packages, the Windows program under wine, and the
# hardening checks. What it installs, it names as it goes: Debian packages
# (apt-get), the i386 architecture and wine32 where the kernel runs 32-bit
# programs, and a wine prefix.
#
# The Windows suites run against the 32-bit tavelo.exe where this kernel runs
# 32-bit programs, and otherwise against a 64-bit test build of the same
# sources under wine64. TAVELO_WINDOWS64=1 takes the 64-bit path anyway.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

apt_updated=false
apt_update() {
  as_root apt-get update -q
  apt_updated=true
}

install_missing() {
  local missing=()
  for package in "$@"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
  done
  ((${#missing[@]})) || return 0
  echo "Installing Debian packages: ${missing[*]}"
  $apt_updated || apt_update
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# A complete 32-bit Linux program of 93 bytes that only exits: it runs
# where the kernel runs 32-bit programs, and fails to start elsewhere.
runs_32_bit_programs() {
  local probe=$scratch/probe32
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null
}

# Wine leaves its server's folder, /tmp/wine-XXXXXX/server-DEV-INODE (named
# after the prefix), behind when the server ends; stop the server and take
# the folder away, so that the run leaves nothing in /tmp.
end_wine_server() {
  local prefix=${WINEPREFIX:-$HOME/.wine} server folder
  "$wineserver" -k >/dev/null 2>&1 || true
  "$wineserver" -w >/dev/null 2>&1 || true
  server=$(printf 'server-%s-%x' "$(stat -c %D "$prefix")" "$(stat -c %i "$prefix")")
  for folder in /tmp/wine-*/"$server"; do
    [ -d "$folder" ] || continue
    rm -rf "$folder"
    rmdir "${folder%/*}" 2>/dev/null || true
  done
}

# The worked example, its prompts and the size of its table.
worked_input=$'0.7\n0.71\n7\n'
worked_prompts=$'Digite o valor de Prs\r\nDigite o valor de Pr\r\nDigite o numero de elementos dos conjuntos\r\n'
worked_size=511

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

listing_has() { # listing_has LISTING PATH...
  local listing=$1 path
  shift
  for path in "$@"; do
    grep -qxF -- "$path" <<<"$listing" || fail "the package lacks $path"
  done
}

# The .deb and the .tar.gz: their contents, then the worked example from
# the unpacked .deb with its tavelo-cmd as the interpreter.
check_linux_packages() {
  local deb tgz root run
  deb=$(ls build-ci/tavelo_*.deb)
  tgz=$(ls build-ci/tavelo-*-linux-*.tar.gz)
  listing_has "$(dpkg-deb -c "$deb" | awk '{print $NF}')" \
    ./usr/bin/tavelo ./usr/bin/tavelo-cmd ./usr/share/doc/tavelo/README.md
  listing_has "$(tar -tf "$tgz")" bin/tavelo bin/tavelo-cmd share/doc/tavelo/README.md
  root=$scratch/root
  run=$scratch/run
  mkdir -p "$root" "$run"
  dpkg-deb -x "$deb" "$root"

  # An editor that records its arguments and what it found, then lingers.
  cat >"$run/record" <<'EOF'
#!/bin/sh
printf '%s\n' "$@" > args
wc -c < "$1" > size
sleep 1
: > ended
EOF
  chmod +x "$run/record"
  (cd "$run" && printf '%s' "$worked_input" |
    env -u EDITOR COMSPEC="$root/usr/bin/tavelo-cmd" VISUAL="$run/record" "$root/usr/bin/tavelo" \
      >out 2>err && echo $? >status || echo $? >status)
  [ "$(cat "$run/status")" = 0 ] || fail "exit status $(cat "$run/status")"
  [ ! -s "$run/err" ] || fail "standard error: $(cat "$run/err")"
  printf '%s' "$worked_prompts" | cmp -s - "$run/out" || fail "the prompts differ"
  [ "$(cat "$run/args")" = resultados.txt ] || fail "the editor got $(cat "$run/args")"
  [ "$(cat "$run/size")" -eq "$worked_size" ] || fail "the editor saw $(cat "$run/size") bytes"
  [ -e "$run/ended" ] || fail "tavelo ended before the editor"
  echo "unpacked .deb: the editor saw resultados.txt complete ($worked_size bytes); tavelo ended after it"

  # No editor, display or terminal: tavelo-cmd does nothing, quietly.
  rm -f "$run"/*
  (cd "$run" && printf '%s' "$worked_input" |
    env -u VISUAL -u EDITOR -u DISPLAY -u WAYLAND_DISPLAY COMSPEC="$root/usr/bin/tavelo-cmd" \
      "$root/usr/bin/tavelo" >out 2>err && echo $? >status || echo $? >status)
  [ "$(cat "$run/status")" = 0 ] || fail "exit status $(cat "$run/status") with nothing to show"
  [ ! -s "$run/err" ] || fail "standard error with nothing to show: $(cat "$run/err")"
  [ "$(wc -c <"$run/resultados.txt")" -eq "$worked_size" ] || fail "incomplete table"
  echo "unpacked .deb: with no editor, display or terminal, exit status 0 and nothing on stderr"
}

# The README's run command needs only cmake and a C++ compiler: the same
# preset, with ninja off PATH and GoogleTest not to be found.
check_run_command() {
  local bin=$scratch/bin tool
  mkdir -p "$bin"
  shopt -s nullglob
  for tool in /usr/local/bin/* /usr/bin/* /bin/*; do
    case "${tool##*/}" in ninja | ninja-build) ;; *) ln -sf "$tool" "$bin/" ;; esac
  done
  (
    export PATH=$bin
    ! command -v ninja >/dev/null || fail "ninja still on PATH"
    cmake --preset default -B "$scratch/build" -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON >/dev/null
    cmake --build "$scratch/build" >/dev/null
    cd "$scratch" && rm -f resultados.txt &&
      printf '%s' "$worked_input" | env -u COMSPEC "$scratch/build/tavelo" >/dev/null
  )
  [ "$(wc -c <"$scratch/resultados.txt")" -eq "$worked_size" ] || fail "the run command's table"
  echo "run command: built and ran without ninja or GoogleTest"
}

# The product: a 32-bit console program importing only KERNEL32 and msvcrt.
check_windows_program() {
  local exe=$1 headers dlls
  headers=$(i686-w64-mingw32-objdump -f -p "$exe")
  grep -q 'file format pei-i386' <<<"$headers" || fail "$exe is not PE32"
  grep -q '^architecture: i386' <<<"$headers" || fail "$exe is not for the Intel 80386"
  grep -Eq '^Subsystem[[:space:]]+00000003' <<<"$headers" || fail "$exe is not a console program"
  dlls=$(grep -o 'DLL Name: .*' <<<"$headers" | sort -u | tr '\n' ' ')
  [ "$dlls" = "DLL Name: KERNEL32.dll DLL Name: msvcrt.dll " ] || fail "$exe imports $dlls"
  listing_has "$(cmake -E tar tf build-win/tavelo-1.0.0-win32.zip)" tavelo.exe README.md
  echo "tavelo.exe: PE32 console program for the Intel 80386, importing KERNEL32 and msvcrt only"
}

echo "== Linux"
install_missing cmake ninja-build g++ libgtest-dev googletest clang-format clang-tidy strace
cmake --preset ci
cmake --build --preset ci
ctest --preset ci -j "$(nproc)"

echo "== Linux packages"
(cd build-ci && cpack -G "DEB;TGZ" >/dev/null)
check_linux_packages
check_run_command

echo "== The 32-bit Windows program"
install_missing g++-mingw-w64-i686
cmake --preset windows
cmake --build --preset windows
(cd build-win && cpack -G ZIP >/dev/null)
check_windows_program build-win/tavelo.exe

export WINEDEBUG=-all
if [ "${TAVELO_WINDOWS64:-}" = 1 ]; then
  windows=64
  echo "Windows suites: the 64-bit test build under wine64 (TAVELO_WINDOWS64=1)"
elif runs_32_bit_programs; then
  windows=32
  echo "Windows suites: the 32-bit tavelo.exe under wine (this kernel runs 32-bit programs)"
else
  windows=64
  echo "Windows suites: the 64-bit test build under wine64 (this kernel runs no 32-bit programs)"
fi

if [ "$windows" = 32 ]; then
  echo "== 32-bit Windows under wine"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "Adding the i386 architecture to dpkg, for wine32"
    as_root dpkg --add-architecture i386
    apt_update
  fi
  install_missing wine wine32
  wine=wine
  wineserver=wineserver
  build="build-win"
  preset=windows
  echo "Setting up the wine prefix ${WINEPREFIX:-$HOME/.wine}"
  wineboot --init >/dev/null 2>&1 || true
  "$wineserver" -p60 >/dev/null 2>&1 || true # keep one server warm between runs
else
  echo "== 64-bit Windows test build under wine64"
  install_missing g++-mingw-w64-x86-64 wine wine64
  wine=/usr/lib/wine/wine64
  wineserver=/usr/lib/wine/wineserver64
  build="build-win64"
  preset=windows64
  # A prefix of its own: a 64-bit wine cannot use a 32-bit prefix.
  export WINEPREFIX=$top/build-win64/wine-prefix WINELOADER=$wine
  mkdir -p build-win64
  echo "Setting up the wine prefix $WINEPREFIX"
  "$wine" wineboot --init >/dev/null 2>&1 || true
  "$wineserver" -p60 >/dev/null 2>&1 || true # keep one server warm
  cmake --preset windows64
  cmake --build --preset windows64
fi
ctest --preset "$preset"
TAVELO_COMMAND="$wine $top/$build/tavelo.exe" TAVELO_WIN_HELPER="$top/$build/tests/win_helper.exe" \
  build-ci/tests/tavelo_e2e_tests --gtest_brief=1
end_wine_server

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
