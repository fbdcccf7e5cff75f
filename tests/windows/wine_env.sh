# Sourced by the Windows test scripts: a private, temporary Wine prefix that shows no dialogs of
# its own and leaves nothing behind.
#   zeb_wine_start   creates the prefix and starts a persistent wine server
#   zeb_wine_stop    stops the server and removes the prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
# The 64-bit loader itself, when the distribution's wrapper would only add a note about the
# missing 32-bit half.
ZEB_WINE=wine
if [ -x /usr/lib/wine/wine64 ]; then
    ZEB_WINE=/usr/lib/wine/wine64
fi
export ZEB_WINE

zeb_wine_start() {
    WINEPREFIX=$(mktemp -d /tmp/zebwine.XXXXXX)
    export WINEPREFIX
    wineserver -p
    "$ZEB_WINE" wineboot -u >/dev/null 2>&1
    # No window manager decorations from the X driver, and no crash dialog that would wait for
    # a click nobody gives.
    "$ZEB_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    "$ZEB_WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
        >/dev/null 2>&1
}

zeb_wine_stop() {
    if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
        wineserver -k 2>/dev/null || true
        rm -rf "$WINEPREFIX"
    fi
}
