#!/usr/bin/env bash
# Draws the figures `hashFunctionDiagnosis --data DIR` writes (docs/figures.md) as a PNG of six
# panels: the cache key's descriptors per key (load); every candidate's keys per load beside a
# random key function's; every candidate's fields against random; which bytes reach each
# candidate's key; each one's hits in the replay against a random key function, in points of hit
# ratio, within the random key tables' sd; and the hit ratio over 1 to 16 records per key, each
# candidate's beside a random key function's, LRU's and the limit's. A seventh where the stream
# replayed is the owner's requests (--requests): their distinct descriptors per key under the cache
# key. Its headline is DIR/headline.txt's answer, causes and verdicts. Prints DIR/headline.txt,
# then the output path:
#   scripts/plot-distribution.sh OUT.png DIR
# Every figure is the files'; all it works out of them is shares, differences in points of hit
# ratio, a mean and the busiest keys. It draws nothing, prints nothing on stdout, leaves OUT.png as
# it was and exits 1 with one line naming the first problem: an output path it cannot write;
# keys.csv, counts.csv, fields.csv, reach.csv, replay.csv, curve.csv or headline.txt missing,
# unreadable or over 4 MB; a column missing, a row of another width than its header, a non-number
# or a non-name where one belongs, a candidate's rows apart or out of keys.csv's order, a row
# missing (keys 0..799, on the owner's requests too where those were replayed; loads from 0
# counting the 800 keys; fields whose values multiply to the descriptors keyed; records per key
# 1..16); hits beyond the requests replayed; replay.csv's records per key outside 1..16, or
# curve.csv without each candidate's hits at that number, as in replay.csv, or the limit's there;
# gnuplot failing. It draws from copies in a folder of its own, in which no text of the caller's
# becomes gnuplot syntax, and renames the whole picture to OUT.png.
set -uo pipefail
me=plot-distribution.sh
out=${1:-build/distribution.png} figures=${2:-build/figures}
here=$(cd "$(dirname -- "$0")" && pwd)  # beside this script: figures.awk and distribution.gp
fail() { echo "$me: $*" >&2; exit 1; }
first_line() { head -n 1 "$1" 2>/dev/null | cut -c 1-200 | grep . || echo "no message"; }

folder=$(dirname -- "$out")
[ -d "$folder" ] || fail "the output folder $folder does not exist"
if [ -d "$out" ]; then fail "the output path $out is a folder"
elif [ -e "$out" ] && [ ! -f "$out" ]; then fail "the output path $out is not a regular file"
elif [ -e "$out" ] && [ ! -w "$out" ]; then fail "the output file $out is not writable"; fi
work=$(mktemp -d 2>/dev/null) || fail "cannot make a temporary folder in ${TMPDIR:-/tmp}"
staged=  # the picture's copy beside its destination, until it takes the destination's name
trap 'rm -rf "$work"; [ -z "$staged" ] || rm -f "$staged"' EXIT
for file in keys.csv counts.csv fields.csv reach.csv replay.csv curve.csv headline.txt; do
    { [ -f "$figures/$file" ] && [ -r "$figures/$file" ]; } || fail "$figures has no readable $file"
    [ "$(wc -c <"$figures/$file")" -le 4000000 ] || fail "$figures/$file is larger than 4000000 bytes"
    cp -- "$figures/$file" "$work/" 2>"$work/err" || fail "cannot copy $file: $(first_line "$work/err")"
done
cd "$work" || fail "cannot enter $work"

# The figures read and checked, and gnuplot's data written, by awk's own program beside this one.
awk -v keys=800 -v most=16 -f "$here/figures.awk" keys.csv counts.csv fields.csv reach.csv \
    replay.csv curve.csv headline.txt >problem 2>&1 ||
    fail "the figures in $figures: $(first_line problem)"
# The braces keep bash's own notice of a gnuplot ended by a signal off stderr.
{ gnuplot "$here/distribution.gp" >gnuplot.out 2>gnuplot.err; status=$?; } 2>/dev/null
if [ "$status" -gt 128 ]; then fail "gnuplot was killed by signal $(kill -l $((status - 128)))"
elif [ "$status" -ne 0 ]; then fail "gnuplot could not draw: $(first_line gnuplot.err)"; fi
whole=89504e470d0a1a0a0000000049454e44ae426082  # a PNG's signature, and its closing IEND chunk
[ "$({ head -c 8 distribution.png; tail -c 12 distribution.png; } | od -An -tx1 | tr -d ' \n')" = $whole ] ||
    fail "gnuplot wrote no whole picture in $work: $(first_line gnuplot.err)"
cd - >/dev/null || fail "cannot go back to the folder it started in"

# Into place only whole: copied beside the destination, then renamed over it, at once or not at all.
staged=$(mktemp -- "$folder/.distribution.png.XXXXXX" 2>"$work/err") ||
    fail "cannot write in $folder: $(first_line "$work/err")"
cat "$work/distribution.png" >"$staged" 2>"$work/err" ||
    fail "cannot write the picture in $folder: $(first_line "$work/err")"
chmod -- "$(printf '%o' $((0666 & ~$(umask))))" "$staged" 2>/dev/null || true
mv -fT -- "$staged" "$out" 2>"$work/err" || fail "cannot name the picture $out: $(first_line "$work/err")"
staged=
cat "$work/verdict.txt"
echo "$out"
