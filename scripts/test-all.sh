#!/usr/bin/env bash
# Runs every test of every build: the Linux module, the same under AddressSanitizer and
# UBSan, and the 32-bit Windows DLL under Wine; then the two packages with their checks
# (scripts/package.sh, about half a minute); then every Linux test program under valgrind's
# memcheck, a short run of every fuzz target, and a short stress across processes, natively
# and under Wine, with the Open-Meteo provider and with the feed, and natively on a full disk
# (scripts/stress.sh runs longer ones by hand).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh all
status=0
# The Windows tests run the DLL under 32-bit Wine, which some kernels cannot start: there the
# DLL is still built and its exports checked, and the same suite runs as a 64-bit Windows build
# under 64-bit Wine instead, so that the Windows backend is tested all the same.
wine_reason=$(cmake/wine-usable.sh 2>&1) && wine= || wine=no
for preset in native native-asan win32; do
  echo "=== $preset"
  if [ "$preset" = win32 ] && [ -n "$wine" ]; then
    echo "32-bit Windows tests under Wine SKIPPED: $wine_reason"
    { cmake --preset win32 && cmake --build --preset win32 &&
      ctest --preset win32 -R '^(languages-write|layers|scripts|exported-symbols)$'; } || status=1
    echo "=== win64 (the Windows backend's tests under 64-bit Wine)"
    cmake --workflow --preset win64 || status=1
    continue
  fi
  cmake --workflow --preset "$preset" || status=1
done
echo "=== packages"
scripts/package.sh || status=1
echo "=== memcheck"
scripts/memcheck.sh || status=1
echo "=== fuzz"
scripts/fuzz.sh || status=1
echo "=== stress, Open-Meteo provider"
scripts/stress.sh 20 3 3 || status=1
echo "=== stress, feed"
scripts/stress.sh --feed 20 3 3 || status=1
echo "=== stress, a full disk"
scripts/stress.sh --full-disk 20 3 3 || status=1
if [ -z "$wine" ]; then
  echo "=== stress under Wine, Open-Meteo provider"
  scripts/stress.sh --wine 20 2 3 || status=1
  echo "=== stress under Wine, feed"
  scripts/stress.sh --wine --feed 20 2 3 || status=1
else
  echo "=== stress under Wine SKIPPED: $wine_reason"
fi
exit $status
