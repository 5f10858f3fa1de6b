#!/usr/bin/env bash
# Frametide's one entry point for building, running and testing on Debian 12.
#   ./dev.sh run    install what is missing, build, and open the application
#   ./dev.sh test   install what is missing, build, and run every test: the test suite, the
#                   suite again under Address and UndefinedBehavior sanitizers, and the fuzzer
#   ./dev.sh bench [runs]
#                   install what is missing, build, and run the benchmarks, offscreen and on an
#                   X server (the session's, or an Xvfb of its own); fails if a target is missed
set -euo pipefail
cd "$(dirname "$0")"

JOBS=$(nproc 2>/dev/null || echo 4)
FUZZ_SECONDS=${FRAMETIDE_FUZZ_SECONDS:-60}

BUILD_PACKAGES=(cmake make g++ pkg-config qt6-base-dev libgl-dev
                libavcodec-dev libavformat-dev libswscale-dev libavutil-dev)
TEST_PACKAGES=(libgtest-dev clang libclang-rt-14-dev locales)
BENCH_PACKAGES=(xvfb ffmpeg)

install_missing() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
      echo "missing packages: ${missing[*]}; install them as root with:" \
        "apt-get install ${missing[*]}" >&2
      exit 1
    fi
    sudo="sudo"
  fi
  echo "installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

build() {  # build <dir> [cmake options...]
  local dir=$1
  shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
}

# Things to undo when the script ends, however it ends.
CLEANUP=()
cleanup() {
  for c in "${CLEANUP[@]}"; do eval "$c" || true; done
}
trap cleanup EXIT

# Sets X_DISPLAY to an X server to measure on: the session's when it answers, else an Xvfb of
# our own on a free display, stopped when the script ends.
start_x_server() {
  if [ -n "${DISPLAY:-}" ] &&
     QT_QPA_PLATFORM=xcb timeout 20 build-bench/out/bare_window >/dev/null 2>&1; then
    X_DISPLAY=$DISPLAY
    return
  fi
  local log=build-bench/xvfb.log ready=build-bench/xvfb.display
  : >"$ready"
  # Xvfb picks a free display and writes its number once it accepts connections.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$ready" >"$log" 2>&1 &
  local pid=$!
  CLEANUP+=("kill $pid 2>/dev/null; wait $pid 2>/dev/null")
  for _ in $(seq 200); do
    [ -s "$ready" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  local number
  number=$(cat "$ready")
  if [ -z "$number" ]; then
    echo "Xvfb did not start:" >&2
    cat "$log" >&2
    exit 1
  fi
  X_DISPLAY=":$number"
}

# Runs one benchmark, which prints its own figures and verdicts; a missed target is remembered.
MISSED=()
bench() {  # bench <title> <command...>
  local title=$1
  shift
  echo "== $title"
  "$@" || MISSED+=("$title")
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
    CLEANUP+=("rm -rf '$corpus'")
    cp fuzz/corpus/property_list/* "$corpus"/ 2>/dev/null || true
    build-sanitize/out/property_list_fuzz -max_total_time="$FUZZ_SECONDS" -print_final_stats=0 \
      "$corpus"
    echo "fuzz: no crash and no sanitizer report in ${FUZZ_SECONDS}s"
    ;;
  bench)
    install_missing "${BUILD_PACKAGES[@]}" "${BENCH_PACKAGES[@]}"
    build build-bench -DFRAMETIDE_TESTS=OFF -DFRAMETIDE_BENCH=ON -DCMAKE_BUILD_TYPE=Release
    out=build-bench/out
    startup=("$out/frametide_probe" "$out/plain_window" "$out/bare_window" "${2:-15}")
    start_x_server
    bench "start-up, offscreen" env QT_QPA_PLATFORM=offscreen "$out/startup_bench" "${startup[@]}"
    bench "start-up, X server $X_DISPLAY" env QT_QPA_PLATFORM=xcb DISPLAY="$X_DISPLAY" \
      "$out/startup_bench" "${startup[@]}"
    bench "capture soak" env QT_QPA_PLATFORM=offscreen "$out/capture_soak"
    bench "movie against ffmpeg" env QT_QPA_PLATFORM=offscreen "$out/movie_bench" \
      "$out/movie_bench_driver"
    if [ ${#MISSED[@]} -gt 0 ]; then
      printf 'target missed: %s\n' "${MISSED[@]}" >&2
      exit 1
    fi
    echo "every benchmark met its targets"
    ;;
  *)
    echo "usage: $0 run|test|bench" >&2
    exit 2
    ;;
esac
