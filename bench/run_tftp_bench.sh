#!/usr/bin/env bash
# Transfer benchmark on loopback: our TFTP listener against a reference TFTP server (in.tftpd
# from Debian's tftpd-hpa, run here in the foreground on a high port, never as a service), both
# serving the default 759,100-byte image to the simulator's TFTP client. Needs root (our
# listener binds port 69 or the next free one) and a built tree (cmake --build --preset default).
#
#   bench/run_tftp_bench.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."

runs="${1:-7}"
build=build
image="$build/firmware/target.bin"
port=16969

if ! command -v in.tftpd >/dev/null; then
    echo "in.tftpd not found: apt-get install tftpd-hpa (the service need not run)" >&2
    exit 1
fi
cmake --build --preset default --target tftp_transfer zebmkimage >/dev/null
[ -f "$image" ] || cmake --build --preset default >/dev/null

root="$(mktemp -d)"
cp "$image" "$root/"
chmod 755 "$root"
chmod 644 "$root/$(basename "$image")"  # the server reads as an unprivileged user
in.tftpd -L -s "$root" -a "127.0.0.1:$port" &
tftpd=$!
trap 'kill "$tftpd" 2>/dev/null || true; wait "$tftpd" 2>/dev/null || true; rm -rf "$root"' EXIT
sleep 0.3

"$build/bench/tftp_transfer" "$image" "$port" "$runs"
