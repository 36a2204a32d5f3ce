#!/bin/sh
# staged_disk.sh [PREFIX] [MB] [ROUNDS] — what a cold preview of a large file costs on disk and
# in time. An EPS drawing of MB megabytes (default 500; its bulk comment lines Ghostscript reads
# past), left alone for a few seconds first (as a file the user looks at is), is previewed
# headless ROUNDS times (default 3) with the cache emptied before each: the most the container's
# scratch folder holds meanwhile (du, polled every 20 ms) and the median wall time, against bare
# gs pdfwrite of the file. PREFIX defaults to build/release/prefix. The file and the cache live
# in one temporary folder (on the file system of $TMPDIR).
set -eu
prefix=${1:-build/release/prefix}
megabytes=${2:-500}
rounds=${3:-3}
quicklook="$prefix/bin/vorrel-quicklook"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
export XDG_CACHE_HOME="$work/cache" XDG_CONFIG_HOME="$work/config"

{ printf '%%!PS-Adobe-3.0 EPSF-3.0\n%%%%BoundingBox: 0 0 100 100\n0 0 moveto 100 100 lineto stroke\n'
  head -c $((megabytes * 1000000)) /dev/zero | tr '\0' 'x' | fold -w 99 | sed 's/^/%/'
  echo showpage; } > "$work/large.eps"
sleep 3  # settled: not changed within the last two seconds

now() { date +%s%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

: > "$work/times"; : > "$work/bare"; peak=0
i=0
while [ "$i" -lt "$rounds" ]; do
    rm -rf "$work/cache"
    start=$(now)
    "$quicklook" --headless "$work/large.eps" >/dev/null 2>&1 &
    pid=$!
    while kill -0 "$pid" 2>/dev/null; do
        held=$(du -sk "$work/cache" 2>/dev/null | cut -f1)
        [ "${held:-0}" -le "$peak" ] || peak=$held
        sleep 0.02
    done
    wait "$pid" || { echo "the preview failed" >&2; exit 1; }
    echo $(( ($(now) - start) / 1000000 )) >> "$work/times"
    start=$(now)
    gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -dEPSCrop -sOutputFile="$work/bare.pdf" \
        "$work/large.eps" >/dev/null 2>&1
    echo $(( ($(now) - start) / 1000000 )) >> "$work/bare"
    i=$((i + 1))
done
printf '%-34s %s MB\n' "source" "$(( $(stat -c %s "$work/large.eps") / 1000000 ))"
printf '%-34s %s MB\n' "cache folder at most (du)" "$((peak / 1000))"
printf '%-34s %s ms\n' "cold preview, median" "$(median < "$work/times")"
printf '%-34s %s ms\n' "bare gs pdfwrite, median" "$(median < "$work/bare")"
