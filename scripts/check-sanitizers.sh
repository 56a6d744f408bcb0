#!/usr/bin/env bash
# Builds the command and robustness tests with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs them: any memory fault, leak or undefined
# behaviour in the plug-in's code fails.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-sanitize -G Ninja -DTESSELIN_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-sanitize --target command_tests robustness_tests
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
build-sanitize/tests/command_tests --gtest_brief=1
build-sanitize/tests/robustness_tests --gtest_brief=1
