#!/usr/bin/env bash
# Installs what is missing, builds Clipmill and starts it. With no display it starts a
# virtual one (Xvfb) for as long as the program runs, and says so.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${CLIPMILL_BUILD_DIR:-build}
bash scripts/install-deps.sh
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo} >/dev/null
cmake --build "$build_dir" --target clipmill -j "$(nproc)"

if [ -n "${DISPLAY:-}" ]; then
  exec "$build_dir/clipmill" "$@"
fi

# Xvfb picks a free display number itself and writes it to the descriptor given.
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
xvfb_pid=$!
stop_all() {
  [ -n "${app_pid:-}" ] && kill "$app_pid" 2>/dev/null
  kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -f "$display_file"
  true
}
trap stop_all EXIT
trap 'exit 130' INT TERM
for _ in $(seq 300); do [ -s "$display_file" ] && break; sleep 0.1; done
[ -s "$display_file" ] || { echo "run: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$display_file")"
echo "run: no display found; Clipmill runs on the virtual display $DISPLAY (Xvfb) until it is closed"
"$build_dir/clipmill" "$@" &
app_pid=$!
wait "$app_pid"
