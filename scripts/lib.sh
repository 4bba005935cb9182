# shellcheck shell=bash
# What test.sh and hardening.sh share: installing Debian packages and
# running linters. Sourced, not run.

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# apt-get as root, without questions, retrying each download and waiting
# for another apt or dpkg to finish (a fresh machine upgrading itself). The
# variable is set inside sudo, which would drop it from the caller.
#
# TAVELO_FAULT_APT_I386=1 makes the i386 index fail as a mirror in the
# middle of a sync serves it, while the i386 architecture is added: apt
# then sees no i386 package, and an update ends in error after refreshing
# the native indexes. It lets the fallback from wine32 be tried on a machine
# whose index works.
apt_get() { # apt_get ARGUMENTS...
  local options=(-o Acquire::Retries=3 -o DPkg::Lock::Timeout=300)
  if [ "${TAVELO_FAULT_APT_I386:-}" = 1 ] && dpkg --print-foreign-architectures | grep -qx i386; then
    options+=(-o "APT::Architectures=$(dpkg --print-architecture)")
    if [ "$1" = update ]; then
      as_root env DEBIAN_FRONTEND=noninteractive apt-get "${options[@]}" "$@" || return
      echo "E: Failed to fetch binary-i386/Packages.xz  File has unexpected size (TAVELO_FAULT_APT_I386=1)." \
        "Mirror sync in progress?" >&2
      return 100
    fi
  fi
  as_root env DEBIAN_FRONTEND=noninteractive apt-get "${options[@]}" "$@"
}

# A package index is somebody else's server, which fails at times, wholly
# or in part: the update is tried again after a pause. One that still fails
# keeps the indexes that did arrive, and the run goes on: installing names
# whatever then cannot be installed.
apt_updated=false
apt_update() {
  local try
  for try in 1 2 3; do
    if apt_get update -q; then
      apt_updated=true
      return 0
    fi
    [ "$try" = 3 ] || {
      echo "apt-get update failed; trying again in 10 s"
      sleep 10
    }
  done
  echo "apt-get update failed in part; going on with the indexes that arrived"
  apt_updated=true
}

# Installs those of the named Debian packages that are missing, saying so.
# Fails naming those that cannot be installed; the others are installed.
install_missing() {
  local missing=() failed=() package
  for package in "$@"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
  done
  ((${#missing[@]})) || return 0
  echo "Installing Debian packages: ${missing[*]}"
  $apt_updated || apt_update
  apt_get install -y -q "${missing[@]}" && return 0
  # One package that cannot be installed stops them all: each alone, to
  # install the others and name it.
  if ((${#missing[@]} == 1)); then
    failed=("${missing[@]}")
  else
    for package in "${missing[@]}"; do
      apt_get install -y -q "$package" || failed+=("$package")
    done
  fi
  ((${#failed[@]})) || return 0
  echo "Debian packages that cannot be installed here: ${failed[*]}" >&2
  return 1
}

# Runs a linter and shows its findings only, not clang's count of the
# warnings it generated (and suppressed) in each file; answers its status.
findings_only() {
  "$@" 2>&1 | { grep -Ev '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$' || true; }
  return "${PIPESTATUS[0]}"
}
