# The plot script's reading of the figures: run in its folder over its copies of keys.csv,
# counts.csv, fields.csv, reach.csv, replay.csv and headline.txt (docs/figures.md), in that order,
# with -v keys=800; of keys.csv and counts.csv, the sweep's rows alone.
# Finds each file's columns by its header and checks every figure the picture draws: numbers where
# numbers belong; names (letters, digits and _) where names do, since gnuplot takes them as words;
# each candidate's rows together, in keys.csv's order in every file; keys 0..799, hit counts from 0
# that count the keys, fields whose values multiply to the descriptors keyed. Writes gnuplot's data:
# candidate c's to counts-c.dat, blind-c.dat and fields-c.dat; the first's (the cache key's) hits
# to keys.dat and its random expectation to random.dat; the fields' names to tics.gp; each
# candidate's hit ratio in the replay to replay.dat, the baselines' to baselines.dat, their names
# to replaytics.gp; the rest to figures.gp. Or prints the first problem, "FILE, line N: WHAT" or a whole file's, and exits 1.
function bad(message) { if (problem == "") problem = FILENAME ", line " FNR ": " message }
function text(column) { return $(at[FILENAME, column]) }
function number(column, whole) {
    if (text(column) !~ (whole ? "^[0-9]+$" : "^[0-9]+(\\.[0-9]+)?([eE][-+]?[0-9]+)?$"))
        bad(column " is not a number: " text(column))
    return text(column) + 0
}
function word(column) {
    if (text(column) !~ /^[A-Za-z_][A-Za-z0-9_]*$/) bad(column " is not a name: " text(column))
    return text(column)
}
function differs(what, have, want) {
    if (problem == "" && have != want) problem = what " " have + 0 ", not " want
}
BEGIN {
    FS = ","
    need["keys.csv"] = "candidate keyset key hits"
    need["counts.csv"] = "candidate keyset hits keys random blind"
    need["fields.csv"] = "candidate field values ratio never_read"
    need["reach.csv"] = "candidate byte changes changed"
    need["replay.csv"] = "candidate stream requests ways hits random_hits random_sd lru_hits limit_hits"
}
FILENAME == "headline.txt" {  # the verdict; in the picture, a long line split after its first "; "
    print > "verdict.txt"      # or, a candidate's verdict, cut after its last reason that fits
    line = $0
    if (length(line) > 150 && line ~ / fails: /) {
        line = substr(line, 1, 150)
        sub(/; [^;]*$/, "; ...", line)
    } else if (length(line) > 150) {
        sub(/; /, ";\n", line)
    }
    headline = headline (FNR > 1 ? "\n" : "") line
    next
}
FNR == 1 {
    width = NF; c = 0; current = ""
    for (i = 1; i <= NF; i++) at[FILENAME, $i] = i
    for (i = split(need[FILENAME], columns, " "); i > 0; i--)
        if (!((FILENAME, columns[i]) in at)) bad("no column " columns[i])
    next
}
NF != width { bad(NF " fields, its header " width); next }
(FILENAME, "keyset") in at && text("keyset") != "sweep" { next }  # the picture is the sweep's
word("candidate") != current {  # the next candidate's rows begin
    current = text("candidate"); c++
    if (FILENAME == "keys.csv") {
        if (current in seen) bad("the rows of " current " lie apart")
        seen[current]; name[c] = current; list = list (c > 1 ? " " : "") current
    } else if (name[c] != current) {
        bad(current " where " (c in name ? name[c] : "no candidate") " belongs, as in keys.csv")
    }
}
{ groups[FILENAME] = c; row = rows[FILENAME, c]++ }
FILENAME == "keys.csv" {
    if (number("key", 1) != row) bad("key " text("key") " where key " row " belongs")
    total[c] += number("hits", 1)
    if (c == 1) { hits[row] = number("hits", 1); print row, hits[row] > "keys.dat" }
}
FILENAME == "counts.csv" {
    if (number("hits", 1) != row) bad("hits " text("hits") " where " row " belong")
    counted[c] += number("keys", 1)
    print row, number("keys", 1) > ("counts-" c ".dat")
    if (row > right) right = row
    if (c == 1) print row, number("random") > "random.dat"
    if (text("blind") != "" && number("blind") > 0) { print row, number("blind") > ("blind-" c ".dat"); blind[c] = 1 }
}
FILENAME == "reach.csv" {  # the share of a byte's changes that changed the key
    if (text("byte") !~ /^[a-z]+(\[[0-9]+\])?$/) bad("byte is not a byte's name: " text("byte"))
    if (number("changes", 1) == 0 || number("changed", 1) > number("changes", 1))
        bad("changed " text("changed") " of " text("changes") " changes")
    if (c == 1) bytetics = bytetics (row ? ", " : "") "\"" text("byte") "\" " row
    print row, number("changed", 1) / number("changes", 1) > ("reach-" c ".dat")
}
FILENAME == "replay.csv" {  # a row per candidate; the baselines, the same on each, from the first
    requests = number("requests", 1)
    if (requests == 0 || number("hits", 1) > requests || number("lru_hits", 1) > requests ||
        number("limit_hits", 1) > requests || number("random_hits") > requests)
        bad("hits beyond the " text("requests") " requests")
    if (text("stream") !~ /^(default|requests)$/) bad("stream is neither default nor requests: " text("stream"))
    print c - 1, number("hits", 1) / requests > "replay.dat"
    if (c == 1) {
        stream = text("stream"); ways = number("ways", 1)
        printf "%d %.17g %.17g\n%d %.17g 0\n%d %.17g 0\n", 0, number("random_hits") / requests,
            number("random_sd") / requests, 1, number("lru_hits", 1) / requests, 2,
            number("limit_hits", 1) / requests > "baselines.dat"
    }
}
FILENAME == "fields.csv" {
    product[c] = (row ? product[c] : 1) * number("values", 1)
    if (text("never_read") !~ /^[01]$/) bad("never_read is not 0 or 1")
    if (c == 1) tics = tics (row ? ", " : "") "\"" word("field") "\" " row
    print row, number("ratio"), text("never_read") > ("fields-" c ".dat")
}
END {
    if (problem == "" && headline == "") problem = "headline.txt has no verdict"
    if (problem == "" && groups["keys.csv"] == 0) problem = "keys.csv holds no candidate"
    differs("counts.csv holds candidates:", groups["counts.csv"], groups["keys.csv"])
    differs("fields.csv holds candidates:", groups["fields.csv"], groups["keys.csv"])
    differs("reach.csv holds candidates:", groups["reach.csv"], groups["keys.csv"])
    differs("replay.csv holds candidates:", groups["replay.csv"], groups["keys.csv"])
    for (c = 1; c <= groups["keys.csv"]; c++) {
        differs("keys.csv holds keys of " name[c] ":", rows["keys.csv", c], keys)
        differs("counts.csv counts keys of " name[c] ":", counted[c], keys)
        differs("fields.csv holds fields of " name[c] ":", rows["fields.csv", c], rows["fields.csv", 1])
        differs("reach.csv holds bytes of " name[c] ":", rows["reach.csv", c], rows["reach.csv", 1])
        differs("replay.csv holds rows of " name[c] ":", rows["replay.csv", c], 1)
        if (problem == "" && product[c] != total[c])
            problem = "the values of the fields of " name[c] " in fields.csv multiply to " product[c] \
                      ", not the " total[c] " descriptors keyed"
        blinds = blinds (c > 1 ? " " : "") blind[c] + 0
    }
    if (problem != "") { print problem; exit 1 }
    printf "%s", headline > "headline"
    for (key = 0; key < keys; key++) if (hits[key] > highest) highest = hits[key]
    for (key = 0; key < keys; key++)
        if (hits[key] == highest && ++many <= 5) busy = busy (many > 1 ? ", " : "") key
    printf "mean = %.17g; highest = %d; right = %d; candidates = %d\n", total[1] / keys, highest, right,
        groups["keys.csv"] > "figures.gp"
    printf "names = \"%s\"; blind = \"%s\"\n", list, blinds > "figures.gp"
    printf "set xtics (%s)\n", tics > "tics.gp"  # the fields' panel's
    printf "set xtics (%s)\n", bytetics > "bytetics.gp"  # the reach panel's
    for (c = 1; c <= groups["keys.csv"]; c++) replaytics = replaytics "\"" name[c] "\" " c - 1 ", "
    printf "set xtics (%s\"random key\" %d, \"LRU\" %d, \"limit\" %d)\n", replaytics, c - 1, c, c + 1 > "replaytics.gp"
    printf "replayed = \"%s\"; ways = %d\n", stream == "default" ? "the default stream" : "the owner's requests",
        ways > "figures.gp"
    printf "busiest = \"%s; the busiest, %d hits: key%s %s%s\"\n", name[1], highest, (many > 1 ? "s" : ""),
        busy, (many > 5 ? " and " many - 5 " more" : "") > "figures.gp"
}
