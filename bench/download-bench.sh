#!/usr/bin/env bash
# Download benchmark on loopback: nginx (Debian's package, run as an
# ordinary user on two free ports) serves a 300 MiB
# and a 1.1 GiB file of random bytes, unthrottled and with each connection
# limited to 20 MB/s; each is fetched by the sliced downloader, the
# single-stream download, curl and aria2c -x4 -s4. Prints the medians of the
# runs: wall time split into probe / transfer / merge, throughput, peak
# memory (max RSS; for our downloads that of the Wine process), and the
# throughput ratios sliced/single and sliced/aria2.
#   bench/download-bench.sh [runs]    (default 3)
# BENCH_TOOLS and BENCH_FILES pick a subset (e.g. BENCH_TOOLS=single).
# BENCH_SLOW_RUNS (default 1) is the number of runs of the slow
# single-connection downloads of the large file (ours, and curl throttled),
# which keeps the whole run under ten minutes.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
RUNS=${1:-3}
SLOW_RUNS=${BENCH_SLOW_RUNS:-1}
WORK=${BENCH_WORK:-$ROOT/build/bench}
mkdir -p "$WORK/www" "$WORK/out" "$WORK/nginx"

# Two ports nothing listens on now (BENCH_PORT fixes the first).
free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()'
}
PORT_FAST=${BENCH_PORT:-$(free_port)}
PORT_SLOW=$(free_port)
while [ "$PORT_SLOW" = "$PORT_FAST" ]; do PORT_SLOW=$(free_port); done

need() { command -v "$1" >/dev/null 2>&1; }
# The package's own nginx service, which an install may start.
system_nginx_running() { [ -f /run/nginx.pid ] && kill -0 "$(cat /run/nginx.pid)" 2>/dev/null; }
if ! need nginx || ! need aria2c; then
  echo "[bench] installing nginx and aria2"
  was_running=0
  system_nginx_running && was_running=1
  apt-get install -y -q nginx-light aria2 >/dev/null 2>&1 || { apt-get update -q >/dev/null; apt-get install -y -q nginx aria2 >/dev/null; }
  if [ "$was_running" = 0 ] && system_nginx_running; then
    echo "[bench] stopping the system nginx that the install started"
    service nginx stop >/dev/null 2>&1 || kill "$(cat /run/nginx.pid)" 2>/dev/null || true
  fi
fi
NGINX=$(command -v nginx || echo /usr/sbin/nginx)
# nginx runs as an ordinary user: as root, as nobody in a folder it owns.
AS_USER=()
if [ "$(id -u)" = 0 ]; then
  AS_USER=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi

# The bench program is part of the x86_64 build.
echo "[bench] building"
if [ ! -f "$ROOT/build/x86_64/build.ninja" ]; then
  cmake -S "$ROOT" -B "$ROOT/build/x86_64" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-x86_64.cmake" >/dev/null
fi
cmake --build "$ROOT/build/x86_64" -j 4 --target SliceBench >/dev/null
cp "$ROOT/build/x86_64/SliceBench.exe" "$WORK/SliceBench.exe"

# Random packages, made once.
make_file() { # name bytes
  if [ ! -f "$WORK/www/$1" ] || [ "$(stat -c %s "$WORK/www/$1")" != "$2" ]; then
    echo "[bench] generating $1 ($2 bytes)"
    head -c "$2" /dev/urandom > "$WORK/www/$1"
  fi
}
SIZE_300=$((300 * 1024 * 1024))
SIZE_1100=1181116006  # 1.1 GiB
make_file pkg300.bin $SIZE_300
make_file pkg1100.bin $SIZE_1100

