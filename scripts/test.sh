#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
#
#   ./scripts/test.sh              the normal build, in ./build
#   ./scripts/test.sh --sanitize   the suite built with AddressSanitizer and UBSan, in ./build-asan;
#                                  a sanitizer report in a test, or in any program a test started
#                                  (the program itself, the practice site, helpers), fails the run
#
# $CLIPMILL_BUILD_DIR names another build folder.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=normal
case "${1:-}" in
  "") ;;
  --sanitize) mode=sanitize ;;
  *) echo "usage: $0 [--sanitize]" >&2; exit 2 ;;
esac

bash scripts/install-deps.sh

if [ "$mode" = normal ]; then
  build_dir=${CLIPMILL_BUILD_DIR:-build}
  CLIPMILL_BUILD_DIR=$build_dir bash scripts/build.sh
  cd "$build_dir"
  exec ctest --output-on-failure -j "$(nproc)"
fi

build_dir=${CLIPMILL_BUILD_DIR:-build-asan}
CLIPMILL_BUILD_DIR=$build_dir bash scripts/build.sh -DCLIPMILL_ASAN=ON -DCLIPMILL_BUILD_BENCH=OFF
reports=$(realpath "$build_dir")/sanitizer-reports
rm -rf "$reports"
mkdir -p "$reports"

# Reports go to files, one per process, so that a report from a child whose output a test
# throws away is still seen.
export ASAN_OPTIONS="log_path=$reports/asan:halt_on_error=1:detect_leaks=1"
export LSAN_OPTIONS="suppressions=$(realpath tests/lsan.supp):print_suppressions=0"
export UBSAN_OPTIONS="log_path=$reports/ubsan:halt_on_error=1:print_stacktrace=1"

status=0
(cd "$build_dir" && ctest --output-on-failure -j "$(nproc)") || status=$?

found=$(find "$reports" -type f | sort)
if [ -n "$found" ]; then
  echo "sanitizer reports:"
  for f in $found; do
    echo "==== $f"
    head -n 60 "$f"
  done
  status=1
fi
if [ "$status" -eq 0 ]; then
  echo "sanitized suite: passed, no sanitizer report"
fi
exit "$status"
