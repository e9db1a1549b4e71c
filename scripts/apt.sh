#!/usr/bin/env bash
# Sourced by the set-up: installs Debian packages in one apt transaction that survives
# a half-synced mirror, and never removes a package.
#
# Mirrors serve an index that does not match its Release file for hours or days while
# they sync ("File has unexpected size ... Mirror sync in progress?"), often for one
# architecture of one suite only (bookworm-security's i386 index, say). apt then ignores
# that index; the suite's packages of the other architecture still come from it, and the
# two halves of a Multi-Arch: same pair (libfoo:amd64 and libfoo:i386, which must have
# the same version) no longer match. So:
#   - a failed index is reported, not fatal;
#   - a suite whose index failed is pinned below the rest of the archive (priority 90),
#     in a preferences file of our own, so that both halves come from the suites that
#     answered for both architectures;
#   - a half installed earlier from the pinned suite, whose other half is needed now and
#     exists only at another version, is pinned to that version (1001), i.e. moved to it;
#   - the transaction is simulated first; if apt would remove any package, nothing is
#     installed and the set-up stops and says which.
# The system's apt configuration is never written: everything of ours goes through -o.
#
# ORV_APT_OPTS (array): extra apt options; the tests point them at a repository and a
# package status of their own.
# ORV_APT_STATE: folder for our preferences file (default /var/lib/orv-setup).

ORV_APT_OPTS=(${ORV_APT_OPTS[@]+"${ORV_APT_OPTS[@]}"})
ORV_APT_STATE=${ORV_APT_STATE:-/var/lib/orv-setup}
ORV_APT_HALF=()   # suites (as the sources name them) with a failed index

orv_apt() { apt-get -o Acquire::Retries=3 "${ORV_APT_OPTS[@]}" "$@"; }
orv_apt_cache() { apt-cache "${ORV_APT_OPTS[@]}" "$@"; }

