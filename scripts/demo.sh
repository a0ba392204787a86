#!/usr/bin/env bash
# The main job: builds the Linux module, the stand-in host and the local weather service, then
# shows a panel filled by the module against the service on loopback, its weather through the
# Open-Meteo provider (the service answers Open-Meteo's addresses): every current-conditions term
# in English, Metric and Both, forecast days, Now, Later, hours, icons and radar. Then draws the
# panel as a person sees it, the current conditions and five days with the icons the module
# chose, and keeps that picture and the icon set's contact sheet in build/native/demo.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh native
cmake --preset native >/dev/null
cmake --build --preset native

build=build/native
demo=$(mktemp -d /tmp/nimbrel-demo.XXXXXX)
cleanup() {
  tests/services.sh stop "$demo/service"
  rm -rf "$demo"
}
trap cleanup EXIT

tests/services.sh sim "$demo/service" "$build/nimbrel-sim" >/dev/null
host="127.0.0.1:$(cat "$demo/service/sim.port")"

# The module as a user installs it: its settings file beside it, pointing at the service.
mkdir -p "$demo/plugin" "$demo/temp"
cp "$build/nimbrel.so" "$build/nimbrel-host" "$demo/plugin/"
# Europe's warning regions lie beside the module where the build had them.
if [ -f "$build/nimbrel.Regions" ]; then cp "$build/nimbrel.Regions" "$demo/plugin/"; fi
cat >"$demo/plugin/nimbrel.ini" <<INI
[Service]
Provider=open-meteo
ForecastApi=http://$host/v1/forecast
GeocodingApi=http://$host/v1/search
AlertsApi=http://$host/alerts/active
MeteoAlarmApi=http://$host/feeds/meteoalarm-legacy-atom-
RadarApi=http://$host/public/weather-maps.json
AirQualityApi=http://$host/v1/air-quality
MetNowcastApi=http://$host/weatherapi/nowcast/2.0/complete
FeedHost=$host
NarrativeHost=$host
PageHost=$host
[LocationID]
DefaultLocationID=90210
[Unit]
DefaultUnit=English
[General]
DefaultIconPath=$demo/icons/64
INI

# The icon set, drawn and rendered as the packages ship it; the contact sheet shows all of it.
scripts/icons.sh "$demo/icons" >/dev/null
shown=$build/demo
mkdir -p "$shown"
cp "$demo/icons/contact-sheet.png" "$shown/contact-sheet.png"

labels=()
calls=()
call() { labels+=("$1"); shift; local IFS=$'\t'; calls+=("$*"); }

# "%b" is the host's line break.
current='<city> (<locid>), <cond>: <temp><tempunit>, feels <feel>, dew point <dewpoint>, humidity <humidity>%'
current+='%bwind <wind> <windunit> <winddir> (<winddeg> degrees), gust <windgust>, <windms> m/s, <windknots> kn, Beaufort <windbeaufort> (<windstrength>), gust <windgustms> m/s'
current+='%bpressure <press> <pressunit> <pressdir> <presssymbol>, visibility <vis> <visunit>, UV <uvnum> <uv>'
current+='%bsun <sunrise> to <sunset>, updated <update> <timezone> (<timezonegmt>, here <timezonelocal>), downloaded <download> = <time>'
current+='%bobserved at <citydata>, <lat> <long>, alert: <alert>'
current+='%bmoon <moon>, <moonvis>% lit, phase <moonphase>/40, age <moonage>, full <nextfullmoon>, new <nextnewmoon>'
current+='%bclock <systemtime HH:mm:ss>'
for unit in English Metric Both; do
  call "Current conditions, $unit" CurrentConditions "$current" "" "$unit" 1
done
call "A place by its coordinates" CurrentConditions '<city>: <cond>, <temp><tempunit>, <citydata>' "51.5074,-0.1278" Metric 1
call "A place by its name, with its own words" CurrentConditions '<city>: <cond>, <temp><tempunit>' "UMLAUT" Metric 1
call "A name that finds nothing" CurrentConditions '<city>: <temp><tempunit>' "NOWHERE" "" 1
call "A place with alerts" CurrentConditions '<city>: <alert>; <cond>, <temp><tempunit>' "ALERTS" "" 1
forecast='<dayname> <daydate>: <high>/<low><tempunit>, <cond> / <condn>, rain <precip>%/<precipn>%, wind <wind> <winddir> / <windn> <winddirn> <windunit>, sun <sunrise>-<sunset>, moon <moon>'
for day in 1 2 3 4 5; do call "Forecast day $day" Forecast "$forecast" "" "$day" "" 1; done
call "Forecast narrative" Forecast '<details> (<detailsupdate>)' "" 2 "" 1
call "Now" Now '<name>: <temp> <cond>, wind <wind> <winddir>' "" "" 1
call "Later" Later '<name>: <temp> <cond>, wind <wind> <winddir>' "" "" 1
for hour in 1 2 3 6 12; do
  call "Hour $hour" Hourly '<hourname>: <temp><tempunit> (feels <feel>), <cond>, rain <precip>%, wind <wind> <windunit> <winddir>' "" "$hour" Metric 1
done
call "Icon now" IconCC "" ""
call "Icon day 2 night" IconForecast "" 2 0 ""
call "Icon Now / Later" IconNow "" ""
call "Icon Later" IconLater "" ""
call "Icon hour 3" IconHourly "" 3 ""
call "Alert icon" AlertIcon ALERTS ""
for id in WARSAW PARIS LONDON ZURICH; do
  call "Europe's warnings at $id" CurrentConditions '<city>: <alert>' "$id" "" 1
