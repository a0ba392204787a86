#!/usr/bin/env bash
# The main job: builds the Linux module and the stand-in host, then shows what the module
# offers the host.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh native
cmake --preset native >/dev/null
cmake --build --preset native
host=build/native/nimbrel-host
echo
echo "--- nimbrel-host --info"
"$host" --info
echo
echo "--- nimbrel-host --list"
"$host" --list
