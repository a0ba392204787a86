#!/usr/bin/env bash
# Benchmarks of warm expression calls with every term.
#
#   bench.sh [--calls N]          natively: time per call of the core (Google Benchmark) and
#                                 through the module's exports, instructions per call
#                                 (callgrind) and system calls per call (strace); the search
#                                 for a place's warning regions (loaded and cold); then the
#                                 requests that a whole panel of one place costs the weather
#                                 service over an hour, against the local service
#   bench.sh --wine [--calls N]   the Windows DLL under Wine: time per call through its exports;
#                                 where 32-bit Wine cannot start (cmake/wine-usable.sh), the
#                                 64-bit build of the same code under 64-bit Wine, and it says so
#   bench.sh --freeze             a panel of six meters polled every 5 s for 2 minutes while the
#                                 local service hangs and every cached file is stale: the seconds
#                                 its thread was blocked and the worst call, the shared object
#                                 natively and the DLL under Wine
#
# --calls sets how many warm calls the export timing makes of each expression (2000).
set -euo pipefail
cd "$(dirname "$0")/.."
wine=
freeze=
calls=()
while [ $# -gt 0 ]; do
  case $1 in
    --wine) wine=1 ;;
    --freeze) freeze=1 ;;
    --calls) calls=(--calls "$2"); shift ;;
    *) echo "usage: $0 [--wine] [--calls N] | --freeze" >&2; exit 2 ;;
  esac
  shift
done
export LC_ALL=${LC_ALL:-en_US.UTF-8}

if [ -n "$freeze" ]; then
  scripts/install-deps.sh all
  cmake --preset native >/dev/null
  cmake --build --preset native --target nimbrel nimbrel-freeze nimbrel-sim
  cmake --preset win32 >/dev/null
  cmake --build --preset win32 --target nimbrel nimbrel-freeze
  state=$(mktemp -d /tmp/nimbrel-bench.XXXXXX)
  trap 'tests/services.sh stop "$state" >/dev/null; rm -rf "$state"' EXIT
  tests/services.sh sim "$state" build/native/nimbrel-sim >/dev/null
  service="127.0.0.1:$(cat "$state/sim.port")"
  curl -fsS "http://$service/_control/scenario?name=stall" >/dev/null
  echo "Six meters every 5 s for 2 minutes, the service stalled, every cached file stale:"
  echo -n "  the shared object: "
  build/native/nimbrel-freeze "$service"
  echo -n "  the DLL under Wine: "
  cmake/wine-run.sh "$PWD/build/win32/wineprefix" build/win32/nimbrel-freeze.exe "$service"

  # Three panels that run one nimbrel-host per meter (as conky's recipe does), six meters each
  # every 5 s for a minute, against the hung service with a stale cache: the requests that
  # reach it, and the slowest meter.
  cmake --build --preset native --target nimbrel-host >/dev/null
  panel=$state/panel
  mkdir -p "$panel/plugin" "$panel/temp"
  cp build/native/nimbrel.so "$panel/plugin/"
  printf '[Service]\nProvider=feed\nFeedHost=%s\nNarrativeHost=%s\nPageHost=%s\nConnectivityUrl=http://%s/\n[Unit]\nDefaultUnit=English\n' \
    "$service" "$service" "$service" "$service" >"$panel/plugin/nimbrel.ini"
  meters=("CurrentConditions|<temp> <cond>|90210|English|0" "CurrentConditions|<wind>|90210|Metric|0"
          "Forecast|<high>/<low>|90210|1|English|0" "Forecast|<details>|90210|2|English|0"
          "Hourly|<temp>|90210|1|English|0" "IconCC|90210|$panel")
  meter() { IFS='|' read -r -a call <<<"$1"; TEMP=$panel/temp build/native/nimbrel-host --module "$panel/plugin/nimbrel.so" "${call[@]}"; }
  curl -fsS "http://$service/_control/scenario?name=normal" >/dev/null
  for m in "${meters[@]}"; do meter "$m" >/dev/null; done
  sleep 1
  find "$panel/temp/Nimbrel" -maxdepth 1 -type f -exec touch -d '3 hours ago' {} +
  curl -fsS "http://$service/_control/scenario?name=stall" >/dev/null
  before=$(curl -fsS "http://$service/_control/log" | wc -l)
  end=$((SECONDS + 60))
  worst=0
  while [ $SECONDS -lt $end ]; do
    for p in 1 2 3; do
      (for m in "${meters[@]}"; do
         start=$(date +%s%N); meter "$m" >/dev/null; echo $((($(date +%s%N) - start) / 1000000))
       done) >>"$panel/times.$p" &
    done
    sleep 5
  done
  wait
  worst=$(sort -n "$panel"/times.* | tail -1)
  after=$(curl -fsS "http://$service/_control/log" | wc -l)
  echo "Three one-shot panels for a minute against the hung service: $((after - before)) requests" \
    "reached it; the slowest meter took $worst ms"
  exit 0
