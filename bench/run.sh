#!/usr/bin/env bash
# make bench: BrelmoTime.exe beside the least that Wine, Winsock and rdate can do, in one
# table, printed and written to BUILD/bench.txt.
#
#   bench/run.sh [BUILD]        BUILD defaults to build/mingw32, already built
#
#   1  size of BrelmoTime.exe and the DLLs it imports (objdump -p)
#   2  start to visible window under Wine, against a minimal resource dialog
#   3  one loopback query through QueryTimeServers (show mode), against a bare Winsock
#      connect-and-receive, alternated in blocks in one Wine process: p50 and p99
#   4  one query as a whole process: bench_one_query.exe under Wine against Debian's
#      rdate, both asking inetd's built-in time service on 127.0.0.1:37
#   5  working set and private memory of the running window, against the minimal dialog
#
# Everything runs in tests/sandbox.sh (private loopback-only network, virtual display),
# in the Wine prefix BUILD/wineprefix-bench, with one wineserver kept running throughout
# so that no run pays for starting it. Figures are medians of repeated runs; the two sides
# of a comparison alternate within the same run. Every sample is kept in BUILD/bench-raw/.
# How many:
#   BENCH_WINDOW_RUNS   starts of each window program (default 21)
#   BENCH_QUERIES       loopback queries each way (default 600, in blocks of 50)
#   BENCH_PROCESS_RUNS  whole-process runs of each client (default 21)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
if [ -z "${BRELMO_SANDBOX:-}" ]; then
    exec "$root/tests/sandbox.sh" "$0" "$@"
fi

build=$(cd "${1:-$root/build/mingw32}" && pwd)
window_runs=${BENCH_WINDOW_RUNS:-21}
queries=${BENCH_QUERIES:-600}
process_runs=${BENCH_PROCESS_RUNS:-21}
settle_ms=1500

product=$build/BrelmoTime.exe
bench=$build/bench
for program in "$product" "$bench"/bench_{minimal_dialog,start_window,query_latency,one_query}.exe; do
    [ -f "$program" ] || { echo "bench: $program is missing; build first (make bench)" >&2; exit 1; }
done

wine=$(command -v wine)
prefix=$build/wineprefix-bench
work=$build/bench-raw
rm -rf "$work"
mkdir -p "$work"
inetd_pid=""
cleanup() {
    [ -z "$inetd_pid" ] || kill "$inetd_pid" 2>/dev/null || true
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
}
trap cleanup EXIT

# run_wine SECONDS PROGRAM [ARGUMENTS...]: the program under Wine, ended after SECONDS (a
# failed query shows an error box, which nobody here would close).
run_wine() {
    local seconds=$1
    shift
    timeout "$seconds" "$root/cmake/wine-env.sh" "$prefix" "$wine" "$@"
}

