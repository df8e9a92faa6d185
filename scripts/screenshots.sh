#!/usr/bin/env bash
# Takes a screenshot of each page of the main window, from the real program on a virtual
# display of its own: the six pages, and the six inner pages of "主界面". The page 发布记录
# shows the journal named by $CLIPMILL_JOURNAL (the data/发布记录.jsonl of a demo run, say).
#   scripts/screenshots.sh <output folder>      (build folder: $CLIPMILL_BUILD_DIR or build)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:?usage: scripts/screenshots.sh <output folder>}
build_dir=${CLIPMILL_BUILD_DIR:-build}
mkdir -p "$out"
out=$(cd "$out" && pwd)
[ -x "$build_dir/clipmill" ] || { echo "screenshots: build $build_dir/clipmill first" >&2; exit 1; }

# The program keeps its data next to itself: run a copy in a scratch folder with two accounts.
work=$(mktemp -d)
display_file="$work/display"
cleanup() {
  set +e
  [ -n "${app_pid:-}" ] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap "exit 1" INT TERM
cp "$build_dir/clipmill" "$work/clipmill"
mkdir -p "$work/data/list"
printf '{"昵称":"自动获取","素材目录":"/home/user/视频/素材一","缓存id":"100"}' >"$work/data/list/100.json"
printf '{"昵称":"小剪刀","素材目录":"/home/user/视频/素材二","缓存id":"101"}' >"$work/data/list/101.json"
if [ -n "${CLIPMILL_JOURNAL:-}" ]; then cp "$CLIPMILL_JOURNAL" "$work/data/发布记录.jsonl"; fi

Xvfb -displayfd 3 -screen 0 1100x640x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 300); do [ -s "$display_file" ] && break; sleep 0.1; done
[ -s "$display_file" ] || { echo "screenshots: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$display_file")"

# A home whose documents already hold the disclaimer's agreement, so no box stands in the way.
mkdir -p "$work/home/Documents"
printf 'agreed\r\n' >"$work/home/Documents/qmxr.dll"
HOME="$work/home" "$work/clipmill" &
app_pid=$!
window=$(timeout 30 xdotool search --sync --onlyvisible --name '^Clipmillv' | head -n1)
[ -n "$window" ] || { echo "screenshots: the main window did not appear" >&2; exit 1; }
sleep 1.5  # the account list loads one second after the window opens

# Tab centres in window coordinates (the window sits at 50,50 with no window manager).
read -r wx wy < <(xdotool getwindowgeometry --shell "$window" | awk -F= '/^X=/{x=$2} /^Y=/{y=$2} END{print x, y}')
click() {
  xdotool mousemove "$((wx + $1))" "$((wy + $2))" click 1
  sleep 0.4
}
shot() {
  import -window root -crop "1026x570+${wx}+${wy}" +repage "$out/$1.png"
  echo "screenshots: $out/$1.png"
}

outer_y=23
outer_x=(38 92 146 200 253 317)
outer_names=(1-主界面 2-设置 3-浏览器 4-换ip 5-标题库 6-发布记录)
inner_y=329
inner_x=(70 160 238 316 388 472)
inner_names=(1-原创标签和分类 2-标题设置 3-封面图选项 4-标签选项 5-简介选项 6-上传视频设置)

for i in "${!outer_x[@]}"; do
  click "${outer_x[$i]}" "$outer_y"
  shot "page${outer_names[$i]}"
done
click "${outer_x[0]}" "$outer_y"
for i in "${!inner_x[@]}"; do
  click "${inner_x[$i]}" "$inner_y"
  shot "inner${inner_names[$i]}"
done
