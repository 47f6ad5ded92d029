# Headless wine for the Windows-side tests. Source it with the build folder:
#
#     . tools/wine-env.sh build-win      # Xvfb, prefix and helpers running, variables exported
#     ...run wine programs or ctest...
#     tm_wine_cleanup                    # stops what was started for this build folder
#
#     . tools/wine-env.sh build-win --no-start   # variables and functions only: start the parts
#                                                # yourself (tm_wine_start_xvfb, ...prepare_prefix,
#                                                # ...keep_alive), e.g. the prefix during a build
#
# Idempotent: sourcing it again, in this shell or another, reuses the running Xvfb, helpers and the
# prepared prefix (their process ids are kept in <build>/wine-state). The prefix lives in
# <build>/wineprefix, so nothing is written to ~/.wine; run wine programs and ctest only with these
# variables set, or wine creates ~/.wine and every window test fails for want of a display.

mkdir -p "${1:?usage: . tools/wine-env.sh <build folder> [--no-start]}"
tm_wine_build=$(cd "$1" && pwd)
tm_wine_state="$tm_wine_build/wine-state"
mkdir -p "$tm_wine_state"

export WINEPREFIX="$tm_wine_build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono or Gecko installer prompts
export WINEARCH=win32
export LANG=C.UTF-8

# Xvfb on the first free display from :90 on. Every window and OLE test needs a display.
tm_wine_start_xvfb() {
    if [ -f "$tm_wine_state/xvfb.pid" ] && kill -0 "$(cat "$tm_wine_state/xvfb.pid")" 2>/dev/null; then
        export DISPLAY=":$(cat "$tm_wine_state/xvfb.display")"
        return 0
    fi
    local n
    for n in $(seq 90 140); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
        local pid=$!
        local i
        for i in $(seq 1 50); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        if kill -0 "$pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
            echo "$pid" >"$tm_wine_state/xvfb.pid"
            echo "$n" >"$tm_wine_state/xvfb.display"
            export DISPLAY=":$n"
            return 0
        fi
        kill "$pid" 2>/dev/null || true   # lost a race for this display: try the next one
    done
    echo "wine-env: no free X display found" >&2
    return 1
}

# A new prefix with the settings that windows need without a window manager and Japanese fonts.
tm_wine_prepare_prefix() {
    [ -f "$WINEPREFIX/.tonguemeter-ready" ] && return 0
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || return 1
    wineserver -w
    # Debian's wine does not load its own fonts folder. Tahoma stays out: it draws the caption
    # buttons as letters, and the replacement below covers it.
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    mkdir -p "$fonts"
    local f
    for f in /usr/share/wine/fonts/*.ttf; do
        case "$(basename "$f")" in tahoma*) ;; *) cp "$f" "$fonts/" ;; esac
    done
    # Managed=N: without a window manager every hide waits for one. Decorated=N: owned dialogs
    # would have no frame. Fonts: Japanese text in controls and captions draws with IPA Gothic.
    local reg="$tm_wine_state/headless.reg"
    cat <<'EOF' | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$reg"
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
"Decorated"="N"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Tahoma"="IPAPGothic"
"MS UI Gothic"="IPAPGothic"
"ＭＳ Ｐゴシック"="IPAPGothic"
"MS PGothic"="IPAPGothic"
"Meiryo UI"="IPAPGothic"
"Yu Gothic UI"="IPAPGothic"
"ＭＳ ゴシック"="IPAGothic"
"MS Gothic"="IPAGothic"
EOF
    wine regedit /S "$reg" >/dev/null 2>&1 || return 1
    wineserver -w
    touch "$WINEPREFIX/.tonguemeter-ready"
}

# wineserver and wine's helper processes stay up between test programs; without this every test
# pays 1-3 s of start-up.
tm_wine_keep_alive() {
    if [ -f "$tm_wine_state/keepalive.pid" ] && kill -0 "$(cat "$tm_wine_state/keepalive.pid")" 2>/dev/null; then
        return 0
    fi
    wineserver -p
    # Start wine's own services now, with nothing inherited: started later by a test program, they
    # would keep its output pipe open and ctest would wait on it until the timeout.
    wine cmd.exe /c exit </dev/null >/dev/null 2>&1
    # cmd reads a pipe that never delivers anything, so it idles until it is stopped.
    # It leads its own process group, so the cleanup stops both processes of the pipe.
    setsid bash -c 'echo $$ >"$0"; sleep infinity | wine cmd.exe' "$tm_wine_state/keepalive.pid" \
        </dev/null >/dev/null 2>&1 &
    local i
    for i in $(seq 1 50); do [ -s "$tm_wine_state/keepalive.pid" ] && break; sleep 0.1; done
}

# Stops the helpers, wineserver and Xvfb that were started for this build folder.
tm_wine_cleanup() {
    if [ -f "$tm_wine_state/keepalive.pid" ]; then
        kill -- "-$(cat "$tm_wine_state/keepalive.pid")" 2>/dev/null || true
        rm -f "$tm_wine_state/keepalive.pid"
    fi
    wineserver -k 2>/dev/null || true
    if [ -f "$tm_wine_state/xvfb.pid" ]; then
        kill "$(cat "$tm_wine_state/xvfb.pid")" 2>/dev/null || true
        rm -f "$tm_wine_state/xvfb.pid" "$tm_wine_state/xvfb.display"
    fi
    return 0
}

if [ "${2:-}" != "--no-start" ]; then
    tm_wine_start_xvfb && tm_wine_prepare_prefix && tm_wine_keep_alive
fi
