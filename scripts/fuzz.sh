#!/usr/bin/env bash
# Fuzzes the row-file reader with libFuzzer for the given number of seconds
# (default 60), starting from the seed corpus in fuzz/corpus. New inputs go to
# build-fuzz/corpus, never into the repository; crashes to build-fuzz/.
#   scripts/fuzz.sh 36000     # ten hours
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
mkdir -p build-fuzz/corpus
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -Isrc fuzz/rowfile_fuzz.cpp src/table/RowFile.cpp -o build-fuzz/rowfile_fuzz
cd build-fuzz
./rowfile_fuzz -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=512 \
    -artifact_prefix=./ corpus ../fuzz/corpus 2>&1 | tail -n 25
