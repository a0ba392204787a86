#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine, skipping what is there.
#   install-deps.sh native   the Linux build: compilers, libraries, test tools
#   install-deps.sh all      also the 32-bit Windows cross compiler and 32-bit Wine
set -euo pipefail
want=${1:-all}

native_packages=(build-essential cmake pkg-config libgtest-dev googletest libbenchmark-dev
                 libcurl4-openssl-dev libcpp-httplib-dev rapidjson-dev zlib1g-dev locales-all
                 faketime tinyproxy curl python3 strace valgrind clang-format clang
                 libclang-rt-14-dev librsvg2-bin fonts-dejavu-core openssl ca-certificates
                 libhowardhinnant-date-dev libstb-dev tzdata)
# unicode-cldr-core: the map of zone names to Windows zones, made into a table at build time.
# The 64-bit cross compiler and Wine test the Windows backend where 32-bit Wine cannot start.
windows_packages=(g++-mingw-w64-i686 wine wine32:i386 unicode-cldr-core g++-mingw-w64-x86-64
                  wine64)

sudo_if_needed() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for p in "${native_packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ "$want" = all ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    sudo_if_needed dpkg --add-architecture i386
    need_update=1
  fi
  for p in "${windows_packages[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
fi

if [ ${#missing[@]} -gt 0 ] || [ -n "${need_update:-}" ]; then
  echo "installing: ${missing[*]:-(package lists only)}"
  export DEBIAN_FRONTEND=noninteractive
  # A mirror in the middle of a sync serves an index of the wrong size, and apt-get update
  # then fails although every other index arrived: try twice more after a pause, then go on,
  # since the packages wanted are usually in the indexes that did arrive.
  update_log=$(mktemp)
  for attempt in 1 2 3; do
    if sudo_if_needed apt-get update -q 2>&1 | tee "$update_log"; then
      break
    fi
    if [ "$attempt" -lt 3 ]; then
      echo "apt-get update failed (attempt $attempt of 3); trying again in 20 s"
      sleep 20
    fi
  done
  failed=$(grep -o -m 1 -E 'Failed to fetch [^ ]+' "$update_log" | sed 's/Failed to fetch //' || true)
  if [ ${#missing[@]} -gt 0 ]; then
    install=(apt-get install -y -q --no-install-recommends)
    if ! sudo_if_needed "${install[@]}" "${missing[@]}"; then
      # Without an update index of one architecture (the security updates of i386, say), the
      # other's libraries are newer than any it can match, and 32-bit packages cannot be
      # installed beside them. The release's own indexes hold versions of both: ask for those.
      release=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
      if [ -z "$failed" ] || [ -z "$release" ] ||
         ! sudo_if_needed "${install[@]}" -t "$release" "${missing[@]}"; then
        if [ -n "$failed" ]; then
          echo "install-deps: the package index $failed could not be read (a mirror in the middle of a sync); run this again later" >&2
        fi
        rm -f "$update_log"
        exit 1
      fi
    fi
  fi
  rm -f "$update_log"
fi