# orv_apt_update: fetches the indexes; fills ORV_APT_HALF with the suites one of whose
# indexes failed while another of theirs is at hand (a half-synced suite). A suite that
# did not answer at all is only reported: what it would have offered is then missing,
# and the install says so.
orv_apt_update() {
  local out status=0 line suite lists
  out=$(orv_apt update 2>&1) || status=$?
  eval "$(apt-config "${ORV_APT_OPTS[@]}" shell lists Dir::State::Lists/d)"
  ORV_APT_HALF=()
  while IFS= read -r line; do
    case "$line" in
      [EW]:*"Failed to fetch "*/dists/*)
        suite=${line#*/dists/}
        suite=${suite%%/*}
        [[ " ${ORV_APT_HALF[*]} " == *" $suite "* ]] && continue
        echo "  ${line#*: }" >&2
        if compgen -G "$lists/*_dists_${suite}_*_Packages*" >/dev/null; then
          echo "setup: an index of $suite failed; its packages come from the rest of the archive" >&2
          ORV_APT_HALF+=("$suite")
        else
          echo "setup: $suite did not answer; going on without it" >&2
        fi
        ;;
    esac
  done <<< "$out"
  if [ $status != 0 ] && ! grep -q 'Failed to fetch ' <<< "$out"; then
    echo "$out" >&2
    echo "setup: apt-get update failed" >&2
    return 1
  fi
  return 0
}

# orv_apt_i386_closure PKG...: the names of the i386 packages that installing PKG...
# may bring in.
orv_apt_i386_closure() {
  orv_apt_cache depends --recurse --no-recommends --no-suggests --no-conflicts \
      --no-breaks --no-replaces --no-enhances "$@" 2>/dev/null |
    awk '/^[^ <]/ && /:i386$/ {sub(/:i386$/, ""); print}' | sort -u
}

# orv_apt_mismatched NAME...: for each NAME installed as amd64 at a version that its
# i386 half is not offered at, prints "NAME VERSION", VERSION being the i386 candidate.
orv_apt_mismatched() {
  [ $# -gt 0 ] || return 0
  local args=() n
  for n in "$@"; do args+=("$n:amd64" "$n:i386"); done
  # apt-cache policy prints, per package, "name:" then Installed, Candidate and a
  # version table whose version lines start with "***" (installed) or blanks.
  orv_apt_cache policy "${args[@]}" 2>/dev/null | awk '
    /^[^ ]/ { pkg = $1; sub(/:$/, "", pkg); arch = (pkg ~ /:i386$/) ? "i386" : "amd64"
              name = pkg; sub(/:(amd64|i386)$/, "", name); intable = 0; next }
    /^  Installed:/ { if (arch == "amd64") inst[name] = $2; next }
    /^  Candidate:/ { if (arch == "i386") cand[name] = $2; next }
    /^  Version table:/ { intable = 1; next }
    intable && arch == "i386" && /^ (\*\*\*|   ) [^ ]/ {
      v = ($1 == "***") ? $2 : $1; offered[name, v] = 1 }
    END {
      for (n in inst) {
        if (inst[n] == "(none)" || !(n in cand) || cand[n] == "(none)") continue
        if (!((n, inst[n]) in offered)) print n, cand[n]
      }
    }' | sort
}

# orv_apt_install [--simulate] PKG...: one transaction for all of PKG..., with the pins
# that a half-synced mirror calls for; stops before installing if anything would be
# removed. --simulate stops after the check and prints apt's plan.
orv_apt_install() {
  local simulate=0
  [ "${1:-}" = --simulate ] && { simulate=1; shift; }
  local prefs=$ORV_APT_STATE/preferences plan s name version
  mkdir -p "$ORV_APT_STATE"
  : > "$prefs"
  for s in ${ORV_APT_HALF[@]+"${ORV_APT_HALF[@]}"}; do
    # A suite is named in the sources by its codename or by its archive name.
    printf 'Package: *\nPin: release n=%s\nPin-Priority: 90\n\nPackage: *\nPin: release a=%s\nPin-Priority: 90\n\n' \
      "$s" "$s" >> "$prefs"
  done
  # Seen by every apt call below (bash scopes locals dynamically).
  local ORV_APT_OPTS=(${ORV_APT_OPTS[@]+"${ORV_APT_OPTS[@]}"} -o "Dir::Etc::Preferences=$prefs")
  if [ ${#ORV_APT_HALF[@]} -gt 0 ]; then
    local needed
    needed=$(orv_apt_i386_closure "$@")
    # shellcheck disable=SC2086
    while read -r name version; do
      [ -n "$name" ] || continue
      printf 'Package: %s\nPin: version %s\nPin-Priority: 1001\n\n' "$name" "$version" >> "$prefs"
    done < <(orv_apt_mismatched $needed)
  fi

  local args=(-y --no-install-recommends --allow-downgrades)
  if ! plan=$(orv_apt -s install "${args[@]}" "$@" 2>&1); then
    echo "$plan" >&2
    echo "setup: apt cannot install ${*} together; nothing was installed" >&2
    return 1
  fi
  if grep -q '^Remv ' <<< "$plan"; then
    echo "setup: installing ${*} would remove these packages, so nothing was installed:" >&2
    grep '^Remv ' <<< "$plan" | sed 's/^Remv /  /' >&2
    echo "setup: install the packages above by hand, or remove what blocks them, then run again" >&2
    return 1
  fi
  # Say which installed packages the pins move to an older version.
  local _ pkg old new
  while read -r _ pkg old new _; do
    old=${old#[}; old=${old%]}; new=${new#(}
    dpkg --compare-versions "$new" lt "$old" &&
      echo "setup: $pkg goes back from $old to $new, the version its other half is offered at" >&2
  done < <(grep -E '^Inst [^ ]+ \[' <<< "$plan" || true)
  if [ $simulate = 1 ]; then
    echo "$plan"
    return 0
  fi
  DEBIAN_FRONTEND=noninteractive orv_apt install -qq "${args[@]}" "$@" >/dev/null
}
