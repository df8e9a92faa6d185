#!/usr/bin/env bash
# Soak run, not part of the test suite: 40 videos over 4 accounts on the practice site,
# published by the real program while it is stopped and started again, closed, killed with
# SIGKILL and has its browser killed at random moments, while the site now and then loses
# the answer to a submit it took, refuses submits as too frequent, or answers them late. It
# ends when every video is published or after 44 minutes, and prints how many videos the
# site took twice and how many were lost (gone from their folder without the site having
# taken them). Both must be 0.
#   SOAK_SEED=N      replays a run (the seed is printed first)
#   SOAK_MINUTES=N   shorter run
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build_dir=${CLIPMILL_BUILD_DIR:-build}
seed=${SOAK_SEED:-$(( (RANDOM << 15) | RANDOM ))}
minutes=${SOAK_MINUTES:-44}
RANDOM=$seed
echo "soak: seed $seed"

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE:-RelWithDebInfo} >/dev/null
cmake --build "$build_dir" --target clipmill practice_site -j 2 >/dev/null

work=$(mktemp -d /tmp/clipmill-soak.XXXXXX)
program_dir="$work/Clipmill"
record="$work/received.jsonl"
pids=()
clipmill_pid=

# Processes whose command line names this run's browser profiles: only the browsers this
# run's program started.
browser_pids() {
  local pid
  for pid in $(ls /proc | grep -E '^[0-9]+$'); do
    { tr '\0' ' ' <"/proc/$pid/cmdline"; } 2>/dev/null | grep -qF -- "$program_dir/huancun" && echo "$pid"
  done
  return 0
}
kill_browsers() { for pid in $(browser_pids); do kill -KILL "$pid" 2>/dev/null || true; done; }
finish() {
  [ -n "$clipmill_pid" ] && kill -KILL "$clipmill_pid" 2>/dev/null || true
  kill_browsers
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap finish EXIT
trap 'exit 130' INT TERM

"$root/$build_dir/tests/practice_site/practice_site" --port 0 --record "$record" >"$work/site.out" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -q "listening on" "$work/site.out" && break; sleep 0.1; done
port=$(awk '/listening on/ {print $3}' "$work/site.out")
[ -n "$port" ] || { echo "soak: the practice site did not start" >&2; exit 1; }

mkdir -p "$program_dir/data/list"
cp "$root/$build_dir/clipmill" "$program_dir/"
site="http://127.0.0.1:$port"
printf '[site]\r\nupload=%s/video/upload.html\r\nlogin=%s/login\r\nidentity=%s/x/web-interface/nav\r\narchives=%s/x/web/archives?pn=1&ps=50\r\n' \
  "$site" "$site" "$site" "$site" >"$program_dir/data/endpoints.ini"
names=()
for id in 100 101 102 103; do
  folder="$program_dir/素材$id"
  mkdir -p "$folder"
  for n in $(seq 10); do
    name="视频${id}_$n.mp4"
    { echo "$name"; head -c $((50000 + RANDOM)) /dev/urandom; } >"$folder/$name"
    names+=("$name")
  done
  printf '{"昵称":"自动获取","素材目录":"%s","缓存id":"%s","分类1":0,"分类2":0,"标签":"","简介":""}' \
    "$folder" "$id" >"$program_dir/data/list/$id.json"
done
printf '[编辑框]\r\n编辑框_单账号上传=3\r\n编辑框_视频间隔=0\r\n编辑框_视频间隔1=1\r\n编辑框_混合标签个数=2\r\n编辑框_循环间隔=2\r\n' |
  iconv -f UTF-8 -t GBK >"$program_dir/data/setsoft.ini"

if [ -z "${DISPLAY:-}" ]; then
  Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
  pids+=($!)
  for _ in $(seq 300); do [ -s "$work/display" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -n1 "$work/display")"
fi

# A home whose documents already hold the disclaimer's agreement, so no box stands in the way.
mkdir -p "$work/home/Documents"
printf 'agreed\r\n' >"$work/home/Documents/qmxr.dll"

left() { find "$program_dir"/素材* -name '*.mp4' | wc -l; }
start_program() {
  HOME="$work/home" "$program_dir/clipmill" >>"$work/clipmill.out" 2>&1 &
  clipmill_pid=$!
  for _ in $(seq 300); do xdotool search --name "^Clipmillv8.8" >/dev/null 2>&1 && break; sleep 0.1; done
  sleep 2
  xdotool key ctrl+alt+k
}
end_program() {  # $1: the signal
  kill "-$1" "$clipmill_pid" 2>/dev/null || true
  wait "$clipmill_pid" 2>/dev/null || true
  clipmill_pid=
}

# Sets the site's knobs for a while, then puts them back.
site_fault() {
  local knobs
  case $((RANDOM % 3)) in
    0) knobs="answer-lost=1" ;;
    1) knobs="refuse-code=21566" ;;
    2) knobs="submit-answer-ms=$((2000 + RANDOM % 8000))" ;;
  esac
  echo "soak: $(date +%T) site: $knobs"
  curl -s -o /dev/null --data "$knobs" "http://127.0.0.1:$port/__control/knobs" || true
  sleep $((5 + RANDOM % 20))
  curl -s -o /dev/null --data "answer-lost=0&refuse-code=0&submit-answer-ms=0" "http://127.0.0.1:$port/__control/knobs" || true
}

declare -A done_actions=()
deadline=$((SECONDS + minutes * 60))
start_program
while [ "$(left)" -gt 0 ] && [ $SECONDS -lt $deadline ]; do
  sleep $((10 + RANDOM % 50))
  [ "$(left)" -gt 0 ] || break
  case $((RANDOM % 6)) in
    0) action=stop-start; xdotool key ctrl+alt+k; sleep $((1 + RANDOM % 5)); xdotool key ctrl+alt+k ;;
    1) action=sigkill; end_program KILL; sleep $((RANDOM % 3)); start_program ;;
    2) action=close; end_program TERM; sleep 1; start_program ;;
    3) action=browser-kill; kill_browsers ;;
    4) action=none ;;
    5) action=site-fault; site_fault ;;
  esac
  done_actions[$action]=$(( ${done_actions[$action]:-0} + 1 ))
  echo "soak: $(date +%T) $action; $(left) videos left"
done
end_program KILL
kill_browsers

# The submits the site took: a refused one is recorded with its code and not taken.
taken() { grep '"event":"submit"' "$record" 2>/dev/null | grep -F '"code":0' || true; }
twice=0
lost=0
for name in "${names[@]}"; do
  received=$(taken | grep -cF "\"name\":\"$name\"" || true)
  present=$(find "$program_dir"/素材* -name "$name" | wc -l)
  [ "$received" -gt 1 ] && { twice=$((twice + 1)); echo "soak: $name received $received times"; }
  [ "$received" -eq 0 ] && [ "$present" -eq 0 ] && { lost=$((lost + 1)); echo "soak: $name lost"; }
done
published=$(taken | wc -l)
echo "soak: actions: $(for a in "${!done_actions[@]}"; do printf '%s=%s ' "$a" "${done_actions[$a]}"; done)"
echo "soak: seed $seed, $((SECONDS / 60)) minutes, submissions received $published, videos left unpublished $(left)"
echo "soak: published twice: $twice"
echo "soak: lost: $lost"
[ "$twice" -eq 0 ] && [ "$lost" -eq 0 ]
