#!/usr/bin/env bash
# fuzz.sh SECONDS: builds the libFuzzer targets with clang and runs each one for SECONDS.
set -euo pipefail
seconds=${1:-30}
targets=()
for src in fuzz/*_fuzz.cpp; do targets+=("$(basename "$src" .cpp)"); done
cmake -S . -B build-fuzz -G Ninja -DDORVIN_FUZZ=ON -DDORVIN_WERROR=ON -DCMAKE_CXX_COMPILER=clang++ >/dev/null
# Only the fuzz targets and what they link: the windows are not needed here.
cmake --build build-fuzz -j "$(nproc)" --target "${targets[@]}"
mkdir -p fuzz/artifacts
for name in "${targets[@]}"; do
  target=build-fuzz/bin/$name
  corpus=fuzz/corpus/${name%_fuzz}
  work=$(mktemp -d)
  dirs=("$work")
  [ -d "$corpus" ] && dirs+=("$corpus")
  echo "-- $name for ${seconds}s"
  ASAN_OPTIONS=detect_leaks=0 "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
    -artifact_prefix=fuzz/artifacts/ "${dirs[@]}" >"$work.log" 2>&1 || { tail -n 60 "$work.log"; exit 1; }
  grep -E 'Done [0-9]+ runs' "$work.log" | tail -n 1
  rm -rf "$work" "$work.log"
done
