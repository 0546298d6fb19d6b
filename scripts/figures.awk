# The plot script's reading of the figures: run in its folder over its copies of keys.csv,
# counts.csv, fields.csv, reach.csv, replay.csv, curve.csv and headline.txt (docs/figures.md), in
# that order, with -v keys=800 -v most=16 (curve.csv's records per key run 1..most).
# Of keys.csv it reads the sweep's rows and those of keyset requests; of counts.csv, the sweep's.
# Finds each file's columns by its header and checks every figure the picture draws: numbers where
# numbers belong; names (letters, digits and _) where names do, since gnuplot takes them as words;
# each candidate's rows together, in keys.csv's order in every file; no row missing: keys 0..799,
# loads from 0 that count the keys, fields whose values multiply to the descriptors keyed, records
# per key 1..16; of keyset requests, each candidate's keys in order, the candidates in the sweep's
# order, and all 800 where replay.csv's stream is requests; no hits beyond the requests replayed;
# replay.csv's records per key within 1..16, and at that number in curve.csv each candidate's
# hits, the same as in replay.csv, and the limit's.
# Writes gnuplot's data: candidate c's to counts-c.dat, blind-c.dat, fields-c.dat, reach-c.dat and
# curve-c.dat (its hit ratio in % at each number of records per key it was replayed at); the
# first's (the cache key's) load to keys.dat, its random expectation to random.dat, its load on
# the owner's descriptors to requests.dat; each candidate's hits against a random key function in
# points of hit ratio to replay.dat; the random key function's and LRU's hit ratio in % over 1..16
# to curve.dat, the limit's to limit.dat; the fields', bytes' and candidates' tics to tics.gp,
# bytetics.gp and replaytics.gp; the picture's headline to headline, headline.txt as it is to
# verdict.txt; the rest to figures.gp.
# Or prints the first problem, "FILE, line N: WHAT" or a whole file's, and exits 1.
function bad(message) { if (problem == "") problem = FILENAME ", line " FNR ": " message }
function text(column) { return $(at[FILENAME, column]) }
function number(column, whole) {
    if (text(column) !~ (whole ? "^[0-9]+$" : "^[0-9]+(\\.[0-9]+)?([eE][-+]?[0-9]+)?$"))
        bad(column " is not a number: " text(column))
    return text(column) + 0
}
function maybe(column, whole) { return text(column) == "" ? "" : number(column, whole) }  # or empty
function word(column) {
    if (text(column) !~ /^[A-Za-z_][A-Za-z0-9_]*$/) bad(column " is not a name: " text(column))
    return text(column)
}
function differs(what, have, want) {
    if (problem == "" && have != want) problem = what " " have + 0 ", not " want
}
# The busiest of loads[0..keys-1], highest, and the first five keys that hold it, in words.
function crowding(loads,    key, many, list) {
    highest = 0
    for (key = 0; key < keys; key++) if (loads[key] > highest) highest = loads[key]
    for (key = 0; key < keys; key++)
        if (loads[key] == highest && ++many <= 5) list = list (many > 1 ? ", " : "") key
    return sprintf("the busiest, %d descriptors: key%s %s%s", highest, many > 1 ? "s" : "", list,
                   many > 5 ? " and " many - 5 " more" : "")
}
function beyond(hits) {  # hits, or a list of them, past the requests replayed
    if (hits > requests) bad("hits beyond the " requests " requests")
}
BEGIN {
    FS = ","
    need["keys.csv"] = "candidate keyset key load"
    need["counts.csv"] = "candidate keyset load keys random blind"
    need["fields.csv"] = "candidate field values ratio never_read"
    need["reach.csv"] = "candidate byte changes changed"
    need["replay.csv"] = "candidate stream requests ways hits random_hits random_sd lru_hits " \
                         "limit_hits"
    need["curve.csv"] = "candidate ways hits random_hits lru_hits limit_hits"
}
problem != "" { next }  # the first problem is the one told
# The verdict. The picture's headline leaves out the sweep's spread against each baseline (the
# keys-per-load panel draws it); a long line is split after its first "; ", or else its last ", "
# within 150 characters, or, a candidate's verdict, cut after its last reason that fits.
FILENAME == "headline.txt" {
    print > "verdict.txt"
    if (/^(A uniformly random key function would|One as blind as this one would) /) next
    line = $0
    if (length(line) > 150 && line ~ / fails: /) {
        line = substr(line, 1, 150)
        sub(/; [^;]*$/, "; ...", line)
    } else if (length(line) > 150 && !sub(/; /, ";\n", line)) {
        for (i = 149; i > 1; i--)
            if (substr(line, i, 2) == ", ") {
                line = substr(line, 1, i) "\n" substr(line, i + 2); break
            }
    }
    headline = headline (headline == "" ? "" : "\n") line
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
# The owner's distinct descriptors: each candidate's keys, in the sweep's order of candidates.
FILENAME == "keys.csv" && text("keyset") == "requests" {
    if (word("candidate") != owner) {
        owner = text("candidate"); o++
        if (name[o] != owner) bad(owner " where " (o in name ? name[o] : "no candidate") \
                                  " belongs, as in the sweep's rows")
    }
    row = owned[o]++
    if (number("key", 1) != row) bad("key " text("key") " where key " row " belongs")
    if (o == 1) { load[row] = number("load", 1); print row, load[row] > "requests.dat" }
    next
}
(FILENAME, "keyset") in at && text("keyset") != "sweep" { next }  # else the sweep's alone
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
    total[c] += number("load", 1)
    if (c == 1) { swept[row] = number("load", 1); print row, swept[row] > "keys.dat" }
}
FILENAME == "counts.csv" {
    if (number("load", 1) != row) bad("load " text("load") " where load " row " belongs")
    counted[c] += number("keys", 1)
    print row, number("keys", 1) > ("counts-" c ".dat")
    if (row > right) right = row
    if (c == 1) print row, number("random") > "random.dat"
    if (text("blind") != "" && number("blind") > 0) {
        print row, number("blind") > ("blind-" c ".dat"); blind[c] = 1
    }
}
FILENAME == "reach.csv" {  # the share of a byte's changes that changed the key
    if (text("byte") !~ /^[a-z]+(\[[0-9]+\])?$/) bad("byte is not a byte's name: " text("byte"))
    if (number("changes", 1) == 0 || number("changed", 1) > number("changes", 1))
        bad("changed " text("changed") " of " text("changes") " changes")
    if (c == 1) bytetics = bytetics (row ? ", " : "") "\"" text("byte") "\" " row
    print row, number("changed", 1) / number("changes", 1) > ("reach-" c ".dat")
}
# A row per candidate; the baselines, the same on each, from the first. A candidate's points: its
# hits less a random key function's expected hits, in hundredths of the requests.
FILENAME == "replay.csv" {
    requests = number("requests", 1)
    if (requests == 0) { bad("no requests replayed"); next }
    beyond(number("hits", 1)); beyond(number("random_hits")); beyond(number("lru_hits", 1))
    beyond(number("limit_hits", 1))
    if (text("stream") !~ /^(default|requests)$/)
        bad("stream is neither default nor requests: " text("stream"))
    replayed[c] = number("hits", 1)
    points[c] = 100 * (replayed[c] - number("random_hits")) / requests
    print c - 1, points[c] > "replay.dat"
    if (c == 1) {
        stream = text("stream"); ways = number("ways", 1); sd = 100 * number("random_sd") / requests
        expected = 100 * number("random_hits") / requests
        if (ways < 1 || ways > most) bad("ways is not 1 to " most ": " ways)
    }
}
# Rows 1..16 records per key a candidate; its hits where it was replayed at that number; the
# baselines, the same on each, from the first. Hit ratios in %.
FILENAME == "curve.csv" {
    if (number("ways", 1) != row + 1) bad("ways " text("ways") " where ways " row + 1 " belongs")
    hits = maybe("hits", 1); limit = maybe("limit_hits", 1)
    beyond(hits); beyond(number("random_hits")); beyond(number("lru_hits", 1)); beyond(limit)
    if (hits != "") print row + 1, 100 * hits / requests > ("curve-" c ".dat")
    if (row + 1 == ways && hits == "") bad("no hits at the cache's " ways " records per key")
    else if (row + 1 == ways && c in replayed && hits != replayed[c])
        bad("hits " hits " at the cache's " ways " records per key, replay.csv's " replayed[c])
    if (row + 1 == ways && limit == "") bad("no limit_hits at the cache's " ways " records per key")
    if (c == 1) {
        print row + 1, 100 * number("random_hits") / requests,
            100 * number("lru_hits", 1) / requests > "curve.dat"
        if (limit != "") print row + 1, 100 * limit / requests > "limit.dat"
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
    differs("curve.csv holds candidates:", groups["curve.csv"], groups["keys.csv"])
    for (c = 1; c <= groups["keys.csv"]; c++) {
        differs("keys.csv holds keys of " name[c] ":", rows["keys.csv", c], keys)
        if (stream == "requests")
            differs("keys.csv holds keys of " name[c] " on the requests:", owned[c], keys)
        differs("counts.csv counts keys of " name[c] ":", counted[c], keys)
        differs("fields.csv holds fields of " name[c] ":", rows["fields.csv", c],
                rows["fields.csv", 1])
        differs("reach.csv holds bytes of " name[c] ":", rows["reach.csv", c], rows["reach.csv", 1])
        differs("replay.csv holds rows of " name[c] ":", rows["replay.csv", c], 1)
        differs("curve.csv holds records per key of " name[c] ":", rows["curve.csv", c], most)
        if (problem == "" && product[c] != total[c])
            problem = "the values of the fields of " name[c] " in fields.csv multiply to " \
                      product[c] ", not the " total[c] " descriptors keyed"
        blinds = blinds (c > 1 ? " " : "") blind[c] + 0
    }
    if (problem != "") { print problem; exit 1 }
    printf "%s", headline > "headline"
    busiest = crowding(swept)
    printf "mean = %.17g; highest = %d; right = %d; candidates = %d\n", total[1] / keys, highest,
        right, groups["keys.csv"] > "figures.gp"
    printf "names = \"%s\"; blind = \"%s\"\n", list, blinds > "figures.gp"
    printf "busiest = \"%s; %s\"\n", name[1], busiest > "figures.gp"
    printf "set xtics (%s)\n", tics > "tics.gp"  # the fields' panel's
    printf "set xtics (%s)\n", bytetics > "bytetics.gp"  # the reach panel's
    # The replay panel's tics, each candidate's name and hit ratio ("%%": gnuplot reads a tic's
    # label as a format); its scale: the candidates' points, 0 and the sd's band, a margin for the
    # labels, and above, for the key.
    low = -sd; high = sd
    for (c = 1; c <= groups["keys.csv"]; c++) {
        if (points[c] < low) low = points[c]
        if (points[c] > high) high = points[c]
        replaytics = replaytics (c > 1 ? ", " : "") sprintf("\"%s\\n%.2f%%%%\" %d", name[c],
            100 * replayed[c] / requests, c - 1)
    }
    printf "set xtics (%s)\n", replaytics > "replaytics.gp"
    printf "low = %.17g; high = %.17g; sd = %.17g; expected = %.17g\n", low - 0.2 * (high - low),
        high + 0.35 * (high - low), sd, expected > "figures.gp"
    printf "replayed = \"%s\"; requests = %d; ways = %d; owners = %d\n",
        stream == "default" ? "the default stream" : "the owner's requests", requests, ways,
        (stream == "requests") > "figures.gp"
    if (stream != "requests") exit 0
    for (key = 0; key < keys; key++) described += load[key]
    crowded = crowding(load)
    printf "described = %d; top = %d; crowded = \"%s\"\n", described, highest, crowded \
        > "figures.gp"
}
