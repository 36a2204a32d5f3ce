#!/usr/bin/env bash
# Both programs as a user meets them, in a desktop session of its own: X11 (Xvfb and openbox),
# sway (headless, wlroots) or weston (headless, client-side title bars), on Qt's native
# platform plug-in there. Checked from outside, with screenshots:
#   1. vorrel-quicklook shows a window with the drawing (pixels, not a blank window);
#   2. Right steps to the other file (its title and the picture change; on sway the window
#      keeps its place and size), Escape closes;
#   3. vorrel shows its Home pane, in English and in German, made as small as it goes;
#   4. a second vorrel launch, given the launcher's token, brings the first window to the
#      front over another program's window.
# Keys need a way in: xdotool (X11), a virtual keyboard (wtype on sway); weston offers
# neither, nor window activation, so there only 1 and 3 are checked.
#
# Usage: desktop_session.sh x11|sway|weston VORREL QUICKLOOK SCREEN_TOOL SAMPLE.eps [TOKEN_TOOL]
# The pictures are kept in $VORREL_SESSION_PICTURES when set. Exits 77 (skipped, saying why)
# where the session's programs are missing; sway and weston are run as an unprivileged user,
# created when this runs as root.
set -euo pipefail
session=$1 vorrel=$2 quicklook=$3 screen_tool=$4 sample=$5 token_tool=${6:-}
here=$(cd "$(dirname "$0")" && pwd)

skip() { echo "skipped: $*"; exit 77; }
fail() { echo "FAIL ($session): $*" >&2; failures=$((failures + 1)); }
failures=0

needed=(dbus-daemon jq)
case $session in
    x11) needed+=(Xvfb openbox xdotool xprop) ;;
    sway) needed+=(sway swaymsg grim wtype) ;;
    weston) needed+=(weston weston-screenshooter) ;;
    *) echo "unknown session $session" >&2; exit 2 ;;
esac
for tool in "${needed[@]}"; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps installs it)"
done
[[ $session != sway || -x $token_tool ]] || skip "the activation token tool was not built (libwayland-dev, wayland-protocols)"

# The compositors refuse root (sway) or should not have it: the session runs as a user of its own.
if [[ $session != x11 && $(id -u) -eq 0 && -z ${VORREL_SESSION_USER_DONE:-} ]]; then
    user=vorrel-session
    id "$user" >/dev/null 2>&1 || useradd --system --create-home --home-dir /var/lib/vorrel-session \
        --shell /usr/sbin/nologin "$user" || skip "cannot create the user $user"
    for needed_file in "$0" "$here/../support/session-bus.conf" "$vorrel" "$quicklook" "$screen_tool" "$sample"; do
        runuser -u "$user" -- test -r "$needed_file" ||
            skip "$user cannot read $needed_file (a build in a private folder)"
    done
    pictures=${VORREL_SESSION_PICTURES:-}
    [[ -z $pictures ]] || { mkdir -p "$pictures" && chmod 1777 "$pictures"; }
    exec runuser -u "$user" -- env -i PATH="$PATH" VORREL_SESSION_USER_DONE=1 \
        VORREL_SESSION_PICTURES="$pictures" ASAN_OPTIONS="${ASAN_OPTIONS:-}" \
        UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" LSAN_OPTIONS="${LSAN_OPTIONS:-}" bash "$0" "$@"
fi