# A median of numbers on standard input; printf-style arithmetic; yes or no for a condition.
median() {
    sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
calc() {
    awk "BEGIN { printf \"$1\", $2 }"
}
verdict() {
    if awk "BEGIN { exit !($1) }"; then echo yes; else echo no; fi
}

load_before=$(cut -d' ' -f1 /proc/loadavg)

# The prefix is made before the long-lived wineserver starts: making it waits for the
# wineserver to end.
if [ ! -f "$prefix/.ready" ]; then
    echo "bench: making the Wine prefix $prefix" >&2
    run_wine 600 cmd /c exit >/dev/null 2>&1
fi
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
WINEPREFIX=$prefix wineserver -w
WINEPREFIX=$prefix wineserver -p

# 1. Size and imports.
echo "bench: (1) size and imports" >&2
size=$(stat -c %s "$product")
imports=$(i686-w64-mingw32-objdump -p "$product" | sed -n 's/^\s*DLL Name: *//p' | sort -f | paste -sd, - | sed 's/,/, /g')

# 3. Loopback query latency, in one Wine process (this also starts Wine's own services,
# which then stay for the rest of the run).
echo "bench: (3) loopback query latency, $queries queries each way" >&2
# (Windows programs end their lines with CR LF.)
run_wine 600 "$bench/bench_query_latency.exe" "$queries" 50 </dev/null | tr -d '\r' >"$work/latency.txt"
read -r _ query_p50 query_p99 < <(grep '^query ' "$work/latency.txt")
read -r _ bare_p50 bare_p99 < <(grep '^bare ' "$work/latency.txt")
latency_row=$(sed -n 's/^row //p' "$work/latency.txt")

# 2 and 5. Start to window, and memory once the window has settled.
echo "bench: (2) and (5) start to window and memory, $window_runs starts each" >&2
run_wine 1800 "$bench/bench_start_window.exe" "$window_runs" "$settle_ms" \
    "brelmo=Z:$product" "minimal=Z:$bench/bench_minimal_dialog.exe" </dev/null |
    tr -d '\r' >"$work/window.txt"
read -r _ _ brelmo_start_ms brelmo_cpu_ms brelmo_rss_kib brelmo_private_kib \
    < <(grep '^median brelmo ' "$work/window.txt")
read -r _ _ minimal_start_ms minimal_cpu_ms minimal_rss_kib minimal_private_kib \
    < <(grep '^median minimal ' "$work/window.txt")

# 4. One query as a whole process, against inetd's own time service on port 37. Port 37
# is opened only in the sandbox's private network, where nothing but loopback exists.
# Each run's wall time, in microseconds, is added to a file.
time_rdate() {
    local t0=$EPOCHREALTIME
    timeout 60 rdate -p -o 37 127.0.0.1 >/dev/null
    local t1=$EPOCHREALTIME
    echo $((${t1/./} - ${t0/./})) >>"$work/rdate.us"
}
time_one_query() {
    local t0=$EPOCHREALTIME
    run_wine 60 "$bench/bench_one_query.exe" 127.0.0.1 37 </dev/null
    local t1=$EPOCHREALTIME
    echo $((${t1/./} - ${t0/./})) >>"$work/one_query.us"
}
time_start_only() {
    local t0=$EPOCHREALTIME
    run_wine 60 "$bench/bench_one_query.exe" --start-only </dev/null
    local t1=$EPOCHREALTIME
    echo $((${t1/./} - ${t0/./})) >>"$work/start_only.us"
}

echo "bench: (4) one query as a whole process, $process_runs runs each" >&2
if [ "$BRELMO_SANDBOX" = netns ]; then
    echo "time stream tcp nowait root internal" >"$work/inetd.conf"
    inetd -i -R 100000 "$work/inetd.conf" &
    inetd_pid=$!
    for _ in $(seq 100); do
        ss -Hltn 'sport = :37' | grep -q . && break
        sleep 0.1
    done
    ss -Hltn 'sport = :37' | grep -q . || { echo "bench: inetd does not listen on port 37" >&2; exit 1; }

    rdate_out=$(timeout 60 rdate -p -o 37 127.0.0.1)
    run_wine 60 "$bench/bench_one_query.exe" 127.0.0.1 37 </dev/null
    : >"$work/rdate.us"
    : >"$work/one_query.us"
    : >"$work/start_only.us"
    for i in $(seq "$process_runs"); do
        if [ $((i % 2)) -eq 1 ]; then
            time_rdate
            time_one_query
            time_start_only
        else
            time_start_only
            time_one_query
            time_rdate
        fi
    done
    kill "$inetd_pid" 2>/dev/null || true
    wait "$inetd_pid" 2>/dev/null || true
    inetd_pid=""

    rdate_ms=$(median <"$work/rdate.us" | awk '{ print $1 / 1000 }')
    one_query_ms=$(median <"$work/one_query.us" | awk '{ print $1 / 1000 }')
    start_only_ms=$(median <"$work/start_only.us" | awk '{ print $1 / 1000 }')
    process_row="| 4 | One query as a whole process, median of $process_runs | $(calc %.1f "$one_query_ms") ms (bench_one_query.exe under Wine) | $(calc %.1f "$rdate_ms") ms (rdate -p, native) | $(calc %.0fx "$one_query_ms / $rdate_ms") | none: Wine's start-up | — |"
    process_row="$process_row
| 4 | The same program started and ended without a query, median of $process_runs | $(calc %.1f "$start_only_ms") ms (bench_one_query.exe --start-only) | — | $(calc %+.1f "$one_query_ms - $start_only_ms") ms with the query | — | — |"
    process_note="rdate printed \"$rdate_out\"; every bench_one_query.exe run got its four bytes."
else
    process_row="| 4 | One query as a whole process | not measured | not measured | — | — | — |"
    process_note="(4) needs the sandbox's private network for port 37; none could be made here."
fi

load_after=$(cut -d' ' -f1 /proc/loadavg)

# The table.
mib() { calc %.1f "$1 / 1024"; }
start_ratio=$(calc %.2f "$brelmo_start_ms / $minimal_start_ms")
cpu_ratio=$(calc %.2f "$brelmo_cpu_ms / $minimal_cpu_ms")
p50_ratio=$(calc %.2f "$query_p50 / $bare_p50")
p99_ratio=$(calc %.2f "$query_p99 / $bare_p99")
private_diff=$(calc %+.1f "($brelmo_private_kib - $minimal_private_kib) / 1024")
rss_diff=$(calc %+.1f "($brelmo_rss_kib - $minimal_rss_kib) / 1024")
cpu=$(sed -n 's/^model name\s*:\s*//p' /proc/cpuinfo | head -n1)
memory=$(awk '/^MemTotal:/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)

{
    echo "BrelmoTime benchmark, $(date -u '+%Y-%m-%d %H:%M UTC')"
    echo
    echo "- Command: make bench (bench/run.sh ${1:-build/mingw32})"
    echo "- Machine: $(nproc) CPUs (nproc), $memory memory, $cpu, $($wine --version)"
    echo "- Load average (1 min): $load_before at the start, $load_after at the end"
    echo
    echo "| # | Measure | BrelmoTime | Reference | Ratio or difference | Goal | Met |"
    echo "|---|---------|------------|-----------|---------------------|------|-----|"
    echo "| 1 | Size of BrelmoTime.exe | $size B ($(calc %.1f "$size / 1024") KiB) | — | — | at most 32 KiB | $(verdict "$size <= 32768") |"
    echo "| 1 | DLLs it imports | $imports | — | — | — | — |"
    echo "| 2 | Start to visible window, median of $window_runs | $brelmo_start_ms ms | $minimal_start_ms ms (minimal dialog) | ${start_ratio}x | within 1.1x | $(verdict "$start_ratio <= 1.1") |"
    echo "| 2 | Processor time of the process until then, median of $window_runs | $brelmo_cpu_ms ms | $minimal_cpu_ms ms (minimal dialog) | ${cpu_ratio}x | — (moves less under load) | — |"
    echo "| 3 | Loopback query p50, $queries each way | $query_p50 µs (QueryTimeServers) | $bare_p50 µs (bare Winsock) | ${p50_ratio}x | within 1.2x | $(verdict "$p50_ratio <= 1.2") |"
    echo "| 3 | Loopback query p99 | $query_p99 µs | $bare_p99 µs | ${p99_ratio}x | within 1.2x | $(verdict "$p99_ratio <= 1.2") |"
    echo "$process_row"
    echo "| 5 | Private memory (RssAnon + VmSwap), median of $window_runs | $(mib "$brelmo_private_kib") MiB | $(mib "$minimal_private_kib") MiB (minimal dialog) | $private_diff MiB | within 2 MiB | $(verdict "$private_diff <= 2") |"
    echo "| 5 | Working set (VmRSS), median of $window_runs | $(mib "$brelmo_rss_kib") MiB | $(mib "$minimal_rss_kib") MiB (minimal dialog) | $rss_diff MiB | within 2 MiB | $(verdict "$rss_diff <= 2") |"
    echo
    echo "The last query wrote \"$latency_row\" into the network row. $process_note"
} | tee "$build/bench.txt"
