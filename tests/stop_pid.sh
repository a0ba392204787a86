# Sourced by the scripts that start the tests' services (services.sh, tls_front.sh).
# stop_pid FILE: stops the process named in the file and waits (at most 5 s) until it is gone,
# so that nothing still writes into the state folder when a caller removes it. Removes the file.
stop_pid() {
  local file=$1 pid
  if [ -f "$file" ]; then
    pid=$(cat "$file")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    rm -f "$file"
  fi
}
