#!/usr/bin/env bash
# Installs every Debian package the build, the program and the tests need.
# Lists live in scripts/packages/*.txt, one package a line, '#' starts a comment.
# Runs as root on Debian 12; does nothing when everything is already there.
# With arguments, only those lists: `install-deps.sh windows` for packages/windows.txt.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
lists=("$here"/packages/*.txt)
if [ $# -gt 0 ]; then
    lists=()
    for name in "$@"; do lists+=("$here/packages/$name.txt"); done
fi
mapfile -t wanted < <(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "${lists[@]}" | sort -u)
missing=()
for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# The users' locale, under which the tests run a second time: numbers in the
# files must come out the same as under C.UTF-8. Generated once, as root.
polish_locale() {
    locale -a 2>/dev/null | grep -qix 'pl_PL\.utf-\?8' && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "install-deps: run as root to generate the locale pl_PL.UTF-8" >&2
        return 1
    fi
    [ ! -f /etc/locale.gen ] || sed -i 's/^#[[:space:]]*\(pl_PL\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -qx 'pl_PL.UTF-8 UTF-8' /etc/locale.gen || echo 'pl_PL.UTF-8 UTF-8' >>/etc/locale.gen
    locale-gen
}
if [ ${#missing[@]} -eq 0 ]; then
    polish_locale
    exit 0
fi
echo "Installing: ${missing[*]}" >&2
if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: run as root to install the packages above" >&2
    exit 1
fi
apt-get update
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
polish_locale
