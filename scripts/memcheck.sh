#!/usr/bin/env bash
# Runs every test program of the Linux build under valgrind's memcheck, with the local weather
# service and the proxy running, and fails on any memory error or leak.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh native
cmake --preset native >/dev/null
cmake --build --preset native
build=build/native
state=$(mktemp -d /tmp/nimbrel-memcheck.XXXXXX)
trap 'tests/services.sh stop "$state"; rm -rf "$state"' EXIT
tests/services.sh start "$state" "$build/nimbrel-sim"
export NIMBREL_TEST_SERVICES=$state LC_ALL=${LC_ALL:-en_US.UTF-8}
status=0
# Each run: a name, the zone it runs in, the program and its arguments. The time-zone tests
# need a zone other than UTC; the short-date tests run by themselves under ctest.
runs=()
for program in unit_tests feed_tests expr_tests provider_tests image_tests host_tests; do
  runs+=("$program|${TZ:-}|$program")
done
runs+=("module_tests|${TZ:-}|module_tests --gtest_filter=-*ShortDate*:TimeZone.*")
runs+=("module_tests, east of UTC|NIM-12|module_tests --gtest_filter=TimeZone.*")
for run in "${runs[@]}"; do
  IFS='|' read -r name zone command <<<"$run"
  read -r -a words <<<"$command"
  words[0]=$build/${words[0]}
  if env ${zone:+TZ=$zone} valgrind --error-exitcode=9 --leak-check=full -q \
       --suppressions=scripts/valgrind.supp "${words[@]}" >"$state/run.log" 2>&1; then
    echo "memcheck $name: clean"
  else
    echo "memcheck $name: FAILED"; tail -40 "$state/run.log"; status=1
  fi
done
exit $status
