#!/usr/bin/env bash
# The command window's canvas window runs on a thread of its own beside the
# commands (and a note on long commands comes from a third): builds tesselin,
# the module and the window tests with ThreadSanitizer and runs the command
# window's window tests on a virtual display. A data race or a lock taken in
# the wrong order in our code makes tesselin end with status 66, which fails
# the tests; the reports are printed. Mesa is not instrumented, so reports
# whose stacks pass through it are suppressed: its own threads race on what
# ThreadSanitizer cannot see them guard. That is safe here because only the
# commands' thread calls OpenGL; the canvas thread shows pictures through
# SDL's software surface.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-missing.sh xvfb xauth imagemagick xdotool libsdl2-dev
cmake -S . -B build-threads -G Ninja -DTESSELIN_TESTS=ON -DTESSELIN_THREAD_SANITIZE=ON >/dev/null
cmake --build build-threads --target tesselin_app tesselin_module window_tests

reports=$(mktemp -d)
trap 'rm -rf "$reports"' EXIT
printf 'race:swrast_dri.so\n' > "$reports/suppressions"
export TSAN_OPTIONS="log_path=$reports/report suppressions=$reports/suppressions"
status=0
xvfb-run -a -s "-screen 0 1280x1024x24" build-threads/tests/window/window_tests --gtest_brief=1 \
  --gtest_filter='Window.TheCommandWindow*:Window.DraggingInTheCommandWindows*:Window.ADragDuring*' || status=$?
if compgen -G "$reports/report*" >/dev/null; then
  cat "$reports"/report*
  echo "check-threads: ThreadSanitizer reported the above" >&2
  exit 1
fi
exit "$status"