work=$(mktemp -d)
chmod 755 "$work"
pids=()
cleanup() {
    local pid
    for ((i = ${#pids[@]} - 1; i >= 0; --i)); do
        pid=${pids[i]}
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
pictures=${VORREL_SESSION_PICTURES:-$work/pictures}
mkdir -p "$pictures"

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export XDG_CACHE_HOME="$work/home/.cache" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$work/files" && chmod 700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY DISPLAY XDG_ACTIVATION_TOKEN DESKTOP_STARTUP_ID QT_QPA_PLATFORM

# Two files to step between: the sample and a plain blue one.
cp "$sample" "$work/files/a-sample.eps"
printf '%s\n' '%!PS-Adobe-3.0 EPSF-3.0' '%%BoundingBox: 0 0 400 300' \
    '0 0 1 setrgbcolor 20 20 360 260 rectfill showpage' >"$work/files/b-blue.eps"

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
    local tries=$1
    shift
    for ((; tries > 0; --tries)); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

dbus-daemon --config-file="$here/../support/session-bus.conf" --fork --nopidfile \
    --print-address=3 --print-pid=4 3>"$work/bus" 4>"$work/bus-pid"
pids+=("$(cat "$work/bus-pid")")
export DBUS_SESSION_BUS_ADDRESS=$(cat "$work/bus")

# --- the session: start, and the session's ways to look, type and ask ---------------------
case $session in
x11)
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
    pids+=($!)
    wait_for 100 test -s "$work/display" || skip "Xvfb did not start"
    export DISPLAY=":$(cat "$work/display")" QT_QPA_PLATFORM=xcb
    openbox --sm-disable 2>/dev/null &
    pids+=($!)
    wait_for 100 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' || skip "openbox did not start"
    shoot() { "$screen_tool" grab "$1"; }
    window_of() { xdotool search --onlyvisible --classname "^$1\$" 2>/dev/null | head -1; }
    title_of() {
        xprop -id "$(window_of "$1")" _NET_WM_NAME 2>/dev/null | sed -n 's/^[^=]*= "\(.*\)"$/\1/p'
    }
    geometry_of() {  # x y w h
        eval "$(xdotool getwindowgeometry --shell "$(window_of "$1")")"
        echo "$X $Y $WIDTH $HEIGHT"
    }
    focused_app() {  # the instance name of the active window's class
        local active
        active=$(xdotool getactivewindow 2>/dev/null) || return 0
        xprop -id "$active" WM_CLASS | sed -n 's/^[^=]*= "\([^"]*\)".*/\1/p'
    }
    press() { xdotool windowactivate --sync "$(window_of "$1")" key "$2" || true; }
    smallest() { xdotool windowsize "$(window_of "$1")" 10 10 windowmove "$(window_of "$1")" 100 0; }
    launch_token() { echo "desktop-session/$RANDOM"; }
    token_variable=DESKTOP_STARTUP_ID
    ;;
sway)
    cat >"$work/sway.conf" <<'EOF'
output HEADLESS-1 resolution 1280x800 background #404040 solid_color
default_border normal
# As desktops do for programs started by their launchers: the token lets a window take the focus.
focus_on_window_activation focus
for_window [app_id=".*"] floating enable
EOF
    WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
        sway -c "$work/sway.conf" >"$work/compositor.log" 2>&1 &
    pids+=($!)
    wait_for 100 sh -c 'ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock' || skip "sway did not start"
    export SWAYSOCK=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock) WAYLAND_DISPLAY=wayland-1 QT_QPA_PLATFORM=wayland
    wait_for 100 test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" || skip "sway has no Wayland socket"
    # A keyboard the seat has from the start: one that comes and goes with each key would be
    # gone before a program has taken it up.
    wtype -s 3600000 >/dev/null 2>&1 &
    pids+=($!)
    shoot() { grim "$1"; }
    node_of() { swaymsg -t get_tree | jq -c --arg app "$1" '[.. | objects | select(.app_id? == $app)][0] // empty'; }
    window_of() { node_of "$1" | jq -r '.id // empty'; }
    title_of() { node_of "$1" | jq -r '.name'; }
    geometry_of() { node_of "$1" | jq -r '"\(.rect.x) \(.rect.y) \(.rect.width) \(.rect.height)"'; }
    focused_app() { swaymsg -t get_tree | jq -r '.. | objects | select(.focused? == true) | .app_id // empty'; }
    press() { wtype -k "$2"; }
    smallest() {  # centred once the window has taken the size it can
        swaymsg "[app_id=\"^$1\$\"] resize set 10 10" >/dev/null
        sleep 0.5
        swaymsg "[app_id=\"^$1\$\"] move position center" >/dev/null
    }
    launch_token() { "$token_tool" vorrel; }
    token_variable=XDG_ACTIVATION_TOKEN
    ;;
weston)
    weston --backend=headless-backend.so --use-pixman --socket=wayland-session --width=1280 --height=800 \
        --idle-time=0 --debug >"$work/compositor.log" 2>&1 &
    pids+=($!)
    export WAYLAND_DISPLAY=wayland-session QT_QPA_PLATFORM=wayland
    wait_for 100 test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" || skip "weston did not start"
    shoot() {  # weston's screenshooter names its file itself
        (cd "$work" && rm -f wayland-screenshot-*.png && timeout 20 weston-screenshooter >/dev/null 2>&1 &&
            mv wayland-screenshot-*.png "$1")
    }
    window_of() { pgrep -f -- "$(program_of "$1")" >/dev/null && echo shown; }
    title_of() { echo; }
    geometry_of() { echo "0 0 1280 800"; }
    ;;
