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

# A stalled request must leave the other connections served.
curl -s --noproxy '*' --max-time 3 -o /dev/null "$BASE/weather/local/SIMSTALL?cc=*" &
stall_pid=$!
sleep 0.3
[[ $(fetch "/weather/local/90210?cc=*&unit=s") == "$cc_en" ]] || fail "served nothing beside a stall"
wait "$stall_pid"
[[ $? -eq 28 ]] || fail "stalled request was answered"

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
