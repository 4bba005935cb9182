#!/usr/bin/env bash
# Installs anything missing, builds with warnings as errors and runs every
# test: Linux, the release and its packages, the Windows program under wine,
# lint and the hardening checks. What it installs, it names as it goes:
# Debian packages (apt-get), the i386 architecture and wine32 where the
# kernel runs 32-bit programs, and a wine prefix of its own under the build
# folder.
#
#   scripts/test.sh            every step, in order (what CI runs)
#   scripts/test.sh STEP...    the named steps alone, each setting up what it needs
#   scripts/test.sh --list     the steps' names
#
# The Windows suites run against the 32-bit tavelo.exe where this kernel runs
# 32-bit programs and wine32 can be installed, and otherwise against a 64-bit
# test build of the same sources under wine64. TAVELO_WINDOWS64=1 takes the
# 64-bit path anyway.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
source scripts/lib.sh

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# What a step starts in the background (servers, wine) it ends by a command
# given to at_end: each runs, newest first, when the step ends or the run
# does, however it ends.
at_end_commands=()
at_end() { at_end_commands+=("$1"); }
end_step() {
  local i
  for ((i = ${#at_end_commands[@]} - 1; i >= 0; i--)); do
    eval "${at_end_commands[i]}" || true
  done
  at_end_commands=()
}
scratch=$(mktemp -d)
trap 'end_step; rm -rf "$scratch"' EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
chmod 755 "$scratch" # lintian reads the .deb as nobody

# The worked example: its input, prompts and table (resultados.txt).
worked=$top/tests/support/worked_example

listing_has() { # listing_has LISTING PATH...
  local listing=$1 path
  shift
  for path in "$@"; do
    grep -qxF -- "$path" <<<"$listing" || fail "the package lacks $path"
  done
}

# No shipped file names a folder of the machine that built it.
names_no_folder() { # names_no_folder FOLDER-TO-LOOK-FOR FILE-OR-FOLDER...
  local folder=$1 found
  shift
  found=$(grep -rlaF -- "$folder" "$@" || true)
  [ -z "$found" ] || fail "$found names the builder's folder $folder"
}

# The ci build, configured when it is not, brought up to date: its program
# and its end-to-end suite serve the steps that test the other programs.
ci_build() {
  install_missing cmake make ninja-build g++ libgtest-dev googletest strace
  [ -e build-ci/CMakeCache.txt ] || cmake --preset ci
  cmake --build --preset ci
}

step_linux() {
  ci_build
  ctest --preset ci -j "$(nproc)"
}

# The release of this commit that the package checks read, kept in
# build-test-release: the released files in "files", and in "builder" the
# folder of the clone that built them, which no shipped file may name.
release=$top/build-test-release/files
release_builder() { cat "${release%/*}/builder"; }

# release.sh run in a clone of COMMIT at scratch/FOLDER/..., into
# scratch/FOLDER-release.
release_from_clone() { # release_from_clone COMMIT FOLDER/...
  git clone -q --no-checkout "$top" "$scratch/$2"
  git -C "$scratch/$2" checkout -q "$1"
  "$scratch/$2/scripts/release.sh" "$scratch/${2%%/*}-release" >/dev/null
}

keep_release() { # keep_release COMMIT FOLDER/...
  local kept=${release%/*}
  rm -rf "$kept"
  mkdir -p "$kept"
  cp -r "$scratch/${2%%/*}-release" "$release"
  printf '%s\n' "$scratch/$2" >"$kept/builder"
  printf '%s\n' "$1" >"$kept/commit" # last: the release is whole
}

# Makes the kept release of this commit from one clone, unless it is there.
need_release() {
  local commit
  commit=$(git rev-parse HEAD)
  [ "$(cat "${release%/*}/commit" 2>/dev/null)" != "$commit" ] || return 0
  echo "Making the release of $commit"
  install_missing git g++-mingw-w64-i686 g++-aarch64-linux-gnu emscripten
  release_from_clone "$commit" solo/tavelo
  keep_release "$commit" solo/tavelo
}

# scripts/release.sh from two clones of this commit in folders of different
# names and depths: the same bytes.
step_release() {
  local commit clone
  commit=$(git rev-parse HEAD)
  install_missing git g++-mingw-w64-i686 g++-aarch64-linux-gnu emscripten
  for clone in one/tavelo two/deeper/tavelo-copy; do
    release_from_clone "$commit" "$clone"
  done
  cmp "$scratch/one-release/SHA256SUMS" "$scratch/two-release/SHA256SUMS" ||
    fail "two clones of $commit released different bytes"
  cat "$scratch/one-release/SHA256SUMS"
  keep_release "$commit" one/tavelo
}

# lintian asks not to be run as root, and leaves its temporary files
# behind: as root it runs as nobody, on a copy of the .deb in a folder of
# nobody's own under /tmp (nobody may not reach this checkout or TMPDIR),
# with that folder as its TMPDIR, and the folder goes afterwards.
lintian_clean() { # lintian_clean DEB
  local deb=$1 lint_folder lint=()
  lint_folder=$(mktemp -d -p /tmp)
  cp "$deb" "$lint_folder/"
  if [ "$(id -u)" -eq 0 ]; then
    chown -R nobody "$lint_folder"
    lint=(runuser -u nobody --)
  fi
  (cd "$lint_folder" && "${lint[@]}" env TMPDIR="$lint_folder" HOME="$lint_folder" \
    lintian --fail-on error,warning "${deb##*/}") >"$scratch/lintian" 2>&1 || true
  rm -rf "$lint_folder"
  [ ! -s "$scratch/lintian" ] || fail "lintian ${deb##*/}: $(cat "$scratch/lintian")"
}

# The released .deb and .tar.gz: their contents, lintian, the manual pages,
# stripped programs naming no builder's folder; then the unpacked tavelo
# with the viewer's cases, its tavelo-cmd found beside it.
step_linux_packages() {
  local deb tgz root=$scratch/root page
  need_release
  install_missing lintian man-db groff-base file less
  deb=$(ls "$release"/tavelo_*_amd64.deb)
  tgz=$(ls "$release"/tavelo-*-linux-x86_64.tar.gz)
  listing_has "$(dpkg-deb -c "$deb" | awk '{print $NF}')" ./usr/bin/tavelo ./usr/bin/tavelo-cmd \
    ./usr/share/doc/tavelo/README.md ./usr/share/doc/tavelo/docs/notepad.png \
    ./usr/share/doc/tavelo/copyright ./usr/share/doc/tavelo/changelog.gz \
    ./usr/share/man/man1/tavelo.1.gz ./usr/share/man/man1/tavelo-cmd.1.gz \
    ./usr/share/man/pt_BR/man1/tavelo.1.gz
  listing_has "$(tar -tf "$tgz")" bin/tavelo bin/tavelo-cmd share/doc/tavelo/README.md \
    share/doc/tavelo/LICENSE share/man/man1/tavelo.1.gz share/man/pt_BR/man1/tavelo.1.gz
  lintian_clean "$deb"
  mkdir -p "$root"
  dpkg-deb -x "$deb" "$root"
  for page in "$root"/usr/share/man/man1/*.1.gz "$root"/usr/share/man/pt_BR/man1/*.1.gz; do
    [ -z "$(LC_ALL=C.UTF-8 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)" ] ||
      fail "man --warnings $page: $(LC_ALL=C.UTF-8 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)"
  done
  file "$root/usr/bin/tavelo" | grep -q ', stripped$' || fail "$(file "$root/usr/bin/tavelo")"
  names_no_folder "$(release_builder)" "$root"
  echo "packages: contents, lintian, manual pages; tavelo stripped, naming no builder's folder"

  ci_build
  TAVELO_COMMAND=$root/usr/bin/tavelo build-ci/tests/tavelo_e2e_tests --gtest_brief=1 \
    --gtest_filter='TaveloCmd.*'
  echo "unpacked .deb: the viewer's cases passed, with the tavelo-cmd beside tavelo"
}

# The README's run command needs cmake, make and a C++ compiler: the same
# preset, with ninja off PATH. The program it builds meets the viewer's
# cases: at a terminal with no COMSPEC, editor or display, the table appears
# in the pager, and q ends it and the run.
step_run_command() {
  local bin=$scratch/bin tool
  install_missing cmake make g++ less
  mkdir -p "$bin"
  for tool in /usr/local/bin/* /usr/bin/* /bin/*; do
    [ -e "$tool" ] || continue # an empty folder's pattern
    case "${tool##*/}" in ninja | ninja-build) ;; *) ln -sf "$tool" "$bin/" ;; esac
  done
  (
    export PATH=$bin
    ! command -v ninja >/dev/null || fail "ninja still on PATH"
    cmake --preset default -B "$scratch/build" >/dev/null
    cmake --build "$scratch/build" --target tavelo >/dev/null
    [ ! -e "$scratch/build/tests/tavelo_unit_tests" ] || fail "the run command built the tests"
  )
  ci_build
  TAVELO_COMMAND=$scratch/build/tavelo build-ci/tests/tavelo_e2e_tests --gtest_brief=1 \
    --gtest_filter='TaveloCmd.*'
  echo "run command: built the program alone without ninja; it passed the viewer's cases"
}

# The product: a stripped 32-bit console program importing only KERNEL32
# and msvcrt, in a ZIP with the README and the license.
step_windows_program() {
  local zip exe=$scratch/zip/tavelo.exe headers dlls
  need_release
  install_missing cmake ninja-build g++-mingw-w64-i686
  cmake --preset windows
  cmake --build --preset windows
  zip=$(ls "$release"/tavelo-*-win32.zip)
  listing_has "$(cmake -E tar tf "$zip")" tavelo.exe README.md LICENSE
  mkdir -p "$scratch/zip"
  (cd "$scratch/zip" && cmake -E tar xf "$zip")
  headers=$(i686-w64-mingw32-objdump -f -p "$exe")
  grep -q 'file format pei-i386' <<<"$headers" || fail "$exe is not PE32"
  grep -q '^architecture: i386' <<<"$headers" || fail "$exe is not for the Intel 80386"
  grep -Eq '^Subsystem[[:space:]]+00000003' <<<"$headers" || fail "$exe is not a console program"
  dlls=$(grep -o 'DLL Name: .*' <<<"$headers" | sort -u | tr '\n' ' ')
  [ "$dlls" = "DLL Name: KERNEL32.dll DLL Name: msvcrt.dll " ] || fail "$exe imports $dlls"
  ! i686-w64-mingw32-objdump -h "$exe" | grep -qF .debug_ || fail "$exe is not stripped"
  names_no_folder "$(release_builder)" "$scratch/zip"
  echo "tavelo.exe: stripped PE32 console program for the Intel 80386, importing KERNEL32 and msvcrt only"
}

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
# the folder away, so that the run leaves nothing in /tmp. Both are this
# run's own: the prefix is under the build folder, never the user's.
end_wine_server() { # end_wine_server WINESERVER PREFIX
  local wineserver=$1 prefix=$2 server folder
  local -x WINEPREFIX=$prefix
  "$wineserver" -k >/dev/null 2>&1 || true
  "$wineserver" -w >/dev/null 2>&1 || true
  server=$(printf 'server-%s-%x' "$(stat -c %D "$prefix")" "$(stat -c %i "$prefix")")
  for folder in /tmp/wine-*/"$server"; do
    [ -d "$folder" ] || continue
    rm -rf "$folder"
    rmdir "${folder%/*}" 2>/dev/null || true
  done
}

# Starts the wine server of WINEPREFIX, to be ended with the step, and keeps
# it warm between the suites' runs.
start_wine_server() { # start_wine_server WINE-ARGUMENTS...
  echo "Setting up the wine prefix $WINEPREFIX"
  at_end "$(printf 'end_wine_server %q %q' "$wineserver" "$WINEPREFIX")"
  "$@" wineboot --init >/dev/null 2>&1 || true
  "$wineserver" -p60 >/dev/null 2>&1 || true
}

# wine32, for the 32-bit program. Where wine32 cannot be installed (an i386
# index that fails, i386 libraries that do not match the machine's), fails,
# taking the i386 architecture back from dpkg when it added it and no i386
# package came of it.
set_up_wine32() {
  local added=false
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "Adding the i386 architecture to dpkg, for wine32"
    as_root dpkg --add-architecture i386
    added=true
    apt_update
  fi
  if ! install_missing wine wine32; then
    if $added; then
      if as_root dpkg --remove-architecture i386; then
        echo "Took the i386 architecture back from dpkg: no i386 package was installed"
        # Its indexes go too, as the next apt-get update would take them.
        as_root find /var/lib/apt/lists -maxdepth 1 -name '*_binary-i386_*' -delete
      else
        echo "Kept the i386 architecture: dpkg has i386 packages"
      fi
    fi
    return 1
  fi
  wine=wine
  wineserver=wineserver
  build="build-win"
  preset=windows
  # A prefix of its own, so that the user's wine programs and their server
  # are left alone.
  export WINEPREFIX=$top/build-win/wine-prefix
  mkdir -p build-win
  start_wine_server
}

set_up_wine64() {
  install_missing cmake ninja-build g++-mingw-w64-x86-64 wine wine64
  wine=/usr/lib/wine/wine64
  wineserver=/usr/lib/wine/wineserver64
  build="build-win64"
  preset=windows64
  # A prefix of its own: a 64-bit wine cannot use a 32-bit prefix.
  export WINEPREFIX=$top/build-win64/wine-prefix WINELOADER=$wine
  mkdir -p build-win64
  start_wine_server "$wine"
}

# The 64-bit ARM program: the unit suites under qemu-user, the end-to-end
# suite against it, and its released packages.
step_arm64() {
  local deb tgz root=$scratch/root-arm64 qemu
  if ! install_missing g++-aarch64-linux-gnu qemu-user-static; then
    echo "skipped: g++-aarch64-linux-gnu and qemu-user-static cannot be installed here"
    return 0
  fi
  ci_build
  need_release
  install_missing lintian file
  cmake --preset arm64
  cmake --build --preset arm64
  ctest --preset arm64
  qemu=$(command -v qemu-aarch64-static)
  TAVELO_COMMAND="$qemu $top/build-arm64/tavelo" build-ci/tests/tavelo_e2e_tests --gtest_brief=1
  deb=$(ls "$release"/tavelo_*_arm64.deb)
  tgz=$(ls "$release"/tavelo-*-linux-aarch64.tar.gz)
  listing_has "$(dpkg-deb -c "$deb" | awk '{print $NF}')" ./usr/bin/tavelo ./usr/bin/tavelo-cmd \
    ./usr/share/doc/tavelo/copyright ./usr/share/man/man1/tavelo.1.gz
  listing_has "$(tar -tf "$tgz")" bin/tavelo bin/tavelo-cmd share/doc/tavelo/LICENSE
  lintian_clean "$deb"
  mkdir -p "$root"
  dpkg-deb -x "$deb" "$root"
  file "$root/usr/bin/tavelo" | grep -q 'ARM aarch64.*statically linked.*, stripped$' ||
    fail "$(file "$root/usr/bin/tavelo")"
  names_no_folder "$(release_builder)" "$root"
  echo "arm64 packages: contents, lintian; tavelo a stripped static aarch64 program"
}

# The unit suites and the end-to-end suite under wine: the 32-bit program
# where it can run, else the 64-bit test build, saying which and why.
step_windows_suites() {
  local wine wineserver build preset WINEPREFIX WINELOADER
  local -x WINEDEBUG=-all
  local why=
  if [ "${TAVELO_WINDOWS64:-}" = 1 ]; then
    why="TAVELO_WINDOWS64=1"
  elif ! runs_32_bit_programs; then
    why="this kernel runs no 32-bit programs"
  elif ! set_up_wine32; then
    why="this kernel runs 32-bit programs, but wine32 cannot be installed here"
  fi
  if [ -n "$why" ]; then
    echo "Windows suites: the 64-bit test build under wine64 ($why)"
    set_up_wine64
  else
    echo "Windows suites: the 32-bit tavelo.exe under wine (this kernel runs 32-bit programs)"
    install_missing cmake ninja-build g++-mingw-w64-i686
  fi
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  ci_build
  ctest --preset "$preset"
  TAVELO_COMMAND="$wine $top/$build/tavelo.exe" TAVELO_WIN_HELPER="$top/$build/tests/win_helper.exe" \
    build-ci/tests/tavelo_e2e_tests --gtest_brief=1
}

# The web program (emscripten): the end-to-end suite against its node
# runner, random tables against the native program's, and the release's
# page served on 127.0.0.1 in headless Chromium, driven by puppeteer-core
# from npm; the screenshots stay in build-web/screenshots. Each part that
# this machine cannot install is skipped, saying why.
step_web() {
  local node runner site=$scratch/web shots=$top/build-web/screenshots
  if ! install_missing emscripten; then
    echo "skipped: emscripten cannot be installed from this machine's Debian archive"
    return 0
  fi
  ci_build
  need_release
  # Chromium leaves its singleton folders in TMPDIR: this run's own, removed
  # with the scratch folder.
  local TMPDIR=$scratch/tmp
  export TMPDIR
  mkdir -p "$TMPDIR"
  cmake --preset web
  cmake --build --preset web
  node=$(command -v node)
  runner="$node $top/build-web/tavelo-node"
  TAVELO_COMMAND=$runner build-ci/tests/tavelo_e2e_tests --gtest_brief=1
  tests/web/compare_tables.sh "${TAVELO_WEB_TABLES:-500}" "$top/build-ci/tavelo" "$runner"
  if ! install_missing chromium python3 || ! { command -v npm >/dev/null || install_missing npm; }; then
    echo "skipped: the page in Chromium (chromium, python3 or npm cannot be installed here)"
    return 0
  fi
  if ! (cd tests/web && npm ci --no-audit --no-fund); then
    echo "skipped: the page in Chromium (puppeteer-core cannot be fetched from the npm registry)"
    return 0
  fi
  mkdir -p "$site" "$shots"
  (cd "$site" && cmake -E tar xf "$(ls "$release"/tavelo-*-web.zip)")
  source tests/web/serve.sh
  # Its ending comes first: serve, interrupted, leaves served_pid set.
  served_pid=
  at_end 'kill $served_pid 2>/dev/null'
  serve "$(ls -d "$site"/tavelo-*-web)"
  node tests/web/page_test.js "$served_url" "$worked/resultados.txt" "$shots" "$top/build-ci/tavelo" &&
    node tests/web/offline_test.js "$served_url" "$(ls -d "$site"/tavelo-*-web)" \
      "$worked/resultados.txt" &&
    bench/web_page.sh "$(ls -d "$site"/tavelo-*-web)" 3 ||
    fail "the page in Chromium"
}

step_lint() {
  ci_build
  install_missing git clang-format clang-tidy
  git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
  git ls-files 'app/*.cpp' 'console/*.cpp' 'results/*.cpp' 'launch/*.cpp' 'runtime/*.cpp' 'arithmetic/*.cpp' \
    'platform/*_posix.cpp' 'platform/system_*.cpp' 'platform/command_line.cpp' 'platform/decimal.cpp' |
    grep -v '_test\.cpp$' |
    findings_only xargs clang-tidy -p build-ci --quiet
}

# A checkout that lost the script's mode (a patch, a copy) still runs it.
step_hardening() {
  [ -f scripts/hardening.sh ] || fail "scripts/hardening.sh is missing"
  [ -x scripts/hardening.sh ] || echo "scripts/hardening.sh is not executable: running it with bash"
  bash scripts/hardening.sh
}

# The steps in the order of a full run: each name (its function is
# step_NAME), then its title.
steps=(
  linux "Linux"
  release "The release, from two clones"
  linux_packages "Linux packages"
  arm64 "The 64-bit ARM program under qemu"
  run_command "The README's run command"
  windows_program "The 32-bit Windows program"
  windows_suites "Windows suites under wine"
  lint "Formatting and lint"
  hardening "Hardening"
  web "The web page and its node runner"
)

title_of() { # title_of NAME; fails for a name that is not a step's
  local i
  for ((i = 0; i < ${#steps[@]}; i += 2)); do
    [ "${steps[i]}" != "$1" ] || {
      echo "${steps[i + 1]}"
      return 0
    }
  done
  return 1
}

chosen=()
case "${1:-}" in
--list)
  for ((i = 0; i < ${#steps[@]}; i += 2)); do printf '%-16s %s\n' "${steps[i]}" "${steps[i + 1]}"; done
  exit 0
  ;;
-*)
  echo "usage: $0 [--list | STEP...]" >&2
  exit 2
  ;;
esac
for name in "$@"; do
  title_of "$name" >/dev/null || {
    echo "$0: no step $name (--list names them)" >&2
    exit 2
  }
  chosen+=("$name")
done
if ((${#chosen[@]} == 0)); then
  for ((i = 0; i < ${#steps[@]}; i += 2)); do chosen+=("${steps[i]}"); done
fi
for name in "${chosen[@]}"; do
  echo "== $(title_of "$name")"
  "step_$name"
  end_step
done
if (($#)); then
  echo "Passed: ${chosen[*]}"
else
  echo "All tests passed"
fi
