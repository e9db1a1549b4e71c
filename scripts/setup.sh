#!/usr/bin/env bash
# Installs what building and testing need on Debian 12 (run as root). Idempotent:
# when everything is present it only checks and returns within a second or two.
set -euo pipefail

# Both builds are tested: the 64-bit one under wine64, the delivered 32-bit one under
# 32-bit Wine (setup-i386.sh) on 32-bit and on 64-bit Windows.
need_pkgs=(wine wine64 g++-mingw-w64-i686 g++-mingw-w64-x86-64 cmake ninja-build googletest libstb-dev
           xvfb imagemagick fonts-wqy-zenhei locales python3-pil xauth)
locales_wanted=(zh_CN.UTF-8 en_US.UTF-8 zh_TW.UTF-8)

missing=()
for p in "${need_pkgs[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ "$(id -u)" = 0 ]; then
  # 32-bit Wine needs a kernel that starts 32-bit programs, or qemu-i386 registered.
  bash "$(dirname "$0")/setup-i386.sh"
  if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
    missing+=(wine32:i386)
  fi
fi

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" != 0 ]; then
    echo "setup: missing packages (${missing[*]}) and not root; install them or run as root" >&2
    exit 1
  fi
  echo "setup: installing ${missing[*]}"
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  # All in one transaction, so that apt picks matching halves of every library that
  # both architectures need (scripts/apt.sh).
  source "$(dirname "$0")/apt.sh"
  orv_apt_update
  orv_apt_install "${missing[@]}"
fi

gen=0
for l in "${locales_wanted[@]}"; do
  short=$(echo "$l" | sed 's/UTF-8/utf8/')
  if ! locale -a 2>/dev/null | grep -qix "$short"; then
    if [ "$(id -u)" != 0 ]; then echo "setup: locale $l missing and not root" >&2; exit 1; fi
    sed -i "s/^# *\($l UTF-8\)/\1/" /etc/locale.gen
    grep -q "^$l UTF-8" /etc/locale.gen || echo "$l UTF-8" >> /etc/locale.gen
    gen=1
  fi
done
if [ $gen = 1 ]; then locale-gen >/dev/null; fi

if [ "$(id -u)" != 0 ] && { [ ! -x /usr/lib/wine/wine ] || ! /usr/lib/wine/wine --version >/dev/null 2>&1; }; then
  echo "setup: 32-bit Wine missing or not startable and not root" >&2
  exit 1
fi
exit 0
