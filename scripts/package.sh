#!/usr/bin/env bash
# Builds the two packages a user installs, and checks what they hold before it calls them done:
#   dist/nimbrel-0.99-win32.zip            nimbrel.dll, nimbrel-host.exe, the sample nimbrel.ini
#                                          (CR LF), the language files in Windows-1252, the
#                                          icons, README.txt
#                                          (each with nimbrel.Regions and REGIONS-NOTICE.md where
#                                          its build had MeteoAlarm's regions)
#   dist/nimbrel-0.99-linux-x86_64.tar.gz  nimbrel.so, nimbrel-host, the sample ini, the language
#                                          files in UTF-8, the icons, README.md, the panel recipes
#                                          (with a picture of the conky one)
#   dist/contact-sheet.png                 every icon with its name, to review the set at a glance
# It builds what the build folders lack (build/native and build/win32 are reused). Any check that
# fails stops it with a message and exit status 1:
#   - each module exports exactly the host's functions, and the DLL imports system DLLs only;
#   - every icon name is there at 64 and at 128 pixels;
#   - every language file has every key (the Windows-1252 ones read under Wine);
#   - each package holds its build's nimbrel.Regions and REGIONS-NOTICE.md, or neither where the
#     build had no MeteoAlarm regions;
#   - the sample ini loads, and shutdown writes it back without losing a comment or a key, on
#     Linux with nimbrel.so and under Wine with nimbrel.dll;
#   - each package, unpacked on its own, gives weather and its own pictures from the local
#     service (the Linux one natively, with the calls of its conky and waybar recipes too; the
#     Windows one under Wine), and its nimbrel-host --check finds every service and the cache.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
version=0.99
win_name=nimbrel-$version-win32
linux_name=nimbrel-$version-linux-x86_64

fail() {
  echo "package: FAILED: $*" >&2
  exit 1
}

scripts/install-deps.sh all
# Configuring again first lets a build folder made before a target was added build it.
cmake --preset native >/dev/null
cmake --preset win32 >/dev/null
cmake --build build/native --target nimbrel nimbrel-host nimbrel-sim nimbrel-langcheck
cmake --build build/win32 --target nimbrel nimbrel-host nimbrel-langcheck
wine_run() { cmake/wine-run.sh "$root/build/win32/wineprefix" "$@"; }
# Where 32-bit Wine cannot start, the Windows package is built and checked for what needs no
# Windows program; the checks under Wine are left out, and said so.
wine_reason=$(cmake/wine-usable.sh 2>&1) && wine_ok=1 || wine_ok=

work=$(mktemp -d /tmp/nimbrel-package.XXXXXX)
cleanup() {
  "$root/tests/services.sh" stop "$work/service"
  rm -rf "$work"
}
trap cleanup EXIT

# ---- Contents ----------------------------------------------------------------------------------
echo "== icons and language files"
scripts/icons.sh "$work/icons" >/dev/null
python3 tools/icons/icons.py --names >"$work/icon-names.txt"
scripts/languages.sh "$work/languages-windows" windows
scripts/languages.sh "$work/languages-linux" linux

crlf() { sed 's/\r*$/\r/' "$1" >"$2"; }

