#!/usr/bin/env bash
# Draws the figures `hashFunctionDiagnosis --data DIR` writes (docs/figures.md) as a three-panel PNG:
# hits per key, keys per hit count beside random key functions', and the fields' pairs on one key
# against random. Prints the verdict, DIR/headline.txt, then the output path:
#   scripts/plot-distribution.sh OUT.png DIR
# Every figure is the files'; none is worked out here. It draws nothing, prints nothing on stdout,
# leaves OUT.png as it was and exits 1 with one line naming the first problem: an output path it
# cannot write; a file of keys.csv, counts.csv, fields.csv and headline.txt missing, unreadable or
# over 1 MB; a column the picture needs missing, a row of another width than its header, a
# non-number where a number belongs, or a row missing (keys 0..799, hit counts from 0 counting the
# 800 keys, fields whose values multiply to the descriptors keyed); gnuplot failing or killed. It
# draws from copies in a folder of its own, so no path or text of the caller's becomes gnuplot
# syntax, and renames the whole picture to OUT.png.
set -uo pipefail
me=plot-distribution.sh
out=${1:-build/distribution.png} figures=${2:-build/figures}
drawing=$(cd "$(dirname -- "$0")" && pwd)/distribution.gp  # the panels, drawn from the files made here
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
for file in keys.csv counts.csv fields.csv headline.txt; do
    { [ -f "$figures/$file" ] && [ -r "$figures/$file" ]; } || fail "$figures has no readable $file"
    [ "$(wc -c <"$figures/$file")" -le 1000000 ] || fail "$figures/$file is larger than 1000000 bytes"
    cp -- "$figures/$file" "$work/" 2>"$work/err" || fail "cannot copy $file: $(first_line "$work/err")"
done
cd "$work" || fail "cannot enter $work"

# One pass: the columns found by each header, every figure drawn checked, gnuplot's data written.
awk -v keys=800 '
    function bad(message) { if (problem == "") problem = FILENAME ", line " FNR ": " message }
    function text(name) { return $(at[FILENAME, name]) }
    function get(name, integer) {
        if (text(name) !~ (integer ? "^[0-9]+$" : "^[0-9]+(\\.[0-9]+)?([eE][-+]?[0-9]+)?$"))
            bad(name " is not a number: " text(name))
        return text(name) + 0 }
    BEGIN { FS = ","; product = 1; need["fields.csv"] = "field values ratio never_read"
            need["keys.csv"] = "key hits"; need["counts.csv"] = "hits keys random blind" }
    FILENAME == "headline.txt" {  # the verdict; in the headline, each sentence of figures in two lines
        print > "verdict.txt"; if (FNR > 1) { sub(/; /, ";\n", last); print last > "headline" }
        last = $0; next }
    FNR == 1 { width = NF; for (i = 1; i <= NF; i++) at[FILENAME, $i] = i
        for (i = split(need[FILENAME], names, " "); i > 0; i--)
            if (!((FILENAME, names[i]) in at)) bad("no column " names[i])
        next }
    NF != width { bad(NF " fields, its header " width); next }
    { row = rows[FILENAME]++ }
    FILENAME == "keys.csv" {
        if (get("key", 1) != row) bad("key " text("key") " where key " row " belongs")
        hits[row] = get("hits", 1); total += hits[row]; print row, hits[row] > "keys.dat" }
    FILENAME == "counts.csv" {
        if (get("hits", 1) != row) bad("hits " text("hits") " where " row " belong")
        counted += get("keys", 1); print row, get("keys", 1) > "counts.dat"; print row, get("random") > "random.dat"
        if (text("blind") != "" && get("blind") > 0) { print row, get("blind") > "blind.dat"; blind = 1 } }
    FILENAME == "fields.csv" {
        product *= get("values", 1); if (text("never_read") !~ /^[01]$/) bad("never_read is not 0 or 1")
        print row, text("field"), get("ratio"), text("never_read") > "fields.dat" }
    END {
        if (problem == "" && last == "") problem = "headline.txt has no verdict"
        if (problem == "" && rows["keys.csv"] != keys) problem = "keys.csv holds " rows["keys.csv"] + 0 " keys, not " keys
        if (problem == "" && counted != keys) problem = "counts.csv counts " counted + 0 " keys, not " keys
        if (problem == "" && product != total)
            problem = "the values of the fields in fields.csv multiply to " product ", not the " total " descriptors"
        if (problem != "") { print problem; exit 1 }
        printf "%s", last > "headline"
        for (key = 0; key < keys; key++) if (hits[key] > highest) highest = hits[key]
        for (key = 0; key < keys; key++) if (hits[key] == highest && ++many <= 5) list = list (many > 1 ? ", " : "") key
        printf "mean = %.17g; highest = %d; right = %d; fields = %d; blind = %d\n", total / keys, highest,
            rows["counts.csv"] - 1, rows["fields.csv"], blind > "figures.gp"
        printf "busiest = \"the busiest, %d hits: key%s %s%s\"\n", highest, (many > 1 ? "s" : ""), list,
            (many > 5 ? " and " many - 5 " more" : "") > "figures.gp"
    }' keys.csv counts.csv fields.csv headline.txt >problem 2>&1 || fail "the figures in $figures: $(first_line problem)"
: >>blind.dat
# The braces keep bash's own notice of a gnuplot ended by a signal off stderr.
{ gnuplot "$drawing" >gnuplot.out 2>gnuplot.err; status=$?; } 2>/dev/null
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
