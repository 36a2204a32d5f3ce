#!/bin/bash
# preview_vs_bare.sh [PREFIX] [ROUNDS] — whole-program costs of vorrel-quicklook --headless against
# bare Ghostscript, on files written here:
#  - a document of 1, 10 and 300 pages: a cold preview (cache emptied) against bare pdfwrite;
#    target: at most 1.1 times bare; and a page of text alone, as most documents begin;
#  - an EPS drawing: a cold preview against bare gs pdfwrite with -dEPSCrop; target: at most
#    bare gs + one start of the program (--version, last line);
#  - a cached look at the 10-page document, from exec to its JSON line on standard output;
#    target: at most 50 ms.
# Each figure is the median of ROUNDS runs (default 7), in milliseconds of wall time; the runs
# of each pair alternate, so that a machine busy for a while burdens both alike. The last column
# is the ratio of the best runs of each: on a machine whose speed wanders (a virtual machine
# whose processors share a core with others) it moves less than the medians' ratio. PREFIX
# defaults to build/release/prefix. The clock is bash's own (EPOCHREALTIME): reading it starts
# no process, so the figures hold the programs' time alone.
set -eu
if [ -z "${EPOCHREALTIME:-}" ]; then exec bash "$0" "$@"; fi
prefix=${1:-build/release/prefix}
rounds=${2:-7}
quicklook="$prefix/bin/vorrel-quicklook"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
export XDG_CACHE_HOME="$work/cache" XDG_CONFIG_HOME="$work/config"

document() {  # pages
    awk -v n="$1" 'BEGIN {
        printf "%%!PS-Adobe-3.0\n%%%%Pages: %d\n%%%%EndComments\n", n
        for (p = 1; p <= n; p++) {
            printf "%%%%Page: %d %d\n0.8 0.9 1 setrgbcolor 50 50 495 742 rectfill 0 setgray\n", p, p
            printf "/Helvetica findfont 12 scalefont setfont\n"
            for (l = 0; l < 40; l++)
                printf "72 %d moveto (Line %d of page %d: the quick brown fox jumps) show\n", 800 - 18 * l, l, p
            printf "showpage\n"
        }
        printf "%%%%EOF\n" }'
}

# The wall time of one run of the command, in ms; `before` runs first, untimed.
once() {
    $before
    local start=${EPOCHREALTIME/[.,]/}
    "$@" >/dev/null 2>&1
    local end=${EPOCHREALTIME/[.,]/}
    echo $(( (end - start) / 1000 ))
}

# Exec to the first line on standard output, in ms (the exit is waited for, not timed):
# the program is the shell's co-process, so nothing but its own start lies between the clock
# readings.
toFirstLine() {
    local start=${EPOCHREALTIME/[.,]/} line end output
    coproc "$@" 2>/dev/null
    exec {output}<&"${COPROC[0]}"
    IFS= read -r line <&"$output" || true
    end=${EPOCHREALTIME/[.,]/}
    cat <&"$output" >/dev/null
    exec {output}<&-
    wait
    echo $(( (end - start) / 1000 ))
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
best() { sort -n | head -n 1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

emptyCache() { rm -rf "$work/cache"; }
nothing() { :; }

# pair NAME -- OURS... -- BARE...: alternating runs of both; prints the medians and their ratio.
pair() {
    name=$1; shift 2
    ours=""; bare=""
    for arg in "$@"; do
        if [ "$arg" = "--" ]; then break; fi
        ours="$ours $arg"; shift
    done
    shift
    : > "$work/ours"; : > "$work/bare"
    # One untimed run of each first: the libraries and the file in the page cache for both.
    before=emptyCache; once $ours > /dev/null
    before=nothing; once "$@" > /dev/null
    i=0
    while [ "$i" -lt "$rounds" ]; do
        before=emptyCache; once $ours >> "$work/ours"
        before=nothing; once "$@" >> "$work/bare"
        i=$((i + 1))
    done
    a=$(median < "$work/ours"); b=$(median < "$work/bare")
    printf '%-30s %9d %9d %7s %7s\n' "$name" "$a" "$b" "$(ratio "$a" "$b")" \
        "$(ratio "$(best < "$work/ours")" "$(best < "$work/bare")")"
}

printf '%-30s %9s %9s %7s %7s\n' "median of $rounds runs, ms" "vorrel" "bare gs" "ratio" "best"
for pages in 1 10 300; do
    document "$pages" > "$work/doc$pages.ps"
    pair "document, $pages pages" -- "$quicklook" --headless "$work/doc$pages.ps" -- \
        gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOutputFile="$work/bare.pdf" \
        "$work/doc$pages.ps"
done
awk 'BEGIN { printf "%%!PS-Adobe-3.0\n%%%%Pages: 1\n%%%%EndComments\n%%%%Page: 1 1\n"
    printf "/Times-Roman findfont 10 scalefont setfont\n"
    for (l = 0; l < 60; l++) printf "72 %d moveto (Line %d: the quick brown fox jumps over the lazy dog.) show\n", 780 - 12 * l, l
    printf "showpage\n%%%%EOF\n" }' > "$work/text.ps"
pair "document, a page of text" -- "$quicklook" --headless "$work/text.ps" -- \
    gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOutputFile="$work/bare.pdf" "$work/text.ps"
{ printf '%%!PS-Adobe-3.0 EPSF-3.0\n%%%%BoundingBox: 0 0 400 300\n'
  i=0; while [ $i -lt 2000 ]; do echo "$((i % 400)) $((i % 300)) moveto 40 30 rlineto stroke"; i=$((i + 1)); done
  echo showpage; } > "$work/drawing.eps"
pair "EPS drawing, cold" -- "$quicklook" --headless "$work/drawing.eps" -- \
    gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -dEPSCrop -sOutputFile="$work/bare.pdf" \
    "$work/drawing.eps"

"$quicklook" --headless "$work/doc10.ps" >/dev/null 2>&1
: > "$work/cached"; : > "$work/startup"
i=0
while [ "$i" -lt "$rounds" ]; do
    toFirstLine "$quicklook" --headless "$work/doc10.ps" >> "$work/cached"
    before=nothing; once "$quicklook" --version >> "$work/startup"
    i=$((i + 1))
done
printf '%-30s %9d %9s %7s %7s\n' "cached look, exec to JSON" "$(median < "$work/cached")" "-" "-" "-"
printf '%-30s %9d %9s %7s %7s\n' "start-up only (--version)" "$(median < "$work/startup")" "-" "-" "-"
