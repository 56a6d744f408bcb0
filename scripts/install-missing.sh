#!/usr/bin/env bash
# Installs with apt-get those of the Debian packages named as arguments that
# are not installed yet; does nothing when all are there. The setup script
# and every check script get what they need through it.
set -euo pipefail
missing=()
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
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
