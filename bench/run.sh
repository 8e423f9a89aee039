#!/usr/bin/env bash
# Builds the benchmarks (preset "bench": Release), generates the inputs into
# build/bench-data and prints the engine's ratios against baselines measured
# in this same run. See bench/README.md.
#
# Environment: QVX_BENCH_REPEATS (default 5) runs of every case, medians kept;
# QVX_BENCH_JOBS (default 2) parallel build jobs; QVX_BENCH_SCAN_ROWS (default
# 1000000) rows of the table scanned in ratio 2.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
repeats=${QVX_BENCH_REPEATS:-5}
jobs=${QVX_BENCH_JOBS:-2}
scanRows=${QVX_BENCH_SCAN_ROWS:-1000000}

cmake --preset bench >/dev/null || exit 1
cmake --build --preset bench --target qvx_bench qvx_bench_gen qvx_bench_page qvx -j "$jobs" || exit 1

# The reference dumper of the whole-table row, when it can be had.
if ! command -v pgdbf >/dev/null && [[ $(id -u) == 0 ]]; then
    apt-get install -y pgdbf >/dev/null 2>&1 || echo "(pgdbf could not be installed; its row is skipped)"
fi

bin=build/bench/bench
qvx=build/bench/tools/qvx/qvx
data=build/bench-data
mkdir -p "$data"
echo "Generating inputs in $data ..."
"$bin/qvx_bench_gen" dbf "$data/warm.dbf" 100 &&
    "$bin/qvx_bench_gen" dbf "$data/orders_10k.dbf" 10000 &&
    "$bin/qvx_bench_gen" dbf "$data/orders_100k.dbf" 100000 &&
    "$bin/qvx_bench_gen" dbf "$data/orders_1m.dbf" 1000000 &&
    "$bin/qvx_bench_gen" dbf "$data/scan.dbf" "$scanRows" &&
    "$bin/qvx_bench_gen" xml "$data/orders_100k.xml" 100000 || exit 1
# The same rows as a text table, for the bulk UPDATE row.
if [[ ! -f $data/orders_100k.txt || $data/orders_100k.dbf -nt $data/orders_100k.txt ]]; then
    rm -f "$data/orders_100k.txt" "$data/orders_100k.sch"
    "$bin/qvx_bench" convert "$data" orders_100k.dbf orders_100k.txt || exit 1
fi
# The same rows as a Paradox table, written through the engine (slow, so only
# when the dbf is newer).
if [[ ! -f $data/scan.db || $data/scan.dbf -nt $data/scan.db ]]; then
    rm -f "$data/scan.db"
    "$bin/qvx_bench" convert "$data" scan.dbf scan.db || exit 1
fi

