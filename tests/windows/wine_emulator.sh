#!/usr/bin/env bash
# Runs a Windows test program under Wine, in the private prefix that run_wine_tests.sh prepares;
# without one it refuses, rather than creating or touching the user's own ~/.wine.
if [ -z "${WINEPREFIX:-}" ]; then
    echo "Windows tests run under tests/windows/run_wine_tests.sh (it prepares Wine)" >&2
    exit 1
fi
exec "${ZEB_WINE:-wine}" "$@"