done
call "Alert icon in Europe" AlertIcon LONDON ""
call "Moon icon in 7 days" MoonIcon "" 7
call "Local radar" LocalRadar ""
call "Local radar of the place with alerts" LocalRadar ALERTS
call "Custom radar" CustomRadar sat "http://$host/images/sat.png" 10
for unit in English Metric; do
  call "Precipitation amounts, $unit" CurrentConditions "<city>: past hour <precipamount> <precipunit>" RAINALL "$unit" 1
done
call "Precipitation amounts, Both" CurrentConditions "<city>: past hour <precipamount>" RAINALL Both 1
call "Precipitation amounts by day and night" Forecast '<dayname>: <precipamount> / <precipamountn>, snow <snowamount> / <snowamountn>' TOKYORAIN 1 Both 1
call "Precipitation amounts by hour" Hourly '<hourname>: <precipamount>, snow <snowamount>' SNOWSOON 2 Metric 1
for id in RAINSOON RAINSTOP SNOWSOON DENVERRAIN TOKYORAIN OSLORAIN DRYSPELL; do
  call "Nowcast at $id" CurrentConditions "<city>: <nowcast> (<nowcastmin> min)" "$id" "" 1
done
air='<aqi> <aqitext> (<aqiscale>), PM2.5 <pm25> <aqunit>, PM10 <pm10>, O3 <o3>, NO2 <no2>, SO2 <so2>, CO <co>, dust <dust>'
air+='%bpollen <pollen>: alder <pollenalder>, birch <pollenbirch>, grass <pollengrass>, mugwort <pollenmugwort>, olive <pollenolive>, ragweed <pollenragweed>'
call "Air in European spring" CurrentConditions "<city>: $air" SPRING "" 1
call "Air outside Europe" CurrentConditions "<city>: $air" FARAWAY "" 1
call "Air in wildfire smoke" CurrentConditions '<city>: <aqi> <aqitext> (<aqiscale>)' SMOKE "" 1
for day in 1 2 3; do call "Air, day $day" Forecast '<dayname>: <aqi> <aqitext>, pollen <pollen>' SPRING "$day" "" 1; done
call "Air, hour 3" Hourly '<hourname>: <aqi> <aqitext>, PM2.5 <pm25>, pollen <pollen>' SPRING 3 "" 1
call "Air badge now" AirQualityIcon SPRING 0
call "Air badge of the smoke" AirQualityIcon SMOKE 0
call "Invalid day" Forecast '<high>' "" 9 "" 1

batch="$demo/calls.txt"
printf '%s\n' "${calls[@]}" >"$batch"
mapfile -t results < <(cd "$demo/plugin" && TEMP="$demo/temp" ./nimbrel-host --batch "$batch" || true)

echo
for i in "${!labels[@]}"; do
  echo "== ${labels[$i]}"
  # The batch escapes line breaks as \n and backslashes as \\; the host shows %b as a line
  # break and %l as the seam between an image and its link.
  printf '%s\n' "${results[$i]}" | sed 's/\\n/\n/g; s/\\\\/\\/g; s/%b/\n/g; s/%l/\n   link: /'
done
# The panel as a picture: the texts and icon paths the module returns, laid out and rendered.
now='<city>%b<temp><tempunit>%b<cond>%bfeels <feel>, humidity <humidity>%, wind <wind> <windunit> <winddir>'
now+='%bsun <sunrise> to <sunset>, moon <moon>'
{
  printf 'CurrentConditions\t%s\t\t\t1\n' "$now"
  printf 'IconCC\t\t\n'
  for day in 1 2 3 4 5; do
    printf 'Forecast\t%s\t\t%s\t\t1\n' '<dayname>%b<high>/<low><tempunit>%b<cond>' "$day"
    printf 'IconForecast\t\t%s\t1\t\n' "$day"
  done
} >"$demo/panel-calls.txt"
(cd "$demo/plugin" && TEMP="$demo/temp" ./nimbrel-host --batch "$demo/panel-calls.txt") \
  >"$demo/panel-results.txt"
python3 tools/panel/panel.py "$demo/panel-results.txt" "$shown/panel.png"
# The precipitation graph of a shower about to start, of snow on its way and of a dry spell.
for id in RAINSOON SNOWSOON DRYSPELL; do
  graph=$(cd "$demo/plugin" && TEMP="$demo/temp" ./nimbrel-host PrecipitationGraph "$id" 2)
  cp "$graph" "$shown/graph-$id.png"
done

echo
echo "== The weather service answered $(wc -l <"$demo/service/sim.log") requests" \
  "($(grep -c '/v1/forecast?' "$demo/service/sim.log") forecasts, $(grep -c '/v1/search?' "$demo/service/sim.log") place searches," \
  "$(grep -c '/alerts/active?' "$demo/service/sim.log") alert requests, $(grep -c '/feeds/meteoalarm-legacy-atom-' "$demo/service/sim.log") European feeds, $(grep -c '/v2/radar/' "$demo/service/sim.log") radar pictures," \
  "$(grep -c '/v1/air-quality?' "$demo/service/sim.log") air-quality answers); the cache holds:"
ls "$demo/temp/Nimbrel"
echo
echo "== What a person sees"
echo "the panel:           $PWD/$shown/panel.png"
echo "every icon by name:  $PWD/$shown/contact-sheet.png"
echo "precipitation graphs: $PWD/$shown/graph-RAINSOON.png, graph-SNOWSOON.png, graph-DRYSPELL.png"
