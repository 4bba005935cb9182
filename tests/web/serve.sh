# shellcheck shell=bash
# Serves a folder with python3 -m http.server on 127.0.0.1, on a port that
# is free. Sourced, not run; the caller ends the server (served_pid) once it
# has answered.
serve() { # serve FOLDER; sets served_url and served_pid
  local port
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  python3 -m http.server --bind 127.0.0.1 -d "$1" "$port" >/dev/null 2>&1 &
  served_pid=$!
  served_url="http://127.0.0.1:$port/"
  for _ in $(seq 100); do
    python3 -c "import urllib.request; urllib.request.urlopen('$served_url')" 2>/dev/null && return
    sleep 0.1
  done
  echo "the server of $1 did not answer" >&2
  kill "$served_pid"
  return 1
}
