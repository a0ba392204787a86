#!/usr/bin/env bash
# Starts and stops the HTTPS front of the local weather service (tls_front.py), on loopback.
#   tls_front.sh start STATE_DIR SERVICES_DIR [system]   a new authority, its certificate, the front
#   tls_front.sh stop STATE_DIR
# The authority is made for this run: STATE_DIR/ca.pem, trusted by libcurl in the tests alone
# through CURL_CA_BUNDLE. WinINet under Wine reads only the system's roots, so with `system` (the
# Windows tests, as root) it is added there until stop takes it out again. Its key is deleted as
# soon as it has signed the front's certificate, so nothing else is ever signed by it, and it
# expires within two days. A second authority, trusted by nobody, signs the certificate of the
# untrusted listener.
set -euo pipefail
action=$1
state=$2
here=$(cd "$(dirname "$0")" && pwd)
. "$here/stop_pid.sh"

system_copy=/usr/local/share/ca-certificates/nimbrel-test-$(echo "$state" | md5sum | cut -c1-12).crt

stop() {
  if [ -f "$system_copy" ]; then
    rm -f "$system_copy"
    update-ca-certificates --fresh >/dev/null 2>&1 || true
  fi
  stop_pid "$state/front.pid"
}

# Writes NAME.pem and NAME.key, made out to localhost by a new authority AUTHORITY.pem.
issue() {
  local authority=$1 name=$2
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -keyout "$state/$authority.key" \
    -out "$state/$authority.pem" -subj "/CN=nimbrel test $authority $$" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
    2>/dev/null
  openssl req -newkey rsa:2048 -nodes -keyout "$state/$name.key" -out "$state/$name.csr" \
    -subj "/CN=localhost" 2>/dev/null
  printf '%s\n' "subjectAltName=DNS:localhost" "basicConstraints=CA:FALSE" \
    "keyUsage=critical,digitalSignature,keyEncipherment" "extendedKeyUsage=serverAuth" \
    >"$state/$name.ext"
  openssl x509 -req -in "$state/$name.csr" -CA "$state/$authority.pem" \
    -CAkey "$state/$authority.key" -CAcreateserial -days 2 -extfile "$state/$name.ext" \
    -out "$state/$name.pem" 2>/dev/null
  rm -f "$state/$authority.key" "$state/$name.csr" "$state/$name.ext" "$state/$authority.srl"
}

case "$action" in
  start)
    services=$3
    mkdir -p "$state"
    stop
    rm -f "$state"/*.port "$state"/*.pem "$state"/*.key
    sim_port=$(cat "$services/sim.port")
    issue ca server
    issue untrusted-ca untrusted
    if [ "${4:-}" = system ]; then
      if [ "$(id -u)" -ne 0 ] || ! command -v update-ca-certificates >/dev/null; then
        echo "not root: the Windows HTTPS tests are skipped"
        rm -f "$state"/*.pem
        exit 0
      fi
      cp "$state/ca.pem" "$system_copy"
      update-ca-certificates >/dev/null 2>&1
    fi
    setsid python3 "$here/tls_front.py" "$state" "$sim_port" >"$state/front.out" \
      2>"$state/front.err" </dev/null &
    echo $! >"$state/front.pid"
    for _ in $(seq 1 100); do
      [ -s "$state/untrusted.port" ] && break
      sleep 0.1
    done
    [ -s "$state/untrusted.port" ] || { echo "the HTTPS front did not start"; cat "$state/front.err"; exit 1; }
    echo "HTTPS front on localhost:$(cat "$state/tls.port")"
    ;;
  stop)
    stop
    ;;
esac