# Both packages lay out the pictures the same way: the 64-pixel ones where the icon functions
# look, the 128-pixel ones in a folder of their own, for a folder argument or DefaultIconPath.
add_common() {
  local dir=$1 languages=$2
  mkdir -p "$dir/nimbrel.Languages" "$dir/weather.images/128"
  cp "$languages"/*.ini "$dir/nimbrel.Languages/"
  cp "$work/icons/64/"*.png "$dir/weather.images/"
  cp "$work/icons/128/"*.png "$dir/weather.images/128/"
}

win=$work/stage/$win_name
mkdir -p "$win"
cp build/win32/nimbrel.dll build/win32/nimbrel-host.exe "$win/"
i686-w64-mingw32-strip --strip-unneeded "$win/nimbrel.dll" "$win/nimbrel-host.exe"
crlf package/nimbrel.ini "$win/nimbrel.ini"
# Notepad and the host read Windows-1252, as the language files are.
iconv -f UTF-8 -t CP1252 package/windows/README.txt >"$work/README.txt"
crlf "$work/README.txt" "$win/README.txt"
add_common "$win" "$work/languages-windows"

linux=$work/stage/$linux_name
mkdir -p "$linux/recipes"
cp build/native/nimbrel.so build/native/nimbrel-host "$linux/"
strip --strip-unneeded "$linux/nimbrel.so" "$linux/nimbrel-host"
cp package/nimbrel.ini "$linux/"
cp package/linux/README.md "$linux/"
cp package/linux/conky.conf package/linux/conky.png package/linux/waybar-config.jsonc \
  package/linux/waybar-style.css "$linux/recipes/"
add_common "$linux" "$work/languages-linux"

# MeteoAlarm's warning regions go beside the settings, with their notice, where the build made
# them (the data is not part of the sources; see NIMBREL_METEOALARM_DIR).
add_regions() {
  local dir=$1 build=$2 notice=$3
  if [ -f "$build/nimbrel.Regions" ]; then
    cp "$build/nimbrel.Regions" "$dir/"
    cp "$notice" "$dir/REGIONS-NOTICE.md"
  fi
}
crlf package/REGIONS-NOTICE.md "$work/REGIONS-NOTICE.md"
add_regions "$win" build/win32 "$work/REGIONS-NOTICE.md"
add_regions "$linux" build/native package/REGIONS-NOTICE.md

mkdir -p dist
rm -f "dist/$win_name.zip" "dist/$linux_name.tar.gz"
python3 tools/package/package_tool.py zip "dist/$win_name.zip" "$win"
tar -C "$work/stage" --owner=0 --group=0 --sort=name -czf "dist/$linux_name.tar.gz" "$linux_name"
cp "$work/icons/contact-sheet.png" dist/contact-sheet.png

# ---- Checks, on the packages as a user unpacks them ----------------------------------------------
mkdir -p "$work/unpacked"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' \
  "dist/$win_name.zip" "$work/unpacked"
tar -C "$work/unpacked" -xzf "dist/$linux_name.tar.gz"
win=$work/unpacked/$win_name
linux=$work/unpacked/$linux_name

echo "== exports and imports"
tests/check_exports.sh "$win/nimbrel.dll" | grep -v passed || fail "nimbrel.dll"
tests/check_exports.sh "$linux/nimbrel.so" | grep -v passed || fail "nimbrel.so"

echo "== warning regions"
check_regions() {
  local dir=$1 build=$2
  if [ -f "$build/nimbrel.Regions" ]; then
    cmp -s "$dir/nimbrel.Regions" "$build/nimbrel.Regions" ||
      fail "$dir: nimbrel.Regions is not the one $build made"
    [ -s "$dir/REGIONS-NOTICE.md" ] || fail "$dir: nimbrel.Regions without REGIONS-NOTICE.md"
    echo "regions: $(stat -c %s "$dir/nimbrel.Regions") bytes in $(basename "$dir")"
  else
    [ ! -e "$dir/nimbrel.Regions" ] && [ ! -e "$dir/REGIONS-NOTICE.md" ] ||
      fail "$dir: regions or their notice without a regions file from $build"
    echo "regions: none in $(basename "$dir") (the build had no MeteoAlarm regions)"
  fi
}
check_regions "$win" build/win32
check_regions "$linux" build/native

echo "== icons"
python3 tools/package/package_tool.py images "$win/weather.images" "$work/icon-names.txt"
python3 tools/package/package_tool.py images "$linux/weather.images" "$work/icon-names.txt"

echo "== language files"
check_languages() {
  local dir=$1 count=0
  shift
  for file in "$dir"/*.ini; do
    "$@" "$file" >"$work/langcheck.out" 2>&1 || { cat "$work/langcheck.out"; fail "$file"; }
    count=$((count + 1))
  done
  [ "$count" -ge 6 ] || fail "only $count language files in $dir"
  echo "languages: $count files complete in $(basename "$(dirname "$dir")")"
}
check_languages "$linux/nimbrel.Languages" build/native/nimbrel-langcheck
if [ -n "$wine_ok" ]; then
  check_languages "$win/nimbrel.Languages" wine_run build/win32/nimbrel-langcheck.exe
else
  echo "languages of the Windows package under Wine SKIPPED: $wine_reason"
fi
python3 tools/package/package_tool.py crlf "$win/nimbrel.ini" "$win/README.txt" \
  "$win/nimbrel.Languages/"*.ini
python3 tools/package/package_tool.py languages "$win/nimbrel.Languages" \
  "$linux/nimbrel.Languages"

echo "== the sample settings: loaded, and written back whole at shutdown"
# check_settings FOLDER RUNNER...: RUNNER runs the host beside the module in FOLDER. First the
# sample as it is packed: the module reads it (the prompts show its day and hour counts) and
# leaves every line in place. Then with two values that shutdown must rewrite (an out-of-range
# day count, a lower-case place), to see that the write-back keeps every comment and every
# other key.
check_settings() {
  local dir=$1 prompts
  shift
  cp "$dir/nimbrel.ini" "$work/sample.ini"
  prompts=$("$@" getparam Forecast && "$@" getparam Hourly) || fail "$dir: the host did not run"
  case $prompts in
    *"day number (1 to 5)"*"hour number (1 to 12)"*) ;;
    *) fail "$dir: the sample's MaxDays and MaxHours are not what the module read: $prompts" ;;
  esac
  python3 tools/package/package_tool.py ini "$work/sample.ini" "$dir/nimbrel.ini"
  sed -i 's/^MaxDays=5/MaxDays=0/; s/^DefaultLocationID=90210/DefaultLocationID=abc12/' \
    "$dir/nimbrel.ini"
  cp "$dir/nimbrel.ini" "$work/edited.ini"
  case $("$@" getparam Forecast || true) in
    *"day number (1 to 10)"*) ;;
    *) fail "$dir: MaxDays=0 did not read as 10" ;;
  esac
  python3 tools/package/package_tool.py ini "$work/edited.ini" "$dir/nimbrel.ini" \
    Forecast.MaxDays=10 LocationID.DefaultLocationID=ABC12
  cp "$work/sample.ini" "$dir/nimbrel.ini"
}
mkdir -p "$work/temp"
TEMP=$work/temp check_settings "$linux" "$linux/nimbrel-host"
if [ -n "$wine_ok" ]; then
  check_settings "$win" wine_run "$win/nimbrel-host.exe"
else
  echo "the Windows package's settings under Wine SKIPPED: $wine_reason"
fi

echo "== the Linux package on its own, against the local weather service"
"$root/tests/services.sh" sim "$work/service" build/native/nimbrel-sim >/dev/null ||
  fail "the local weather service did not start"
service=http://127.0.0.1:$(cat "$work/service/sim.port")
sed -i "s|^ForecastApi=.*|ForecastApi=$service/v1/forecast|
        s|^MetNorwayApi=.*|MetNorwayApi=$service/weatherapi/locationforecast/2.0/complete|
        s|^GeocodingApi=.*|GeocodingApi=$service/v1/search|
        s|^AlertsApi=.*|AlertsApi=$service/alerts/active|
        s|^MeteoAlarmApi=.*|MeteoAlarmApi=$service/feeds/meteoalarm-legacy-atom-|
        s|^RadarApi=.*|RadarApi=$service/public/weather-maps.json|
        s|^AirQualityApi=.*|AirQualityApi=$service/v1/air-quality|
        s|^MetNowcastApi=.*|MetNowcastApi=$service/weatherapi/nowcast/2.0/complete|
        s|^DefaultLocationID=.*|DefaultLocationID=SPRING|
        s|^DefaultIconPath=.*|DefaultIconPath=$linux/weather.images|" "$linux/nimbrel.ini"
# SPRING is a place of the local service in Europe, in pollen season: every value of the recipes,
# pollen included, is there to show. Outside Europe the pollen reads "N/A".
# From another folder, as a panel runs it, with the environment of a fresh login. Every process
# of the user shares the module's lock, so an answer that another program's long call kept
# waiting past the lock's time-out is asked again, as a panel would at its next update.
cd "$work"
host=$linux/nimbrel-host
ask() {
  local out
  for _ in 1 2 3; do
    out=$(env -i PATH=/usr/bin:/bin TEMP="$work/temp" "$host" "$@") || return 1
    case $out in *"utex timeout"*) continue ;; esac
    break
  done
  printf '%s\n' "$out"
}
value=$(ask CurrentConditions '<temp><tempunit> <cond>' '' Metric 1) ||
  fail "nimbrel-host from the package did not run"
[[ $value =~ ^-?[0-9]+°C\ [A-Za-z] ]] || fail "nimbrel-host from the package gave \"$value\""
icon=$(ask IconCC '' '' || true)
[ -f "$icon" ] && [[ $icon == "$linux/weather.images/"* ]] ||
  fail "IconCC gave \"$icon\", not a picture of the package"
json=$(ask --json CurrentConditions '<temp><tempunit>' '' Metric 1 \
  --tooltip Forecast '<dayname>: <high>/<low>%b<cond>' '' 1 Metric 1 || true)
python3 -c 'import json, sys; o = json.loads(sys.argv[1]); assert o["text"] and "\n" in o["tooltip"]' \
  "$json" || fail "nimbrel-host --json gave $json"
grep -q '/v1/forecast?' "$work/service/sim.log" || fail "the weather service was not asked"
echo "linux package: \"$value\", $(basename "$icon"), $json"
ask --check >"$work/linux-check.txt" || { cat "$work/linux-check.txt"; fail "nimbrel-host --check"; }
tail -n 1 "$work/linux-check.txt"
TEMP=$work/temp python3 "$root/tools/package/package_tool.py" recipes "$linux"
cd "$root"

if [ -n "$wine_ok" ]; then
  echo "== the Windows package under Wine, against the local weather service"
  # The DLL from the zip with its sample settings pointed at the service, through WinINet.
  sed -i "s|^ForecastApi=.*|ForecastApi=$service/v1/forecast\r|
          s|^MetNorwayApi=.*|MetNorwayApi=$service/weatherapi/locationforecast/2.0/complete\r|
          s|^GeocodingApi=.*|GeocodingApi=$service/v1/search\r|
          s|^AlertsApi=.*|AlertsApi=$service/alerts/active\r|
          s|^MeteoAlarmApi=.*|MeteoAlarmApi=$service/feeds/meteoalarm-legacy-atom-\r|
          s|^RadarApi=.*|RadarApi=$service/public/weather-maps.json\r|
          s|^AirQualityApi=.*|AirQualityApi=$service/v1/air-quality\r|
          s|^MetNowcastApi=.*|MetNowcastApi=$service/weatherapi/nowcast/2.0/complete\r|
          s|^DefaultIconPath=.*|DefaultIconPath=Z:$win/weather.images\r|" "$win/nimbrel.ini"
  printf 'CurrentConditions\t<temp><tempunit> <cond>\t\tMetric\t1\nIconCC\t\t\n' >"$work/win-calls.txt"
  wine_run "$win/nimbrel-host.exe" --batch "$work/win-calls.txt" >"$work/win-results.txt" ||
    fail "nimbrel-host.exe did not run the Windows package"
  wine_run "$win/nimbrel-host.exe" --check >"$work/win-check.txt" ||
    { cat "$work/win-check.txt"; fail "nimbrel-host.exe --check"; }
  tail -n 1 "$work/win-check.txt"
  mapfile -t answers <"$work/win-results.txt"
  value=${answers[0]:-}
  icon=${answers[1]:-}
  [[ $value =~ ^-?[0-9]+ ]] && [[ $value == *"C "[A-Za-z]* ]] ||
    fail "the Windows package gave \"$value\""
  [ -f "$win/weather.images/${icon##*[\\/]}" ] && [[ $icon == "Z:$win/weather.images"* ]] ||
    fail "IconCC of the Windows package gave \"$icon\""
  echo "windows package: \"$(iconv -f CP1252 -t UTF-8 <<<"$value")\", ${icon##*\\}"

else
  echo "== the Windows package under Wine SKIPPED: $wine_reason"
fi

echo "== packages"
for file in "dist/$win_name.zip" "dist/$linux_name.tar.gz" dist/contact-sheet.png; do
  printf '%-40s %9d bytes (%s)\n' "$file" "$(stat -c %s "$file")" "$(du -h "$file" | cut -f1)"
done
