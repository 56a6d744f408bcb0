#!/bin/sh
# Whole-process cost of stereo against mono: wall time, CPU time (user and
# system) and peak resident memory (GNU time's "Maximum resident set size")
# of tesselin run, each
# scene rendered at 800 x 600 once as a single canvas and once as a stereo
# pair, and the ratios.
#
#   bench/stereo_memory.sh [TESSELIN] [--big]
#
# TESSELIN defaults to build/tesselin. The scenes: a torus of 600 x 1000
# facets; with --big also a torus of 3000 x 3000 facets and a text token of
# 1 MB (each takes a minute or more).
set -eu
program=${1:-build/tesselin}
big=${2:-}
[ -x /usr/bin/time ] || { echo "needs GNU time (Debian package time)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mono_canvas='canvas 800 600 persp 30 1 100 10'
stereo_canvas='canvas 800 600 0 persp 30 1 100 10 0.5 0'
scene_torus='clear 0.1 0.1 0.2
light -1 1 1
diffuse 0.8 0.3 0.2'

# measure NAME CANVAS BODY: prints "wall-seconds kilobytes cpu-seconds"
measure() {
    printf '%s\n%s\nfinish\n' "$2" "$3" > "$work/$1.tsl"
    /usr/bin/time -f '%e %M %U %S' -o "$work/$1.time" "$program" run "$work/$1.tsl" -o "$work/$1.png" 2> "$work/$1.err" ||
        { echo "$1 failed:" >&2; cat "$work/$1.err" >&2; }
    awk '{ printf "%s %s %.2f\n", $1, $2, $3 + $4 }' "$work/$1.time"
}

compare() {
    name=$1 body=$2
    set -- $(measure "$name-mono" "$mono_canvas" "$body") $(measure "$name-stereo" "$stereo_canvas" "$body")
    awk -v n="$name" -v mt="$1" -v mm="$2" -v mc="$3" -v st="$4" -v sm="$5" -v sc="$6" 'BEGIN {
        printf "%-20s mono %6.2f s (cpu %6.2f s) %7.1f MB   stereo %6.2f s (cpu %6.2f s) %7.1f MB\n", n, mt, mc, mm / 1024, st, sc, sm / 1024
        printf "%-20s stereo/mono: wall time %.2f x, cpu time %.2f x, peak memory %.2f x\n", "", st / mt, sc / mc, sm / mm }'
}

compare "torus 600 x 1000" "$scene_torus
torus 2 0 360 600 x 360 1000 x"
if [ "$big" = --big ]; then
    compare "torus 3000 x 3000" "$scene_torus
torus 2 0 360 3000 x 360 3000 x"
    token=$(head -c 1000000 /dev/zero | tr '\0' W)
    compare "text token of 1 MB" "clear 0 0 0
scale 0.01 0.01 0.01
text 0 0 1 $token"
fi
