#!/usr/bin/env bash
# Runs the Windows build's tests under Wine on a virtual X display: the platform layer's tests
# (real Winsock, threads, resources and USER32 dialogs), the core's tests that build for
# Windows, and the check of the executable's imports and resources.
#
#   tests/windows/run_wine_tests.sh            (after cmake --build --preset windows)
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/windows/wine_env.sh

if [ -z "${ZEB_IN_XVFB:-}" ]; then
    export ZEB_IN_XVFB=1
    exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$@"
fi

trap zeb_wine_stop EXIT
zeb_wine_start
ctest --preset windows "$@"
