#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz": clang, AddressSanitizer and UBSan) and runs each
# one over its seed corpus.
#
#   scripts/fuzz.sh                         every target for 5 seconds (about a minute in all)
#   scripts/fuzz.sh --long SECONDS          every target for SECONDS
#   scripts/fuzz.sh [--long SECONDS] NAME...  only the named targets (extract, current, ...)
#
# New inputs the runs find are kept in build/fuzz/corpus/NAME, so a later run goes on from
# there; the seeds in fuzz/corpus/NAME are only read. A crash, hang (5 s) or memory blow-up
# (2 GB) leaves its input in build/fuzz/artifacts/ and the run's output in build/fuzz/logs/.
# Replay one input with: build/fuzz/fuzz_NAME FILE
# Exit status 0 when every target ran clean, 1 otherwise.
set -uo pipefail
cd "$(dirname "$0")/.."

seconds=5
if [ "${1:-}" = --long ]; then
    seconds=${2:?--long needs a number of seconds}
    shift 2
fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(extract current forecast hourly now_later ini language time_picture replace icons
             radar answers regions atom)
fi

if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
    scripts/install-deps.sh native || exit 1
fi
cmake --preset fuzz >/dev/null || exit 1
cmake --build build/fuzz -j2 >build/fuzz/build.log 2>&1 || { cat build/fuzz/build.log; exit 1; }

mkdir -p build/fuzz/artifacts build/fuzz/logs
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The targets write and remove their cache files on every input: in memory that goes faster.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    export TMPDIR=/dev/shm
fi
passed=0
failed=0
for name in "${targets[@]}"; do
    program=build/fuzz/fuzz_$name
    if [ ! -x "$program" ]; then
        echo "fuzz_$name: no such target"
        failed=$((failed + 1))
        continue
    fi
    mkdir -p "build/fuzz/corpus/$name"
    log=build/fuzz/logs/$name.log
    "$program" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="build/fuzz/artifacts/$name-" \
        "build/fuzz/corpus/$name" "fuzz/corpus/$name" >"$log" 2>&1
    status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    if [ $status -eq 0 ]; then
        echo "fuzz_$name: ${runs:-?} runs in ${seconds} s, clean"
        passed=$((passed + 1))
    else
        echo "fuzz_$name: FAILED (exit $status) after ${runs:-?} runs; see $log"
        grep -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error|.*Test unit written)' "$log" | head -n 5
        failed=$((failed + 1))
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ $failed -eq 0 ]
