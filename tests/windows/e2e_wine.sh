#!/usr/bin/env bash
# End to end under Wine: the real zebupgrade.exe upgrades a password-protected simulated device,
# driven by real keystrokes on a virtual X display, from the warning to the success dialog. The
# window titles on the way and the simulator's log (the exact image received) are checked.
#
#   e2e_wine.sh ZEBUPGRADE.EXE ZEBDEVICE IMAGE [SCREENSHOT_DIR]
#
# IMAGE is the Target image the executable embeds. Everything runs in a private network
# namespace with only loopback up, so the utility's address list (its host name resolved under
# Wine) holds 127.0.0.1 alone and nothing can reach another machine: the utility on 127.0.0.1,
# the simulated device on 127.0.0.2 port 80. Needs root (or the right to make namespaces).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ $# -lt 3 ]; then
    echo "usage: $0 ZEBUPGRADE.EXE ZEBDEVICE IMAGE [SCREENSHOT_DIR]" >&2
    exit 2
fi
exe=$(realpath "$1")
device=$(realpath "$2")
image=$(realpath "$3")
shots=${4:+$(realpath -m "$4")}

case "${ZEB_E2E_STAGE:-}" in
    "")
        # The namespace, then the display inside it (the wine server too must live there: it is
        # the one that makes the sockets).
        exec env ZEB_E2E_STAGE=namespace unshare --net -- "$0" "$@"
        ;;
    namespace)
        ip link set lo up
        exec env ZEB_E2E_STAGE=display \
            xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$@"
        ;;
esac

work=$(mktemp -d /tmp/zebe2e.XXXXXX)
log="$work/device.log"
device_pid=""
upgrade_pid=""
unset WINEPREFIX
source "$here/wine_env.sh"
cleanup() {
    [ -n "$upgrade_pid" ] && kill "$upgrade_pid" 2>/dev/null || true
    [ -n "$device_pid" ] && kill "$device_pid" 2>/dev/null || true
    zeb_wine_stop
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    [ -n "$shots" ] && mkdir -p "$shots" && import -window root "$shots/failure.png"
    if [ -f "$log" ]; then
        echo "--- simulator log" >&2
        cat "$log" >&2
    fi
    echo "--- windows on screen" >&2
    for w in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
        echo "$w: $(xdotool getwindowname "$w" 2>/dev/null)" >&2
    done
    exit 1
}

shot() {
    if [ -n "$shots" ]; then
        mkdir -p "$shots"
        sleep 0.5  # let the dialog finish painting
        import -window root "$shots/$1.png"
    fi
}

# Waits until a visible window whose whole title matches the regular expression appears, other
# than the windows listed after the time-out; prints its id.
wait_window() {
    local pattern=$1 seconds=$2
    shift 2
    local deadline=$((SECONDS + seconds)) w
    while [ $SECONDS -lt $deadline ]; do
        for w in $(xdotool search --onlyvisible --name "$pattern" 2>/dev/null); do
            if [[ " $* " != *" $w "* ]]; then
                echo "$w"
                return 0
            fi
        done
        sleep 0.2
    done
    fail "no window titled /$pattern/ within ${seconds}s"
}

keys() {
    sleep 0.3  # the dialog has its focus once its initialisation has run
    xdotool key --delay 50 "$@"
}

zeb_wine_start

"$device" --address 127.0.0.2 --port 80 --password secret --flash-seconds 3 --log "$log" &
device_pid=$!
for _ in $(seq 50); do
    grep -q listening "$log" 2>/dev/null && break
    sleep 0.1
done
grep -q listening "$log" || fail "the simulator did not start"

"$ZEB_WINE" "$exe" &
upgrade_pid=$!

product='Korvane QDM4'
version=$(head -c 128 "$image" | tail -c 36 | tr -d '\0')

warning=$(wait_window "^$product Firmware Upgrade\$" 60)
shot 1-warning
keys Tab space  # the focus starts on Cancel; Continue is the other tab stop

address=$(wait_window "^$product Firmware Upgrade\$" 20 "$warning")
shot 2-address
sleep 0.3
xdotool type --delay 50 127.0.0.2
keys Return

wait_window '^Enter Password Information$' 20 >/dev/null
shot 3-password
sleep 0.3
xdotool type --delay 50 secret  # the focus is in the password field, the user is admin
keys Return

wait_window "^Confirm Upgrade to Ver\\. ${version//./\\.}\$" 20 >/dev/null
shot 4-confirm
keys Return

wait_window '^Uploading Target Firmware to ZEB@127\.0\.0\.2 [0-9]+/[0-9]+ Bytes$' 30 >/dev/null
wait_window '^Updating Target Firmware to ZEB@127\.0\.0\.2$' 60 >/dev/null
shot 5-flashing

wait_window '^ZEB@127\.0\.0\.2 Upgrade Successful!$' 90 >/dev/null
shot 6-success
keys Return

for _ in $(seq 100); do
    kill -0 "$upgrade_pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$upgrade_pid" 2>/dev/null && fail "zebupgrade.exe still runs after the success dialog"
status=0
wait "$upgrade_pid" || status=$?
upgrade_pid=""
[ "$status" -eq 0 ] || fail "zebupgrade.exe ended with exit code $status"

line=$(grep 'fetch complete' "$log" | head -1)
[ -n "$line" ] || fail "the device fetched no image"
received=$(sed -n 's/.*sha256=\([0-9a-f]*\).*/\1/p' <<<"$line")
expected=$(sha256sum "$image" | cut -d' ' -f1)
[ "$received" = "$expected" ] || fail "the device received sha256 $received, the image is $expected"
[[ $line == *"size=$(stat -c %s "$image") "* ]] || fail "wrong size: $line"
[[ $line =~ name=/zeb[0-9a-f]{1,4}\.bi1 ]] || fail "unexpected transfer file name: $line"
echo "PASS: upgraded through the real dialogs; the device received the image, sha256 $received"
