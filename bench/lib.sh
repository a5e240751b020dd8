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
