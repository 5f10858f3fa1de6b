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

BUILD_PACKAGES=(cmake make g++ pkg-config qt6-base-dev libgl-dev libjpeg-dev
                libavcodec-dev libavformat-dev libswscale-dev libavutil-dev)
TEST_PACKAGES=(libgtest-dev clang libclang-rt-14-dev locales)
BENCH_PACKAGES=(xvfb ffmpeg)

install_missing() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
      echo "missing packages: ${missing[*]}; install them as root with:" \
        "apt-get install ${missing[*]}" >&2
      exit 1
    fi
    sudo=(sudo)
  fi
  echo "installing: ${missing[*]}"
  quietly install "${sudo[@]}" apt-get update -qq
  quietly install "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq "${missing[@]}"
}

# What each step prints goes to a log of its own under build-logs/, shown only when the step
# fails, so that a green run ends with its verdict in view.
LOGS=$PWD/build-logs
quietly() {  # quietly <log name> <command...>
  local name=$1 status=0
  shift
  mkdir -p "$LOGS"
  "$@" >>"$LOGS/$name.log" 2>&1 || status=$?
  [ "$status" -eq 0 ] && return 0
  show_log "$name" >&2
  echo "failed ($status): $* (whole log: build-logs/$name.log)" >&2
  exit "$status"
}

# A failed step's log, without the lines of the tests that passed and the fuzzer's progress
# and suggested dictionary.
show_log() {  # show_log <log name>
  local log=$LOGS/$1.log
  echo "---- build-logs/$1.log"
  case "$1" in
    *-tests) grep -v -E '^ +Start +[0-9]+: |\.\.\. +Passed +[0-9.]+ sec$' "$log" || true ;;
    fuzz) grep -v -E '^#[0-9]+\b|^\s+NEW_FUNC|^"[^"]*" # Uses: ' "$log" || true ;;
    *) cat "$log" ;;
  esac
}

build() {  # build <dir> [cmake options...]
  local dir=$1
  shift
  rm -f "$LOGS/$dir.log"
  quietly "$dir" cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
  quietly "$dir" cmake --build "$dir" -j "$JOBS"
}

# Things to undo when the script ends, however it ends: names of functions, run in turn.
ON_EXIT=()
run_on_exit() {
  local f
  for f in "${ON_EXIT[@]}"; do "$f" || true; done
}
trap run_on_exit EXIT

XVFB_PID=
stop_xvfb() {
  kill "$XVFB_PID" 2>/dev/null
  wait "$XVFB_PID" 2>/dev/null
}

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
  XVFB_PID=$!
  ON_EXIT+=(stop_xvfb)
  for _ in $(seq 200); do
    [ -s "$ready" ] && break
    kill -0 "$XVFB_PID" 2>/dev/null || break
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

# Runs the suite with its output in the build's log, then prints ctest's closing line and
# keeps it for the summary.
SUMMARY=()
run_tests() {  # run_tests <dir> <title>
  local dir=$1
  rm -f "$LOGS/$dir-tests.log"
  QT_QPA_PLATFORM=offscreen quietly "$dir-tests" \
    ctest --test-dir "$dir" -j "$JOBS" --output-on-failure --timeout 120
  local verdict
  verdict=$(grep -E '^[0-9]+% tests passed' "$LOGS/$dir-tests.log" | tail -n 1)
  echo "$verdict"
  SUMMARY+=("$2 ($dir):" "$verdict")
}

FUZZ_CORPUS=
remove_fuzz_corpus() { rm -rf "$FUZZ_CORPUS"; }

# Fuzzes for FUZZ_SECONDS; its statistics and suggested dictionary stay in the log unless it
# finds something, and the number of inputs it ran goes into the summary.
run_fuzzer() {
  local log=$LOGS/fuzz.log
  rm -f "$log"
  FUZZ_CORPUS=$(mktemp -d)
  ON_EXIT+=(remove_fuzz_corpus)
  cp fuzz/corpus/property_list/* "$FUZZ_CORPUS"/ 2>/dev/null || true
  quietly fuzz build-sanitize/out/property_list_fuzz -max_total_time="$FUZZ_SECONDS" \
    -print_final_stats=1 "$FUZZ_CORPUS"
  local runs
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  local verdict="fuzzing: ${FUZZ_SECONDS}s, ${runs:-an unknown number of} runs,"
  SUMMARY+=("$verdict no crash and no sanitizer report")
  echo "${SUMMARY[-1]}"
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
    run_tests build "tests"
    echo "== tests under Address and UndefinedBehavior sanitizers"
    CC=clang CXX=clang++ build build-sanitize -DFRAMETIDE_SANITIZE=ON -DFRAMETIDE_FUZZ=ON \
      -DFRAMETIDE_BENCH=OFF
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
      run_tests build-sanitize "tests under Address and UndefinedBehavior sanitizers"
    echo "== fuzzing the property-list reader for ${FUZZ_SECONDS}s"
    run_fuzzer
    echo "== summary"
    printf '%s\n' "${SUMMARY[@]}"
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
