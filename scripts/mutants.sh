#!/usr/bin/env bash
# Applies the mutations of tests/mutants.txt one at a time: for each, the
# file is changed, the tests are rebuilt incrementally and run (the mutant's
# own tests first, stopping at the first failure, then the rest), the result
# is recorded as killed or survived, and the file is put back, whatever
# happens: an interrupted run leaves its original beside the build, and the
# next run puts it back before anything else.
#
#   scripts/mutants.sh [build folder] [regular expression of mutant names]
set -u
cd "$(dirname "$0")/.."
build=${1:-build}
only=${2:-}
list=tests/mutants.txt
work=$build/mutants
mkdir -p "$work"

restore() {
    if [ -f "$work/applied" ]; then
        cp "$work/original" "$(cat "$work/applied")" && rm -f "$work/applied"
    fi
}
restore

# Each build and test run is a process group of its own, waited for in the
# background: a signal is handled at once, and stops the whole group.
running=
background() {
    setsid "$@" &
    running=$!
    wait "$running"
    local status=$?
    running=
    return $status
}
exec 3>&1 # what is told, wherever the command's output goes
interrupted() {
    [ -n "$running" ] && kill -TERM -- "-$running" 2>/dev/null
    printf '\nmutants: interrupted; the file is put back\n' >&3
    exit 130
}
trap restore EXIT
trap interrupted INT TERM HUP

# ---- The list: [name], then file, from, to, first, why ----
names=() files=() froms=() tos=() firsts=() whys=()
while IFS= read -r line || [ -n "$line" ]; do
    case "$line" in
    '#'* | '') continue ;;
    '['*']')
        names+=("${line:1:${#line}-2}")
        files+=("") froms+=("") tos+=("") firsts+=("") whys+=("")
        continue
        ;;
    esac
    key=${line%%=*}
    key=${key//[[:space:]]/}
    value=${line#*=}
    value=${value#"${value%%[![:space:]]*}"}
    value=${value%"${value##*[![:space:]]}"}
    n=$((${#names[@]} - 1))
    if [ "$n" -lt 0 ] || [ "$key" = "$line" ]; then
        echo "mutants: $list: a line outside a mutant: $line" >&2
        exit 2
    fi
    case "$key" in
    file) files[n]=$value ;;
    from) froms[n]=$value ;;
    to) tos[n]=$value ;;
    first) firsts[n]=$value ;;
    why) whys[n]=$value ;;
    *) echo "mutants: $list: unknown key '$key' in [${names[n]}]" >&2 && exit 2 ;;
    esac
done <"$list"

# The text as a pattern: its words as written, any white space between them
# (a mutation written on one line matches code over several).
PATTERN='$p = join "\\s+", map { quotemeta } split " ", $ENV{FROM};'
# How many times the text stands in the file.
occurrences() {
    FROM=$2 perl -0777 -ne "$PATTERN"' $n = () = /$p/g; print $n' "$1"
}

picked=()
broken=0
for i in "${!names[@]}"; do
    [ -n "$only" ] && ! [[ "${names[i]}" =~ $only ]] && continue
    if [ ! -f "${files[i]}" ] || [ -z "${froms[i]}" ] || [ -z "${firsts[i]}" ]; then
        echo "mutants: [${names[i]}] needs a file that exists, a from and a first" >&2
        broken=1
    elif [ "$(occurrences "${files[i]}" "${froms[i]}")" != 1 ]; then
        echo "mutants: [${names[i]}] '${froms[i]}' does not stand exactly once in ${files[i]}" >&2
        broken=1
    fi
    picked+=("$i")
done
[ "$broken" = 0 ] || exit 2
[ ${#picked[@]} -gt 0 ] || { echo "mutants: none is named so" >&2; exit 2; }

# ---- The run ----
# Runs the tests the ctest arguments pick; `failed` is then the first that
# failed, empty when none did, or NONE when none was picked. The slowest
# test takes about 10 s; one that a mutant keeps waiting is cut at 30.
failed=
tests() {
    background ctest --test-dir "$build" -j2 --stop-on-failure --timeout 30 "$@" >"$work/tests.log" 2>&1
    local status=$?
    failed=
    if grep -q "No tests were found" "$work/tests.log"; then
        failed=NONE
    elif [ $status -ne 0 ]; then
        # The first of "The following tests FAILED:", as "  12 - Name (Failed)".
        failed=$(sed -n '/The following tests FAILED:/,$p' "$work/tests.log" |
            sed -nE 's/^[[:space:]]*[0-9]+ - ([^ ]+).*/\1/p' | head -n 1)
        failed=${failed:-?}
    fi
}

echo "mutants: building and running every test once, unchanged"
if ! background cmake --build "$build" --target zanfir_tests -j2 >"$work/build.log" 2>&1; then
    echo "mutants: the tree does not build (see $work/build.log)" >&2
    exit 1
fi
tests
if [ -n "$failed" ]; then
    echo "mutants: the tests fail without any mutation: mend them first" >&2
    exit 1
fi

started=$SECONDS
killed=0 survived=() stillborn=()
count=0
for i in "${picked[@]}"; do
    count=$((count + 1))
    name=${names[i]} file=${files[i]}
    at=$SECONDS
    cp "$file" "$work/original"
    echo "$file" >"$work/applied"
    FROM=${froms[i]} TO=${tos[i]} perl -0777 -i -pe "BEGIN { $PATTERN }"' s/$p/$ENV{TO}/' "$file"
    touch "$file"
    printf '[%2d/%d] %-40s ' "$count" "${#picked[@]}" "$name"
    if ! background cmake --build "$build" --target zanfir_tests -j2 >"$work/$name.build.log" 2>&1; then
        result="does not build (see $work/$name.build.log)"
        stillborn+=("$i")
    else
        tests -R "${firsts[i]}"
        if [ "$failed" = NONE ]; then
            result="its first tests match no test: '${firsts[i]}'"
            stillborn+=("$i")
        elif [ -n "$failed" ]; then
            result="killed by $failed"
            killed=$((killed + 1))
        else
            tests -E "${firsts[i]}"
            if [ -n "$failed" ] && [ "$failed" != NONE ]; then
                result="killed by $failed (not among its first)"
                killed=$((killed + 1))
            else
                result="SURVIVED"
                survived+=("$i")
            fi
        fi
    fi
    restore
    echo "$result, $((SECONDS - at)) s"
done

echo "mutants: putting the build back"
background cmake --build "$build" --target zanfir_tests -j2 >"$work/build.log" 2>&1

total=$((count - ${#stillborn[@]}))
echo
echo "mutants: $killed of $total killed ($((total > 0 ? 100 * killed / total : 0))%)" \
    "in $(((SECONDS - started) / 60)) min $(((SECONDS - started) % 60)) s"
for i in "${survived[@]}"; do
    echo "  survived ${names[i]}: ${whys[i]}"
done
for i in "${stillborn[@]}"; do
    echo "  not run ${names[i]}: mend it in $list"
done
[ ${#stillborn[@]} -eq 0 ]
