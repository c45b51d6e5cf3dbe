#!/usr/bin/env bash
# Runs the receive-path fuzzer for a while over a copy of the committed corpus.
#
#   run-fuzz.sh BUILD_DIR SECONDS      (make fuzz; BUILD_DIR is build/fuzz)
#
# With FUZZ_RUNS=N in the environment it stops after N inputs as well (the
# short CTest run), and the working corpus is thrown away afterwards;
# otherwise it is kept in BUILD_DIR/receive_fuzz_corpus and grows run by run.
# Crashing inputs are written to BUILD_DIR/receive_fuzz_artifacts/.
set -euo pipefail

if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD_DIR SECONDS" >&2
    exit 2
fi
build_dir=$(cd "$1" && pwd)
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
fuzzer="$build_dir/tests/fuzz/receive_fuzz"
if [ ! -x "$fuzzer" ]; then
    echo "no fuzzer at $fuzzer (build the clang tree first: make fuzz-build)" >&2
    exit 1
fi

artifacts="$build_dir/receive_fuzz_artifacts"
mkdir -p "$artifacts"
extra=()
if [ -n "${FUZZ_RUNS:-}" ]; then
    corpus=$(mktemp -d)
    trap 'rm -rf "$corpus"' EXIT
    extra+=("-runs=$FUZZ_RUNS")
else
    corpus="$build_dir/receive_fuzz_corpus"
    mkdir -p "$corpus"
fi
cp -n "$here"/corpus/* "$corpus"/

# -timeout: a single input that runs for seconds means the assembler hangs.
"$fuzzer" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "${extra[@]}" "$corpus"
