#!/bin/sh
# XFCE's thumbnail service (tumbler) over D-Bus, with Vorrel's thumbnailer entry as the only
# one for EPS files: a file queued there comes back as a thumbnail in the user's cache, which
# tumbler reads through the descriptor of the OUTPUT file it created itself.
# Run under dbus-run-session. Usage: tumbler-service.sh PREFIX   Exit 77: skipped.
set -eu
prefix=$1
tumblerd=$(ls /usr/lib/*/tumbler-1/tumblerd 2>/dev/null | head -n 1 || true)
if [ -z "$tumblerd" ] || ! command -v gdbus >/dev/null; then
    echo "SKIP: tumbler (tumblerd) or gdbus is not installed"
    exit 77
fi

work=$(mktemp -d)
pid=
finish() {
    status=$?
    if [ -n "$pid" ]; then
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    rm -rf "$work"
    exit $status
}
trap finish EXIT

mkdir -p "$work/home" "$work/cache" "$work/data" "$work/share/thumbnailers" "$work/drawings"
sed "s|^TryExec=.*|TryExec=$prefix/bin/vorrel-thumbnailer|; s|^Exec=vorrel-thumbnailer|Exec=$prefix/bin/vorrel-thumbnailer|" \
    "$(dirname "$0")/../../resources/thumbnailer/vorrel.thumbnailer" \
    > "$work/share/thumbnailers/vorrel.thumbnailer"
cat > "$work/drawings/square.eps" <<'EPS'
%!PS-Adobe-3.0 EPSF-3.0
%%BoundingBox: 0 0 144 72
0 0 1 setrgbcolor 10 10 124 52 rectfill
showpage
EPS

export HOME="$work/home" XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data"
# The system's folder too: tumbler finds a picture's type through shared-mime-info there.
export XDG_DATA_DIRS="$work/share:/usr/share"
# Local files only: with gvfs installed, GIO would reach for its daemons and volume monitors,
# which a private session bus started for a test cannot serve. No GStreamer plug-ins: with a
# fresh home, tumbler's video thumbnailer would first scan every installed one.
export GIO_USE_VFS=local GIO_USE_VOLUME_MONITOR=unix GST_PLUGIN_SYSTEM_PATH_1_0="$work/none"
"$tumblerd" > "$work/tumblerd.log" 2>&1 &
pid=$!
gdbus wait --session --timeout 30 org.freedesktop.thumbnails.Thumbnailer1 || { cat "$work/tumblerd.log"; exit 1; }

uri="file://$work/drawings/square.eps"
gdbus call --session --dest org.freedesktop.thumbnails.Thumbnailer1 \
    --object-path /org/freedesktop/thumbnails/Thumbnailer1 \
    --method org.freedesktop.thumbnails.Thumbnailer1.Queue \
    "['$uri']" "['image/x-eps']" normal default 0 > /dev/null

thumbnail="$work/cache/thumbnails/normal/$(printf '%s' "$uri" | md5sum | cut -d' ' -f1).png"
tries=0
while [ ! -s "$thumbnail" ] && [ $tries -lt 600 ]; do
    sleep 0.1
    tries=$((tries + 1))
done
if [ ! -s "$thumbnail" ]; then
    echo "FAIL: no thumbnail at $thumbnail"
    ls -R "$work/cache" || true
    cat "$work/tumblerd.log"
    exit 1
fi
# A PNG of 128 by 64 pixels: the signature, then the IHDR chunk's width and height.
header=$(od -An -tx1 -N24 "$thumbnail" | tr -d ' \n')
case "$header" in
    89504e470d0a1a0a0000000d49484452000000800000004*) echo "PASS: $thumbnail" ;;
    *) echo "FAIL: not a 128-pixel PNG: $header"; exit 1 ;;
esac
