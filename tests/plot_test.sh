#!/usr/bin/env bash
# The plot script draws the pinned figures of the cache's key function and of a well-mixed one with
# their verdicts, and one more panel for figures replayed from the owner's requests; it refuses
# broken figures and an output path it cannot write in one line naming the problem: exit 1, nothing
# on stdout, the output path left as it was.   plot_test.sh PLOT FIGURES MIXED
set -uo pipefail
plot=$1 figures=$2 mixed=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
as=()        # how the script is run: as this user, or as another one
path=$PATH   # the script's PATH
pics=$work/pics && mkdir "$pics"
echo earlier >"$pics/a.png"  # an earlier picture, writable: the common case

# state PATH: what is at PATH (nothing, a folder, or a file's checksum), and
# what else is beside it.
state() {
    if [ -d "$1" ]; then echo folder; elif [ -p "$1" ]; then echo fifo
    elif [ -e "$1" ]; then cksum <"$1"; else echo none; fi
    ls -A "$(dirname "$1")" 2>/dev/null
}

# refused WHAT STDERR_PATTERN [OUTPUT]: a copy of the cache's figures, edited by the shell commands
# on stdin run in it, handed to the plot script with OUTPUT (an earlier picture), is refused.
refused() {
    local what=$1 pattern=$2 output=${3:-$pics/a.png} before status
    rm -rf "$work/figures" && cp -r "$figures" "$work/figures" && (cd "$work/figures" && bash -e)
    before=$(state "$output")
    "${as[@]}" env PATH="$path" timeout 20 bash "$plot" "$output" "$work/figures" >"$work/out" 2>"$work/err"
    status=$?
    if [ "$status" -ne 1 ] || [ -s "$work/out" ] || [ "$(state "$output")" != "$before" ] ||
        [ "$(wc -l <"$work/err")" -ne 1 ] || ! grep -Eq "^plot-distribution.sh: $pattern\$" "$work/err"; then
        echo "FAIL [$what]: exit $status, stdout $(wc -c <"$work/out") bytes, stderr: $(head -c 300 "$work/err")"
        failures=$((failures + 1))
    fi
}

# Drawn, for each key function, under a name that starts with "-", with the mode the umask leaves,
# and the verdict printed, worked by hand: the cache's counts' squares sum to 57080, so chi-square =
# 57080 / 6 - 4800 = 4713, 5.9 times a random key function's 800 x (1 - 1/800) = 799, which leaves
# 800 x (799/800)^4800 = 2 keys empty; as blind, 2400 inputs twice: 2 x 799 = 1598, 800 x
# (799/800)^2400 = 40 empty. The well-mixed key's squares sum to 33690: 33690 / 6 - 4800 = 815.
# The verdicts' chances from independent models of the keys (Python) and scipy: C(800, e) (1 - e/800)^n
# at e = 88, n = 4800 and e = 9, n = 24000; 1 - (1 - binom.sf(M - 1, n, 1/800))^800 at M = 38 and 27 of
# 4800, 90 and 156 of 24000; chi2.sf(x, 799) at 1748.7, 2050.8, 1471.9 and 1523.5, the rest past a double.
cache_chances="P(empty >= 88) <= 1.3e-124; P(busiest >= 38) = 1.5e-15; P(chi-square >= 4713.3) < 1e-300;\
 names: P(busiest >= 90) = 6.1e-16; names: P(chi-square >= 3388.8) < 1e-300; near: P(empty >= 9) <= 4.2e-98;\
 near: P(busiest >= 156) = 2.4e-56; near: P(chi-square >= 11680.0) < 1e-300; domain: 11875 of 24000 keys\
 (49.5%) outside 0..799 (the first -307, name \"\\xc5\\x82xi\\xd0\\xb6\\xc3\\xb8k\\xc3\\xb8\" \"e\\xc3\\x96\" \"c\", param -122,\
 width 59993, height 8930, flag 238)"
mended_chances="P(busiest >= 27) = 2.3e-07; P(chi-square >= 1748.7) = 7.9e-73; names: P(chi-square >= 2050.8) =\
 6.7e-111; near: P(chi-square >= 1471.9) = 1.8e-42; domain: P(chi-square >= 1523.5) = 9.8e-48"
# The answers, from replay.csv's 240000 requests: the cache's key costs (148053.26 - 143485) /
# 2400 = 1.9 points, 4568.26 / 426.30 = 10.7 sd; 3 records per key (155450 - 148053.26) / 2400 =
# 3.1 points against LRU; mixedKey's 148438 hits are 4953 / 2400 = 2.06 points more, 0.16 past the
# 1.9. The well-mixed key gains (148438 - 148053.26) / 2400 = 0.16 points, 384.74 / 426.30 = 0.9 sd.
layout="3 records per key cost 3.1 points against LRU over 2400 records."
random="A uniformly random key function would leave about 2 of the 800 keys empty, reach a highest count\
 of about 15 and score a chi-square of about 799; this one leaves"