fi

if [ -n "$wine" ]; then
  scripts/install-deps.sh all
  # As scripts/test-all.sh chooses: where 32-bit Wine cannot start, the same code as a 64-bit
  # build under 64-bit Wine.
  if wine_reason=$(cmake/wine-usable.sh 2>&1); then
    preset=win32 run=() loader=wine
  else
    echo "32-bit Wine cannot run here ($wine_reason): timing the 64-bit build under 64-bit Wine"
    preset=win64 run=(--64) loader=/usr/lib/wine/wine64
  fi
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target nimbrel-warm-calls
  echo "The $preset DLL under $("$loader" --version), warm calls through its exports:"
  exec cmake/wine-run.sh "${run[@]}" "$PWD/build/$preset/wineprefix" \
    "build/$preset/nimbrel-warm-calls.exe" "${calls[@]}"
fi

scripts/install-deps.sh native
cmake --preset native >/dev/null
cmake --build --preset native --target nimbrel-bench nimbrel-warm-calls nimbrel-panel-requests \
  nimbrel-sim nimbrel-regions-bench
bench=build/native/nimbrel-bench
"$bench"
if [ -f build/native/nimbrel.Regions ]; then
  echo "The warning regions of a place, from the packed MeteoAlarm regions:"
  build/native/nimbrel-regions-bench
else
  echo "The warning regions' timing SKIPPED: the build had no MeteoAlarm regions"
fi
echo "The shared object, warm calls through its exports:"
build/native/nimbrel-warm-calls "${calls[@]}"
for case in CurrentAllTerms/English CurrentAllTerms/Both ForecastAllTerms HourlyAllTerms; do
  case $case in
    Forecast*) function=ForecastText ;;
    Hourly*) function=HourlyText ;;
    *) function=CurrentConditionsText ;;
  esac
  # Divided by every call the process made (the benchmark's runs that find its number of
  # iterations too), as the benchmark counts them; the system calls include the few of the
  # process's start.
  out=$(mktemp)
  valgrind --tool=callgrind --callgrind-out-file="$out" "--toggle-collect=${function}*" \
    "$bench" --benchmark_filter="^$case\$" --benchmark_min_time=0.2 >/dev/null 2>"$out.txt"
  calls=$(awk '/^timed calls:/ {print $3}' "$out.txt")
  total=$(callgrind_annotate "$out" 2>/dev/null | awk '/PROGRAM TOTALS/{gsub(",", "", $1); print $1}')
  strace -c -o "$out.st" "$bench" --benchmark_filter="^$case\$" --benchmark_min_time=0.2 \
    >/dev/null 2>"$out.txt"
  straced=$(awk '/^timed calls:/ {print $3}' "$out.txt")
  syscalls=$(awk '$NF == "total" {print $4}' "$out.st")
  awk -v c="$case" -v i="$total" -v n="$calls" -v s="$syscalls" -v m="$straced" \
    'BEGIN {printf "%s: %d instructions, %.1f system calls per call\n", c, i / n, s / m}'
  rm -f "$out" "$out.txt" "$out.st"
done

# A whole panel, looked at every minute for an hour, by place name and by coordinates.
state=$(mktemp -d /tmp/nimbrel-bench.XXXXXX)
trap 'tests/services.sh stop "$state" >/dev/null; rm -rf "$state"' EXIT
tests/services.sh start "$state" build/native/nimbrel-sim >/dev/null
for id in 90210 ALERTS 34.0901,-118.4065; do
  build/native/nimbrel-panel-requests "127.0.0.1:$(cat "$state/sim.port")" 60 "$id"
done
# The same hour with Open-Meteo failing: MET Norway serves the panel.
for id in 90210 34.0901,-118.4065; do
  build/native/nimbrel-panel-requests "127.0.0.1:$(cat "$state/sim.port")" 60 "$id" openmeteo-down
done
# The same panel with the air's terms and badge, in Europe and outside it.
for id in SPRING 90210; do
  build/native/nimbrel-panel-requests "127.0.0.1:$(cat "$state/sim.port")" 60 "$id" air
done
