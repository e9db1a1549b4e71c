#!/usr/bin/env bash
# The set-up's package installation (scripts/apt.sh) against a local repository shaped
# like Debian's: a main suite and a security suite, both for amd64 and i386, with one
# Multi-Arch: same library whose security version is newer. Each case gives the
# repository a healthy or a half-synced security suite (its i386 index does not match
# its Release file, as on a mirror in the middle of a sync) and the machine a package
# state of its own, then runs the set-up's own update and install logic with apt in
# simulation.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL [$case]: $*"; failures=$((failures + 1)); }

stanza() {  # stanza NAME VERSION ARCH MULTIARCH DEPENDS
  printf 'Package: %s\nVersion: %s\nArchitecture: %s\n' "$1" "$2" "$3"
  [ -n "$4" ] && printf 'Multi-Arch: %s\n' "$4"
  [ -n "$5" ] && printf 'Depends: %s\n' "$5"
  printf 'Maintainer: Test <test@example.invalid>\nFilename: pool/%s_%s_%s.deb\nSize: 1000\n' "$1" "${2//:/%3a}" "$3"
  printf 'SHA256: %064d\nDescription: test package\n\n' 0
}

# make_suite DIR SUITE CODENAME LABEL LIBVERSION [BROKEN_ARCH]
make_suite() {
  local d=$1/dists/$3 arch
  for arch in amd64 i386; do
    mkdir -p "$d/main/binary-$arch"
    {
      stanza libgst "$5" "$arch" same ""
      if [ "$arch" = amd64 ]; then
        stanza libgst-dev "$5" amd64 "" "libgst (= $5)"
        stanza winetool 8.0-4 amd64 foreign "libgst (>= 1.0)"
      else
        stanza wine32 8.0-4 i386 "" "libgst (>= 1.0)"
      fi
    } > "$d/main/binary-$arch/Packages"
  done
  {
    printf 'Origin: Debian\nLabel: %s\nSuite: %s\nCodename: %s\n' "$4" "$2" "$3"
    printf 'Date: Thu, 01 Jan 2026 00:00:00 UTC\nArchitectures: amd64 i386\nComponents: main\nSHA256:\n'
    for arch in amd64 i386; do
      local f=$d/main/binary-$arch/Packages size
      size=$(stat -c %s "$f")
      # A mirror in the middle of a sync: the index does not match its Release file.
      [ "$arch" = "${6:-}" ] && size=$((size + 7))
      printf ' %s %s main/binary-%s/Packages\n' "$(sha256sum "$f" | cut -d' ' -f1)" "$size" "$arch"
    done
  } > "$d/Release"
}

status_entry() {  # status_entry NAME VERSION MULTIARCH DEPENDS
  printf 'Package: %s\nStatus: install ok installed\nArchitecture: amd64\nVersion: %s\n' "$1" "$2"
  [ -n "$3" ] && printf 'Multi-Arch: %s\n' "$3"
  [ -n "$4" ] && printf 'Depends: %s\n' "$4"
  printf 'Maintainer: Test <test@example.invalid>\nDescription: test package\n\n'
}

# run_case NAME BROKEN_ARCH PROVISIONED STATUS_ENTRY... (each "name|version|multi-arch|depends"):
# builds the repository and the machine's package state; a provisioned machine fetched
# the amd64 indexes while the mirror was healthy, before i386 was an architecture (the
# state a fresh cloud machine comes in). Then the security suite's index of BROKEN_ARCH
# goes bad, and the set-up's update and simulated install run. Leaves the install's
# output and exit status in $out and $rc, the suites taken for half-synced in $half.
run_case() {
  case=$1
  local broken=$2 provisioned=$3 c=$work/$1
  shift 3
  mkdir -p "$c/repo" "$c/lists/partial" "$c/cache/archives/partial" "$c/empty" "$c/state"
  make_suite "$c/repo" oldstable bookworm Debian 1.0-1
  make_suite "$c/repo" oldstable-security bookworm-security Debian-Security 1.0-1+u7
  printf 'deb [trusted=yes] file:%s bookworm main\ndeb [trusted=yes] file:%s bookworm-security main\n' \
    "$c/repo" "$c/repo" > "$c/sources.list"
  : > "$c/status"
  local e fields
  for e in "$@"; do IFS='|' read -r -a fields <<< "$e"; status_entry "${fields[@]}" "" "" >> "$c/status"; done
  ORV_APT_OPTS=(-o "Dir::Etc::SourceList=$c/sources.list" -o "Dir::Etc::SourceParts=$c/empty"
                -o "Dir::Etc::PreferencesParts=$c/empty" -o "Dir::State::Lists=$c/lists"
                -o "Dir::Cache=$c/cache" -o "Dir::State::status=$c/status"
                -o "Dir::State::extended_states=$c/extended_states"
                -o APT::Sandbox::User=root -o Debug::NoLocking=1 -o Acquire::Retries::Delay=false
                -o APT::Architecture=amd64 -o APT::Architectures::=amd64)
  if [ "$provisioned" = provisioned ]; then
    apt-get "${ORV_APT_OPTS[@]}" update >/dev/null 2>&1 || fail "the provisioning update failed"
  fi
  ORV_APT_OPTS+=(-o APT::Architectures::=i386)
  [ -n "$broken" ] && make_suite "$c/repo" oldstable-security bookworm-security Debian-Security 1.0-1+u7 "$broken"
  ORV_APT_STATE=$c/state
  # shellcheck source=../../scripts/apt.sh
  source "$root/scripts/apt.sh"
  rc=0
  orv_apt_update 2> "$c/update.log" || { fail "update failed: $(cat "$c/update.log")"; return; }
  half="${ORV_APT_HALF[*]}"
  out=$(orv_apt_install --simulate winetool wine32:i386 2>&1) || rc=$?
}

