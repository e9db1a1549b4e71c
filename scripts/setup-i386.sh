#!/usr/bin/env bash
# Lets a machine whose kernel runs no 32-bit x86 Linux program start 32-bit Wine (run
# as root; called by setup.sh, which then installs wine32:i386). Debian 12's own qemu-user (7.2) cannot start
# Wine; qemu-i386 10 from bookworm-backports can. It is fetched through a private apt
# configuration that reads the mirror from the system's own sources, so the system's
# apt set-up is never changed, and registered with binfmt_misc, which forgets it at
# every boot: each run checks and redoes the registration.
#
# ORV_FORCE_QEMU=1 registers qemu-i386 even where the kernel runs 32-bit programs
# itself (binfmt_misc comes before the kernel's own loader), so that the emulated path
# can be tried on any machine; unregister it with
#   echo -1 > /proc/sys/fs/binfmt_misc/qemu-i386
set -euo pipefail
store=/var/lib/orv-i386
qemu=$store/qemu-i386
quiet() { "$@" >/dev/null 2>&1; }

# A 32-bit ELF that only exits with 42: proves the kernel starts i386 programs.
probe=$store/exit42
probe_ok() { [ -x "$probe" ] && { "$probe"; [ $? = 42 ]; } 2>/dev/null; }

mirror() {
  # The main Debian archive's address, as the system's own sources name it.
  local f
  f=/etc/apt/sources.list.d/debian.sources
  if [ -f "$f" ]; then
    awk '/^URIs:/{u=$2} /^Suites:/{for(i=2;i<=NF;i++) if($i=="bookworm") {print u; exit}}' "$f"
    return
  fi
  awk '$1=="deb" && $3=="bookworm" {print $2; exit}' /etc/apt/sources.list 2>/dev/null
}

fetch_qemu() {
  [ -x "$qemu" ] && "$qemu" --version 2>/dev/null | grep -q 'version 1[0-9]\.' && return 0
  local uri apt=$store/apt
  uri=$(mirror)
  [ -n "$uri" ] || { echo "setup-i386: no Debian mirror found in the system's apt sources" >&2; exit 1; }
  mkdir -p "$apt/parts" "$apt/lists/partial" "$apt/cache/archives/partial"
  cat > "$apt/parts/backports.sources" <<EOF
Types: deb
URIs: $uri
Suites: bookworm-backports
Components: main
Architectures: amd64
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  local opts=(-o Acquire::Retries=3 -o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$apt/parts"
              -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o APT::Architectures=amd64)
  echo "setup-i386: fetching qemu-i386 from bookworm-backports"
  apt-get "${opts[@]}" update -qq
  local work
  work=$(mktemp -d)
  chown _apt "$work" 2>/dev/null || true
  (cd "$work" && apt-get "${opts[@]}" download -qq qemu-user/bookworm-backports)
  dpkg-deb -x "$work"/qemu-user_*.deb "$work/x"
  install -m 755 "$work/x/usr/bin/qemu-i386" "$qemu"
  rm -rf "$work"
}

register() {
  local dir=/proc/sys/fs/binfmt_misc entry
  [ -e "$dir/register" ] || mount -t binfmt_misc binfmt_misc "$dir"
  entry=$dir/qemu-i386
  if [ -e "$entry" ]; then
    grep -qx enabled "$entry" && grep -qx "interpreter $qemu" "$entry" && return 0
    echo -1 > "$entry"
  fi
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F' \
    > "$dir/register"
}

mkdir -p "$store"
if [ ! -x "$probe" ]; then
  printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' > "$probe"
  chmod 755 "$probe"
fi
# A kernel with its own 32-bit support needs none of this.
if [ "${ORV_FORCE_QEMU:-}" = 1 ] || ! probe_ok; then
  fetch_qemu
  register
  probe_ok || { echo "setup-i386: 32-bit programs still do not start after registering qemu-i386" >&2; exit 1; }
  [ "${ORV_FORCE_QEMU:-}" = 1 ] && echo "setup-i386: 32-bit programs run through $qemu" >&2
fi

exit 0
