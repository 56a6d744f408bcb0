#!/usr/bin/env bash
# Builds the two libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, the plug-in's code instrumented for coverage,
# and runs each for FUZZ_SECONDS (60 by default) from its seed corpus with the
# keyword dictionary. Any crash, sanitizer report, leak or timeout fails.
# Installs clang and libFuzzer's runtime with apt-get when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}

packages=(clang-14 libclang-rt-14-dev)
./scripts/install-missing.sh "${packages[@]}"

CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DTESSELIN_SANITIZE=ON -DTESSELIN_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz --target command_fuzz script_fuzz

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Absolute paths: the script target works inside its own folder of files.
top=$(pwd)
for target in command script; do
  # The seeds stay as committed: what the fuzzer finds goes to a scratch corpus.
  work=$top/build-fuzz/corpus-$target
  mkdir -p "$work"
  echo "Fuzzing $target for $seconds s"
  "$top/build-fuzz/tests/${target}_fuzz" "$work" "$top/tests/fuzz/corpus/$target" \
    -dict="$top/tests/fuzz/keywords.dict" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
    -max_len=4096 -print_final_stats=1 -artifact_prefix="$top/build-fuzz/$target-" >"$top/build-fuzz/$target.log" 2>&1 ||
    { tail -n 60 "$top/build-fuzz/$target.log"; exit 1; }
  grep -E '^stat::(number_of_executed_units|new_units_added|peak_rss_mb)' "$top/build-fuzz/$target.log"
done
