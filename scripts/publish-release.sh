#!/usr/bin/env bash
# Builds a release of Clipmill and writes the static update tree a maker hosts on any web
# server:
#   scripts/publish-release.sh --base-url URL [--product NAME] OUTDIR [NOTES]
# URL is where OUTDIR will be served from (ending in "/"); NAME the product folder
# (default clipmill); NOTES the release notes the update prompt shows. The tree:
#   OUTDIR/test.txt                 "ok", the reachability probe
#   OUTDIR/NAME/index.json          版本, 更新说明, 文件名, 下载地址, sha256
#   OUTDIR/NAME/clipmill-VERSION    the program
#   OUTDIR/gonggao.json             the announcement (kept when it exists)
#   OUTDIR/tool/ad1.gif … ad17.gif  advertisement pictures (kept when they exist)
set -euo pipefail
cd "$(dirname "$0")/.."

usage() { echo "usage: scripts/publish-release.sh --base-url URL [--product NAME] OUTDIR [NOTES]" >&2; exit 2; }
base_url=""
product="clipmill"
while [ $# -gt 0 ]; do
  case "$1" in
    --base-url) base_url=${2:-}; shift 2 ;;
    --product) product=${2:-}; shift 2 ;;
    -h|--help) usage ;;
    *) break ;;
  esac
done
[ $# -ge 1 ] && [ -n "$base_url" ] && [ -n "$product" ] || usage
out=$1
notes=${2:-"修复了一些问题"}
case "$base_url" in */) ;; *) base_url="$base_url/" ;; esac
case "$product" in */*|.|..) echo "publish-release: the product folder must be a plain name" >&2; exit 2 ;; esac

version=$(sed -n 's/.*kProgramVersion = "\([^"]*\)".*/\1/p' src/support/version.h)
[ -n "$version" ] || { echo "publish-release: no version in src/support/version.h" >&2; exit 1; }

bash scripts/install-deps.sh
build_dir=build-release
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCLIPMILL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build_dir" --target clipmill -j "$(nproc)"

# A JSON string: backslashes and quotes escaped, line breaks as CR LF escapes.
json_string() {
  local s=$1
  s=${s//\\/\\\\}
  s=${s//\"/\\\"}
  s=${s//$'\r'/}
  s=${s//$'\n'/\\r\\n}
  s=${s//$'\t'/\\t}
  printf '"%s"' "$s"
}

file_name="clipmill-$version"
mkdir -p "$out/$product" "$out/tool"
install -m 0755 "$build_dir/clipmill" "$out/$product/$file_name"
sha=$(sha256sum "$out/$product/$file_name" | cut -d' ' -f1)
printf 'ok' >"$out/test.txt"
{
  printf '{"版本":%s,' "$(json_string "$version")"
  printf '"更新说明":%s,' "$(json_string "$notes")"
  printf '"文件名":%s,' "$(json_string "$file_name")"
  printf '"下载地址":%s,' "$(json_string "$base_url$product/$file_name")"
  printf '"sha256":"%s"}\n' "$sha"
} >"$out/$product/index.json.new"
mv "$out/$product/index.json.new" "$out/$product/index.json"
[ -f "$out/gonggao.json" ] || printf '{"all":"","ad1url":""}\n' >"$out/gonggao.json"
if [ ! -f "$out/tool/ad1.gif" ]; then
  convert -size 720x100 xc:'#f4f4f4' -fill '#d04040' -draw 'rectangle 0,0 8,100' "$out/tool/ad1.gif"
fi
for n in $(seq 2 17); do [ -f "$out/tool/ad$n.gif" ] || cp "$out/tool/ad1.gif" "$out/tool/ad$n.gif"; done

echo "publish-release: version $version in $out ($product/$file_name, sha256 $sha)"
echo "publish-release: serve $out at $base_url and set in data/endpoints.ini:"
echo "  [update]"
echo "  servers=$base_url"
echo "  product=$product"
