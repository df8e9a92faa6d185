#!/usr/bin/env bash
# A whole run on the practice site: builds Clipmill and the practice site, prepares a
# program folder with two accounts and sample videos, starts Clipmill (on a virtual display
# when there is none), presses Ctrl+Alt+K and waits until every video is published, then
# prints what the site received. Nothing leaves this machine: the site runs on 127.0.0.1.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build_dir=${CLIPMILL_BUILD_DIR:-build}
videos_per_account=${DEMO_VIDEOS_PER_ACCOUNT:-2}

bash scripts/install-deps.sh
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo} >/dev/null
cmake --build "$build_dir" --target clipmill practice_site -j "$(nproc)"

work=$(mktemp -d /tmp/clipmill-demo.XXXXXX)
pids=()
finish() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  pkill -f "$work/huancun" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap finish EXIT
trap 'exit 130' INT TERM

# The practice site on a free port; it prints the port it took.
record="$work/received.jsonl"
"$root/$build_dir/tests/practice_site/practice_site" --port 0 --record "$record" >"$work/site.out" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -q "listening on" "$work/site.out" && break; sleep 0.1; done
port=$(awk '/listening on/ {print $3}' "$work/site.out")
[ -n "$port" ] || { echo "demo: the practice site did not start" >&2; exit 1; }
echo "demo: practice site on http://127.0.0.1:$port"

# The program folder: the program, its addresses, two accounts with their videos, and
# settings that keep the pauses short.
program_dir="$work/Clipmill"
mkdir -p "$program_dir/data/list"
cp "$root/$build_dir/clipmill" "$program_dir/"
site="http://127.0.0.1:$port"
printf '[site]\r\nupload=%s/video/upload.html\r\nlogin=%s/login\r\nidentity=%s/x/web-interface/nav\r\narchives=%s/x/web/archives?pn=1&ps=20\r\n' \
  "$site" "$site" "$site" "$site" >"$program_dir/data/endpoints.ini"
total=0
for id in 100 101; do
  folder="$program_dir/素材$id"
  mkdir -p "$folder"
  for n in $(seq "$videos_per_account"); do
    video="$folder/示例视频${id}_$n.mp4"
    if command -v ffmpeg >/dev/null; then
      ffmpeg -loglevel error -f lavfi -i "testsrc=duration=1:size=320x240:rate=10" -pix_fmt yuv420p "$video"
    else
      head -c 200000 /dev/urandom >"$video"
    fi
    total=$((total + 1))
  done
  printf '{"昵称":"自动获取","素材目录":"%s","缓存id":"%s","分类1":0,"分类2":0,"标签":"","简介":""}' \
    "$folder" "$id" >"$program_dir/data/list/$id.json"
done
printf '[编辑框]\r\n编辑框_单账号上传=%s\r\n编辑框_视频间隔=1\r\n编辑框_视频间隔1=2\r\n编辑框_混合标签个数=4\r\n编辑框_循环间隔=30\r\n' \
  "$videos_per_account" | iconv -f UTF-8 -t GBK >"$program_dir/data/setsoft.ini"

if [ -z "${DISPLAY:-}" ]; then
  display_file="$work/display"
  Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
  pids+=($!)
  for _ in $(seq 300); do [ -s "$display_file" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -n1 "$display_file")"
  echo "demo: no display found; running on the virtual display $DISPLAY (Xvfb)"
fi

# The one-time disclaimer would stop the demo at a box: the program runs with a home folder
# of the demo's own whose documents folder already holds the agreement.
demo_home="$work/home"
mkdir -p "$demo_home/Documents"
printf 'agreed for the demo\r\n' >"$demo_home/Documents/qmxr.dll"
echo "demo: the disclaimer counts as accepted: Clipmill runs with the scratch home $demo_home"
HOME="$demo_home" "$program_dir/clipmill" >"$work/clipmill.out" 2>&1 &
clipmill_pid=$!
pids+=($clipmill_pid)
for _ in $(seq 100); do xdotool search --name "^Clipmillv8.8" >/dev/null 2>&1 && break; sleep 0.1; done
sleep 1.5  # the account list loads one second after the window opens
echo "demo: pressing Ctrl+Alt+K; publishing $total videos (each takes about 40 s of the page's own waits)"
xdotool key ctrl+alt+k

published() {
  [ -f "$record" ] || { echo 0; return; }
  grep -c '"event":"submit"' "$record" || true
}
deadline=$((SECONDS + 120 * total))
while [ "$(published)" -lt "$total" ] && [ $SECONDS -lt $deadline ]; do
  sleep 5
  echo "demo: $(published) of $total published"
done
xdotool key ctrl+alt+k
left() { find "$program_dir"/素材* -name '*.mp4' | wc -l; }
for _ in $(seq 20); do [ "$(left)" -eq 0 ] && break; sleep 0.5; done  # the last video goes as its pause begins
echo "demo: what the practice site received:"
grep '"event":"submit"' "$record" || true
echo "demo: left in the material folders: $(left) videos"
[ "$(published)" -ge "$total" ]
