# shellcheck shell=bash
# Sourced by the test servers' scripts: free_port prints a loopback port
# nobody listens on now. The window until a server binds it is short, and the
# scripts try again with another port when their server cannot bind.
free_port() {
  if command -v python3 >/dev/null 2>&1; then
    python3 -c 'import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])
s.close()'
  else
    local p
    for _ in $(seq 1 200); do
      p=$((20000 + RANDOM % 40000))
      if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then
        echo "$p"
        return
      fi
    done
    echo "$(basename "$0"): no free port found" >&2
    return 1
  fi
}
