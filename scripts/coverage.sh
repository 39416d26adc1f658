#!/usr/bin/env bash
# Line coverage of a coverage build, per folder of src/ and in all: what the
# tests, and the programs they ran, executed (gcovr reads gcov's counts).
#
#   scripts/coverage.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-coverage}
gcovr --root . --filter 'src/' --gcov-ignore-parse-errors --csv "$build/coverage.csv" "$build" >/dev/null
# Columns: filename, line_total, line_covered, ...
awk -F, 'NR > 1 {
        folder = $1
        sub(/\/[^\/]*$/, "", folder)
        lines[folder] += $2; covered[folder] += $3
        all += $2; hit += $3
    }
    END {
        for (folder in lines)
            printf "%-28s %6d of %6d lines  %5.1f%%\n", folder, covered[folder], lines[folder],
                   100 * covered[folder] / lines[folder] | "sort"
        close("sort")
        printf "%-28s %6d of %6d lines  %5.1f%%\n", "all", hit, all, 100 * hit / all
    }' "$build/coverage.csv"
