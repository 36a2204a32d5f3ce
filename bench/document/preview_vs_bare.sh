#!/bin/sh
# preview_vs_bare.sh [PREFIX] [ROUNDS] — whole-program costs of vorrel-quicklook --headless against
# bare Ghostscript, on files written here:
#  - a document of 1, 10 and 300 pages: a cold preview (cache emptied) against bare pdfwrite;
#  - an EPS drawing: a cold preview against bare gs pdfwrite with -dEPSCrop;
#  - a cached look at the 10-page document: exec to its JSON line.
# Each figure is the least wall time of ROUNDS runs (default 5), in milliseconds: on a busy
# machine the least disturbed run says the most. PREFIX defaults to build/release/prefix.
set -eu
prefix=${1:-build/release/prefix}
rounds=${2:-5}
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

ms() {  # the least wall time of `rounds` runs of the command, after `setup` before each
    best=
    i=0
    while [ "$i" -lt "$rounds" ]; do
        $setup
        start=$(date +%s%N)
        "$@" >/dev/null 2>&1
        end=$(date +%s%N)
        t=$(( (end - start) / 1000000 ))
        if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
        i=$((i + 1))
    done
    echo "$best"
}

emptyCache() { rm -rf "$work/cache"; }
nothing() { :; }

printf '%-28s %10s %10s %8s\n' "file" "vorrel" "bare gs" "ratio"
for pages in 1 10 300; do
    document "$pages" > "$work/doc$pages.ps"
    setup=emptyCache; ours=$(ms "$quicklook" --headless "$work/doc$pages.ps")
    setup=nothing; bare=$(ms gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite \
        -sOutputFile="$work/bare.pdf" "$work/doc$pages.ps")
    printf '%-28s %10d %10d %8s\n' "document, $pages pages" "$ours" "$bare" \
        "$(awk -v a="$ours" -v b="$bare" 'BEGIN { printf "%.2f", a / b }')"
done
{ printf '%%!PS-Adobe-3.0 EPSF-3.0\n%%%%BoundingBox: 0 0 400 300\n'
  i=0; while [ $i -lt 2000 ]; do echo "$((i % 400)) $((i % 300)) moveto 40 30 rlineto stroke"; i=$((i + 1)); done
  echo showpage; } > "$work/drawing.eps"
setup=emptyCache; ours=$(ms "$quicklook" --headless "$work/drawing.eps")
setup=nothing; bare=$(ms gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -dEPSCrop \
    -sOutputFile="$work/bare.pdf" "$work/drawing.eps")
printf '%-28s %10d %10d %8s\n' "EPS drawing, cold" "$ours" "$bare" \
    "$(awk -v a="$ours" -v b="$bare" 'BEGIN { printf "%.2f", a / b }')"
"$quicklook" --headless "$work/doc10.ps" >/dev/null 2>&1
setup=nothing; cached=$(ms "$quicklook" --headless "$work/doc10.ps")
startup=$(ms "$quicklook" --version)
printf '%-28s %10d %10s\n' "cached look, exec to JSON" "$cached" "-"
printf '%-28s %10d %10s\n' "start-up only (--version)" "$startup" "-"
