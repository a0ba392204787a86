#!/usr/bin/env bash
# Self-test of nimbrel-sim: starts it on a free loopback port, fetches every
# kind of document and every scenario with curl, checks the marks the plugin
# reads and the request log, then stops it with SIGTERM.
#
#   sim_selftest.sh [PATH_TO_NIMBREL_SIM]
set -u

SIM=${1:-./nimbrel-sim}
WORK=$(mktemp -d)
SIM_PID=""
FAILURES=0
PARTNER="par=4827316590&key=c7e2a19f40b63d85"

cleanup() {
    if [[ -n $SIM_PID ]] && kill -0 "$SIM_PID" 2>/dev/null; then
        kill -TERM "$SIM_PID" 2>/dev/null
        wait "$SIM_PID" 2>/dev/null
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    FAILURES=$((FAILURES + 1))
}

# Every request has a tight time limit and never goes through a proxy.
fetch() { curl -s --noproxy '*' --max-time 5 "$BASE$1"; }

count() { grep -oF -- "$2" <<<"$1" | wc -l; }

expect_count() { # description, text, mark, expected count
    local got
    got=$(count "$2" "$3")
    [[ $got -eq $4 ]] || fail "$1: \"$3\" occurs $got times, expected $4"
}

expect_contains() { # description, text, fixed string
    grep -qF -- "$3" <<<"$2" || fail "$1: \"$3\" missing"
}

# The text of the n-th element <name>, as the plugin cuts it out.
element() { # text, name, n
    awk -v openMark="<$2>" -v closeMark="</$2>" -v n="$3" '
        { doc = doc $0 "\n" }
        END {
            pos = 1
            for (i = 0; i < n; i++) {
                at = index(substr(doc, pos), openMark)
                if (at == 0) { exit 1 }
                pos += at - 1 + length(openMark)
            }
            rest = substr(doc, pos)
            print substr(rest, 1, index(rest, closeMark) - 1)
        }' <<<"$1"
}

rounded_celsius() {
    awk -v f="$1" 'BEGIN { x = (f - 32) * 5 / 9; printf "%d", (x < 0) ? -int(-x + 0.5) : int(x + 0.5) }'
}

[[ -x $SIM ]] || { echo "nimbrel-sim not found at $SIM" >&2; exit 1; }
"$SIM" --port 0 --log "$WORK/sim.log" --clock 2026-12-08T09:53 >"$WORK/stdout" 2>"$WORK/stderr" &
SIM_PID=$!
for _ in $(seq 50); do
    grep -q '^port [0-9]*$' "$WORK/stdout" 2>/dev/null && break
    sleep 0.1
done
PORT=$(awk '/^port / { print $2 }' "$WORK/stdout")
[[ -n $PORT ]] || { echo "FAIL: no \"port N\" line" >&2; cat "$WORK/stderr" >&2; exit 1; }
[[ $(grep -c -v -E '^(raw-)?port [0-9]+$' "$WORK/stdout") -eq 0 ]] ||
    fail "stdout holds more than the port lines"
BASE="http://127.0.0.1:$PORT"

# --- connectivity and unknown addresses
[[ $(fetch /) == ok ]] || fail "GET / is not ok"
[[ $(fetch /connectivity/probe) == ok ]] || fail "GET /connectivity/probe is not ok"
code=$(curl -s --noproxy '*' --max-time 5 -o /dev/null -w '%{http_code}' "$BASE/no/such/page")
[[ $code == 404 ]] || fail "unknown path gave $code, expected 404"

# --- current feed: occurrence layout, units, metric conversion
cc_en=$(fetch "/weather/local/90210?cc=*&unit=s&$PARTNER&random=7")
cc_m=$(fetch "/weather/local/90210?cc=*&unit=m&$PARTNER&random=8")
for mark in '<ut>' '<ud>' '<us>' '<up>' '<dnam>' '<obst>' '<tmp>' '<flik>' '<icon>' '<hmid>' \
    '<vis>' '<dewp>' '<lsup>' '<tm>' '<i>' '<lon>' '<lat>' '<sunr>' '<suns>' '<zone>' '<r>' \
    '<s>' '<gust>'; do
    expect_count "current" "$cc_en" "$mark" 1
done
expect_count "current" "$cc_en" '<t>' 3
expect_count "current" "$cc_en" '<d>' 2
expect_count "current without alert" "$cc_en" '<swa>' 0
expect_count "current without alert" "$cc_en" '<l>' 0
[[ $(element "$cc_en" ut 1) == F && $(element "$cc_m" ut 1) == C ]] || fail "temperature units"
[[ $(element "$cc_m" us 1) == km/h && $(element "$cc_m" up 1) == mb ]] || fail "metric units"
temp_f=$(element "$cc_en" tmp 1)
[[ $(element "$cc_m" tmp 1) == $(rounded_celsius "$temp_f") ]] ||
    fail "metric temperature is not the English one converted ($temp_f F)"
trend=$(element "$cc_en" d 1)
[[ $trend =~ ^(rising|falling|steady)$ ]] || fail "first <d> is no pressure trend: $trend"
[[ $(element "$cc_en" d 2) =~ ^[0-9]+$ ]] || fail "second <d> is no wind degree"
stamp=$(element "$cc_en" lsup 1)
[[ $stamp =~ ^[0-9]{1,2}/[0-9]{1,2}/[0-9]{2}\ [0-9]{1,2}:[0-9]{2}\ (AM|PM)\ [A-Z]+$ ]] ||
    fail "last-update stamp form: $stamp"
[[ $(element "$cc_en" tm 1) =~ ^[0-9]{1,2}:[0-9]{2}\ (AM|PM)$ ]] || fail "download time form"
[[ $(fetch "/weather/local/90210?cc=*&unit=s&$PARTNER&random=9") == "$cc_en" ]] ||
    fail "the same request gave another document"
[[ $(fetch "/weather/local/90210?cc=*&unit=Metric") == "$cc_m" ]] || fail "unit=Metric"
absolute=$(curl -s --noproxy '*' --max-time 5 \
    --request-target "$BASE/weather/local/90210?cc=*&unit=s&$PARTNER&random=7" "$BASE/")
[[ $absolute == "$cc_en" ]] || fail "a target in absolute form"

# --- forecast feed: days, parts, the extra sunrise and sunset
fc=$(fetch "/weather/local/90210?dayf=5&unit=s&prod=xoap&$PARTNER&random=1")
expect_count "forecast" "$fc" '<day ' 5
expect_count "forecast" "$fc" ' t="' 5
expect_count "forecast" "$fc" ' dt="' 5
expect_count "forecast" "$fc" '<hi>' 5
expect_count "forecast" "$fc" '<low>' 5
expect_count "forecast" "$fc" '<sunr>' 6
expect_count "forecast" "$fc" '<suns>' 6
expect_count "forecast" "$fc" '<icon>' 10
expect_count "forecast" "$fc" '<ppcp>' 10
expect_count "forecast" "$fc" '<s>' 10
expect_count "forecast" "$fc" '<d>' 10
expect_count "forecast" "$fc" '<t>' 20
expect_count "forecast" "$fc" '<ut>' 1
expect_count "forecast" "$fc" '<lsup>' 1
grep -qE ' t="(Mon|Tues|Wednes|Thurs|Fri|Satur|Sun)day" dt="[A-Z][a-z]{2} [0-9]{1,2}"' <<<"$fc" ||
    fail "forecast day attributes"
expect_count "forecast 10 days" "$(fetch "/weather/local/90210?dayf=10&unit=m&$PARTNER")" '<day ' 10
expect_count "forecast beyond 10" "$(fetch "/weather/local/90210?dayf=14&unit=s")" '<day ' 10

# --- hourly feed
hr=$(fetch "/weather/local/90210?hbhf=12&unit=s&random=5")
expect_count "hourly" "$hr" ' c="' 12
for mark in '<tmp>' '<flik>' '<icon>' '<ppcp>' '<hmid>' '<dewp>' '<s>' '<d>'; do
    expect_count "hourly" "$hr" "$mark" 12
done
expect_count "hourly" "$hr" '<t>' 24
expect_count "hourly 24 hours" "$(fetch "/weather/local/90210?hbhf=24&unit=m")" ' c="' 24

# --- narrative page
nar=$(fetch "/weather/mpdwcr/narrative?locid=90210&adprodname=lap_golf_main&channel=golf&random=3")
expect_count "narrative" "$nar" "mpdData['narr']" 11
expect_count "narrative" "$nar" "mpdNObj('" 1
grep -qE "^mpdData\['narr'\]\[1\] = new mpdNarr\(('[^']*',){6}'Today'\);$" <<<"$nar" ||
    fail "narrative entry layout"
grep -qE "mpdNObj\('Issued [A-Za-z]+, [A-Z][a-z]{2} [0-9]+, at [0-9]+:[0-9]{2} (AM|PM) " <<<"$nar" ||
    fail "narrative issue stamp"

# --- local page and radar image
home=$(fetch "/weather/local/90210")
expect_count "local page" "$home" "new mw_propsObj(" 1
radar=$(sed -n "s/.*new mw_propsObj('[^']*','\([^']*\)','[^']*Radar.*/\1/p" <<<"$home")
[[ $radar == "$BASE/images/radar/90210.png" ]] || fail "radar address: $radar"
curl -s --noproxy '*' --max-time 5 -o "$WORK/radar.png" "$radar"
[[ $(head -c 8 "$WORK/radar.png" | od -An -tx1 | tr -d ' \n') == 89504e470d0a1a0a ]] ||
    fail "radar image is no PNG"
[[ $(tail -c 8 "$WORK/radar.png" | head -c 4) == IEND ]] || fail "radar image does not end in IEND"

# --- alert sections
al=$(fetch "/weather/local/SIMALERT?cc=*&unit=s&$PARTNER")
expect_count "alert" "$al" '<swa>' 1
expect_count "alert" "$al" '<l>' 2
expect_count "alert" "$al" '<t>' 5
swa=$(sed -n '/<swa>/,/<\/swa>/p' <<<"$al")
expect_count "alert titles inside the section" "$swa" '<t>' 2
expect_contains "alert link" "$(element "$al" l 1)" "www."
[[ $(element "$al" l 1) == "$BASE/"* ]] || fail "alert link does not point back at the service"
expect_count "ID ending in 7" "$(fetch "/weather/local/10007?cc=*&unit=s")" '<l>' 1

