#!/usr/bin/env bash
# Checks what the module exports (exactly the host's functions and the two lifecycle bodies)
# and, for the Windows module, that it imports from system DLLs only.
set -euo pipefail
module=$1
expected="AlertIcon CurrentConditions CustomRadar Forecast Hourly IconCC IconForecast IconHourly
IconLater IconNow AirQualityIcon PrecipitationGraph ListCCTerms ListForecastTerms ListHourlyTerms LocalRadar MoonIcon Now Later
getinfo getparam init"
case "$module" in
  *.dll)
    dump=$(i686-w64-mingw32-objdump -p "$module")
    actual=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | awk '/^\t\[/{print $NF}' | sort)
    want=$(printf '%s\n' $expected _startup@4 _cleanup@0 | sort)
    imports=$(awk '/DLL Name:/{print toupper($3)}' <<<"$dump" | sort -u)
    echo "imports: $(echo $imports)"
    bad=$(grep -v -E '^(KERNEL32|WININET|ADVAPI32|MSVCRT|USER32|WS2_32|SHELL32|OLE32|API-MS-WIN-[A-Z0-9-]+)\.DLL$' <<<"$imports" || true)
    if [ -n "$bad" ]; then echo "unexpected imports: $bad"; exit 1; fi
    ;;
  *)
    actual=$(nm -D --defined-only "$module" | awk '$2 ~ /^[TtWw]$/ {print $3}' | grep -v -E '^_(init|fini)$' | sort)
    want=$(printf '%s\n' $expected NimbrelStartup NimbrelCleanup | sort)
    ;;
esac
if [ "$actual" != "$want" ]; then
  echo "exports differ:"; diff <(echo "$want") <(echo "$actual") || true; exit 1
fi
echo "exports: $(echo $actual | wc -w) as expected"
echo "1 passed, 0 failed"