cat > "$WORK/nginx/nginx.conf" <<CONF
worker_processes 4;
pid $WORK/nginx/nginx.pid;
error_log $WORK/nginx/error.log warn;
events { worker_connections 256; }
http {
  access_log off;
  sendfile on;
  tcp_nopush on;
  keepalive_timeout 10;
  client_body_temp_path $WORK/nginx/tmp;
  proxy_temp_path $WORK/nginx/tmp;
  fastcgi_temp_path $WORK/nginx/tmp;
  uwsgi_temp_path $WORK/nginx/tmp;
  scgi_temp_path $WORK/nginx/tmp;
  types { application/octet-stream bin; }
  server { listen 127.0.0.1:$PORT_FAST; root $WORK/www; }
  server { listen 127.0.0.1:$PORT_SLOW; root $WORK/www; limit_rate 20m; }
}
CONF
mkdir -p "$WORK/nginx/tmp"
rm -f "$WORK/nginx/nginx.pid"
[ "${#AS_USER[@]}" -gt 0 ] && chown -R nobody:nogroup "$WORK/nginx"
# The Wine prefix first: making a new one runs commands that may end
# non-zero on their own.
source "$ROOT/scripts/wine-env.sh"
set +e
corvel_make_prefix
set -e

"${AS_USER[@]}" "$NGINX" -c "$WORK/nginx/nginx.conf" -p "$WORK/nginx" -e "$WORK/nginx/error.log"
for _ in $(seq 1 50); do [ -s "$WORK/nginx/nginx.pid" ] && break; sleep 0.1; done
NGINX_PID=$(cat "$WORK/nginx/nginx.pid")
echo "[bench] nginx (pid $NGINX_PID, user $(ps -o user= -p "$NGINX_PID")) on ports $PORT_FAST and $PORT_SLOW"
"$WINESERVER" -p 120
cleanup() {
  kill "$NGINX_PID" 2>/dev/null || true
  for _ in $(seq 1 50); do kill -0 "$NGINX_PID" 2>/dev/null || break; sleep 0.1; done
  "$WINESERVER" -k >/dev/null 2>&1 || true
  rm -rf "$WORK/out"
}
trap cleanup EXIT

winpath() { echo "Z:$(echo "$1" | sed 's|/|\\|g')"; }
RESULTS="$WORK/results.tsv"
: > "$RESULTS"

# One timed run: file throttle tool run -> a line in results.tsv
run_one() {
  local file=$1 slow=$2 tool=$3 run=$4
  local port=$PORT_FAST; [ "$slow" = 1 ] && port=$PORT_SLOW
  local url="http://127.0.0.1:$port/$file"
  local out="$WORK/out/$tool-$file"
  rm -f "$out"*
  local log="$WORK/out/run.log" tm="$WORK/out/time.txt"
  case $tool in
    sliced|single)
      /usr/bin/time -f "%e %M" -o "$tm" "$WINE" "$WORK/SliceBench.exe" "$tool" "$url" "$(winpath "$out")" > "$log" 2>/dev/null || true ;;
    curl)
      /usr/bin/time -f "%e %M" -o "$tm" curl -s -o "$out" "$url" > "$log" 2>&1 || true ;;
    aria2)
      /usr/bin/time -f "%e %M" -o "$tm" aria2c -q -x4 -s4 --allow-overwrite=true --auto-file-renaming=false \
        -d "$WORK/out" -o "$(basename "$out")" "$url" > "$log" 2>&1 || true ;;
  esac
  local ok=0
  cmp -s "$out" "$WORK/www/$file" && ok=1
  local wall rss
  read -r wall rss < "$tm"
  local probe=0 transfer=0 merge=0 total
  total=$(python3 -c "print(float('$wall') * 1000)")
  if [ "$tool" = sliced ] || [ "$tool" = single ]; then
    probe=$(sed -n 's/.*probe_ms=\([0-9.]*\).*/\1/p' "$log"); probe=${probe:-0}
    transfer=$(sed -n 's/.*transfer_ms=\([0-9.]*\).*/\1/p' "$log"); transfer=${transfer:-0}
    merge=$(sed -n 's/.*merge_ms=\([0-9.]*\).*/\1/p' "$log"); merge=${merge:-0}
    grep -q "via=HttpDownloadToFile" "$log" && echo "single_via=HttpDownloadToFile" > "$WORK/single-via.txt"
  else
    transfer=$total
  fi
  printf "%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n" "$file" "$slow" "$tool" "$run" "$total" "$probe" "$transfer" "$merge" "$rss" "$ok" >> "$RESULTS"
  printf "[bench] %-12s %-9s %-6s run %d: %7.2f s  ok=%d\n" "$file" "$([ "$slow" = 1 ] && echo 20MB/s || echo full)" "$tool" "$run" "$(python3 -c "print($total/1000)")" "$ok"
  rm -f "$out"*
}

