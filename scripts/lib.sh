# shellcheck shell=bash
# What test.sh and hardening.sh share: installing Debian packages and
# running linters. Sourced, not run.

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

apt_updated=false
apt_update() {
  as_root apt-get update -q
  apt_updated=true
}

# Installs those of the named Debian packages that are missing, saying so.
# The variable is set inside sudo, which would drop it from the caller.
install_missing() {
  local missing=() package
  for package in "$@"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
  done
  ((${#missing[@]})) || return 0
  echo "Installing Debian packages: ${missing[*]}"
  $apt_updated || apt_update
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
}

# Runs a linter and shows its findings only, not clang's count of the
# warnings it generated (and suppressed) in each file; answers its status.
findings_only() {
  "$@" 2>&1 | { grep -Ev '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$' || true; }
  return "${PIPESTATUS[0]}"
}
