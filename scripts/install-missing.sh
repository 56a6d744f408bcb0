#!/usr/bin/env bash
# Installs with apt-get those of the Debian packages named as arguments that
# are not installed yet; does nothing when all are there. The setup script
# and every check script get what they need through it.
set -euo pipefail
# A name without an architecture means this machine's own (or none, for
# packages of all architectures): libosmesa6:i386 installed alone does not
# make libosmesa6 installed.
native=$(dpkg --print-architecture)
installed() {
  case "$1" in
    *:*) dpkg-query -W -f='${Status}\n' "$1" 2>/dev/null | grep '^install ok installed$' >/dev/null ;;
    *) dpkg-query -W -f='${Architecture} ${Status}\n' "$1" 2>/dev/null |
         grep -E "^($native|all) install ok installed$" >/dev/null ;;
  esac
}
missing=()
for p in "$@"; do
  installed "$p" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "Nothing missing: the $# Debian packages needed here are installed."
  exit 0
fi
run() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
echo "Installing ${#missing[@]} of $# Debian packages: ${missing[*]}"
run apt-get update -q
run env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
echo "Installed: ${missing[*]}"
