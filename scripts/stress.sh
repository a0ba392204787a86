#!/usr/bin/env bash
# Stress across processes: several processes with several threads each call every export of
# the module against the local weather service while its cached files keep going stale, and
# one process is killed again and again, often in the middle of a download. After the first
# third of the run the service stalls: it accepts every request and never answers. Every call
# must return within the mutex wait plus the download bound, a killed holder's mutex must pass
# to the next waiter, no call may time out on the mutex (nothing holds it stuck here), no cache
# file may ever be seen broken, and the stalled service may see at most one request per two
# minutes for each address (its cache-busting number aside) from all processes together.
#   stress.sh [--wine] [--feed] [--full-disk] [SECONDS] [PROCESSES] [THREADS]
# --wine runs the Windows module and the Windows stress program under Wine instead. The weather
# comes through the Open-Meteo provider from the service's Open-Meteo addresses, or with --feed
# from its feed addresses. --full-disk puts the cache folder on a small disk of its own (a tmpfs,
# which takes root) and fills that disk to its last byte where the service would stall: the
# service stays well, and the same rules hold (at most one request per address per two minutes
# while nothing can be kept, no broken file), and no answer kept before the disk filled is lost.
set -euo pipefail
cd "$(dirname "$0")/.."
wine=
full_disk=
provider=open-meteo
while [ $# -gt 0 ]; do
  case $1 in
    --wine) wine=1; shift ;;
    --feed) provider=feed; shift ;;
    --full-disk) full_disk=1; shift ;;
    *) break ;;
  esac
done
seconds=${1:-20}
processes=${2:-3}
threads=${3:-3}
native=build/native
[ -x "$native/nimbrel-sim" ] || cmake --build --preset native --target nimbrel-sim
if [ -n "$wine" ]; then
  build=build/win32
  cmake --build --preset win32 --target nimbrel nimbrel-stress >/dev/null
  module=nimbrel.dll
  # Windows programs under Wine keep their TEMP in the prefix: start from an empty cache there.
  rm -rf "$build/wineprefix/drive_c/users/$(id -un)/Temp/Nimbrel"
  runner=(cmake/wine-run.sh "$PWD/$build/wineprefix" "$build/nimbrel-stress.exe")
else
  build=build/native
  cmake --build --preset native --target nimbrel nimbrel-stress >/dev/null
  module=nimbrel.so
  runner=("$build/nimbrel-stress")