declare -A drawn
drawn[cache]="hashFunction costs 1.9 points against a random key function (10.7 sd); $layout
mixedKey gets back all 1.9 of hashFunction's points, and 0.2 more, on the default stream,\
 and passes its verdict.
$random 88 empty, reaches 38 and scores 4713, 5.9 times the random figure.
One as blind as this one would leave about 40 empty, reach about 20 and score about 1598; this one\
 scores 2.9 times that.
Causes, worst first: never reads flag; height shares keys 133x as often as random, width 45x, name 5.2x,\
 param 3.5x
hashFunction fails: never reads flag; bytes never reaching the key: name[2..18], flag; $cache_chances
mendedKey fails: $mended_chances
mixedKey passes
-cache.png"
drawn[mixed]="hashFunction gains 0.2 points against a random key function (0.9 sd); $layout
No candidate hits more often than hashFunction on the default stream.
$random 1 empty, reaches 14 and scores 815, 1.0 times the random figure.
Causes: none found; the key reads every field, and none shares keys markedly more often than random
hashFunction passes
mendedKey fails: $mended_chances
mixedKey passes
-mixed.png"
for row in "$figures:cache" "$mixed:mixed"; do
    name=${row#*:}
    (cd "$work" && umask 027 && timeout 60 bash "$plot" "-$name.png" "${row%:*}") >"$work/out" 2>"$work/err"
    status=$?
    if [ "$status" -ne 0 ] || [ "$(cat "$work/out")" != "${drawn[$name]}" ] ||
        [ "$(stat -c %a "$work/-$name.png")" != 640 ] ||
        [ "$(head -c 8 "$work/-$name.png" | od -An -tx1 | tr -d ' \n')" != 89504e470d0a1a0a ]; then
        echo "FAIL [drawn, $name]: exit $status, stdout: $(head -c 400 "$work/out"), stderr: $(head -c 300 "$work/err")"
        failures=$((failures + 1))
    fi
done

# Figures as if replayed from the owner's requests: replay.csv's stream requests, and keys.csv's
# rows of keyset requests (the sweep's, copied). Drawn with one more panel, the picture is taller.
owners="sed -i 's/,default,/,requests,/' replay.csv
sed -n 's/,sweep,/,requests,/p' keys.csv >requests && cat requests >>keys.csv && rm requests"
height() { od -An -tu4 --endian=big -j 20 -N 4 "$1" 2>/dev/null | tr -d ' '; }  # a PNG's, from IHDR
rm -rf "$work/owned" && cp -r "$figures" "$work/owned" && (cd "$work/owned" && bash -e <<<"$owners")
timeout 60 bash "$plot" "$work/owned.png" "$work/owned" >"$work/out" 2>"$work/err"
status=$?
if [ "$status" -ne 0 ] || [ "$(tail -n 1 "$work/out")" != "$work/owned.png" ] ||
    ! [ "$(height "$work/owned.png")" -gt "$(height "$work/-cache.png")" ]; then
    echo "FAIL [drawn, the owner's requests]: exit $status, $(height "$work/owned.png") pixels" \
        "high, stderr: $(head -c 300 "$work/err")"
    failures=$((failures + 1))
fi

d=$work/figures in="the figures in $work/figures:"
refused "no counts.csv" "$d has no readable counts.csv" <<<'rm counts.csv'
refused "over 4 MB" "$d/keys.csv is larger than 4000000 bytes" <<<'head -c 4000000 /dev/zero >>keys.csv'
refused "a key's row missing" "$in keys.csv holds keys of mixedKey: 799, not 800" <<<"sed -i '2401d' keys.csv"
refused "the busiest count's row missing" "$in counts.csv counts keys of hashFunction: 797, not 800" \
    <<<"sed -i '/^hashFunction,sweep,38,/d' counts.csv"
refused "a field's row missing" "$in the values of the fields of hashFunction in fields.csv multiply to 2400,\
 not the 4800 descriptors keyed" <<<"sed -i '/^hashFunction,flag,/d' fields.csv"
refused "a candidate's rows apart" "$in keys.csv, line 1601: the rows of hashFunction lie apart" \
    <<<"sed -i '1601s/^mendedKey/hashFunction/' keys.csv"
refused "candidates out of order" "$in counts.csv, line 2: mixedKey where hashFunction belongs, as in keys.csv" \
    <<<"sed -i 's/^hashFunction,/mixedKey,/' counts.csv"
refused "a byte's name that gnuplot would read" "$in reach.csv, line 2: byte is not a byte's name: x\"" \
    <<<"sed -i '2s/,name\\[0\\],/,x\",/' reach.csv"
refused "a name that gnuplot would read" "$in fields.csv, line 2: field is not a name: n\"a" <<<"sed -i '2s/,name,/,n\"a,/' fields.csv"
refused "a row of another width" "$in counts.csv, line 3: 5 fields, its header 6" <<<"sed -i '3s/,[^,]*\$//' counts.csv"
refused "a non-number" "$in keys.csv, line 9: load is not a number: 1e3" \
    <<<"sed -i '9s/,[0-9]*\$/,1e3/' keys.csv"
refused "a column missing" "$in fields.csv, line 1: no column ratio" <<<"sed -i '1s/,ratio,/,times,/' fields.csv"
refused "no replay.csv" "$d has no readable replay.csv" <<<'rm replay.csv'
refused "hits beyond the requests" "$in replay.csv, line 2: hits beyond the 240000 requests" \
    <<<"sed -i '2s/,143485,/,240001,/' replay.csv"
refused "a replay's candidate missing" "$in replay.csv holds candidates: 2, not 3" <<<"sed -i '4d' replay.csv"
refused "records per key past 16" "$in replay.csv, line 2: ways is not 1 to 16: 17" \
    <<<"sed -i '2s/,3,143485,/,17,143485,/' replay.csv"
refused "no curve.csv" "$d has no readable curve.csv" <<<'rm curve.csv'
refused "a curve's column missing" "$in curve.csv, line 1: no column lru_hits" \
    <<<"sed -i '1s/,lru_hits,/,lru,/' curve.csv"
refused "a non-number in the curve" "$in curve.csv, line 3: hits is not a number: 123758.5" \
    <<<"sed -i '3s/,123758,/,123758.5,/' curve.csv"
refused "a curve's candidate missing" \
    "$in curve.csv, line 18: mixedKey where mendedKey belongs, as in keys.csv" \
    <<<"sed -i '/^mendedKey,/d' curve.csv"
refused "the last candidate's curve missing" "$in curve.csv holds candidates: 2, not 3" \
    <<<"sed -i '/^mixedKey,/d' curve.csv"
refused "a number of records per key missing" \
    "$in curve.csv, line 10: ways 10 where ways 9 belongs" \
    <<<"sed -i '10d' curve.csv"
refused "the curve's last row missing" \
    "$in curve.csv holds records per key of mixedKey: 15, not 16" \
    <<<"sed -i '\$d' curve.csv"
refused "hits beyond the requests in the curve" \
    "$in curve.csv, line 17: hits beyond the 240000 requests" \
    <<<"sed -i '17s/,211460,/,240001,/' curve.csv"
refused "no hits at the cache's records per key" \
    "$in curve.csv, line 4: no hits at the cache's 3 records per key" \
    <<<"sed -i '4s/,143485,/,,/' curve.csv"
refused "the curve's hits not the replay's" \
    "$in curve.csv, line 4: hits 143486 at the cache's 3 records per key, replay.csv's 143485" \
    <<<"sed -i '4s/,143485,/,143486,/' curve.csv"
refused "no limit at the cache's records per key" \
    "$in curve.csv, line 4: no limit_hits at the cache's 3 records per key" \
    <<<"sed -i '4s/,193491\$/,/' curve.csv"
refused "the owner's descriptors missing" \
    "$in keys.csv holds keys of hashFunction on the requests: 0, not 800" \
    <<<"sed -i 's/,default,/,requests,/' replay.csv"
refused "the owner's descriptors of a key missing" \
    "$in keys.csv holds keys of mixedKey on the requests: 799, not 800" \
    <<<"$owners"$'\n'"sed -i '/^mixedKey,requests,799,/d' keys.csv"
refused "the owner's descriptors without the cache key's" \
    "$in keys.csv, line 9602: mendedKey where hashFunction belongs, as in the sweep's rows" \
    <<<"$owners"$'\n'"sed -i '/^hashFunction,requests,/d' keys.csv"
refused "missing output folder" "the output folder $work/none does not exist" "$work/none/a.png" <<<':'
mkfifo "$pics/fifo" && mkdir "$pics/folder"
refused "output path not a regular file" "the output path $pics/fifo is not a regular file" "$pics/fifo" <<<':'
refused "output path is a folder" "the output path $pics/folder is a folder" "$pics/folder" <<<':'
# Fails after the picture was staged beside it: the name is too long to rename to.
refused "no staged copy left" 'cannot name the picture .*' "$pics/$(printf '%0300d' 0)" <<<':'
mkdir "$work/stub" && printf '#!/bin/sh\nkill -SEGV $$\n' >"$work/stub/gnuplot" && chmod +x "$work/stub/gnuplot"
path=$work/stub:$PATH refused "gnuplot killed" 'gnuplot was killed by signal SEGV' <<<':'

# A file it may not write, as a user who may not: root may write any file.
shared=$work/shared && mkdir -m 1777 "$shared" && echo earlier >"$shared/kept.png" && chmod 444 "$shared/kept.png"
if [ "$(id -u)" -eq 0 ]; then
    chmod 755 "$work"
    cp "$plot" "$(dirname "$plot")/distribution.gp" "$work/" && chmod 644 "$work"/*.sh && plot=$work/${plot##*/}
    as=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
fi
refused "unwritable output file" "the output file $shared/kept.png is not writable" "$shared/kept.png" <<<':'

[ "$failures" -eq 0 ] && echo "plot: passed"
[ "$failures" -eq 0 ]
