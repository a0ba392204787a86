#!/usr/bin/env bash
# Starts and stops the services the network tests talk to, all on loopback: the local weather
# service, and a proxy that asks for credentials.
#   services.sh start STATE_DIR SIM_PROGRAM   both
#   services.sh sim STATE_DIR SIM_PROGRAM     the weather service alone
#   services.sh stop STATE_DIR
# The ports go to STATE_DIR/sim.port and STATE_DIR/proxy.port, the service's requests to
# STATE_DIR/sim.log.
set -euo pipefail
action=$1
state=$2

. "$(cd "$(dirname "$0")" && pwd)/stop_pid.sh"

case "$action" in
  start | sim)
    sim=$3
    mkdir -p "$state"
    "$0" stop "$state"
    rm -f "$state"/sim.port "$state"/proxy.port "$state"/sim.out
    setsid "$sim" --port 0 --log "$state/sim.log" >"$state/sim.out" 2>"$state/sim.err" </dev/null &
    echo $! >"$state/sim.pid"
    for _ in $(seq 1 100); do
      port=$(awk '/^port /{print $2; exit}' "$state/sim.out" 2>/dev/null || true)
      [ -n "$port" ] && break
      sleep 0.1
    done
    [ -n "${port:-}" ] || { echo "the weather service did not start"; cat "$state/sim.err"; exit 1; }
    echo "$port" >"$state/sim.port"
    awk '/^raw-port /{print $2; exit}' "$state/sim.out" >"$state/raw.port"
    echo "weather service on 127.0.0.1:$port"

    if [ "$action" = start ] && command -v tinyproxy >/dev/null; then
      for proxy_port in $(seq $((port % 20000 + 30000)) $((port % 20000 + 30040))); do
        cat >"$state/tinyproxy.conf" <<CONF
Port $proxy_port
Listen 127.0.0.1
Allow 127.0.0.1
BasicAuth alice s3cret
MaxClients 20
Timeout 30
PidFile "$state/proxy.pid"
LogFile "$state/proxy.log"
CONF
        rm -f "$state/proxy.pid"
        tinyproxy -c "$state/tinyproxy.conf" >/dev/null 2>&1 || true
        for _ in $(seq 1 20); do
          [ -s "$state/proxy.pid" ] && break
          sleep 0.1
        done
        if [ -s "$state/proxy.pid" ] && kill -0 "$(cat "$state/proxy.pid")" 2>/dev/null &&
           (exec 3<>"/dev/tcp/127.0.0.1/$proxy_port") 2>/dev/null; then
          echo "$proxy_port" >"$state/proxy.port"
          echo "proxy on 127.0.0.1:$proxy_port"
          break
        fi
        stop_pid "$state/proxy.pid"
      done
    fi
    ;;
  stop)
    stop_pid "$state/sim.pid"
    stop_pid "$state/proxy.pid"
    ;;
esac
