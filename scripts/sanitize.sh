#!/usr/bin/env bash
# Builds with clang and runs every test under AddressSanitizer and UndefinedBehaviorSanitizer
# (in build-asan), then the test programs that run threads under ThreadSanitizer (in
# build-tsan). Any report fails the test that caused it, and so this script. Prints how many
# tests each part ran and how long it took. Run scripts/setup.sh (as root) once first.
#   OSTRA_JOBS=N  parallel build and test jobs (default 2)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${OSTRA_JOBS:-2}

export CC=clang CXX=clang++
# Leaks are reported at exit; undefined behaviour already stops the program (-fno-sanitize-recover).
export ASAN_OPTIONS=detect_leaks=1:strict_init_order=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
# The editor's tests open and close it a hundred times here (a dozen in the default run).
export OSTRA_EDITOR_CYCLES=100

summary=()

# run_part NAME BUILD_DIR CTEST_ARGS... : runs the tests, notes the count and the time.
run_part()
{
  local name=$1 dir=$2
  shift 2
  local log="$dir/sanitize-ctest.log" start=$SECONDS
  if ! ctest --test-dir "$dir" --output-on-failure -j"$jobs" "$@" 2>&1 | tee "$log"; then
    echo "sanitize.sh: $name failed" >&2
    exit 1
  fi
  grep -q "tests passed" "$log" || { echo "sanitize.sh: $name ran no tests" >&2; exit 1; }
  local count
  count=$(sed -n 's/.* tests failed out of \([0-9]*\).*/\1/p' "$log")
  summary+=("$name: $count tests in $((SECONDS - start)) s")
}

start=$SECONDS
cmake -S . -B build-asan -G Ninja -DOSTRA_SANITIZE=ON -DOSTRA_BUILD_TESTS=ON -DOSTRA_WERROR=ON
cmake --build build-asan -j"$jobs"
summary+=("ASan+UBSan build: $((SECONDS - start)) s")
# Mesa's software GL driver is loaded with each editor's display and unloaded when it
# closes; what it keeps then shows as leaks of an unknown module. Loaded once for the whole
# process it stays, and the leak check sees only our code.
mesa=$(ls /usr/lib/x86_64-linux-gnu/dri/swrast_dri.so 2>/dev/null || true)
export LD_PRELOAD="$mesa"
run_part "ASan+UBSan" build-asan
unset LD_PRELOAD

# The programs whose tests start threads: the framework's queues and messaging, the update
# check and its worker, the plug-in (the thread stress test and the update shutdown), and
# the LV2 instance with its editor open (the UI thread, worker, state and audio at once).
threaded=(test_framework test_updates test_plugin test_lv2_editor)
start=$SECONDS
cmake -S . -B build-tsan -G Ninja -DOSTRA_TSAN=ON -DOSTRA_BUILD_TESTS=ON -DOSTRA_WERROR=ON
cmake --build build-tsan -j"$jobs" --target "${threaded[@]}"
summary+=("TSan build: $((SECONDS - start)) s")
suites=$(for program in "${threaded[@]}"; do
  "build-tsan/tests/$program" --gtest_list_tests | sed -n 's/^\([A-Za-z0-9_]*\)\.$/\1/p'
done | sort -u | paste -sd'|')
run_part "TSan" build-tsan -R "^($suites)\\."

printf '%s\n' "${summary[@]}"
