#!/usr/bin/env bash
# How long the command window takes to answer after a long line is pasted at
# it: a pseudo-terminal types "# " and N bytes, Enter and ".help torus", and
# the seconds until the answer shows are printed. Two terminals (one wraps a
# long line, one scrolls it sideways) and two paces: as fast as the window
# takes the keys, and 4 KiB every half millisecond as a terminal emulator
# might hand a paste on. Usage: bench/command_window_paste.sh [BUILD_DIR] [SIZES...]
set -euo pipefail
build=${1:-build}
shift || true
program=$(realpath "$build/tesselin")
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1000000 10000000)

python3 - "$program" "${sizes[@]}" <<'PY'
import fcntl, os, pty, select, struct, sys, tempfile, termios, time

program, sizes = sys.argv[1], [int(s) for s in sys.argv[2:]]

def paste(size, term, chunk, pause):
    home = tempfile.mkdtemp()
    pid, fd = pty.fork()
    if pid == 0:
        os.environ.update(HOME=home, XDG_STATE_HOME=home + "/state", TERM=term)
        os.execv(program, [program])
    fcntl.ioctl(fd, termios.TIOCSWINSZ, struct.pack("HHHH", 24, 200, 0, 0))
    screen = bytearray()

    def wait_for(text, start):
        at = start
        while screen.find(text, at) < 0:
            at = max(start, len(screen) - len(text))  # only what is new
            if not select.select([fd], [], [], 600)[0]:
                raise SystemExit(f"no {text!r} after 600 s")
            screen.extend(os.read(fd, 65536))
        return screen.find(text, at) + len(text)

    start = wait_for(b"tesselin> ", 0)
    keys = b"# " + b"x" * size + b"\r.help torus\r"
    began = time.monotonic()
    os.set_blocking(fd, False)
    sent = 0
    while sent < len(keys):
        readable, writable, _ = select.select([fd], [fd], [], 600)
        if readable:
            screen.extend(os.read(fd, 65536))
        if writable:
            try:
                sent += os.write(fd, keys[sent:sent + chunk])
            except BlockingIOError:
                pass
            if pause:
                time.sleep(pause)
    os.set_blocking(fd, True)
    typed = time.monotonic() - began
    wait_for(b"torus RADIUS", start)
    answered = time.monotonic() - began
    os.write(fd, b".quit\r")
    try:
        while os.read(fd, 65536):
            pass
    except OSError:
        pass
    os.waitpid(pid, 0)
    return typed, answered

print(f"{'bytes':>10} {'terminal':>8} {'pace':>10} {'typed s':>8} {'answer s':>9}")
for size in sizes:
    for term in ("xterm", "dumb"):
        for pace, chunk, pause in (("at once", 65536, 0), ("4K/0.5ms", 4096, 0.0005)):
            typed, answered = paste(size, term, chunk, pause)
            print(f"{size:>10} {term:>8} {pace:>10} {typed:>8.2f} {answered:>9.2f}")
PY