# Every input is read once before any timing, so every case (engine and
# baseline alike) runs from a warm page cache.
cat "$data"/*.dbf "$data"/*.db "$data"/*.xml >/dev/null

declare -A samples # case -> space-separated values of one key
declare -A failed  # case -> first error seen
declare -A rowsOf  # case -> rows reported

# measure <case> <key...> -- <qvx_bench arguments>
# Runs one invocation and appends each named key's value to samples[case:key].
measure() {
    local name=$1
    shift
    local keys=()
    while [[ $1 != -- ]]; do
        keys+=("$1")
        shift
    done
    shift
    local out
    # The page manager's case is a widgets program of its own.
    local program=$bin/qvx_bench
    [[ $1 == page-render ]] && program=$bin/qvx_bench_page
    if ! out=$("$program" "$@" 2>&1); then
        [[ -n ${failed[$name]:-} ]] || failed[$name]=$(echo "$out" | tail -n 1)
        return
    fi
    local key value
    for key in "${keys[@]}"; do
        value=$(echo "$out" | tr ' ' '\n' | sed -n "s/^$key=//p")
        samples[$name:$key]+="$value "
    done
    rowsOf[$name]=$(echo "$out" | tr ' ' '\n' | sed -n 's/^rows=//p')
}

median() { tr ' ' '\n' | sed '/^$/d' | sort -g | awk '{v[NR]=$1} END {if (NR==0) exit; print (NR%2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
maximum() { tr ' ' '\n' | sed '/^$/d' | sort -g | tail -n 1; }

echo "Measuring ($repeats runs of each case, interleaved) ..."
for ((r = 1; r <= repeats; ++r)); do
    measure open10k cpu wall -- open50 "$data" orders_10k.dbf warm.dbf 7
    measure open1m cpu wall rss_growth_kb peak_growth_kb -- open50 "$data" orders_1m.dbf warm.dbf 7
    measure scanC cpu wall -- scan-c "$data/scan.dbf"
    measure scanTable cpu wall -- scan-table "$data" scan.dbf
    measure readXml cpu wall -- read-xml "$data/orders_100k.xml"
    measure loadXml cpu wall -- load-xml "$data/orders_100k.xml"
    for n in 0 1 2 3; do
        measure "sqlOurs$n" cpu wall -- sql-ours "$data" scan.dbf "$n"
        measure "sqlNative$n" cpu wall -- sql-native "$data" scan.dbf "$n"
        measure "pxOurs$n" cpu wall -- sql-ours "$data" scan.db "$n"
        measure "pxNative$n" cpu wall -- sql-native "$data" scan.db "$n"
    done
    for size in 10k 100k; do
        measure "joinOurs$size" cpu wall -- sql-ours "$data" "orders_$size.dbf" 4
        measure "joinNative$size" cpu wall -- sql-native "$data" "orders_$size.dbf" 4
    done
    measure firstRow10k cpu wall -- first-row "$data" orders_10k.dbf
    # Whole programs, process start included: our command line against the
    # reference dumper and the reference XML parser.
    measure catDbf cpu wall peak_kb -- run "$qvx" cat --format=csv "$data/orders_1m.dbf"
    command -v pgdbf >/dev/null && measure pgdbf cpu wall -- run pgdbf "$data/orders_1m.dbf"
    measure catXml cpu wall peak_kb -- run "$qvx" cat --format=csv "$data/orders_100k.xml"
    measure pugiXml cpu wall -- run "$bin/qvx_bench" walk-xml-pugi "$data/orders_100k.xml"
    measure updateTxt cpu wall -- sql-update "$data" orders_100k.txt
    measure updateDbf cpu wall -- sql-update "$data" orders_100k.dbf
    measure firstRow1m cpu wall -- first-row "$data" orders_1m.dbf
    measure lookupOurs cpu wall -- lookup-ours "$data" orders_1m.dbf
    measure lookupNative cpu wall -- lookup-native "$data" orders_1m.dbf
    measure appends2 cpu wall -- appends "$data" orders_100k.dbf 2
    measure appends0 cpu wall -- appends "$data" orders_100k.dbf 0
    measure jpegBare cpu wall -- jpeg-bare 20
    measure pageRender cpu wall -- page-render 20
    measure jpegBare8 cpu wall -- jpeg-bare8
    measure jpegOurs8 cpu wall -- jpeg-ours8
done

# Time in a readable unit.
fmt() { awk -v s="$1" 'BEGIN { if (s < 0.001) printf "%.1f us", s*1e6; else if (s < 1) printf "%.2f ms", s*1e3; else printf "%.3f s", s }'; }

line='%-56s %10s %10s %7s %9s  %-6s %s\n'
printf "\n$line" "Ratio (CPU time, median)" "measured" "baseline" "ratio" "target" "result" "wall ratio"
printf '%s\n' "$(printf '%.0s-' {1..114})"

# row <label> <case> <baseline case> <target>
row() {
    local label=$1 a=$2 b=$3 target=$4
    if [[ -n ${failed[$a]:-} || -n ${failed[$b]:-} ]]; then
        printf "$line" "$label" "-" "-" "-" "<= $target" "ERROR" ""
        [[ -n ${failed[$a]:-} ]] && echo "    $a: ${failed[$a]}"
        [[ -n ${failed[$b]:-} ]] && echo "    $b: ${failed[$b]}"
        return
    fi
    local ta tb ratio verdict wa wb
    ta=$(echo "${samples[$a:cpu]}" | median)
    tb=$(echo "${samples[$b:cpu]}" | median)
    ratio=$(awk -v a="$ta" -v b="$tb" 'BEGIN { printf "%.2f", a / b }')
    verdict=$(awk -v r="$ratio" -v t="$target" 'BEGIN { print (r <= t) ? "PASS" : "MISS" }')
    wa=$(echo "${samples[$a:wall]}" | median)
    wb=$(echo "${samples[$b:wall]}" | median)
    printf "$line" "$label" "$(fmt "$ta")" "$(fmt "$tb")" "$ratio" "<= $target" "$verdict" \
        "$(awk -v a="$wa" -v b="$wb" 'BEGIN { printf "%.2f", a / b }') ($(fmt "$wa") / $(fmt "$wb"))"
}

row "1. open + first 50 records, 1M vs 10k rows" open1m open10k 1.5
if [[ -z ${failed[open1m]:-} ]]; then
    rss=$(echo "${samples[open1m:rss_growth_kb]}" | maximum)
    peak=$(echo "${samples[open1m:peak_growth_kb]}" | maximum)
    verdict=$(awk -v k="$rss" 'BEGIN { print (k <= 16 * 1024) ? "PASS" : "MISS" }')
    printf "$line" "1. resident memory growth, 1M rows (worst run)" \
        "$(awk -v k="$rss" 'BEGIN { printf "%.1f MB", k / 1024 }')" "-" "-" "<= 16 MB" "$verdict" ""
    printf "$line" "   peak growth while opening (for information)" \
        "$(awk -v k="$peak" 'BEGIN { printf "%.1f MB", k / 1024 }')" "" "" "" "" ""
fi
row "2. full scan, data set vs minimal C scan ($scanRows rows)" scanTable scanC 2
row "3. XML packet load vs bare QXmlStreamReader (100k)" loadXml readXml 1.5
row "4. SQL LIKE count, file vs native SQLite ($scanRows rows)" sqlOurs0 sqlNative0 1.5
row "4. SQL GROUP BY count/sum, file vs native SQLite" sqlOurs1 sqlNative1 1.5
row "4. SQL ORDER BY ... LIMIT 100, file vs native SQLite" sqlOurs2 sqlNative2 1.5
row "4. SQL lookup by value (no index on either side)" sqlOurs3 sqlNative3 1.5
row "4. Paradox .db: SQL LIKE count vs native SQLite" pxOurs0 pxNative0 1.5
row "4. Paradox .db: SQL GROUP BY count/sum" pxOurs1 pxNative1 1.5
row "4. Paradox .db: SQL ORDER BY ... LIMIT 100" pxOurs2 pxNative2 1.5
row "4. Paradox .db: SQL lookup by value" pxOurs3 pxNative3 1.5
row "4. time to first row of SELECT *, 1M vs 10k rows" firstRow1m firstRow10k 1.5
row "5. SQL self-join on = with an expression, 10k rows" joinOurs10k joinNative10k 3
row "5. SQL self-join on = with an expression, 100k rows" joinOurs100k joinNative100k 3
if command -v pgdbf >/dev/null; then
    row "6. qvx cat --format=csv of the 1M .dbf vs pgdbf" catDbf pgdbf 1.5
else
    printf "$line" "6. qvx cat --format=csv of the 1M .dbf vs pgdbf" "-" "-" "-" "<= 1.5" "SKIP" "(no pgdbf)"
fi
row "6. qvx cat --format=csv of the 100k XML packet vs pugixml" catXml pugiXml 2
if [[ -z ${failed[catXml]:-} ]]; then
    peak=$(echo "${samples[catXml:peak_kb]}" | maximum)
    fileKb=$(($(stat -c %s "$data/orders_100k.xml") / 1024))
    verdict=$(awk -v k="$peak" -v f="$fileKb" 'BEGIN { print (k <= 3 * f) ? "PASS" : "MISS" }')
    printf "$line" "6. its peak memory vs the file size (worst run)" \
        "$(awk -v k="$peak" 'BEGIN { printf "%.1f MB", k / 1024 }')" \
        "$(awk -v k="$fileKb" 'BEGIN { printf "%.1f MB", k / 1024 }')" \
        "$(awk -v k="$peak" -v f="$fileKb" 'BEGIN { printf "%.2f", k / f }')" "<= 3" "$verdict" ""
fi
row "7. UPDATE of 100k records: .txt vs the same .dbf" updateTxt updateDbf 3
row "8. 100 lookups by an indexed key, 1M rows, vs native SQLite" lookupOurs lookupNative 2
row "8. 100k appends: table with two tags vs without" appends2 appends0 3
row "9. JPEG decode at 1/8: ours vs bare libjpeg" jpegOurs8 jpegBare8 1.5
row "9. page rendered, through its JPEG file and back, vs bare encode+decode" pageRender jpegBare 3

# The two sides of a ratio must have seen the same rows, or it compares nothing.
check() {
    local a=$1 b=$2
    if [[ -z ${failed[$a]:-} && -z ${failed[$b]:-} && ${rowsOf[$a]:-} != "${rowsOf[$b]:-}" ]]; then
        echo "WARNING: $a saw ${rowsOf[$a]:-?} rows but $b saw ${rowsOf[$b]:-?}"
    fi
}
check scanTable scanC
check loadXml readXml
for n in 0 1 2 3; do
    check "sqlOurs$n" "sqlNative$n"
    check "pxOurs$n" "pxNative$n"
    check "sqlOurs$n" "pxOurs$n"
done
check joinOurs10k joinNative10k
check joinOurs100k joinNative100k
check updateTxt updateDbf
check lookupOurs lookupNative
check appends2 appends0
check jpegOurs8 jpegBare8
echo
echo "Medians of $repeats runs (open times: each run is itself a median of 7 opens in one process)."
echo "Ratios use CPU time, which a busy machine does not inflate; the wall-clock ratio is shown beside."
