#!/usr/bin/env bash
# The main window is on screen after every launch of `vorrel` under a real window manager
# (openbox on a virtual X display), and stays there when a second launch asks for it: one
# window, viewable, never unmapped behind the user's back.
#
# Usage: window_mapped.sh VORREL [LAUNCHES]   (run under dbus-run-session)
# Exits 77 (skipped, with a message) where Xvfb, openbox or the X tools are missing.
set -euo pipefail
vorrel=$1
launches=${2:-5}

for tool in Xvfb openbox xprop xwininfo; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is not installed (scripts/install-deps installs it)"
        exit 77
    fi
done

work=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

# A display of our own: Xvfb picks a free number and writes it to fd 3.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
# Bounded waits poll the X server: there is no event to wait for from a shell.
until [[ -s "$work/display" ]]; do sleep 0.05; done
export DISPLAY=":$(cat "$work/display")"
openbox --sm-disable 2>/dev/null &
pids+=($!)
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do sleep 0.05; done

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export XDG_CACHE_HOME="$work/home/.cache" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

# The viewable windows the window manager manages for process $1, one id a line.
windows_of() {
    local id
    for id in $(xprop -root _NET_CLIENT_LIST 2>/dev/null | grep -o '0x[0-9a-f]*'); do
        if xprop -id "$id" _NET_WM_PID 2>/dev/null | grep -q "= $1\$" &&
            xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable'; then
            echo "$id"
        fi
    done
}

failures=0
for ((launch = 1; launch <= launches; ++launch)); do
    "$vorrel" &
    pid=$!
    pids+=("$pid")
    shown=""
    for ((try = 0; try < 600; ++try)); do
        shown=$(windows_of "$pid")
        [[ -n "$shown" ]] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    # A second launch goes through the running instance's event loop: by its end the
    # first one has finished its start-up, so a late unmapping would show now.
    "$vorrel" || { echo "launch $launch: the second launch failed"; failures=$((failures + 1)); }
    after=$(windows_of "$pid")
    if [[ -z "$shown" || $(wc -l <<<"$after") -ne 1 || -z "$after" ]]; then
        echo "launch $launch: window viewable at start: ${shown:-none}; after a second launch: ${after:-none}"
        failures=$((failures + 1))
    fi
    kill "$pid" && wait "$pid" 2>/dev/null || true
    unset 'pids[-1]'
done
echo "$((launches - failures)) of $launches launches showed the window"
[[ $failures -eq 0 ]]
