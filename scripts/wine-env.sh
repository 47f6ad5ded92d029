# Headless wine for the Windows builds. Source it with the build folder and the build's architecture:
#
#     . scripts/wine-env.sh build/win64 win64    # Xvfb, prefix and helpers running, variables exported
#     tm_wine program.exe ...                  # runs a program with the loader of that architecture
#     tm_wine_cleanup                          # stops what was started for this build folder
#
#     . scripts/wine-env.sh build/win64 win64 --no-start   # variables and functions only: start the
#                                              # parts yourself (tm_wine_start_xvfb, ...prepare_prefix,
#                                              # ...keep_alive), e.g. the prefix during a build
#
# win32 runs under the 32-bit loader (wine32), which needs a host that runs 32-bit programs; win64
# under the 64-bit loader (wine64), called directly: Debian's `wine` and `wineboot` wrappers pick
# wine32 whenever it is installed, even where it cannot run.
#
# Idempotent: sourcing it again, in this shell or another, reuses the running Xvfb, helpers and the
# prepared prefix (their process ids are kept in <build>/wine-state). The prefix lives in
# <build>/wineprefix, so nothing is written to ~/.wine; run wine programs and ctest only with these
# variables set, or wine creates ~/.wine and every window test fails for want of a display.
# Every function that fails says what failed and what to do on stderr, and returns non-zero.

mkdir -p "${1:?usage: . scripts/wine-env.sh <build folder> win32|win64 [--no-start]}"
tm_wine_build=$(cd "$1" && pwd)
tm_wine_state="$tm_wine_build/wine-state"
mkdir -p "$tm_wine_state"
tm_wine_arch=${2:?usage: . scripts/wine-env.sh <build folder> win32|win64 [--no-start]}

# Says what failed and what to do; the caller returns non-zero.
tm_wine_fail() {
    echo "wine-env: $*" >&2
}

export WINEPREFIX="$tm_wine_build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono or Gecko installer prompts
export WINEARCH=$tm_wine_arch
export LANG=C.UTF-8

# The loader for this architecture, also exported as WINELOADER so that wine starts its own
# helper programs with it.
. "$(dirname "${BASH_SOURCE[0]}")/wine-loader.sh"
tm_wine_names=$(tm_wine_loader_name "$tm_wine_arch") || {
    tm_wine_fail "unknown architecture '$tm_wine_arch' (use win32 or win64)"
    return 1
}
TM_WINE_LOADER=$(tm_wine_loader "$tm_wine_arch")
[ -n "$TM_WINE_LOADER" ] && export WINELOADER="$TM_WINE_LOADER"

# Runs a Windows program (or wine's own, e.g. regedit) with this architecture's loader.
tm_wine() {
    [ -n "$TM_WINE_LOADER" ] || {
        tm_wine_fail "no $tm_wine_arch wine loader ($tm_wine_names) is installed: run scripts/setup-debian.sh"
        return 1
    }
    "$TM_WINE_LOADER" "$@"
}

# Checks that the loader starts at all; the 32-bit one fails with "Exec format error" on hosts
# without IA-32 support.
tm_wine_check_loader() {
    [ -n "$TM_WINE_LOADER" ] || {
        tm_wine_fail "no $tm_wine_arch wine loader ($tm_wine_names) is installed: run scripts/setup-debian.sh"
        return 1
    }
    local out
    if ! out=$(timeout 20 "$TM_WINE_LOADER" --version 2>&1); then
        tm_wine_fail "the $tm_wine_arch wine loader $TM_WINE_LOADER does not start: ${out:-no output}." \
            "$([ "$tm_wine_arch" = win32 ] && echo "This host may not run 32-bit programs: use the 64-bit build (unset TM_WIN32 or set TM_WIN32=no).")"
        return 1
    fi
}

# Xvfb on the first free display from :90 on. Every window and OLE test needs a display.
tm_wine_start_xvfb() {
    if [ -f "$tm_wine_state/xvfb.pid" ] && kill -0 "$(cat "$tm_wine_state/xvfb.pid")" 2>/dev/null; then
        export DISPLAY=":$(cat "$tm_wine_state/xvfb.display")"
        return 0
    fi
    command -v Xvfb >/dev/null || {
        tm_wine_fail "Xvfb is not installed, so there is no display for the window tests: run scripts/setup-debian.sh (package xvfb)"
        return 1
    }
    local n
    for n in $(seq 90 140); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp </dev/null >"$tm_wine_state/xvfb.log" 2>&1 &
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
    tm_wine_fail "no virtual display could be started on :90 to :140 (last Xvfb log: $tm_wine_state/xvfb.log)"
    return 1
}

# A new prefix with the settings that windows need without a window manager and Japanese fonts.
# What wine prints while making it goes to <build>/wine-state/prefix.log.
tm_wine_prepare_prefix() {
    [ -f "$WINEPREFIX/.tonguemeter-ready" ] && return 0
    tm_wine_check_loader || return 1
    local log="$tm_wine_state/prefix.log"
    rm -rf "$WINEPREFIX"
    if ! tm_wine wineboot.exe -i >"$log" 2>&1 || ! wineserver -w >>"$log" 2>&1; then
        tm_wine_fail "could not make the $tm_wine_arch wine prefix $WINEPREFIX (wine's output: $log)." \
            "Remove the folder and try again; if it fails again, check the wine installation (scripts/setup-debian.sh)."
        return 1
    fi
    # Debian's wine does not load its own fonts folder. Tahoma stays out: it draws the caption
    # buttons as letters, and the replacement below covers it.
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    mkdir -p "$fonts"
    local f
    for f in /usr/share/wine/fonts/*.ttf; do
        [ -e "$f" ] || continue
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
    if ! tm_wine regedit /S "$reg" >>"$log" 2>&1 || ! wineserver -w >>"$log" 2>&1; then
        tm_wine_fail "could not write the headless settings into $WINEPREFIX (wine's output: $log)"
        return 1
    fi
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
    if ! tm_wine cmd.exe /c exit </dev/null >"$tm_wine_state/services.log" 2>&1; then
        tm_wine_fail "wine could not start a program in $WINEPREFIX (output: $tm_wine_state/services.log)"
        return 1
    fi
    # cmd reads a pipe that never delivers anything, so it idles until it is stopped.
    # It leads its own process group, so the cleanup stops both processes of the pipe.
    setsid bash -c 'echo $$ >"$0"; sleep infinity | "$1" cmd.exe' "$tm_wine_state/keepalive.pid" \
        "$TM_WINE_LOADER" </dev/null >/dev/null 2>&1 &
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

if [ "${3:-}" != "--no-start" ]; then
    tm_wine_start_xvfb && tm_wine_prepare_prefix && tm_wine_keep_alive
fi
