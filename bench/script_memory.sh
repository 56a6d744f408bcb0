#!/usr/bin/env bash
# Peak memory (and time) of tesselin run against the length of its script,
# measured with /usr/bin/time -v. Usage: bench/script_memory.sh [BUILD_DIR]
# A script's length should cost nothing: every row should show about the same
# peak as the one-line script.
set -euo pipefail
build=${1:-build}
program=$(realpath "$build/tesselin")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 - "$work" <<'PY'
import sys
d = sys.argv[1]
mono = 'canvas 200 200 persp 30 1 100 10\n'
scripts = {
    'one-command': mono + 'light 1 1 1\nfinish\n',
    'light-x1M': mono + 'light 1 1 1\n' * 1000000 + 'finish\n',
    'disk-x1M': mono + 'disk 0 1 8 1\n' * 1000000 + 'finish\n',
    'disk-x3M': mono + 'disk 0 1 8 1\n' * 3000000 + 'finish\n',
    'comments-45MB': 'canvas 100 100\n' + ('# ' + 'x' * 60 + '\n') * (45 * 2**20 // 63),
    'short-lines-45MB': 'canvas 100 100\n' + '#\n' * (45 * 2**20 // 2),
}
for name, text in scripts.items():
    open(f'{d}/{name}.tsl', 'w').write(text)
PY

printf '%-18s %10s %12s\n' script seconds peak-KB
for script in one-command light-x1M disk-x1M disk-x3M comments-45MB short-lines-45MB; do
    /usr/bin/time -v "$program" run "$work/$script.tsl" -o "$work/out.png" 2>"$work/time.txt" >/dev/null || true
    seconds=$(awk -F': ' '/Elapsed/ {print $2}' "$work/time.txt")
    peak=$(awk -F': ' '/Maximum resident/ {print $2}' "$work/time.txt")
    printf '%-18s %10s %12s\n' "$script" "$seconds" "$peak"
done