esac
program_of() { [[ $1 == vorrel ]] && echo "$vorrel" || echo "$quicklook"; }
has_window() { [[ -n $(window_of "$1") ]]; }
title_starts() { [[ $(title_of "$1") == "$2"* ]]; }
is_focused() { [[ $(focused_app) == "$1" ]]; }
gone() { ! kill -0 "$1" 2>/dev/null; }

# How many pixels of the app's window differ from its most common colour.
inked() {
    local picture=$1 x y w h
    read -r x y w h < <(geometry_of "$2")
    "$screen_tool" inked "$picture" "$x" "$y" "$w" "$h"
}

# --- 1, 2: the preview window ---------------------------------------------------------------
"$quicklook" "$work/files/a-sample.eps" "$work/files/b-blue.eps" >"$work/quicklook.log" 2>&1 &
preview=$!
pids+=("$preview")
if ! wait_for 300 has_window vorrel-quicklook; then
    fail "no preview window appeared"
else
    sleep 1  # the drawing is painted after the window is mapped
    shoot "$pictures/$session-preview.png"
    ink=$(inked "$pictures/$session-preview.png" vorrel-quicklook)
    ((ink > 2000)) || fail "the preview window shows no drawing ($ink pixels of ink)"
    if declare -F press >/dev/null; then
        title_starts vorrel-quicklook "a-sample.eps — 1 of 2" || fail "preview title: $(title_of vorrel-quicklook)"
        placed=$(geometry_of vorrel-quicklook)
        press vorrel-quicklook Right
        wait_for 100 title_starts vorrel-quicklook "b-blue.eps — 2 of 2" ||
            fail "Right did not step to the next file: $(title_of vorrel-quicklook)"
        sleep 1
        # Where the compositor places windows, a file of similar size leaves the window as it was.
        [[ $session != sway || $(geometry_of vorrel-quicklook) == "$placed" ]] ||
            fail "the preview window changed from $placed to $(geometry_of vorrel-quicklook) on Right"
        shoot "$pictures/$session-preview-stepped.png"
        changed=$("$screen_tool" differ "$pictures/$session-preview.png" "$pictures/$session-preview-stepped.png")
        ((changed > 1000)) || fail "the picture did not change on Right ($changed pixels)"
        press vorrel-quicklook Escape
        wait_for 100 gone "$preview" || fail "Escape did not close the preview"
    fi
fi
kill "$preview" 2>/dev/null || true

# --- 3: the Home pane, as small as the window goes, in English and in German ---------------
home_pane() {  # language; leaves the program running as $home_pid
    if [[ $1 == de ]]; then
        LANGUAGE=de LC_ALL=de_DE.UTF-8 "$vorrel" >"$work/vorrel-$1.log" 2>&1 &
    else
        LANGUAGE=en LC_ALL=C.UTF-8 "$vorrel" >"$work/vorrel-$1.log" 2>&1 &
    fi
    home_pid=$!
    pids+=("$home_pid")
    if ! wait_for 300 has_window vorrel; then
        fail "no vorrel window appeared ($1)"
        return 0
    fi
    declare -F smallest >/dev/null && smallest vorrel
    sleep 1
    shoot "$pictures/$session-home-$1.png"
    local ink
    ink=$(inked "$pictures/$session-home-$1.png" vorrel)
    ((ink > 2000)) || fail "the Home pane looks blank ($1, $ink pixels)"
}
stop() { kill "$1" 2>/dev/null && wait "$1" 2>/dev/null || true; }
home_pane en

# --- 4: a second launch brings the first window to the front --------------------------------
if declare -F launch_token >/dev/null && has_window vorrel; then
    "$quicklook" "$work/files/b-blue.eps" >"$work/quicklook-2.log" 2>&1 &
    other=$!
    pids+=("$other")
    wait_for 300 has_window vorrel-quicklook || fail "no second preview window appeared"
    wait_for 50 is_focused vorrel-quicklook || fail "the preview window did not take the focus: $(focused_app)"
    token=$(launch_token)
    env "$token_variable=$token" "$vorrel" || fail "the second launch failed"
    wait_for 50 is_focused vorrel ||
        fail "a second launch did not focus the first window: $(focused_app) has the focus"
    sleep 0.5  # the compositor's next frame
    shoot "$pictures/$session-second-launch.png"
    stop "$other"
fi
stop "$home_pid"
home_pane de
stop "$home_pid"

if ((failures > 0)); then
    echo "$failures check(s) failed; the pictures are in $pictures" >&2
    exit 1
fi
echo "ok: $session; pictures in $pictures"
