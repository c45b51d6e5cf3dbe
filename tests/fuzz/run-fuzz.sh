#!/usr/bin/env bash
# Runs the fuzzers for a while each, over copies of their committed corpora
# (corpus/receive for receive_fuzz, corpus/sheet for sheet_fuzz).
#
#   run-fuzz.sh BUILD_DIR SECONDS [FUZZER ...]   (make fuzz: both; BUILD_DIR is build/fuzz)
#
# With FUZZ_RUNS=N in the environment each stops after N inputs as well (the
# short CTest runs), and the working corpus is thrown away afterwards;
# otherwise it is kept in BUILD_DIR/FUZZER_corpus and grows run by run.
# Crashing inputs are written to BUILD_DIR/FUZZER_artifacts/.
set -euo pipefail

if [ $# -lt 2 ]; then
    echo "usage: $0 BUILD_DIR SECONDS [FUZZER ...]" >&2
    exit 2
fi
build_dir=$(cd "$1" && pwd)
seconds=$2
shift 2
fuzzers=("$@")
[ $# -gt 0 ] || fuzzers=(receive_fuzz sheet_fuzz)
here=$(cd "$(dirname "$0")" && pwd)

for name in "${fuzzers[@]}"; do
    fuzzer="$build_dir/tests/fuzz/$name"
    if [ ! -x "$fuzzer" ]; then
        echo "no fuzzer at $fuzzer (build the clang tree first: make fuzz-build)" >&2
        exit 1
    fi
    artifacts="$build_dir/${name}_artifacts"
    mkdir -p "$artifacts"
    extra=()
    if [ -n "${FUZZ_RUNS:-}" ]; then
        corpus=$(mktemp -d)
        trap 'rm -rf "$corpus"' EXIT
        extra+=("-runs=$FUZZ_RUNS")
    else
        corpus="$build_dir/${name}_corpus"
        mkdir -p "$corpus"
    fi
    cp -n "$here/corpus/${name%_fuzz}"/* "$corpus"/
    # -timeout: a single input that runs for seconds means a hang.
    # The sheet: -max_len leaves room for very long fields; a quarantine of
    # 16 MB still holds far more than one input frees (a use after free is
    # caught) and spares paging through the default 256 MB: 1.6 times the speed.
    asan_options=${ASAN_OPTIONS:-}
    if [ "$name" = sheet_fuzz ]; then
        extra+=("-max_len=16384")
        asan_options="quarantine_size_mb=16${asan_options:+:$asan_options}"
    fi
    echo "== $name: $seconds s"
    ASAN_OPTIONS=$asan_options "$fuzzer" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$artifacts/" "${extra[@]}" "$corpus"
    if [ -n "${FUZZ_RUNS:-}" ]; then
        rm -rf "$corpus"
    fi
done
