#!/usr/bin/env bash
# Downloads through the engine (see DownloadBench.cpp): idle cost on a stalled server, then
# 1 GiB against curl.exe built from the same libcurl, in the same run under the same Wine,
# from the test server and from Debian's nginx (started here, on 127.0.0.1, unprivileged,
# with its config, logs and served file in the build tree).
# Usage: bench/download.sh <windows build dir> [idle] [server] [nginx]   (default: all three)
set -uo pipefail
win_dir="$(cd "$1" && pwd)"
shift
parts=("$@")
[ ${#parts[@]} -gt 0 ] || parts=(idle server nginx)

# What a CDN or ISP grants one stream: slow enough that several streams gain, fast enough that
# curl's single stream ends within about half a minute.
THROTTLE=32m
size=$(( ${KELTO_BENCH_MIB:-1024} * 1024 * 1024 ))
nginx_dir="$win_dir/bench/nginx"
nginx_pid=""
nginx_port=""

cleanup() {
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  rm -rf "$nginx_dir"
  # The program deletes its served files and its copies; should it have died, they go here.
  rm -rf "$win_dir"/wineprefix/drive_c/users/*/Temp/kelto-*-bench-download*
}
trap cleanup EXIT

# Starts nginx on a free port, into nginx_pid and nginx_port.
start_nginx() {
  local port
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])')
  rm -rf "$nginx_dir" && mkdir -p "$nginx_dir/www" "$nginx_dir/temp" || return 1
  # Sparse: the bytes come from memory, as from a CDN's cache, and no GiB is written here.
  truncate -s "$size" "$nginx_dir/www/package.bin" || return 1
  # One process (no master, no user switch when run as root): it reads the build tree as
  # whoever runs the bench.
  cat >"$nginx_dir/nginx.conf" <<CONF
daemon off;
master_process off;
pid $nginx_dir/nginx.pid;
error_log $nginx_dir/error.log warn;
events { worker_connections 64; }
http {
  access_log off;
  client_body_temp_path $nginx_dir/temp/body;
  proxy_temp_path $nginx_dir/temp/proxy;
  fastcgi_temp_path $nginx_dir/temp/fastcgi;
  uwsgi_temp_path $nginx_dir/temp/uwsgi;
  scgi_temp_path $nginx_dir/temp/scgi;
  default_type application/octet-stream;
  sendfile on;
  tcp_nopush on;
  server {
    listen 127.0.0.1:$port;
    location /open/ { alias $nginx_dir/www/; }
    location /throttled/ { alias $nginx_dir/www/; limit_rate $THROTTLE; }
  }
}
CONF
  nginx -p "$nginx_dir" -c "$nginx_dir/nginx.conf" -e "$nginx_dir/error.log" >/dev/null 2>&1 &
  nginx_pid=$!
  # Serving, and answering a range with 206, on both paths: several connections need it.
  python3 - "$port" <<'PY' || { cat "$nginx_dir/error.log" >&2; return 1; }
import http.client, sys, time
port = int(sys.argv[1])
for attempt in range(100):
    try:
        for path in ('/open/package.bin', '/throttled/package.bin'):
            c = http.client.HTTPConnection('127.0.0.1', port, timeout=5)
            c.request('GET', path, headers={'Range': 'bytes=100-199'})
            r = c.getresponse()
            body = r.read()
            if r.status != 206 or len(body) != 100:
                sys.exit('nginx: %s answered %d with %d bytes to a range'
                         % (path, r.status, len(body)))
        sys.exit(0)
    except OSError:
        time.sleep(0.05)
sys.exit('nginx did not start')
PY
  nginx_port=$port
}

args=()
for part in "${parts[@]}"; do
  if [ "$part" = nginx ]; then
    if ! command -v nginx >/dev/null; then
      echo "download bench: nginx is missing (tools/setup.sh installs it)" >&2
      exit 1
    fi
    start_nginx || exit 1
    url="http://127.0.0.1:$nginx_port"
    args+=(nginx "$url/open/package.bin" "$url/throttled/package.bin")
  else
    args+=("$part")
  fi
done
"$win_dir/wine-run.sh" "$win_dir/bench/download_bench.exe" "${args[@]}" | tr -d '\r'
exit "${PIPESTATUS[0]}"
