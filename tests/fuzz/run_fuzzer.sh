#!/usr/bin/env bash
# Runs a fuzzer for SECONDS from the seed corpus, into a scratch corpus so the
# checked-in seeds stay as they are. A crash fails the test and leaves the
# input beside the scratch corpus.
#   run_fuzzer.sh FUZZER SEEDS SECONDS
set -euo pipefail
fuzzer=$1 seeds=$2 seconds=$3
work=$(mktemp -d)
trap 'rm -rf "$work/corpus"' EXIT
mkdir "$work/corpus"
"$fuzzer" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
  -artifact_prefix="$work/" "$work/corpus" "$seeds"
