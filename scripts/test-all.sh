#!/usr/bin/env bash
# Runs every test of every build: the Linux module, the same under AddressSanitizer and
# UBSan, and the 32-bit Windows DLL under Wine; then a short run of every fuzz target.
# (scripts/stress.sh, natively or with --wine, runs the stress across processes by hand.)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh all
status=0
for preset in native native-asan win32; do
  echo "=== $preset"
  cmake --workflow --preset "$preset" || status=1
done
echo "=== fuzz"
scripts/fuzz.sh || status=1
exit $status