rm -f "$WORK/single-via.txt"
START=$(date +%s)
for file in ${BENCH_FILES:-pkg300.bin pkg1100.bin}; do
  for slow in 0 1; do
    for tool in ${BENCH_TOOLS:-sliced single curl aria2}; do
      n=$RUNS
      # The slow single-connection runs of the large file: size/rate for
      # curl, Wine's one-connection ceiling for ours.
      if [ "$file" = pkg1100.bin ] && { [ "$tool" = single ] || { [ "$slow" = 1 ] && [ "$tool" = curl ]; }; }; then n=$SLOW_RUNS; fi
      for run in $(seq 1 "$n"); do run_one "$file" "$slow" "$tool" "$run"; done
    done
  done
done
END=$(date +%s)

python3 - "$RESULTS" "$WORK/single-via.txt" <<'PY'
import sys, statistics, os
rows = [l.rstrip("\n").split("\t") for l in open(sys.argv[1]) if l.strip()]
via = "HttpDownloadToFile" if os.path.exists(sys.argv[2]) else "one-slice sliced download (HttpDownloadToFile not in this build)"
sizes = {"pkg300.bin": 300 * 1024 * 1024, "pkg1100.bin": 1181116006}
groups = {}
for f, slow, tool, run, total, probe, transfer, merge, rss, ok in rows:
    groups.setdefault((f, slow, tool), []).append(
        dict(total=float(total), probe=float(probe), transfer=float(transfer), merge=float(merge), rss=int(rss), ok=int(ok)))
med = lambda xs: statistics.median(xs)
print()
print("single = %s" % via)
print("%-12s %-7s %-7s %4s %9s %9s %10s %9s %9s %9s %4s" % ("file", "limit", "tool", "runs", "total s", "probe s", "transfer s", "merge s", "MB/s", "peak MiB", "ok"))
speed = {}
for (f, slow, tool), rs in sorted(groups.items(), key=lambda kv: (kv[0][0], kv[0][1], ["sliced", "single", "curl", "aria2"].index(kv[0][2]))):
    t = med([r["total"] for r in rs])
    mbps = sizes[f] / (t / 1000) / 1e6
    speed[(f, slow, tool)] = mbps
    print("%-12s %-7s %-7s %4d %9.2f %9.3f %10.2f %9.2f %9.1f %9.1f %4s" % (
        f, "20MB/s" if slow == "1" else "none", tool, len(rs), t / 1000, med([r["probe"] for r in rs]) / 1000,
        med([r["transfer"] for r in rs]) / 1000, med([r["merge"] for r in rs]) / 1000, mbps,
        med([r["rss"] for r in rs]) / 1024, "yes" if all(r["ok"] for r in rs) else "NO"))
print()
print("throughput ratios (median wall time):")
for f in ("pkg300.bin", "pkg1100.bin"):
    for slow in ("0", "1"):
        s = speed.get((f, slow, "sliced"))
        if not s or not all((f, slow, t) in speed for t in ("single", "aria2", "curl")):
            continue
        print("  %-12s %-7s sliced/single %.2fx   sliced/aria2 %.2fx   sliced/curl %.2fx" % (
            f, "20MB/s" if slow == "1" else "none", s / speed[(f, slow, "single")], s / speed[(f, slow, "aria2")],
            s / speed[(f, slow, "curl")]))
PY
echo "[bench] runs took $((END - START)) s"