fi
work=$(mktemp -d /tmp/nimbrel-stress.XXXXXX)
pids=()
cleanup() {
  # Waited for, so that no process still writes into the folders removed below.
  for p in "${pids[@]}" ${victim:-}; do kill -9 "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  tests/services.sh stop "$work/service"
  [ -z "$full_disk" ] || umount -l "$work/temp" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

tests/services.sh sim "$work/service" "$native/nimbrel-sim" >/dev/null
port=$(cat "$work/service/sim.port")
mkdir -p "$work/plugin" "$work/temp"
if [ -n "$full_disk" ]; then
  if [ -n "$wine" ] || [ "$(id -u)" -ne 0 ] || ! mount -t tmpfs -o size=4m tmpfs "$work/temp"; then
    echo "stress: the full-disk phase takes root and the Linux module; skipped"
    echo "stress: 0 passed, 0 failed, 1 skipped"
    exit 0
  fi
fi
cp "$build/$module" "$work/plugin/"
cat >"$work/plugin/nimbrel.ini" <<INI
[Service]
Provider=$provider
ForecastApi=http://127.0.0.1:$port/v1/forecast
GeocodingApi=http://127.0.0.1:$port/v1/search
AlertsApi=http://127.0.0.1:$port/alerts/active
MeteoAlarmApi=http://127.0.0.1:$port/feeds/meteoalarm-legacy-atom-
RadarApi=http://127.0.0.1:$port/public/weather-maps.json
FeedHost=127.0.0.1:$port
NarrativeHost=127.0.0.1:$port
PageHost=127.0.0.1:$port
ConnectivityUrl=http://127.0.0.1:$port/
INI
export TEMP="$work/temp"
module_path="$work/plugin/$module"
[ -n "$wine" ] && module_path="Z:${module_path//\//\\}"
# exec: the background job is the stress process itself, so that killing the job kills it.
run() { exec "${runner[@]}" --module "$module_path" --seconds "$1" --threads "$threads"; }

for i in $(seq 1 "$processes"); do
  run "$seconds" >"$work/out.$i" 2>&1 &
  pids+=($!)
done
# Fills the small disk to its last byte.
fill_disk() {
  dd if=/dev/zero of="$work/temp/filler" bs=64k oflag=append conv=notrunc 2>/dev/null || true
  dd if=/dev/zero of="$work/temp/filler" bs=1 oflag=append conv=notrunc 2>/dev/null || true
}
kills=0
end=$((SECONDS + seconds))
stall_at=$((SECONDS + seconds / 3))
stalled_from=
while [ $SECONDS -lt $((end - 2)) ]; do
  if [ -z "$stalled_from" ] && [ $SECONDS -ge $stall_at ]; then
    if [ -n "$full_disk" ]; then
      # The answers kept so far, each of which must still be there, whole, at the end.
      (cd "$work/temp/Nimbrel" && ls OpenMeteo.*.json Place.*.json Alerts.*.json 2>/dev/null) \
        >"$work/kept" || true
      fill_disk
      stalled_from=$(curl -fsS "http://127.0.0.1:$port/_control/log" | wc -l)
    else
      # Stalled first, counted after: a request that came in between stalls, uncounted.
      curl -fsS "http://127.0.0.1:$port/_control/scenario?name=stall" >/dev/null
      stalled_from=$(curl -fsS "http://127.0.0.1:$port/_control/log" | wc -l)
    fi
    stall_seconds=$((end - SECONDS))
  fi
  # What a removed file gave back is taken again: the disk stays full.
  [ -z "$full_disk" ] || [ -z "$stalled_from" ] || fill_disk
  run 60 >/dev/null 2>&1 &
  victim=$!
  sleep "0.$((RANDOM % 9 + 1))"
  sleep 1
  kill -9 "$victim" 2>/dev/null && kills=$((kills + 1))
  wait "$victim" 2>/dev/null || true
  victim=
done
status=0
for i in "${!pids[@]}"; do
  wait "${pids[$i]}" || status=1
  echo "process $((i + 1)): $(cat "$work/out.$((i + 1))")"
done
echo "processes killed mid-run: $kills"
# The requests that reached the stalled service, by address without the cache-busting number;
# the connectivity test's answers are not stalled.
allowed=$((1 + ${stall_seconds:-0} / 120))
curl -fsS "http://127.0.0.1:$port/_control/log" | tail -n +"$((${stalled_from:-0} + 1))" |
  sed -E 's/([?&])random=[0-9]+&?/\1/; s/[?&]$//' | grep -v -E '^GET (/|/connectivity.*)$' |
  sort | uniq -c | sort -rn >"$work/stalled" || true
asked=$(awk '{n += $1} END {print n + 0}' "$work/stalled")
most=$(awk 'NR == 1 {print $1 + 0}' "$work/stalled")
what="the stalled service"
[ -z "$full_disk" ] || what="the full disk"
echo "$what, ${stall_seconds:-0} s: $asked requests to $(wc -l <"$work/stalled") addresses, at most ${most:-0} to one (allowed $allowed)"
if [ "${most:-0}" -gt "$allowed" ]; then
  status=1
  awk -v a="$allowed" '$1 > a' "$work/stalled" | head -5
fi
if [ -n "$full_disk" ]; then
  lost=0
  while read -r name; do
    content=$(head -c 1 "$work/temp/Nimbrel/$name" 2>/dev/null || true)
    if [ -z "$content" ]; then
      echo "kept answer lost on the full disk: $name"
      lost=$((lost + 1))
    fi
  done <"$work/kept"
  echo "answers kept before the disk filled: $(wc -l <"$work/kept"), lost: $lost"
  [ "$lost" -eq 0 ] || status=1
fi
if [ $status -eq 0 ]; then echo "stress: 1 passed, 0 failed"; else echo "stress: 0 passed, 1 failed"; fi
exit $status
