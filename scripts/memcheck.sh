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
for program in unit_tests feed_tests expr_tests provider_tests image_tests host_tests module_tests; do
  filter=()
  [ "$program" = module_tests ] && filter=(--gtest_filter=-*ShortDate*)
  if valgrind --error-exitcode=9 --leak-check=full -q --suppressions=scripts/valgrind.supp \
       "$build/$program" "${filter[@]}" \
       >"$state/$program.log" 2>&1; then
    echo "memcheck $program: clean"
  else
    echo "memcheck $program: FAILED"; tail -40 "$state/$program.log"; status=1
  fi
done
exit $status
