# Whether this host can run the 32-bit Windows build. Source it, then call tm_win32_support.
#
# Some kernels have no IA-32 support (many VM and container kernels, or ia32_emulation=0): every
# i386 program fails there with "Exec format error", wine32 among them, while Debian's wine wrappers
# still pick it. The 64-bit build runs under wine64 on any 64-bit host.
#
#     TM_WIN32=yes|no    forces the answer (to exercise either path on any host)

. "$(dirname "${BASH_SOURCE[0]}")/wine-loader.sh"

# True when the kernel runs a minimal i386 program (93 bytes: an ELF header, one program header
# and exit(0)).
tm_host_runs_i386() {
    local probe
    probe=$(mktemp) || return 1
    printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\135\000\000\000\135\000\000\000\005\000\000\000\000\020\000\000\270\001\000\000\000\061\333\315\200' >"$probe"
    chmod +x "$probe"
    local rc=0
    "$probe" 2>/dev/null || rc=$?
    rm -f "$probe"
    return "$rc"
}

# Sets TM_WIN32_RUNS to yes or no and TM_WIN32_WHY to the reason, by trying: the 32-bit wine loader
# must print its version within a short time.
tm_win32_support() {
    case "${TM_WIN32:-}" in
        yes) TM_WIN32_RUNS=yes; TM_WIN32_WHY="forced by TM_WIN32=yes"; return 0 ;;
        no) TM_WIN32_RUNS=no; TM_WIN32_WHY="turned off by TM_WIN32=no"; return 0 ;;
        "") ;;
        *) echo "TM_WIN32 must be yes, no or unset (it is '$TM_WIN32')" >&2; return 1 ;;
    esac
    local loader
    loader=$(tm_wine_loader win32)
    if [ -n "$loader" ] && timeout 20 "$loader" --version >/dev/null 2>&1; then
        TM_WIN32_RUNS=yes
        TM_WIN32_WHY="the 32-bit wine loader runs"
    elif ! tm_host_runs_i386; then
        TM_WIN32_RUNS=no
        TM_WIN32_WHY="this host cannot run 32-bit programs (no IA-32 support in its kernel)"
    elif [ -z "$loader" ]; then
        TM_WIN32_RUNS=no
        TM_WIN32_WHY="wine32 is not installed (scripts/setup-debian.sh installs it)"
    else
        TM_WIN32_RUNS=no
        TM_WIN32_WHY="the 32-bit wine loader $loader does not start"
    fi
}