# --- the service's own error document
err=$(fetch "/weather/local/SIMERROR?cc=*&unit=s&$PARTNER")
expect_contains "error document" "$err" "<error>"
head14=$(grep -o '<err [^>]*>' <<<"$err")
[[ ${#head14} -eq 14 ]] || fail "error element head is ${#head14} characters: $head14"
expect_contains "error message" "$err" '<err type="2">Invalid location provided.</err>'
expect_contains "error narrative" "$(fetch "/weather/mpdwcr/narrative?locid=simerror")" "<error>"
expect_contains "invalid ID" "$(fetch "/weather/local/BAD%27ID?cc=*&unit=s")" '<err type="2">'
expect_contains "wrong key" "$(fetch "/weather/local/90210?cc=*&unit=s&par=1&key=2")" '<err type="1">'

# --- N/A values and dashed condition codes
na=$(fetch "/weather/local/SIMNA?cc=*&unit=s")
[[ $(element "$na" tmp 1) == N/A && $(element "$na" gust 1) == N/A ]] || fail "N/A values"
[[ $(element "$na" ut 1) == F ]] || fail "units stay in the N/A scenario"
dash=$(fetch "/weather/local/SIMDASH?dayf=2&unit=s")
expect_count "dash" "$dash" '<icon>-</icon>' 4

# --- delivery faults
read -r code size < <(curl -s --noproxy '*' --max-time 5 -o /dev/null \
    -w '%{http_code} %{size_download}\n' "$BASE/weather/local/SIMEMPTY?cc=*&unit=s")
[[ $code == 200 && $size == 0 ]] || fail "empty: $code $size"
page500=$(curl -s --noproxy '*' --max-time 5 -w '\n%{http_code}' "$BASE/weather/local/SIM500?cc=*")
[[ ${page500##*$'\n'} == 500 ]] || fail "http500 status"
[[ $page500 != *"<ut>"* ]] || fail "http500 page holds feed marks"
curl -s --noproxy '*' --max-time 5 -o /dev/null "$BASE/weather/local/SIMDROP?cc=*&unit=s"
[[ $? -eq 18 ]] || fail "drop did not end as a partial transfer"
read -r code size < <(curl -s --noproxy '*' --max-time 20 -o /dev/null \
    -w '%{http_code} %{size_download}\n' "$BASE/weather/local/SIMHUGE?cc=*&unit=s")
[[ $code == 200 && $size == 20971520 ]] || fail "huge: $code $size"

curl -s --noproxy '*' --max-time 2 -o "$WORK/drip" "$BASE/weather/local/SIMDRIP?cc=*&unit=s"
rc=$?
drip_size=$(wc -c <"$WORK/drip")
[[ $rc -eq 28 && $drip_size -ge 1 && $drip_size -le 10 ]] ||
    fail "drip: curl rc $rc after $drip_size bytes"

# A slow answer comes whole, after its wait.
read -r code slow_time < <(curl -s --noproxy '*' --max-time 10 -o "$WORK/slow" \
    -w '%{http_code} %{time_total}\n' "$BASE/weather/local/SIMSLOW?cc=*&unit=s")
[[ $code == 200 && ${slow_time%%.*} -ge 2 ]] && grep -q "</weather>" "$WORK/slow" ||
    fail "slow: $code after $slow_time s"

# A stalled request must leave the other connections served.
curl -s --noproxy '*' --max-time 3 -o /dev/null "$BASE/weather/local/SIMSTALL?cc=*" &
stall_pid=$!
sleep 0.3
[[ $(fetch "/weather/local/90210?cc=*&unit=s") == "$cc_en" ]] || fail "served nothing beside a stall"
wait "$stall_pid"
[[ $? -eq 28 ]] || fail "stalled request was answered"

# --- JSON forecast (/v1/forecast) and place search (/v1/search)
# The interpreter itself, not a version manager's wrapper that may start slowly each time.
PYTHON=$(python3 -c 'import sys; print(sys.executable)')
HOURLY=temperature_2m,relative_humidity_2m,dew_point_2m,apparent_temperature
HOURLY+=,precipitation_probability,precipitation,weather_code,cloud_cover,pressure_msl
HOURLY+=,surface_pressure,visibility,wind_speed_10m,wind_direction_10m,wind_gusts_10m,uv_index,is_day
DAILY=weather_code,temperature_2m_max,temperature_2m_min,apparent_temperature_max
DAILY+=,apparent_temperature_min,sunrise,sunset,precipitation_probability_max,precipitation_sum
DAILY+=,wind_speed_10m_max,wind_gusts_10m_max,wind_direction_10m_dominant,uv_index_max
FORECAST="/v1/forecast?latitude=34.1&longitude=-118.38&current=$HOURLY&hourly=$HOURLY"
FORECAST+="&daily=$DAILY&timezone=auto&past_days=1&forecast_days=3"
ENGLISH="&temperature_unit=fahrenheit&wind_speed_unit=mph"

# Prints one line per broken rule; nothing when the answers hold.
cat >"$WORK/forecast_check.py" <<'EOF'
import datetime, json, sys

metric = json.load(open(sys.argv[1], encoding="utf-8"))
english = json.load(open(sys.argv[2], encoding="utf-8"))
hourly_names, daily_names = sys.argv[3].split(","), sys.argv[4].split(",")
wmo = {0, 1, 2, 3, 45, 48, 51, 53, 55, 56, 57, 61, 63, 65, 66, 67, 71, 73, 75, 77,
       80, 81, 82, 85, 86, 95, 96, 99}
problems = []
def check(ok, text):
    if not ok:
        problems.append(text)

check(list(metric)[:7] == ["latitude", "longitude", "generationtime_ms", "utc_offset_seconds",
      "timezone", "timezone_abbreviation", "elevation"], "top-level members: %s" % list(metric))
check(list(metric)[7:] == ["current_units", "current", "hourly_units", "hourly", "daily_units",
      "daily"], "sections: %s" % list(metric)[7:])
check(0 < abs(metric["latitude"] - 34.1) <= 0.125 and 0 < abs(metric["longitude"] + 118.38) <= 0.125,
      "grid cell %s %s" % (metric["latitude"], metric["longitude"]))
offset = metric["utc_offset_seconds"]
check(offset % 3600 == 0 and metric["timezone_abbreviation"], "zone %s" % offset)

hourly, daily, current = metric["hourly"], metric["daily"], metric["current"]
check(list(hourly) == ["time"] + hourly_names, "hourly order: %s" % list(hourly))
check(list(daily) == ["time"] + daily_names, "daily order: %s" % list(daily))
check(list(current) == ["time", "interval"] + hourly_names, "current order: %s" % list(current))
check(all(len(v) == 4 * 24 for v in hourly.values()), "hourly arrays are not 96 long")
check(all(len(v) == 4 for v in daily.values()), "daily arrays are not 4 long")

# The service clock is 2026-12-08T09:53 UTC.
now = datetime.datetime(2026, 12, 8, 9, 53) + datetime.timedelta(seconds=offset)
check(current["time"] == now.replace(minute=now.minute // 15 * 15).strftime("%Y-%m-%dT%H:%M")
      and current["interval"] == 900, "current time %s" % current["time"])
first = (now - datetime.timedelta(days=1)).strftime("%Y-%m-%d")
check(hourly["time"][0] == first + "T00:00" and daily["time"][0] == first,
      "first hour %s, first day %s" % (hourly["time"][0], daily["time"][0]))
at = hourly["time"].index(now.strftime("%Y-%m-%dT%H:00"))
# Amounts are the 15 minutes' up to the current boundary, every other value the hour's.
check(all(current[n] == hourly[n][at] for n in hourly_names if n != "precipitation"),
      "current differs from its hour")

units = metric["hourly_units"]
check(units["temperature_2m"] == "\u00b0C" and units["visibility"] == "m" and
      units["wind_speed_10m"] == "km/h" and units["precipitation"] == "mm" and
      units["pressure_msl"] == "hPa" and units["weather_code"] == "wmo code" and
      units["wind_direction_10m"] == "\u00b0" and units["is_day"] == "", "metric units %s" % units)
check(metric["daily_units"]["sunrise"] == "iso8601", "sunrise unit")
check(set(hourly["weather_code"]) <= wmo, "codes outside WMO: %s" % set(hourly["weather_code"]))
check(all(isinstance(v, int) for n in ("relative_humidity_2m", "weather_code", "cloud_cover",
      "is_day", "wind_direction_10m") for v in hourly[n]), "whole numbers written as decimals")

for d, date in enumerate(daily["time"]):
    hours = [i for i, t in enumerate(hourly["time"]) if t.startswith(date)]
    check(len(hours) == 24, "%s has %d hours" % (date, len(hours)))
    sunrise, sunset = daily["sunrise"][d], daily["sunset"][d]
    check(sunrise.startswith(date) and sunrise < sunset, "sun times %s %s" % (sunrise, sunset))
    for i in hours:
        t = hourly["time"][i]
        check(hourly["is_day"][i] == (1 if sunrise <= t < sunset else 0), "is_day at %s" % t)
        check(hourly["is_day"][i] or hourly["uv_index"][i] == 0, "UV at night, %s" % t)
        check(daily["temperature_2m_min"][d] <= hourly["temperature_2m"][i] <=
              daily["temperature_2m_max"][d], "temperature at %s outside the day's range" % t)
    check(daily["weather_code"][d] == max(hourly["weather_code"][i] for i in hours),
          "%s: daily code is not the most severe hour" % date)
    check(daily["precipitation_probability_max"][d] ==
          max(hourly["precipitation_probability"][i] for i in hours), "%s: chance max" % date)
    check(abs(daily["precipitation_sum"][d] - sum(hourly["precipitation"][i] for i in hours)) < 0.05,
          "%s: precipitation sum" % date)

# The same weather in English units.
e_units = english["hourly_units"]
check(e_units["temperature_2m"] == "\u00b0F" and e_units["visibility"] == "ft" and
      e_units["wind_speed_10m"] == "mp/h" and e_units["precipitation"] == "mm",
      "English units %s" % e_units)
e = english["hourly"]
check(e["time"] == hourly["time"] and e["weather_code"] == hourly["weather_code"],
      "English answer has other hours or skies")
def close(name, convert, tolerance):
    bad = [(m, x) for m, x in zip(hourly[name], e[name]) if abs(convert(m) - x) > tolerance]
    check(not bad, "%s: English values do not match metric ones: %s" % (name, bad[:3]))
close("temperature_2m", lambda c: c * 9 / 5 + 32, 0.2)
close("visibility", lambda m: m / 0.3048, 1.0)
close("wind_speed_10m", lambda k: k / 1.609344, 0.1)
close("pressure_msl", lambda p: p, 0.0)

# Unix times in UTC, days at local midnight; other wind units.
unix = json.load(open(sys.argv[5]))
epoch = lambda text: int(datetime.datetime.fromisoformat(text).replace(
    tzinfo=datetime.timezone.utc).timestamp()) - offset
check(unix["hourly"]["time"] == [epoch(t) for t in hourly["time"]] and
      unix["daily"]["time"] == [epoch(t + "T00:00") for t in daily["time"]] and
      unix["daily"]["sunrise"] == [epoch(t) for t in daily["sunrise"]] and
      unix["hourly_units"]["wind_speed_10m"] == "m/s" and unix["hourly_units"]["time"] == "unixtime",
      "unixtime answer does not match the iso8601 one")
check(all(abs(k / 3.6 - m) <= 0.1 for k, m in
          zip(hourly["wind_gusts_10m"], unix["hourly"]["wind_gusts_10m"])), "m/s gusts")

# Over the last three hours the pressure rises at some places and falls at others.
changes = []
for name in sys.argv[6:]:
    place = json.load(open(name))
    local = datetime.datetime(2026, 12, 8, 9, 53) + datetime.timedelta(
        seconds=place["utc_offset_seconds"])
    hour = place["hourly"]["time"].index(local.strftime("%Y-%m-%dT%H:00"))
    p = place["hourly"]["pressure_msl"]
    changes.append(p[hour] - p[hour - 3])
check(max(changes) >= 1.0 and min(changes) <= -1.0, "no pressure trends: %s" % changes)
print("\n".join(problems[:10]))
EOF

fetch "$FORECAST" >"$WORK/metric.json"
fetch "$FORECAST$ENGLISH" >"$WORK/english.json"
fetch "$FORECAST&timeformat=unixtime&wind_speed_unit=ms" >"$WORK/unix.json"
trends=()
for place in 1 2 3 4 5 6 7 8; do
    fetch "/v1/forecast?latitude=$place$place.5&longitude=-$place&hourly=pressure_msl&forecast_days=1" \
        >"$WORK/trend$place.json"
    trends+=("$WORK/trend$place.json")
done
problems=$("$PYTHON" "$WORK/forecast_check.py" "$WORK/metric.json" "$WORK/english.json" \
    "$HOURLY" "$DAILY" "$WORK/unix.json" "${trends[@]}" 2>&1)
[[ -z $problems ]] || fail "forecast: $problems"
[[ $(fetch "$FORECAST") == "$(cat "$WORK/metric.json")" ]] || fail "the same forecast request changed"
encoded=$(fetch "/v1/forecast?latitude=1&longitude=2&hourly=temperature_2m%2Cweather_code")
expect_contains "encoded commas" "$encoded" '"weather_code":['

# Answers the forecast as status, then the error reason or "-".
json_status() { # target [port]
    curl -s --noproxy '*' --max-time 5 -o "$WORK/answer.json" -w '%{http_code}' \
        "http://127.0.0.1:${2:-$PORT}$1"
    "$PYTHON" -c 'import json, sys
try:
    d = json.load(open(sys.argv[1], encoding="utf-8"))
    print("", d.get("reason", "-") if d.get("error") is True else "-")
except ValueError:
    print(" not JSON")' "$WORK/answer.json"
}
expect_status() { # description, target, status, words the reason holds...
    local got
    got=$(json_status "$2")
    [[ $got == "$3" || $got == "$3 "* ]] || fail "$1: $got"
    for word in "${@:4}"; do
        [[ $got == *"$word"* ]] || fail "$1: \"$word\" missing from $got"
    done
}
expect_status "latitude 95" "/v1/forecast?latitude=95&longitude=1" 400 "Latitude" "90°" "95.0"
expect_status "longitude -181" "/v1/forecast?latitude=1&longitude=-181" 400 "Longitude" "-181.0"
expect_status "latitude text" "/v1/forecast?latitude=nan&longitude=1" 400 "latitude"
expect_status "no coordinates" "/v1/forecast?hourly=temperature_2m" 400 "latitude"
expect_status "unknown variable" "/v1/forecast?latitude=1&longitude=2&hourly=tempeture_2m" 400 \
    "tempeture_2m" "hourly"
expect_status "daily without zone" "/v1/forecast?latitude=1&longitude=2&daily=sunrise" 400 "Timezone"
expect_status "17 days" "/v1/forecast?latitude=1&longitude=2&forecast_days=17" 400 "16" "17"
expect_status "kelvin" "/v1/forecast?latitude=1&longitude=2&temperature_unit=kelvin" 400 "kelvin"
expect_status "knots" "/v1/forecast?latitude=1&longitude=2&hourly=wind_speed_10m&wind_speed_unit=kn" 200
expect_status "16 days" "/v1/forecast?latitude=-90&longitude=180&forecast_days=16" 200

search_check() { # target, python expression over the answer d; prints it when false
    fetch "$1" >"$WORK/search.json"
    "$PYTHON" -c 'import json, sys
d = json.load(open(sys.argv[1], encoding="utf-8"))
if not eval("(" + sys.argv[2] + ")"):
    print("search %s: %s" % (sys.argv[3], json.dumps(d, ensure_ascii=False)[:300]))' \
        "$WORK/search.json" "$2" "$1"
}
problems=$(
    search_check "/v1/search?name=Berlin&count=10&language=en&format=json" \
        '1 <= len(d["results"]) <= 3 and list(d) == ["results", "generationtime_ms"]'
    search_check "/v1/search?name=Berlin&count=1" \
        'len(d["results"]) == 1 and d["results"][0]["country_code"] == "US"
         and {"id", "name", "latitude", "longitude", "timezone", "admin1"} <= set(d["results"][0])'
    search_check "/v1/search?name=NowhereLand" 'list(d) == ["generationtime_ms"]'
    search_check "/v1/search?name=x" 'list(d) == ["generationtime_ms"]'
    search_check "/v1/search?name=umlaut" \
        'd["results"][0]["name"] == "Z\u00fcrich" and d["results"][0]["country"] == "Switzerland"'
    search_check "/v1/search?name=APOSTROPHE" \
        'd["results"][0]["name"] == "Val-d'"'"'Or" and d["results"][0]["admin1"] == "Qu\u00e9bec"'
    search_check "/v1/search?name=NOADMIN" \
        '"admin1" not in d["results"][0] and d["results"][0]["country_code"] == "GB"'
    search_check "/v1/search?name=90210" 'd["results"][0]["postcodes"] == ["90210"]'
    search_check "/v1/search?name=SIMNULLS" 'd["results"][0]["latitude"] is None'
)
[[ -z $problems ]] || fail "$problems"
expect_status "count 0" "/v1/search?name=Berlin&count=0" 400 \
    "Parameter count must be between 1 and 100."
expect_status "search error ID" "/v1/search?name=SIMERROR" 400 "Simulated"
expect_status "search 500 ID" "/v1/search?name=SIM500" "500 not JSON"
read -r code size < <(curl -s --noproxy '*' --max-time 20 -o "$WORK/huge.json" \
    -w '%{http_code} %{size_download}\n' "$BASE/v1/search?name=simhuge")
[[ $code == 200 && $size == 20971520 ]] || fail "huge search: $code $size"
"$PYTHON" -c 'import json, sys; json.load(open(sys.argv[1]))' "$WORK/huge.json" ||
    fail "a huge JSON answer does not parse"

# Scenarios set by control request reach both addresses.
small="/v1/forecast?latitude=1&longitude=2&current=temperature_2m&hourly=temperature_2m,is_day"
small+="&daily=sunrise&timezone=auto&forecast_days=1"
fetch "/_control/scenario?name=ratelimit" >/dev/null
expect_status "ratelimit" "$small" 429 "Daily API request limit exceeded."
expect_status "ratelimit search" "/v1/search?name=Berlin" 429 "limit"
fetch "/_control/scenario?name=badjson" >/dev/null
expect_status "badjson" "$small" "200 not JSON"
fetch "/_control/scenario?name=nulls" >/dev/null
fetch "$small" >"$WORK/nulls.json"
"$PYTHON" -c 'import json, sys
d = json.load(open(sys.argv[1]))
values = [d["current"]["temperature_2m"]] + d["hourly"]["temperature_2m"] + d["hourly"]["is_day"]
assert set(values) == {None} and len(d["hourly"]["time"]) == 24 and d["daily"]["sunrise"] == [None]
' "$WORK/nulls.json" || fail "nulls"
fetch "/_control/scenario?name=hostile" >/dev/null
fetch "$small" >"$WORK/hostile.json"
"$PYTHON" -c 'import json, sys
sys.setrecursionlimit(20000)
d = json.load(open(sys.argv[1]))
h = d["hourly"]
assert isinstance(d["current"], list) and len(set(map(len, h.values()))) > 1
' "$WORK/hostile.json" || fail "hostile"
fetch "/_control/scenario?name=http500" >/dev/null
expect_status "http500" "$small" "500 not JSON"
fetch "/_control/scenario?name=normal" >/dev/null
expect_status "normal again" "$small" 200

# --- the raw listener answers JSON with no length, ended by closing the connection
RAW_PORT=$(awk '/^raw-port / { print $2 }' "$WORK/stdout")
curl -s --noproxy '*' --max-time 5 --http1.0 -D "$WORK/raw.head" -o "$WORK/raw.json" \
    "http://127.0.0.1:$RAW_PORT$FORECAST"
[[ $(head -1 "$WORK/raw.head") == "HTTP/1.0 200 OK"$'\r' ]] || fail "raw status line"
grep -qi '^content-length' "$WORK/raw.head" && fail "raw JSON answer announces a length"
grep -qi '^connection: close' "$WORK/raw.head" || fail "raw JSON answer without Connection: close"
cmp -s "$WORK/raw.json" "$WORK/metric.json" || fail "raw forecast differs from the HTTP port's"
AIR_TARGET="/v1/air-quality?latitude=48.21&longitude=16.37&current=us_aqi,birch_pollen"
AIR_TARGET+="&hourly=european_aqi,grass_pollen&timezone=auto"
curl -s --noproxy '*' --max-time 5 --http1.0 -D "$WORK/raw_air.head" -o "$WORK/raw_air.json" \
    "http://127.0.0.1:$RAW_PORT$AIR_TARGET"
grep -qi '^content-length' "$WORK/raw_air.head" && fail "raw air-quality answer announces a length"
[[ -s $WORK/raw_air.json && $(cat "$WORK/raw_air.json") == "$(fetch "$AIR_TARGET")" ]] ||
    fail "raw air-quality answer differs from the HTTP port's"
raw_error=$(json_status "/v1/forecast?latitude=95&longitude=1" "$RAW_PORT")
[[ $raw_error == "400 Latitude"* ]] || fail "raw latitude 95: $raw_error"
grep -qxF "GET /v1/forecast?latitude=95&longitude=1" "$WORK/sim.log" ||
    fail "raw JSON request not logged"

# --- alerts for a point (/alerts/active), in the shape of the National Weather Service's API
# Prints one line when the answer breaks the rule: status s, content type t, JSON d (None when
# the body is no JSON) and the features' properties F are what the expression sees.
answer_check() { # description, target, python expression, curl options...
    local got
    got=$(curl -s --noproxy '*' --max-time 5 -o "$WORK/answer.body" -w '%{http_code} %{content_type}' \
        "${@:4}" "$BASE$2")
    "$PYTHON" -c 'import datetime, json, sys
s, _, t = sys.argv[2].partition(" ")
s = int(s)
try:
    d = json.load(open(sys.argv[1], encoding="utf-8"))
except ValueError:
    d = None
F = [f["properties"] for f in d["features"]] if isinstance(d, dict) and "features" in d else []
at = datetime.datetime.fromisoformat
try:
    holds = eval("(" + sys.argv[3] + ")")
except Exception as error:  # a member missing or of another type breaks the rule too
    holds = False
if not holds:
    print("%s: %s %s %s" % (sys.argv[4], s, t, open(sys.argv[1], "rb").read()[:300]))' \
        "$WORK/answer.body" "$got" "$3" "$1"
}
# The places for these tests: ALERTS (odd whole latitude, two alerts), QUIET (even, none).
fetch "/v1/search?name=ALERTS&count=1" >"$WORK/place.json"
ALERTS_POINT=$("$PYTHON" -c 'import json, sys
p = json.load(open(sys.argv[1]))["results"][0]
assert (p["name"], p["country_code"], p["timezone"]) == ("Stormhaven", "US", "America/Denver")
print("%.4f,%.4f" % (p["latitude"], p["longitude"]))' "$WORK/place.json") || fail "search ALERTS"
QUIET_POINT=$(fetch "/v1/search?name=quiet" | "$PYTHON" -c 'import json, sys
p = json.load(sys.stdin)["results"][0]
print("%.4f,%.4f" % (p["latitude"], p["longitude"]))')
[[ $ALERTS_POINT == 39.7392,-104.9903 && $QUIET_POINT == 40.0150,-105.2705 ]] ||
    fail "alert places: $ALERTS_POINT $QUIET_POINT"
ACTIVE="/alerts/active?point="
problems=$(
    # Sent at the start of the hour before 09:53 UTC: 01:00 MST.
    answer_check "two alerts" "$ACTIVE$ALERTS_POINT" \
        's == 200 and t == "application/geo+json" and d["type"] == "FeatureCollection"
         and [(p["event"], p["severity"]) for p in F] ==
             [("Wind Advisory", "Moderate"), ("Winter Storm Warning", "Severe")]
         and F[0]["headline"].startswith("Wind Advisory issued December 8 at 1:00AM MST until ")
         and F[1]["headline"] is None and F[0]["effective"] == "2026-12-08T01:00:00-07:00"
         and all(at(p["effective"]) < at(p["expires"]) and p["@type"] == "wx:Alert" for p in F)
         and [f["id"] for f in d["features"]] == [p["@id"] for p in F] != [F[0]["@id"]] * 2
         and d["title"].endswith(" for 39.7392 N, 104.9903 W")'
    answer_check "Alaska" "${ACTIVE}61.2,-149.9" 'len(F) == 2 and F[0]["sent"].endswith("-09:00")'
    answer_check "even latitude" "$ACTIVE$QUIET_POINT" 's == 200 and d["features"] == []'
    answer_check "outside the area" "${ACTIVE}54.6,-2.97" 's == 200 and d["features"] == []'
    answer_check "point in a list" "${ACTIVE}39.7392%2C-104.9903" 'len(F) == 2'
    answer_check "cache buster" "$ACTIVE$ALERTS_POINT&random=5" \
        's == 400 and t == "application/problem+json" and d["status"] == 400
         and d["parameterErrors"][0]["parameter"] == "query.random"'
    answer_check "5 decimals" "${ACTIVE}39.73921,-104.9903" 's == 400 and d["title"] == "Bad Request"'
    answer_check "no point" "/alerts/active" 's == 400 and d["status"] == 400'
    answer_check "no dot after all" "${ACTIVE}39.,-104" 's == 400'
    answer_check "latitude 95" "${ACTIVE}95,-104" 's == 400'
    answer_check "no User-Agent" "$ACTIVE$ALERTS_POINT" 's == 403 and d["status"] == 403' -A ''
    answer_check "the page of an ID" "/alerts/ACTIVE/1" 's == 200 and d is None'
)
[[ -z $problems ]] || fail "$problems"
# --- alerts of Canada, Germany and Norway, each in its service's shape
CANADA="/collections/weather-alerts/items?f=json&lang=en&limit=100&bbox="
NORWAY="/weatherapi/metalerts/2.0/current.json?"
problems=$(
    # A box of one degree around Maplecove meets all four regions; the collection gives ten at
    # most without a limit.
    answer_check "Canada's regions" "${CANADA}-76.7,44.4,-74.7,46.4" \
        's == 200 and t == "application/geo+json" and d["numberMatched"] == 4
         and [(p["alert_name_en"], p["risk_colour_en"]) for p in F] ==
             [("snowfall warning", "orange"), ("freezing drizzle advisory", "yellow"),
              ("blizzard warning", "red"), ("extreme cold warning", "red")]
         and at(F[2]["expiration_datetime"].replace("Z", "+00:00")) <
             at(F[0]["expiration_datetime"].replace("Z", "+00:00"))
         and d["features"][0]["geometry"]["type"] == "Polygon"
         and len(d["features"][0]["geometry"]["coordinates"]) == 2
         and d["features"][1]["geometry"]["type"] == "MultiPolygon"'
    answer_check "Canada far away" "${CANADA}10,50,11,51" 's == 200 and F == []'
    answer_check "Canada limit" "/collections/weather-alerts/items?limit=1&bbox=-76.7,44.4,-74.7,46.4" \
        'len(F) == 1 and d["numberReturned"] == 1'
    answer_check "Canada bad box" "${CANADA}-74,44,-76,46" \
        's == 400 and d["code"] == "InvalidParameterValue"'
    answer_check "Germany" "/alerts?lat=53.55&lon=9.99" \
        's == 200 and [a["severity"] for a in d["alerts"]] == ["moderate", "severe"]
         and d["alerts"][1]["headline_en"] == "Official WARNING of HEAVY SNOWFALL"
         and d["location"]["state_short"] == "HH"'
    answer_check "outside Germany" "/alerts?lat=48.85&lon=2.35" \
        's == 200 and d["alerts"] == [] and d["location"] is None'
    answer_check "Germany without lon" "/alerts?lat=53.55" 's == 400'
    answer_check "Norway" "${NORWAY}lat=59.91&lon=10.75" \
        's == 200 and [p["severity"] for p in F] == ["Moderate"]
         and F[0]["web"].startswith("https://www.met.no/")
         and len(d["features"][0]["when"]["interval"]) == 2' -A nimbrel/0.99
    answer_check "Svalbard" "${NORWAY}lat=78.22&lon=15.65" \
        '[p["awareness_level"] for p in F] == ["3; orange; Severe"]' -A nimbrel/0.99
    answer_check "Norway 5 decimals" "${NORWAY}lat=59.91001&lon=10.75" 's == 403' -A nimbrel/0.99
    answer_check "Norway generic agent" "${NORWAY}lat=59.91&lon=10.75" 's == 403' -A curl/8.0
    answer_check "Norway no agent" "${NORWAY}lat=59.91&lon=10.75" 's == 403' -A ''
)
[[ -z $problems ]] || fail "$problems"
expect_contains "alerts scenario" "$(fetch "/_control/alerts?name=http500")" "alerts scenario http500"
problems=$(
    answer_check "alerts failing" "$ACTIVE$ALERTS_POINT" 's == 500'
    answer_check "forecast beside failing alerts" "/v1/forecast?latitude=1&longitude=2" 's == 200'
    answer_check "radar beside failing alerts" "/public/weather-maps.json" 's == 200'
    fetch "/_control/alerts?name=badjson" >/dev/null
    answer_check "alerts badjson" "$ACTIVE$ALERTS_POINT" 's == 200 and d is None'
    fetch "/_control/alerts?name=normal" >/dev/null
    fetch "/_control/scenario?name=ratelimit" >/dev/null
    answer_check "service scenario" "$ACTIVE$ALERTS_POINT" 's == 429 and d["status"] == 429'
    fetch "/_control/scenario?name=normal" >/dev/null
    answer_check "alerts again" "$ACTIVE$ALERTS_POINT" 's == 200 and len(F) == 2'
)
[[ -z $problems ]] || fail "$problems"

# --- Europe's warnings, one Atom feed per country, in the shape of MeteoAlarm's legacy feeds
FEEDS="/feeds/meteoalarm-legacy-atom-"
SLUGS="andorra austria belgium bosnia-herzegovina bulgaria croatia cyprus czechia denmark estonia
finland france germany greece hungary iceland ireland israel italy latvia lithuania luxembourg
malta moldova montenegro netherlands norway poland portugal republic-of-north-macedonia romania
serbia slovakia slovenia spain sweden switzerland ukraine united-kingdom"
mkdir -p "$WORK/feeds"
# answer_check, each broken rule counted as a failure.
feed_answer_check() {
    local problem
    problem=$(answer_check "$@")
    [[ -z $problem ]] || fail "$problem"
}
for slug in $SLUGS; do
    curl -s --noproxy '*' --max-time 5 -o "$WORK/feeds/$slug.xml" \
        -w '%{http_code} %{content_type}\n' "$BASE$FEEDS$slug" >"$WORK/feeds/$slug.status"
done
# Prints one line per broken rule; nothing when the feeds hold. The service clock is
# 2026-12-08T09:53 UTC plus the minutes given.
cat >"$WORK/meteoalarm_check.py" <<'EOF'
import datetime, os, sys, xml.etree.ElementTree as ET

folder, minutes = sys.argv[1], int(sys.argv[2])
now = datetime.datetime(2026, 12, 8, 9, 53, tzinfo=datetime.timezone.utc)
now += datetime.timedelta(minutes=minutes)
A, CAP = "{http://www.w3.org/2005/Atom}", "{urn:oasis:names:tc:emergency:cap:1.2}"
problems = []
def check(ok, text):
    if not ok:
        problems.append(text)

def entries(slug):
    root = ET.parse(os.path.join(folder, slug + ".xml")).getroot()
    check(root.tag == A + "feed" and root.find(A + "id").text.endswith("-atom-" + slug),
          "%s: feed id" % slug)
    check("CC BY 4.0" in root.find(A + "rights").text, "%s: rights" % slug)
    found = []
    for entry in root.findall(A + "entry"):
        e = {name: entry.findtext(CAP + name) for name in ("identifier", "severity", "event",
             "message_type", "status", "areaDesc", "polygon", "sent", "onset", "effective",
             "expires")}
        e["title"], e["id"] = entry.findtext(A + "title"), entry.findtext(A + "id")
        # The geocode's children carry no prefix: they stand in Atom's namespace.
        e["code"] = entry.findtext(CAP + "geocode/" + A + "value")
        e["scheme"] = entry.findtext(CAP + "geocode/" + A + "valueName")
        e["links"] = {(l.get("rel"), l.get("type")): l.get("href") for l in entry.findall(A + "link")}
        for name in ("sent", "onset", "effective", "expires"):
            e[name] = datetime.datetime.fromisoformat(e[name])
        e["published"] = datetime.datetime.fromisoformat(
            entry.findtext(A + "published").replace("Z", "+00:00"))
        found.append(e)
    return found

def inside(polygon, lat, lon):
    ring = [tuple(map(float, p.split(","))) for p in polygon.split()]
    check(ring[0] == ring[-1] and all(abs(a) <= 90 for a, _ in ring),
          "polygon not closed or not lat,lon: " + polygon)
    hit = False
    for (a1, o1), (a2, o2) in zip(ring, ring[1:]):
        if (a1 > lat) != (a2 > lat) and lon < (o2 - o1) * (lat - a1) / (a2 - a1) + o1:
            hit = not hit
    return hit

hour = datetime.timedelta(hours=1)
regions = {"poland": "PL", "spain": "ES", "france": "FR", "united-kingdom": "UK",
           "switzerland": "CH", "greece": "GR"}
for slug in sys.argv[3].split():
    status = open(os.path.join(folder, slug + ".status")).read().split()
    check(status == ["200", "application/atom+xml;", "charset=utf-8"], "%s: %s" % (slug, status))
    E = entries(slug)
    if slug not in regions:
        check(E == [], "%s: quiet feed has %d entries" % (slug, len(E)))
    for e in E:
        check(e["links"][("related", None)].endswith("?region=" + regions[slug]),
              "%s: related link %s" % (slug, e["links"][("related", None)]))
        check(e["id"].startswith(e["links"][(None, "application/cap+xml")] + "?index_info="),
              "%s: entry id %s" % (slug, e["id"]))
        check(e["onset"] == e["effective"] and e["published"] == e["sent"], slug + ": times")
        if e["identifier"].endswith(".X1"):
            check(e["expires"] == now - hour and e["onset"] == now - 14 * hour,
                  "expired entry: %s" % e["expires"])
        else:
            check(e["expires"] == now + 10 * hour and e["onset"] == now - 2 * hour,
                  "%s %s: %s to %s" % (slug, e["identifier"], e["onset"], e["expires"]))

E = entries("poland")
check([(e["identifier"][-2:], e["severity"], e["message_type"], e["status"]) for e in E] ==
      [("W1", "Severe", "Alert", "Actual")] * 3 + [("W2", "Moderate", "Alert", "Actual"),
       ("G1", "Minor", "Alert", "Actual"), ("X1", "Extreme", "Alert", "Actual"),
       ("C1", "Severe", "Cancel", "Actual"), ("U1", "Severe", "Update", "Actual"),
       ("F1", "Extreme", "Alert", "Actual"), ("E1", "Extreme", "Alert", "Exercise")],
      "Poland's entries: %s" % [(e["identifier"], e["severity"]) for e in E])
check([(e["code"], e["event"], e["id"].partition("?")[2]) for e in E[:3]] ==
      [("PL1465", "Orange wind warning", "index_info=0&index_area=0&index_geocode=0"),
       ("PL1465", "Silny wiatr", "index_info=1&index_area=0&index_geocode=0"),
       ("PL1432", "Orange wind warning", "index_info=0&index_area=1&index_geocode=0")],
      "Poland's first alert: %s" % [(e["code"], e["event"], e["id"]) for e in E[:3]])
check(E[0]["title"] == E[1]["title"] == "Orange Wind Warning issued for Poland - Warszawa",
      "titles are English in every language")
check([e["code"] for e in E].count("PL1465") == 8 and E[8]["code"] == "PL2261"
      and E[8]["title"].endswith("Gda\u0144sk") and E[0]["scheme"] == "EMMA_ID", "Warsaw's codes")
E = entries("spain")
check([(e["code"], e["severity"]) for e in E] == [("ES219", "Moderate"), ("ES107", "Severe")],
      "Spain's entries")
E = entries("france")
check([(e["scheme"], e["code"], e["severity"]) for e in E] ==
      [("NUTS3", "FR101", "Severe"), ("NUTS3", "FR104", "Moderate")], "France's entries")
E = entries("united-kingdom")
check([e["identifier"] for e in E] == ["2.49.0.0.826.0.UK.R1"] * 2 + ["2.49.0.0.826.0.UK.S1"]
      and all(e["code"] is None for e in E), "the United Kingdom's entries")
check(E[0]["title"] == "Yellow Rain\n Warning issued for United Kingdom - London & South East England"
      and E[2]["title"].startswith("Orange Wind\n Warning"), "UK titles: %r" % E[0]["title"])
check([inside(e["polygon"], 51.51, -0.13) for e in E] == [True, False, False], "London's polygons")
check(inside(E[2]["polygon"], 55.86, -4.25), "Glasgow's polygon")
E = entries("switzerland")
check(len(E) == 1 and E[0]["title"] == "Orange Thunderstorm Warning issued for Switzerland - Z\u00fcrich"
      and inside(E[0]["polygon"], 47.37, 8.55) and E[0]["severity"] == "Severe", "Zurich's entry")
E = entries("greece")
check([(e["code"], e["severity"]) for e in E] == [("GR011", "Minor")], "Athens's entry")
print("\n".join(problems))
EOF
problems=$("$PYTHON" "$WORK/meteoalarm_check.py" "$WORK/feeds" 0 "$SLUGS" 2>&1)
[[ -z $problems ]] || fail "$problems"
feed_answer_check "unknown country" "${FEEDS}atlantis" 's == 404 and t.startswith("text/plain")'
feed_answer_check "country in capitals" "${FEEDS}Poland" 's == 404'
feed_answer_check "European cities" "/v1/search?name=warsaw" \
    '[(r["name"], r["country_code"], r["latitude"], r["longitude"], r["timezone"])
      for r in d["results"]] == [("Warszawa", "PL", 52.23, 21.01, "Europe/Warsaw")]'
for name in PARIS:FR:48.86:2.35 LONDON:GB:51.51:-0.13 ZURICH:CH:47.37:8.55 \
    MADRID:ES:40.42:-3.7 ATHENS:GR:37.98:23.73; do
    IFS=: read -r city code lat lon <<<"$name"
    feed_answer_check "$city" "/v1/search?name=$city" \
        '[(r["country_code"], r["latitude"], r["longitude"]) for r in d["results"]] ==
         [("'"$code"'", '"$lat"', '"$lon"')]'
done
# The times follow the service clock.
fetch "/_control/clock?advance=90" >/dev/null
for slug in poland united-kingdom; do
    curl -s --noproxy '*' --max-time 5 -o "$WORK/feeds/$slug.xml" \
        -w '%{http_code} %{content_type}\n' "$BASE$FEEDS$slug" >"$WORK/feeds/$slug.status"
done
problems=$("$PYTHON" "$WORK/meteoalarm_check.py" "$WORK/feeds" 90 "poland united-kingdom" 2>&1)
[[ -z $problems ]] || fail "after 90 minutes: $problems"
fetch "/_control/clock?advance=-90" >/dev/null
# The feeds' own scenario fails them alone; the alerts' reaches them too.
expect_contains "meteoalarm scenario" "$(fetch "/_control/meteoalarm?name=http500")" \
    "meteoalarm scenario http500"
feed_answer_check "feed failing" "${FEEDS}poland" 's == 500'
feed_answer_check "NWS beside failing feeds" "$ACTIVE$ALERTS_POINT" 's == 200 and len(F) == 2'
feed_answer_check "forecast beside failing feeds" "/v1/forecast?latitude=1&longitude=2" 's == 200'
fetch "/_control/meteoalarm?name=ratelimit" >/dev/null
feed_answer_check "feed rate limit" "${FEEDS}poland" 's == 429'
fetch "/_control/meteoalarm?name=badjson" >/dev/null
feed=$(fetch "${FEEDS}poland")
[[ $feed == "<?xml"* && $feed != *"</feed>"* ]] || fail "badjson did not cut the feed"
fetch "/_control/meteoalarm?name=nulls" >/dev/null
expect_count "nulls feed" "$(fetch "${FEEDS}poland")" "<cap:expires></cap:expires>" 10
fetch "/_control/meteoalarm?name=hostile" >/dev/null
feed=$(fetch "${FEEDS}spain")
expect_contains "hostile feed" "$feed" '<!ENTITY lol9 "&lol8;'
expect_contains "hostile feed" "$feed" "<cap:expires>javascript:alert(1)</cap:expires>"
fetch "/_control/meteoalarm?name=huge" >/dev/null
size=$(curl -s --noproxy '*' --max-time 10 -o "$WORK/huge.xml" -w '%{size_download}' "$BASE${FEEDS}spain")
[[ $size -eq 20971520 && $(tail -c 4 "$WORK/huge.xml") == "-->" ]] ||
    fail "huge feed: $size bytes, ending $(tail -c 4 "$WORK/huge.xml" | od -c | head -1)"
fetch "/_control/meteoalarm?name=normal" >/dev/null
fetch "/_control/alerts?name=http500" >/dev/null
feed_answer_check "feeds under the alerts' scenario" "${FEEDS}poland" 's == 500'
fetch "/_control/alerts?name=normal" >/dev/null
feed_answer_check "feeds again" "${FEEDS}poland" 's == 200'
fetch "/_control/meteoalarm?name=stall" >/dev/null
fetch "/_control/reset" >/dev/null
[[ $(fetch "/_control/meteoalarm") == "meteoalarm scenario normal" ]] ||
    fail "reset left the meteoalarm scenario"
fetch "${FEEDS}poland" >/dev/null
fetch "${FEEDS}poland" >/dev/null
[[ $(grep -cxF "GET ${FEEDS}poland" <<<"$(fetch "/_control/log")") -eq 2 ]] ||
    fail "the request log does not count the feed's requests"

# --- radar frames (/public/weather-maps.json) and pictures (/v2/radar/...), as RainViewer's
# 2026-12-08T09:50 UTC, the service clock rounded down to ten minutes.
NEWEST=1796723400
answer_check "radar index" "/public/weather-maps.json" \
    's == 200 and t.startswith("application/json") and d["version"] == "2.0"
     and d["host"] == "'"$BASE"'" and d["generated"] == '$((NEWEST + 180))'
     and [f["time"] for f in d["radar"]["past"]] == list(range('$NEWEST' - 7200, '$NEWEST' + 1, 600))
     and all(f["path"] == "/v2/radar/%d" % f["time"] for f in d["radar"]["past"])
     and d["radar"]["nowcast"] == [] and d["satellite"] == {"infrared": []}' >"$WORK/problems"
[[ ! -s $WORK/problems ]] || fail "$(cat "$WORK/problems")"
POINT=39.7392/-104.9903
picture() { # file, frame, size/zoom, options; prints the status
    curl -s --noproxy '*' --max-time 5 -o "$WORK/$1" -w '%{http_code}' \
        "$BASE/v2/radar/$2/$3/$POINT/2/${4:-1_1}.png"
}
[[ $(picture newest.png $NEWEST 256/7) == 200 ]] || fail "newest frame"
"$PYTHON" -c 'import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
assert data[:8] == b"\x89PNG\r\n\x1a\n" and data[12:16] == b"IHDR", "no PNG"
width, height, depth, colour = struct.unpack(">IIBB", data[16:26])
assert (width, height, depth, colour) == (256, 256, 8, 6), "not 256 x 256 RGBA"
at, idat = 8, b""
while at < len(data):
    length, kind = struct.unpack(">I4s", data[at:at + 8])
    body = data[at + 8:at + 8 + length]
    assert struct.unpack(">I", data[at + 8 + length:at + 12 + length])[0] == zlib.crc32(kind + body)
    idat += body if kind == b"IDAT" else b""
    at += 12 + length
raw = zlib.decompress(idat)
assert len(raw) == 256 * (1 + 4 * 256), "wrong amount of pixel data"
alpha = [raw[y * 1025 + 1 + 4 * x + 3] for y in range(256) for x in range(256)]
clear = alpha.count(0)
assert 0.5 * len(alpha) < clear < len(alpha), "%d of %d pixels transparent" % (clear, len(alpha))
' "$WORK/newest.png" || fail "newest radar picture"
picture again.png $NEWEST 256/7 >/dev/null
cmp -s "$WORK/newest.png" "$WORK/again.png" || fail "the same radar picture changed"
[[ $(picture before.png $((NEWEST - 600)) 256/7) == 200 ]] || fail "second newest frame"
cmp -s "$WORK/newest.png" "$WORK/before.png" && fail "two frames show the same rain"
[[ $(picture zoom.png $NEWEST 256/9) == 200 ]] || fail "zoom 9"
cmp -s "$WORK/newest.png" "$WORK/zoom.png" && fail "zoom 9 gives the usual picture"
[[ $(picture big.png $NEWEST 512/5 0_0) == 200 && $(head -c 24 "$WORK/big.png" | tail -c 8 |
    od -An -tx1 | tr -d ' \n') == 0000020000000200 ]] || fail "512 picture"
[[ $(picture old.png $((NEWEST - 7200)) 256/7) == 404 ]] || fail "oldest frame of the list"
[[ $(picture old.png $((NEWEST - 1800)) 256/7) == 404 ]] || fail "fourth newest frame"
[[ $(picture old.png $((NEWEST + 600)) 256/7) == 404 ]] || fail "a frame to come"
POINT=39/-104.9903
[[ $(picture bad.png $NEWEST 256/7) == 400 ]] || fail "latitude without a dot"
POINT=39.7392/-104.9903
[[ $(picture bad.png $NEWEST 300/7) == 400 ]] || fail "size 300"
expect_contains "radar scenario" "$(fetch "/_control/radar?name=ratelimit")" "radar scenario ratelimit"
[[ $(picture limited.png $NEWEST 256/7) == 429 ]] || fail "radar ratelimit picture"
problems=$(
    answer_check "radar ratelimit index" "/public/weather-maps.json" 's == 429'
    answer_check "alerts beside a failing radar" "$ACTIVE$ALERTS_POINT" 's == 200 and len(F) == 2'
    fetch "/_control/radar?name=error" >/dev/null
    answer_check "radar without data" "/public/weather-maps.json" \
        's == 200 and d["radar"]["past"] == []'
)
[[ -z $problems ]] || fail "$problems"
[[ $(picture none.png $NEWEST 256/7) == 404 ]] || fail "radar error picture"
fetch "/_control/radar?name=normal" >/dev/null
expect_contains "frames scenario" "$(fetch "/_control/frames?name=empty")" "frames scenario empty"
answer_check "radar index beside empty frames" "/public/weather-maps.json" \
    's == 200 and len(d["radar"]["past"]) == 13' >"$WORK/problems"
[[ ! -s $WORK/problems ]] || fail "$(cat "$WORK/problems")"
[[ $(picture blank.png $NEWEST 256/7) == 200 && ! -s $WORK/blank.png ]] || fail "empty frame"
fetch "/_control/radar?name=error" >/dev/null
[[ $(picture blank.png $NEWEST 256/7) == 200 && ! -s $WORK/blank.png ]] ||
    fail "the radar scenario overrides the frames one"
fetch "/_control/frames?name=normal" >/dev/null

# --- MET Norway's Locationforecast (/weatherapi/locationforecast/2.0/complete)
MET="/weatherapi/locationforecast/2.0/complete"
problems=$(
    answer_check "MET answer" "$MET?lat=59.9139&lon=10.7522" \
        's == 200 and d["type"] == "Feature" and d["geometry"]["coordinates"][:2] == [10.7522, 59.9139]
         and [x["time"] for x in d["properties"]["timeseries"]] == sorted(x["time"] for x in d["properties"]["timeseries"])
         and all(x["time"].endswith(":00:00Z") for x in d["properties"]["timeseries"])
         and list(d["properties"]["timeseries"][-1]["data"]) == ["instant"]
         and "next_1_hours" in d["properties"]["timeseries"][0]["data"]
         and "next_1_hours" not in d["properties"]["timeseries"][-2]["data"]
         and d["properties"]["meta"]["units"]["wind_speed"] == "m/s"
         and "dew_point_temperature" in d["properties"]["timeseries"][0]["data"]["instant"]["details"]' -A 'selftest/1'
    answer_check "MET without agent" "$MET?lat=59.9&lon=10.7" 's == 403' -A ''
    answer_check "MET 5 decimals" "$MET?lat=59.91391&lon=10.7" 's == 403' -A 'selftest/1'
    answer_check "MET no lat" "$MET?lon=10.7" 's == 400' -A 'selftest/1'
)
[[ -z $problems ]] || fail "$problems"
met_headers=$(curl -s --noproxy '*' --max-time 5 -A selftest/1 -D - -o /dev/null "$BASE$MET?lat=59.9&lon=10.7")
modified=$(sed -n 's/^Last-Modified: \(.*\)\r$/\1/p' <<<"$met_headers")
[[ -n $modified ]] && grep -q '^Expires: ' <<<"$met_headers" || fail "MET cache headers: $met_headers"
code=$(curl -s --noproxy '*' --max-time 5 -A selftest/1 -H "If-Modified-Since: $modified" \
    -o /dev/null -w '%{http_code}' "$BASE$MET?lat=59.9&lon=10.7")
[[ $code == 304 ]] || fail "MET If-Modified-Since: $code"
fetch "/_control/openmeteo?name=http500" >/dev/null
code=$(curl -s --noproxy '*' -o /dev/null -w '%{http_code}' "$BASE/v1/forecast?latitude=1&longitude=2")
met_code=$(curl -s --noproxy '*' -A selftest/1 -o /dev/null -w '%{http_code}' "$BASE$MET?lat=1&lon=2")
[[ $code == 500 && $met_code == 200 ]] || fail "openmeteo scenario: $code $met_code"
fetch "/_control/openmeteo?name=normal" >/dev/null
fetch "/_control/metno?name=ratelimit" >/dev/null
met_code=$(curl -s --noproxy '*' -A selftest/1 -o /dev/null -w '%{http_code}' "$BASE$MET?lat=1&lon=2")
[[ $met_code == 429 ]] || fail "metno scenario: $met_code"
fetch "/_control/metno?name=normal" >/dev/null

# --- air quality and pollen (/v1/air-quality)
# Prints one line per broken rule; nothing when the answers hold.
cat >"$WORK/air_check.py" <<'EOF'
import datetime, json, sys, urllib.error, urllib.request

base = sys.argv[1]
opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))
problems = []
def check(ok, text):
    if not ok:
        problems.append(text)

def get(target):
    try:
        with opener.open(base + target, timeout=5) as reply:
            return reply.status, reply.read()
    except urllib.error.HTTPError as error:
        return error.code, error.read()

def answer(target):
    status, body = get(target)
    check(status == 200, "%s: status %d" % (target, status))
    return json.loads(body), body

POLLEN = ["alder_pollen", "birch_pollen", "grass_pollen", "mugwort_pollen", "olive_pollen",
          "ragweed_pollen"]
CURRENT = ["european_aqi", "us_aqi", "pm2_5", "pm10", "ozone", "nitrogen_dioxide",
           "sulphur_dioxide", "carbon_monoxide", "dust"] + POLLEN
HOURLY = ["european_aqi", "us_aqi", "pm2_5", "pm10"] + POLLEN
ASKED = "current=%s&hourly=%s" % (",".join(CURRENT), ",".join(HOURLY))
def air(lat, lon, extra="&forecast_days=5&timezone=auto&timeformat=unixtime"):
    return answer("/v1/air-quality?latitude=%s&longitude=%s&%s%s" % (lat, lon, ASKED, extra))
def day_max(d, name, day):
    return max(v for v in d["hourly"][name][24 * day:24 * day + 24] if v is not None)

# The plugin's own request at SPRING: shape, order, units and their bytes, times, values.
spring, spring_bytes = air(48.21, 16.37)
check(list(spring) == ["latitude", "longitude", "generationtime_ms", "utc_offset_seconds",
      "timezone", "timezone_abbreviation", "elevation", "current_units", "current",
      "hourly_units", "hourly"], "members: %s" % list(spring))
check((spring["latitude"], spring["longitude"]) == (48.25, 16.35), "European cell %s %s" %
      (spring["latitude"], spring["longitude"]))
check(list(spring["current"]) == ["time", "interval"] + CURRENT, "current order")
check(list(spring["current_units"]) == ["time", "interval"] + CURRENT, "current units order")
check(list(spring["hourly"]) == ["time"] + HOURLY, "hourly order")
units = spring["hourly_units"]
check(units["time"] == "unixtime" and units["european_aqi"] == "EAQI" and
      units["us_aqi"] == "USAQI" and units["pm2_5"] == "\u03bcg/m\u00b3" and
      all(units[p] == "grains/m\u00b3" for p in POLLEN), "units %s" % units)
check(b'"pm2_5":"\xce\xbcg/m\xc2\xb3"' in spring_bytes and b"\xc2\xb5" not in spring_bytes,
      "the micro sign is not U+03BC")
check(b'"us_aqi":51,' in spring_bytes and b'"pm2_5":5.6,' in spring_bytes and
      b'"carbon_monoxide":180.0,' in spring_bytes, "indices whole, concentrations 1 decimal")
offset = spring["utc_offset_seconds"]
now = datetime.datetime(2026, 12, 8, 9, 53, tzinfo=datetime.timezone.utc)
hour = int(now.timestamp()) // 3600 * 3600
midnight = (int(now.timestamp()) + offset) // 86400 * 86400 - offset
check(spring["current"]["time"] == hour and spring["current"]["interval"] == 3600,
      "current time %s" % spring["current"]["time"])
check(spring["hourly"]["time"] == [midnight + 3600 * i for i in range(120)], "hourly times")
check(all(len(v) == 120 for v in spring["hourly"].values()), "hourly arrays are not 120 long")
expected = {"european_aqi": 21, "us_aqi": 51, "pm2_5": 5.6, "pm10": 9.8, "ozone": 61.0,
            "nitrogen_dioxide": 14.0, "sulphur_dioxide": 1.2, "carbon_monoxide": 180.0,
            "dust": 0.4, "alder_pollen": 0.0, "birch_pollen": 150.0, "grass_pollen": 12.0,
            "mugwort_pollen": 0.0, "olive_pollen": 0.0, "ragweed_pollen": 0.0}
check(all(spring["current"][n] == v for n, v in expected.items()), "SPRING now %s" % spring["current"])
h = spring["hourly"]
check([day_max(spring, "us_aqi", k) for k in range(5)] == [60, 120, 160, 210, 320] and
      [day_max(spring, "european_aqi", k) for k in range(5)] == [30, 45, 62, 85, 110],
      "SPRING daily peaks")
check(h["us_aqi"][:3] == [30, 32, 34] and h["us_aqi"][15] == 60 and h["us_aqi"][23] == 44,
      "SPRING's hours on day 0: %s" % h["us_aqi"][:24])
check([h["birch_pollen"][24 * k + 13] for k in range(4)] == [150.0, 520.0, 90.0, 40.0] and
      h["birch_pollen"][12] == 75.0 and h["grass_pollen"][72] == 1.3 and
      h["birch_pollen"][96] == 12.5 and h["pm2_5"][15] == 6.0 and h["pm2_5"][0] == 3.0,
      "SPRING's pollen and particles")
check(all(h[p][i] is not None for p in POLLEN for i in range(97)) and
      all(h[p][i] is None for p in POLLEN for i in range(97, 120)) and
      all(v is not None for i in range(120) for v in (h["us_aqi"][i], h["pm10"][i])),
      "pollen must end after hour 97, indices not")
same, _ = air(48.21, 16.37)
check(same == spring, "the same request gave another answer")
iso, _ = air(48.21, 16.37, "&timezone=auto")
check(iso["hourly"]["time"][0] == datetime.datetime.fromtimestamp(midnight + offset,
      datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M") and iso["hourly_units"]["time"] == "iso8601"
      and iso["hourly"]["us_aqi"] == h["us_aqi"], "iso8601 answer")

# SPRINGEDGE: on the bands' edges, every plant at 0.
edge, edge_bytes = air(48.31, 16.47)
check([day_max(edge, "us_aqi", k) for k in range(5)] == [50, 100, 150, 200, 300] and
      [day_max(edge, "european_aqi", k) for k in range(5)] == [20, 40, 60, 80, 100] and
      edge["current"]["us_aqi"] == 50 and edge["current"]["european_aqi"] == 20,
      "SPRINGEDGE's edges")
check(all(edge["current"][p] == 0.0 for p in POLLEN) and
      all(edge["hourly"][p][i] == 0.0 for p in POLLEN for i in range(97)) and
      b'"birch_pollen":0.0' in edge_bytes, "SPRINGEDGE's pollen")

# Outside Europe: no pollen at all, the global cell; smoke beyond the top of the scales.
# The zones the README gives for the recorded places: the forecast model's, not the search's.
check((spring["timezone"], edge["timezone"]) == ("GMT", "America/Anchorage"), "SPRING zones")
for name, lat, lon, us, zone in (
        ("CLEANAIR", 44.65, -63.57, 12, "Europe/Athens"),
        ("SMOKE", 38.58, -121.49, 342, "Pacific/Honolulu"),
        ("SMOKEHAZARD", 40.76, -111.89, 557, "America/Denver"),
        ("FARAWAY", 28.61, 77.21, 168, "GMT")):
    d, _ = air(lat, lon)
    check(d["timezone"] == zone, "%s: zone %s" % (name, d["timezone"]))
    check(d["current"]["us_aqi"] == us and all(d["current"][p] is None for p in POLLEN) and
          all(v is None for p in POLLEN for v in d["hourly"][p]) and
          all(v is not None for v in d["hourly"]["us_aqi"]), "%s: %s" % (name, d["current"]))
    check(round(d["latitude"] / 0.4 - 0.5, 6).is_integer(), "%s: global cell %s" % (name, d["latitude"]))
    if name == "SMOKE":
        check(min(day_max(d, "us_aqi", k) for k in range(5)) > 300, "SMOKE's peaks")
    if name == "SMOKEHAZARD":
        check(min(day_max(d, "us_aqi", k) for k in range(5)) > 500 and
              d["current"]["pm2_5"] == 380.2, "SMOKEHAZARD's peaks")
    if name == "CLEANAIR":
        forecast, _ = answer("/v1/forecast?latitude=44.65&longitude=-63.57&timezone=auto")
        check(d["timezone"] == forecast["timezone"] and d["utc_offset_seconds"] ==
              forecast["utc_offset_seconds"] and d["elevation"] == forecast["elevation"],
              "the forecast's zone %s %s" % (forecast["timezone"], d["timezone"]))
        # Without a zone the answer is in GMT, with the same values at the same instants.
        gmt, _ = air(lat, lon, "&timeformat=unixtime")
        check(gmt["timezone"] == "GMT" and gmt["utc_offset_seconds"] == 0 and
              gmt["hourly"]["time"][0] % 86400 == 0, "GMT answer %s" % gmt["timezone"])
        by_time = dict(zip(d["hourly"]["time"], d["hourly"]["us_aqi"]))
        check(all(by_time.get(t, v) == v for t, v in zip(gmt["hourly"]["time"],
              gmt["hourly"]["us_aqi"])), "values move with the zone")

# Seven days: everything is null after hour 121. Ordinary points: modest, current is the hour.
week, _ = air(50.5, 8.5, "&forecast_days=7&timezone=auto&timeformat=unixtime")
wh = week["hourly"]
check(len(wh["time"]) == 168 and all(v is None for n in HOURLY for v in wh[n][121:]) and
      all(v is not None for v in wh["us_aqi"][:121]), "seven days")
check(0 < max(v for p in POLLEN for v in wh[p][:97]) <= 30 and
      max(wh["us_aqi"][:121]) <= 55, "ordinary air in Europe")
at = wh["time"].index(week["current"]["time"])
check(all(week["current"][n] == wh[n][at] for n in HOURLY), "ordinary current is not its hour")
other, _ = air(-33.9, 151.2)
check(all(v is None for p in POLLEN for v in other["hourly"][p]) and
      round(other["longitude"] / 0.4 - 0.5, 6).is_integer(), "ordinary air outside Europe")
search, _ = answer("/v1/search?name=spring")
check([(r["name"], r["latitude"], r["longitude"]) for r in search["results"]] ==
      [("Lindenau", 48.21, 16.37)], "search SPRING %s" % search)

# Errors.
for target, status, reason in (
        ("latitude=1&longitude=2&hourly=us_aqi,pm25", 400,
         "Cannot initialize AirQualityVariable from invalid String value pm25"),
        ("latitude=95&longitude=1", 400, "Latitude must be in range of -90 to 90\u00b0. Given: 95.0."),
        ("hourly=us_aqi", 400, "Parameter 'latitude' and 'longitude' are required."),
        ("latitude=1", 400, "Parameter 'latitude' and 'longitude' must have the same number of elements"),
        ("latitude=1&longitude=2&forecast_days=8", 400,
         "Forecast days is invalid. Allowed range 0 to 7. Given 8."),
        ("latitude=1&longitude=2&timeformat=epoch", 400, None)):
    got, body = get("/v1/air-quality?" + target)
    d = json.loads(body)
    check(got == status and d["error"] is True and (reason is None or d["reason"] == reason),
          "%s: %d %s" % (target, got, body[:200]))

# The air quality's own scenarios: the forecast answers meanwhile.
small = "/v1/air-quality?latitude=1&longitude=2&current=us_aqi,pm2_5&hourly=us_aqi&forecast_days=1"
def scenario(name):
    get("/_control/airquality?name=" + name)
    return get(small)
got, body = scenario("http500")
check(got == 500 and get("/v1/forecast?latitude=1&longitude=2")[0] == 200, "http500 %d" % got)
got, body = scenario("ratelimit")
check(got == 429 and json.loads(body) == {"error": True, "reason":
      "Hourly API request limit exceeded. Please try again in the next hour."}, "ratelimit %s" % body)
got, body = scenario("error")
check(got == 400 and json.loads(body)["error"] is True, "error %d" % got)
got, body = scenario("badjson")
try:
    json.loads(body)
    check(False, "badjson parses")
except ValueError:
    check(got == 200, "badjson %d" % got)
got, body = scenario("nulls")
d = json.loads(body)
check(got == 200 and d["current"]["us_aqi"] is None and d["current"]["pm2_5"] is None and
      set(d["hourly"]["us_aqi"]) == {None} and len(d["hourly"]["time"]) == 24, "nulls")
got, body = scenario("empty")
check(got == 200 and body == b"", "empty")
got, body = scenario("hostile")
sys.setrecursionlimit(20000)
d = json.loads(body)
check(got == 200 and isinstance(d["current"], list) and d["latitude"] == 91.0 and
      len(d["hourly"]["us_aqi"]) != len(d["hourly"]["time"]), "hostile")
get("/_control/airquality?name=normal")
get("/_control/scenario?name=ratelimit")
check(get(small)[0] == 429, "the global scenario does not reach air quality")
get("/_control/scenario?name=normal")
check(get(small)[0] == 200, "normal again")
print("\n".join(problems[:10]))
EOF
problems=$("$PYTHON" "$WORK/air_check.py" "$BASE" 2>&1)
[[ -z $problems ]] || fail "air quality: $problems"
grep -qF "GET /v1/air-quality?latitude=48.21&longitude=16.37&current=" <<<"$(fetch /_control/log)" ||
    fail "air-quality requests are not logged"
expect_contains "air quality scenario" "$(fetch "/_control/airquality")" "airquality scenario normal"

# --- precipitation amounts, 15-minute steps and MET Norway's nowcast
# Prints one line per broken rule; nothing when the answers hold. The clock is 09:53 UTC: the
# current 15-minute boundary is 09:45, the nowcast's first step 09:50, the hour 09:00.
cat >"$WORK/rain_check.py" <<'EOF'
import datetime, json, math, sys, urllib.error, urllib.request

base = sys.argv[1]
opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))
problems = []
def check(ok, text):
    if not ok:
        problems.append(text)

def get(target, headers=None):
    request = urllib.request.Request(base + target, headers=headers or {"User-Agent": "selftest/1"})
    try:
        with opener.open(request, timeout=5) as reply:
            return reply.status, reply.read(), reply.headers
    except urllib.error.HTTPError as error:
        return error.code, error.read(), error.headers

def answer(target):
    status, body, _ = get(target)
    check(status == 200, "%s: status %d" % (target, status))
    return json.loads(body) if status == 200 else {}

def r(x, places=1):  # halves away from zero, as the service rounds
    return math.floor(x * 10 ** places + 0.5 + 1e-9) / 10 ** places

NOW = int(datetime.datetime(2026, 12, 8, 9, 53, tzinfo=datetime.timezone.utc).timestamp())
B = NOW - NOW % 900
AMOUNTS = "precipitation,rain,snowfall"

# The README's timelines: coordinates, anchor minutes, inside a 15-minute area, spells
# (from, to, rain mm/h, snow water mm/h).
PLACES = {
    "RAINSOON": ("52.52", "13.40", 15, True, [(45, 90, 1.2, 0), (90, 135, 3.6, 0), (135, 165, 2.4, 0)]),
    "RAINSTOP": ("52.45", "13.30", 15, True, [(-120, 0, 3.6, 0), (0, 60, 1.2, 0)]),
    "RAINALL": ("52.40", "13.05", 15, True, [(-60, 60, 2.4, 0), (60, 180, 4.8, 0), (180, 240, 1.2, 0)]),
    "DRYSPELL": ("52.60", "13.50", 15, True, []),
    "SNOWSOON": ("52.35", "13.60", 15, True, [(30, 210, 0, 2.4)]),
    "SLEETNOW": ("52.65", "13.20", 15, True, [(-90, 45, 1.2, 1.2)]),
    "DENVERRAIN": ("39.75", "-104.98", 15, True, [(30, 150, 2.4, 0)]),
    "TOKYORAIN": ("35.68", "139.69", 60, False, [(120, 300, 2.4, 0)]),
    "OSLORAIN": ("59.92", "10.74", 5, False, [(20, 140, 2.4, 0)]),
    "OSLOSTOP": ("59.93", "10.80", 5, False, [(-60, 35, 3.6, 0)]),
    "OSLODRY": ("59.89", "10.70", 5, False, []),
    "OSLOSNOW": ("59.95", "10.71", 5, False, [(10, 130, 0, 2.4)]),
    "RADAROUT": ("55.68", "12.57", 5, True, [(-30, 90, 2.4, 0)]),
    "NOCOVER": ("69.50", "27.00", 5, False, [(30, 150, 1.2, 0)]),
}

def rate(place, slot):
    _, _, anchor, _, spells = PLACES[place]
    minute = (slot - (NOW - NOW % (anchor * 60))) // 60
    rain = sum(s[2] for s in spells if s[0] <= minute < s[1])
    snow = sum(s[3] for s in spells if s[0] <= minute < s[1])
    return rain, snow

def timeline_quarter(place, end):  # (precipitation, rain, snowfall) of the 15 minutes to `end`
    rain = r(sum(rate(place, s)[0] for s in range(end - 900, end, 300)) / 12)
    snow = r(sum(rate(place, s)[1] for s in range(end - 900, end, 300)) / 12)
    return (r(rain + snow), rain, r(snow * 0.7))

def hour_amounts(place, end):
    quarters = [timeline_quarter(place, q) for q in range(end - 2700, end + 1, 900)]
    return tuple(r(sum(q[i] for q in quarters)) for i in range(3))

def forecast(lat, lon, extra):
    return answer("/v1/forecast?latitude=%s&longitude=%s&timeformat=unixtime%s" % (lat, lon, extra))

# Each place: its quarters from 2 hours back to 6 hours on, its hours, current and codes.
ASK = ("&current=%s,weather_code,temperature_2m&minutely_15=%s&past_minutely_15=8"
       "&forecast_minutely_15=24&hourly=%s,showers,weather_code&forecast_days=2" % (AMOUNTS, AMOUNTS, AMOUNTS))
for place, (lat, lon, anchor, real, spells) in PLACES.items():
    search = answer("/v1/search?name=" + place.lower())
    found = search.get("results", [{}])[0]
    check((str("%.2f" % found.get("latitude", 0)), str("%.2f" % found.get("longitude", 0))) == (lat, lon),
          "%s: search found %s" % (place, found))
    d = forecast(lat, lon, ASK)
    m, h, c = d["minutely_15"], d["hourly"], d["current"]
    check(m["time"] == list(range(B - 8 * 900, B + 24 * 900, 900)), "%s: quarter times" % place)
    check(c["time"] == B and c["interval"] == 900, "%s: current time %s" % (place, c["time"]))
    hours = dict(zip(h["time"], zip(h["precipitation"], h["rain"], h["snowfall"], h["weather_code"],
                                    h["showers"])))
    for i, end in enumerate(m["time"]):
        got = (m["precipitation"][i], m["rain"][i], m["snowfall"][i])
        hour = -(-end // 3600) * 3600
        if real:
            want = timeline_quarter(place, end)
        else:
            want = tuple(r(x / 4) for x in hour_amounts(place, hour))
        check(got == want, "%s: quarter to %s: %s, expected %s" % (place, end, got, want))
        if end == B:
            check((c["precipitation"], c["rain"], c["snowfall"]) == got, "%s: current %s" % (place, c))
    for end, (p, rain, snow, code, showers) in hours.items():
        check((p, rain, snow) == hour_amounts(place, end) and showers == 0.0,
              "%s: hour to %s: %s" % (place, end, (p, rain, snow)))
        wet_code = code in (61, 63, 65) if rain and not snow else code in (71, 73, 75) if snow and not rain \
            else code in (66, 67) if rain and snow else code < 50
        check(wet_code, "%s: hour to %s has code %d for %s" % (place, end, code, (p, rain, snow)))
    wet_now = c["precipitation"] > 0
    check((c["weather_code"] >= 50) == wet_now, "%s: current code %d" % (place, c["weather_code"]))
    if "SNOW" in place:
        check(c["temperature_2m"] < 0, "%s: not freezing" % place)

# The sentences a test can rely on, spelled out.
def wet_quarters(place):
    d = forecast(*PLACES[place][:2], "&minutely_15=precipitation&forecast_minutely_15=24")
    return [(t - B) // 60 for t, p in zip(d["minutely_15"]["time"], d["minutely_15"]["precipitation"]) if p > 0]
check(wet_quarters("RAINSOON") == list(range(60, 166, 15)), "RAINSOON %s" % wet_quarters("RAINSOON"))
check(wet_quarters("RAINSTOP") == [0, 15, 30, 45, 60], "RAINSTOP %s" % wet_quarters("RAINSTOP"))
check(wet_quarters("RAINALL")[:13] == list(range(0, 181, 15)), "RAINALL %s" % wet_quarters("RAINALL"))
check(wet_quarters("DRYSPELL") == [], "DRYSPELL")
check(wet_quarters("SLEETNOW") == [0, 15, 30, 45], "SLEETNOW %s" % wet_quarters("SLEETNOW"))
check(wet_quarters("DENVERRAIN")[0] == 45, "DENVERRAIN %s" % wet_quarters("DENVERRAIN"))
dry = forecast("52.60", "13.50", "&hourly=precipitation,snowfall&forecast_days=3")
check(set(dry["hourly"]["precipitation"]) == {0.0}, "DRYSPELL has precipitation")
tokyo = forecast("35.68", "139.69", "&hourly=precipitation&forecast_days=2&timezone=auto")
th = dict(zip(tokyo["hourly"]["time"], tokyo["hourly"]["precipitation"]))
H = NOW - NOW % 3600
check([th[H + k * 3600] for k in range(1, 7)] == [0.0, 0.0, 2.4, 2.4, 2.4, 0.0] and
      tokyo["timezone"] == "Asia/Tokyo", "TOKYORAIN hours %s" % [th[H + k * 3600] for k in range(7)])

# Units: inches for all four with three decimals, the same weather.
mm = forecast("52.35", "13.60", "&hourly=precipitation,rain,showers,snowfall&forecast_days=1")
inch = forecast("52.35", "13.60", "&hourly=precipitation,rain,showers,snowfall&forecast_days=1"
                "&precipitation_unit=inch")
check(mm["hourly_units"] == {"time": "unixtime", "precipitation": "mm", "rain": "mm",
      "showers": "mm", "snowfall": "cm"}, "units %s" % mm["hourly_units"])
check(all(inch["hourly_units"][n] == "inch" for n in ("precipitation", "rain", "showers", "snowfall")),
      "inch units %s" % inch["hourly_units"])
check(inch["hourly"]["precipitation"] == [r(x / 25.4, 3) for x in mm["hourly"]["precipitation"]] and
      inch["hourly"]["snowfall"] == [r(x / 2.54, 3) for x in mm["hourly"]["snowfall"]] and
      max(mm["hourly"]["snowfall"]) > 0, "inch values")
status, body, _ = get("/v1/forecast?latitude=1&longitude=2&precipitation_unit=cm")
check(status == 400 and b"PrecipitationUnit" in body, "precipitation_unit=cm: %d" % status)
status, body, _ = get("/v1/forecast?latitude=1&longitude=2&minutely_15=precipitation&forecast_minutely_15=1537")
check(status == 400, "1537 quarters: %d" % status)

# The default range: whole local days from midnight, three of them, or forecast_days.
d = answer("/v1/forecast?latitude=-33.9&longitude=151.2&minutely_15=precipitation,temperature_2m"
           "&hourly=precipitation&timezone=auto&forecast_days=3&timeformat=iso8601")
check(list(d)[7:] == ["minutely_15_units", "minutely_15", "hourly_units", "hourly"], "sections %s" % list(d))
check(d["minutely_15_units"] == {"time": "iso8601", "precipitation": "mm", "temperature_2m": "\u00b0C"},
      "quarter units %s" % d["minutely_15_units"])
mt = d["minutely_15"]["time"]
check(len(mt) == 288 and mt[0] == d["hourly"]["time"][0] and mt[1][11:] == "00:15", "default quarters %s" % mt[:2])
check(len(answer("/v1/forecast?latitude=1&longitude=2&minutely_15=rain&forecast_days=1")["minutely_15"]["rain"]) == 96,
      "forecast_days=1 gives other than 96 quarters")
# Outside the areas each quarter is a quarter of its hour.
hp = dict(zip(d["hourly"]["time"], d["hourly"]["precipitation"]))
def hour_label(t):
    x = datetime.datetime.fromisoformat(t)
    x = x.replace(minute=0) + datetime.timedelta(hours=1) if x.minute else x
    return x.strftime("%Y-%m-%dT%H:%M")
pairs = [(p, hp.get(hour_label(t))) for t, p in zip(mt, d["minutely_15"]["precipitation"])]
check(all(hour is None or p == r(hour / 4) for p, hour in pairs) and any(p for p, _ in pairs),
      "quarters outside the areas: %s" % pairs[:8])
# Inside (ICON-D2, HRRR) they add up to the hour and vary within it, up to the model's horizon.
for lat, lon, horizon in (("50.1", "8.7", 48), ("40.0", "-100.0", 18), ("47.5", "2.0", 48)):
    d = forecast(lat, lon, "&minutely_15=precipitation&forecast_minutely_15=%d&hourly=precipitation&forecast_days=5"
                 % (4 * (horizon + 12)))
    hp = dict(zip(d["hourly"]["time"], d["hourly"]["precipitation"]))
    quarters = dict(zip(d["minutely_15"]["time"], d["minutely_15"]["precipitation"]))
    uneven = 0
    for end in [t for t in hp if B + 3600 <= t <= B + horizon * 3600 - 3600]:
        four = [quarters[q] for q in range(end - 2700, end + 1, 900)]
        check(r(sum(four)) == hp[end], "%s,%s: quarters %s for hour %s" % (lat, lon, four, hp[end]))
        uneven += len(set(four)) > 1
    check(uneven >= 3, "%s,%s: quarters never vary within an hour" % (lat, lon))
    for end in [t for t in hp if B + horizon * 3600 + 3600 <= t <= B + (horizon + 11) * 3600]:
        check(all(quarters[q] == r(hp[end] / 4) for q in range(end - 2700, end + 1, 900)),
              "%s,%s: past the horizon, hour %s" % (lat, lon, end))

# MET Norway's nowcast.
NOWCAST = "/weatherapi/nowcast/2.0/complete?lat=%s&lon=%s"
N5 = NOW - NOW % 300
def nowcast(place):
    lat, lon = PLACES[place][:2]
    return answer(NOWCAST % (lat, lon))
for place in ("OSLORAIN", "OSLOSTOP", "OSLODRY", "OSLOSNOW", "RADAROUT", "NOCOVER"):
    d = nowcast(place)
    lat, lon = PLACES[place][:2]
    meta, steps = d["properties"]["meta"], d["properties"]["timeseries"]
    coverage = {"RADAROUT": "temporarily unavailable", "NOCOVER": "no coverage"}.get(place, "ok")
    check(d["type"] == "Feature" and d["geometry"]["coordinates"][:2] == [float(lon), float(lat)] and
          isinstance(d["geometry"]["coordinates"][2], int), "%s geometry" % place)
    check(meta["updated_at"] == "2026-12-08T09:50:00Z" and meta["radar_coverage"] == coverage and
          meta["units"]["precipitation_rate"] == "mm/h" and meta["units"]["precipitation_amount"] == "mm",
          "%s meta %s" % (place, meta))
    times = [datetime.datetime.fromisoformat(s["time"].replace("Z", "+00:00")).timestamp() for s in steps]
    check(times == list(range(N5, N5 + 121 * 60, 300)) and steps[0]["time"].endswith("Z"), "%s steps" % place)
    first = steps[0]["data"]
    check(set(first["instant"]["details"]) >= {"air_temperature", "relative_humidity", "wind_speed",
          "wind_from_direction", "wind_speed_of_gust"}, "%s first step %s" % (place, first))
    rates = [s["data"]["instant"]["details"].get("precipitation_rate") for s in steps]
    if coverage == "ok":
        check(rates == [sum(rate(place, t)) for t in range(N5, N5 + 121 * 60, 300)],
              "%s rates %s" % (place, rates))
        check(all(list(s["data"]["instant"]["details"]) == ["precipitation_rate"] and
                  list(s["data"]) == ["instant"] for s in steps[1:]), "%s later steps" % place)
    else:
        check(rates == [None] * 25, "%s has rates without radar" % place)
    amount = r(sum(sum(rate(place, t)) for t in range(N5, N5 + 3600, 300)) / 12)
    check(first["next_1_hours"]["details"]["precipitation_amount"] == amount,
          "%s next hour %s, expected %s" % (place, first["next_1_hours"], amount))
    # The Open-Meteo answer at the same point has the same rain in its hours.
    f = forecast(lat, lon, "&hourly=precipitation&forecast_days=2")
    hp = dict(zip(f["hourly"]["time"], f["hourly"]["precipitation"]))
    check(hp[H + 7200] == r(sum(sum(rate(place, t)) for t in range(H + 3600, H + 7200, 300)) / 12),
          "%s: the forecast's hour %s disagrees" % (place, hp[H + 7200]))
snow = nowcast("OSLOSNOW")["properties"]["timeseries"][0]["data"]
check(snow["instant"]["details"]["air_temperature"] < 0 and
      snow["next_1_hours"]["summary"]["symbol_code"] == "snow", "OSLOSNOW %s" % snow)
check(nowcast("OSLORAIN")["properties"]["timeseries"][0]["data"]["next_1_hours"]["summary"]["symbol_code"]
      in ("lightrain", "rain"), "OSLORAIN symbol")
check([x > 0 for x in [s["data"]["instant"]["details"]["precipitation_rate"]
       for s in nowcast("OSLOSTOP")["properties"]["timeseries"]]] == [True] * 7 + [False] * 18, "OSLOSTOP")

# The service's rules: headers, 304, refusals, areas.
status, body, headers = get(NOWCAST % ("59.92", "10.74"))
check(headers["Last-Modified"] == "Tue, 08 Dec 2026 09:50:00 GMT" and
      headers["Expires"] == "Tue, 08 Dec 2026 09:58:00 GMT" and headers["Date"] == "Tue, 08 Dec 2026 09:53:00 GMT",
      "nowcast headers %s" % dict(headers))
for since, want in ((headers["Last-Modified"], 304), ("Tue, 08 Dec 2026 09:45:00 GMT", 200)):
    status, body, _ = get(NOWCAST % ("59.92", "10.74"), {"User-Agent": "selftest/1", "If-Modified-Since": since})
    check(status == want and (want == 200 or body == b""), "If-Modified-Since %s: %d" % (since, status))
for target, agent, want in ((NOWCAST % ("59.92", "10.74"), "", 403), (NOWCAST % ("59.92001", "10.74"), "t/1", 403),
                            (NOWCAST % ("north", "10.74"), "t/1", 400), (NOWCAST % ("53.55", "9.99"), "t/1", 422),
                            (NOWCAST % ("40.0", "0.0"), "t/1", 404), (NOWCAST % ("78.2", "15.6"), "t/1", 404)):
    status, _, _ = get(target, {"User-Agent": agent})
    check(status == want, "%s with agent %r: %d, expected %d" % (target, agent, status, want))

# The nowcast fails alone, and under every address's scenario.
def scenario(group, name):
    get("/_control/%s?name=%s" % (group, name))
small = NOWCAST % ("59.92", "10.74")
scenario("openmeteo", "hostile")
sys.setrecursionlimit(20000)
d = answer("/v1/forecast?latitude=1&longitude=2&minutely_15=rain&hourly=rain")
check(d["minutely_15_units"] == 7 and len(d["minutely_15"]["rain"]) != len(d["minutely_15"]["time"]),
      "hostile quarters")
scenario("openmeteo", "normal")
scenario("nowcast", "ratelimit")
check(get(small)[0] == 429 and get("/weatherapi/locationforecast/2.0/complete?lat=59.92&lon=10.74")[0] == 200,
      "the nowcast's own scenario")
scenario("nowcast", "badjson")
status, body, _ = get(small)
try:
    json.loads(body)
    check(False, "badjson parses")
except ValueError:
    check(status == 200, "badjson %d" % status)
scenario("nowcast", "nulls")
d = json.loads(get(small)[1])
check(d["properties"]["timeseries"][1]["data"]["instant"]["details"]["precipitation_rate"] is None, "nulls")
scenario("nowcast", "normal")
scenario("metno", "http500")
check(get(small)[0] == 200, "the Locationforecast's scenario reaches the nowcast")
scenario("metno", "normal")
scenario("scenario", "http500")
check(get(small)[0] == 500, "every address's scenario does not reach the nowcast")
scenario("scenario", "normal")

# The Locationforecast's next hour is the forecast's hour after the step.
met = answer("/weatherapi/locationforecast/2.0/complete?lat=52.40&lon=13.05")
f = forecast("52.40", "13.05", "&hourly=precipitation&forecast_days=2")
hp = dict(zip(f["hourly"]["time"], f["hourly"]["precipitation"]))
for step in met["properties"]["timeseries"][:4]:
    t = datetime.datetime.fromisoformat(step["time"].replace("Z", "+00:00")).timestamp()
    check(step["data"]["next_1_hours"]["details"]["precipitation_amount"] == hp[t + 3600],
          "Locationforecast's next hour at %s" % step["time"])
print("\n".join(problems[:12]))
EOF
problems=$("$PYTHON" "$WORK/rain_check.py" "$BASE" 2>&1)
[[ -z $problems ]] || fail "precipitation: $problems"
# Later the timelines move with the clock: RAINSOON's rain still begins 45 minutes on.
fetch "/_control/clock?advance=20" >/dev/null
answer_check "RAINSOON after 20 minutes" \
    "/v1/forecast?latitude=52.52&longitude=13.40&minutely_15=precipitation&forecast_minutely_15=6&timeformat=unixtime" \
    'd["minutely_15"]["precipitation"] == [0.0, 0.0, 0.0, 0.0, 0.3, 0.3] and d["minutely_15"]["time"][0] == 1796723100 + 900' \
    >"$WORK/problems"
[[ ! -s $WORK/problems ]] || fail "$(cat "$WORK/problems")"
fetch "/_control/clock?advance=-20" >/dev/null
expect_contains "nowcast scenario" "$(fetch "/_control/nowcast")" "nowcast scenario normal"

# --- the clock moves on at run time
expect_contains "clock" "$(fetch "/_control/clock?advance=30")" "clock offset 30 minutes"
fetch "/_control/radar?name=normal" >/dev/null
answer_check "frames after 30 minutes" "/public/weather-maps.json" \
    'd["radar"]["past"][-1]["time"] == '$((NEWEST + 1800)) >"$WORK/problems"
[[ ! -s $WORK/problems ]] || fail "$(cat "$WORK/problems")"
[[ $(picture moved.png $NEWEST 256/7) == 404 ]] || fail "a frame 30 minutes old still answers"
[[ $(element "$(fetch "/weather/local/90210?cc=*&unit=s")" lsup 1) != \
    $(element "$cc_en" lsup 1) ]] || fail "the feeds ignore the clock"
code=$(curl -s --noproxy '*' --max-time 5 -o /dev/null -w '%{http_code}' \
    "$BASE/_control/clock?advance=ten")
[[ $code == 400 ]] || fail "advance=ten gave $code"
log=$(fetch "/_control/log")
for line in "GET $ACTIVE$ALERTS_POINT" "GET /public/weather-maps.json" "GET /v2/radar/$NEWEST/"; do
    grep -qF -- "$line" <<<"$log" || fail "request log lacks $line"
done
grep -qF "/_control/" <<<"$log" && fail "control requests in the kept log"
fetch "/_control/alerts?name=stall" >/dev/null
fetch "/_control/reset" >/dev/null
expect_contains "reset clock" "$(fetch "/_control/clock")" "clock offset 0 minutes"
[[ $(fetch "/_control/alerts") == "alerts scenario normal" ]] || fail "reset left the alerts scenario"
[[ $(fetch "/_control/frames") == "frames scenario normal" ]] || fail "reset left the frames scenario"
fetch "/_control/airquality?name=stall" >/dev/null
fetch "/_control/reset" >/dev/null
[[ $(fetch "/_control/airquality") == "airquality scenario normal" ]] ||
    fail "reset left the air-quality scenario"
[[ $(picture newest.png $NEWEST 256/7) == 200 ]] || fail "reset did not restore the frames"

# --- control requests and the request log
expect_contains "set scenario" "$(fetch "/_control/scenario?name=error")" "scenario error"
expect_contains "scenario for every ID" "$(fetch "/weather/local/90210?hbhf=2&unit=s")" "<error>"
code=$(curl -s --noproxy '*' --max-time 5 -o /dev/null -w '%{http_code}' \
    "$BASE/_control/scenario?name=nonsense")
[[ $code == 400 ]] || fail "unknown scenario gave $code"
fetch "/_control/scenario?name=normal" >/dev/null
[[ $(fetch "/weather/local/90210?cc=*&unit=s") == "$cc_en" ]] || fail "normal did not restore"
fetch "/_control/scenario?name=http500" >/dev/null
fetch "/_control/reset" >/dev/null
[[ -z $(fetch "/_control/log") ]] || fail "reset left log lines"
[[ $(fetch "/weather/local/90210?cc=*&unit=s") == "$cc_en" ]] || fail "reset left the scenario"
target="/weather/local/90210?cc=*&unit=s&$PARTNER&random=42"
fetch "$target" >/dev/null
log=$(fetch "/_control/log")
[[ $log == "GET /weather/local/90210?cc=*&unit=s"$'\n'"GET $target" ]] || fail "log: $log"
grep -qxF "GET $target" "$WORK/sim.log" || fail "log file lacks the request line"
grep -qxF "GET $target" "$WORK/stderr" || fail "stderr lacks the request line"

# --- SIGTERM ends the service, also with a stalled request in flight
curl -s --noproxy '*' --max-time 30 -o /dev/null "$BASE/weather/local/SIMSTALL?cc=*" &
stall_pid=$!
sleep 0.3
kill -TERM "$SIM_PID"
for _ in $(seq 100); do
    kill -0 "$SIM_PID" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$SIM_PID" 2>/dev/null; then
    fail "still running 10 s after SIGTERM"
else
    wait "$SIM_PID"
    rc=$?
    [[ $rc -eq 0 ]] || fail "exit status $rc after SIGTERM"
fi
SIM_PID=""
wait "$stall_pid" 2>/dev/null

if [[ $FAILURES -ne 0 ]]; then
    echo "$FAILURES check(s) failed" >&2
    exit 1
fi
echo "all checks passed"
