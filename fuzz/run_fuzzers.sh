#!/usr/bin/env bash
# Runs every fuzz target for a bounded time, one after the other, starting from its seed corpus
# in fuzz/corpus/<target>/, and prints the executions of each. Build first with the fuzz preset:
#   cmake --preset fuzz && cmake --build --preset fuzz
#
#   fuzz/run_fuzzers.sh [SECONDS] [TARGET...]
#
# SECONDS per target (default 60); TARGET names pick some of the targets (default all). New
# inputs found go to build-fuzz/corpus/<target>/, the seeds stay as they are. A crash stops the
# script with status 1 and leaves the input that caused it as build-fuzz/crash-<target>-*.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(fuzz_classify_response fuzz_parse_challenge fuzz_listener_datagram
             fuzz_session_datagram fuzz_parse_dotted_address)
fi

status=0
for target in "${targets[@]}"; do
    binary=build-fuzz/fuzz/$target
    if [ ! -x "$binary" ]; then
        echo "$target: not built ($binary); run the fuzz preset first" >&2
        exit 2
    fi
    work=build-fuzz/corpus/$target
    mkdir -p "$work"
    log=build-fuzz/$target.log
    # -max_len: an HTTP answer may fill the 131071-byte response area; datagrams stop at 1024.
    max_len=4096
    case $target in
        fuzz_classify_response) max_len=131071 ;;
        fuzz_listener_datagram) max_len=1024 ;;
        fuzz_session_datagram) max_len=1027 ;;
    esac
    if "$binary" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="build-fuzz/crash-$target-" \
        "$work" "fuzz/corpus/$target" >"$log" 2>&1; then
        result=ok
    else
        result="FAILED (see $log)"
        status=1
    fi
    runs=$(grep -m1 '^stat::number_of_executed_units:' "$log" | awk '{print $2}')
    rate=$(grep -m1 '^stat::average_exec_per_sec:' "$log" | awk '{print $2}')
    printf '%-28s %12s executions %9s/s in %ss  %s\n' "$target" "${runs:-?}" "${rate:-?}" \
        "$seconds" "$result"
done
exit $status
