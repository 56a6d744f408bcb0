#!/usr/bin/env bash
# Builds the host's diagnostics tests (tokenizer, help lines, tesselin check,
# history and completion) with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs them: the file scanners and the tokenizer read user input.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-sanitize -G Ninja -DTESSELIN_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-sanitize --target diagnostics_tests
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
build-sanitize/tests/diagnostics_tests --gtest_brief=1
