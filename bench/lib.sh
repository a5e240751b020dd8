# Shared functions of the benchmark scripts; source it from a bench/*.bench.sh script.
# Rows are printed as "figure|Korvane|reference|ratio|target"; bench/run.sh lays out the table.
# KORVANE_BENCH_BUILD names the release build directory (set by bench/run.sh).

KORVANE_BENCH_BUILD=${KORVANE_BENCH_BUILD:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/bench}

# bench_time N command [args...]
# Runs the command N times and prints the median wall time in milliseconds (one decimal).
# When BENCH_SETUP is set it is evaluated before each run, outside the timing (e.g. removing the
# previous run's output). Prints "failed" and returns 1 when a run fails.
bench_time() {
  local runs=$1; shift
  local times=() i start end
  for ((i = 0; i < runs; i++)); do
    if [[ -n "${BENCH_SETUP:-}" ]]; then eval "$BENCH_SETUP"; fi
    start=$(date +%s%N)
    if ! "$@" >/dev/null 2>&1; then echo "failed"; return 1; fi
    end=$(date +%s%N)
    times+=($((end - start)))
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ t[NR] = $1 }
    END { m = (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2; printf "%.1f\n", m / 1e6 }'
}

# bench_peak_kib command [args...]
# Prints the peak resident memory of the command (and its children) in KiB.
bench_peak_kib() {
  python3 -c 'import resource, subprocess, sys
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)' "$@" || echo "failed"
}

# bench_row figure korvane reference target
# Prints one row; the ratio is korvane / reference when both are numbers, "-" otherwise.
bench_row() {
  local figure=$1 korvane=$2 reference=${3:--} target=${4:--} ratio
  ratio=$(awk -v k="$korvane" -v r="$reference" 'BEGIN {
    num = "^[0-9]+([.][0-9]+)?$"
    if (k ~ num && r ~ num && r + 0 > 0) printf "%.2f", k / r; else print "-" }')
  printf '%s|%s|%s|%s|%s\n' "$figure" "$korvane" "$reference" "$ratio" "$target"
}

# bench_free_port: prints a TCP port on the loopback address that nothing listens on.
bench_free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# bench_start_nginx DIR ROOT
# Starts nginx (Debian's nginx-light) as an ordinary process serving ROOT on a free loopback port,
# with its configuration, logs and temporary files under DIR. Sets BENCH_NGINX_PORT and
# BENCH_NGINX_PID; the caller stops it. It is the reference server of the benchmarks.
bench_start_nginx() {
  local dir=$1 root=$2
  mkdir -p "$dir"
  BENCH_NGINX_PORT=$(bench_free_port)
  # Run as root (a private namespace of unshare -r included), nginx would hand its temporary
  # folders to "nobody", who may not exist there; it keeps them itself instead.
  local user=""
  [[ $(id -u) -eq 0 ]] && user="user root;"
  cat >"$dir/nginx.conf" <<CONF
$user
daemon off;
master_process off;
worker_processes 1;
pid $dir/nginx.pid;
error_log $dir/error.log;
events { worker_connections 64; }
http {
  access_log off;
  sendfile on;
  client_body_temp_path $dir/body;
  proxy_temp_path $dir/proxy;
  fastcgi_temp_path $dir/fastcgi;
  types { text/html htm html; }
  default_type application/octet-stream;
  server { listen 127.0.0.1:$BENCH_NGINX_PORT; root $root; }
}
CONF
  nginx -e "$dir/error.log" -p "$dir" -c "$dir/nginx.conf" &
  BENCH_NGINX_PID=$!
}

# The common ground of the HTTP benchmarks: the release build's stand-alone server (built when
# run alone, not from bench/run.sh), a work folder that goes at exit together with every process
# listed in `pids`, and a Share folder holding an announcement and an archive of $1 MiB whose
# user message is $2. Sets `serve`, `work` and `pids`.
bench_http_setup() {
  local mib=$1 message=$2
  serve=$KORVANE_BENCH_BUILD/bench/korvane_httpd_serve
  if [[ ! -x "$serve" ]]; then
    [[ -f "$KORVANE_BENCH_BUILD/CMakeCache.txt" ]] ||
      cmake -S "$root" -B "$KORVANE_BENCH_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DKORVANE_TESTS=OFF >/dev/null
    cmake --build "$KORVANE_BENCH_BUILD" --target korvane_httpd_serve -j2 >/dev/null
  fi
  work=$(mktemp -d)
  pids=()
  trap bench_http_cleanup EXIT
  mkdir -p "$work/Share"
  printf 'FileName=Arena.gck\r\nFileSize=%d\r\nFileSource=HOST\r\nHostVer=0.4\r\nFileSum=123456789\r\nModInfo_UserMessage=%s\r\nmodinfo_worlds=1\r\n' \
    $((mib * 1024 * 1024)) "$message" >"$work/Share/giantshost.htm"
  head -c $((mib * 1024 * 1024)) /dev/urandom >"$work/Share/Arena.gck"
}

bench_http_cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}

# Waits until something answers for giantshost.htm on port $1 (at most 10 s).
wait_for_port() {
  for _ in $(seq 100); do
    curl -s -o /dev/null "http://127.0.0.1:$1/giantshost.htm" && return 0
    sleep 0.1
  done
  echo "nothing answers on port $1" >&2
  return 1
}