expect_inst() {  # expect_inst PACKAGE VERSION: the plan installs PACKAGE at VERSION
  grep "^Inst $1 " <<< "$out" | grep -qF "($2 " || fail "no 'Inst $1 ($2' in: $(grep '^Inst\|^Remv' <<< "$out")"
}

# A healthy mirror: nothing is pinned; the newest version of both halves is installed.
run_case healthy "" provisioned
[ -z "$half" ] || fail "suites taken for half-synced: $half"
[ "$rc" = 0 ] || fail "install refused: $out"
expect_inst libgst 1.0-1+u7
expect_inst libgst:i386 1.0-1+u7

# The security suite's i386 index is broken on a machine that fetched its amd64
# indexes earlier: apt keeps the old amd64 index of the suite and has no i386 one. The
# set-up takes both halves from the main suite.
run_case provisioned-half-synced i386 provisioned
[ "$half" = bookworm-security ] || fail "half-synced suites: '$half'"
grep -q 'an index of bookworm-security failed' "$work/$case/update.log" ||
  fail "the failed index is not reported: $(cat "$work/$case/update.log")"
[ "$rc" = 0 ] || fail "install refused: $out"
expect_inst libgst 1.0-1
expect_inst libgst:i386 1.0-1
grep -q '^Remv' <<< "$out" && fail "removes: $(grep '^Remv' <<< "$out")"

# The same with a package state that knows nothing yet: the whole security suite is
# left out for now (apt drops a suite whose index failed), and everything comes from
# the main suite.
run_case unprovisioned-half-synced i386 ""
[ -z "$half" ] || fail "suites taken for half-synced: $half"
grep -q 'bookworm-security did not answer' "$work/$case/update.log" ||
  fail "the silent suite is not reported: $(cat "$work/$case/update.log")"
[ "$rc" = 0 ] || fail "install refused: $out"
expect_inst libgst 1.0-1
expect_inst libgst:i386 1.0-1

# The amd64 half was installed from the security suite before its i386 index broke
# (as the earlier set-up did, in a transaction of its own): apt on its own cannot add
# the i386 half; the set-up moves just that package to the version its i386 half
# exists at.
run_case installed-half i386 provisioned "libgst|1.0-1+u7|same"
if apt-get "${ORV_APT_OPTS[@]}" -s install -y wine32:i386 >/dev/null 2>&1; then
  fail "plain apt added the i386 half: the fixture does not reproduce the broken mirror"
fi
[ "$rc" = 0 ] || fail "install refused: $out"
expect_inst libgst '1.0-1'
expect_inst libgst:i386 1.0-1
grep -q 'libgst goes back from 1.0-1+u7 to 1.0-1' <<< "$out" || fail "the downgrade is not reported"
grep -q '^Remv' <<< "$out" && fail "removes: $(grep '^Remv' <<< "$out")"

# The same, but a package installed on the machine needs exactly that newer version:
# going back would remove it, so nothing is installed and the set-up says why.
run_case would-remove i386 provisioned "libgst|1.0-1+u7|same" "libgst-dev|1.0-1+u7||libgst (= 1.0-1+u7)"
[ "$rc" != 0 ] || fail "the install went on although it removes libgst-dev"
grep -q 'would remove these packages' <<< "$out" || fail "no clear message: $out"
grep -qx '  libgst-dev.*' <<< "$out" || fail "the package that would go is not named: $out"

[ $failures = 0 ] && echo "all cases passed"
exit $((failures > 0))
