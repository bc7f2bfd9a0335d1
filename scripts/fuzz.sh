#!/usr/bin/env bash
# fuzz.sh SECONDS: builds the libFuzzer targets with clang and runs each one for SECONDS.
set -euo pipefail
seconds=${1:-30}
scripts/build.sh build-fuzz -DDORVIN_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++
mkdir -p fuzz/artifacts
shopt -s nullglob
for target in build-fuzz/bin/*_fuzz; do
  name=$(basename "$target" _fuzz)
  work=$(mktemp -d)
  dirs=("$work")
  [ -d "fuzz/corpus/$name" ] && dirs+=("fuzz/corpus/$name")
  echo "-- $name for ${seconds}s"
  ASAN_OPTIONS=detect_leaks=0 "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
    -artifact_prefix=fuzz/artifacts/ "${dirs[@]}" >"$work.log" 2>&1 || { tail -n 60 "$work.log"; exit 1; }
  grep -E '^#[0-9]+.*DONE|Done [0-9]+ runs' "$work.log" | tail -n 1
  rm -rf "$work" "$work.log"
done
