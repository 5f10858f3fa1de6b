#!/usr/bin/env bash
# Frametide's one entry point for building, running and testing on Debian 12.
#   ./dev.sh run    install what is missing, build, and open the application
#   ./dev.sh test   install what is missing, build, and run every test: the test suite, the
#                   suite again under Address and UndefinedBehavior sanitizers, and the fuzzer
#   ./dev.sh bench  build and run the start-up and memory benchmark
set -euo pipefail
cd "$(dirname "$0")"

JOBS=$(nproc 2>/dev/null || echo 4)
FUZZ_SECONDS=${FRAMETIDE_FUZZ_SECONDS:-60}

BUILD_PACKAGES=(cmake make g++ pkg-config qt6-base-dev libgl-dev
                libavcodec-dev libavformat-dev libswscale-dev libavutil-dev)
TEST_PACKAGES=(libgtest-dev clang libclang-rt-14-dev)

install_missing() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

build() {  # build <dir> [cmake options...]
  local dir=$1
  shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
}

movie_bench() {  # movie_bench <build dir>: "make qt" on 1,000 images against the ffmpeg command line
  install_missing ffmpeg
  QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$1"/out/movie_bench "$1"/out/movie_bench_driver
}

run_tests() {  # run_tests <dir>
  (cd "$1" && QT_QPA_PLATFORM=offscreen ctest -j "$JOBS" --output-on-failure --timeout 120)
}

case "${1:-}" in
  run)
    install_missing "${BUILD_PACKAGES[@]}"
    build build -DFRAMETIDE_TESTS=OFF -DFRAMETIDE_BENCH=OFF
    exec build/out/frametide
    ;;
  test)
    install_missing "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
    echo "== tests"
    build build -DFRAMETIDE_TESTS=ON -DFRAMETIDE_BENCH=OFF
    run_tests build
    echo "== tests under Address and UndefinedBehavior sanitizers"
    CC=clang CXX=clang++ build build-sanitize -DFRAMETIDE_SANITIZE=ON -DFRAMETIDE_FUZZ=ON \
      -DFRAMETIDE_BENCH=OFF
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
      run_tests build-sanitize
    echo "== fuzzing the property-list reader for ${FUZZ_SECONDS}s"
    corpus=$(mktemp -d)
    trap 'rm -rf "$corpus"' EXIT
    cp fuzz/corpus/property_list/* "$corpus"/ 2>/dev/null || true
    build-sanitize/out/property_list_fuzz -max_total_time="$FUZZ_SECONDS" -print_final_stats=0 \
      "$corpus"
    echo "fuzz: no crash and no sanitizer report in ${FUZZ_SECONDS}s"
    ;;
  bench)
    install_missing "${BUILD_PACKAGES[@]}"
    build build-bench -DFRAMETIDE_TESTS=OFF -DFRAMETIDE_BENCH=ON -DCMAKE_BUILD_TYPE=Release
    QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} build-bench/out/startup_bench \
      build-bench/out/bare_window build-bench/out/frametide_probe "${2:-15}"
    movie_bench build-bench
    ;;
  *)
    echo "usage: $0 run|test|bench" >&2
    exit 2
    ;;
esac
