#!/usr/bin/env bash
# tools/install-deps.sh against a Debian mirror caught in the middle of a sync, without the network:
# apt-get, apt-config, dpkg and dpkg-query are stand-ins on PATH that fail the way the mirror
# failed (one index that does not download; an install that cannot be resolved until the suite of
# that index is left out).
#   install_deps_test.sh --script tools/install-deps.sh --work DIR --report XML
set -u
script="" work="" report=""
while [ $# -gt 0 ]; do
  case $1 in
    --script) script=$2 ;; --work) work=$2 ;; --report) report=$2 ;;
    *) echo "install_deps_test: unknown option $1" >&2; exit 2 ;;
  esac
  shift 2
done
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
test_name=install_deps_test
. "$root/tests/common/cases.sh"
rm -rf "$work"
mkdir -p "$work/bin" "$work/lists"
for f in debian_dists_bookworm_InRelease debian_dists_bookworm_main_binary-i386_Packages \
  debian_dists_bookworm-updates_InRelease debian-security_dists_bookworm-security_InRelease \
  debian-security_dists_bookworm-security_main_binary-amd64_Packages; do
  : >"$work/lists/deb.debian.org_$f"
done

# The stand-ins. STUB_MIRROR: sound | out-of-sync; STUB_RESOLVE: always | without-security | never;
# STUB_MISSING: the packages dpkg-query reports as not installed. Every apt-get call is logged.
cat >"$work/bin/apt-get" <<'EOF'
#!/usr/bin/env bash
echo "apt-get $*" >>"$STUB_LOG"
lists=""
for a; do case $a in Dir::State::Lists=*) lists=${a#*=} ;; esac; done
case " $* " in
  *" update "*)
    if [ "$STUB_MIRROR" = out-of-sync ]; then
      echo "Err:4 http://deb.debian.org/debian-security bookworm-security/main i386 Packages"
      echo "  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 203.0.113.80 80]"
      echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?"
      echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
      exit 100
    fi
    exit 0 ;;
  *" install "*)
    case " $* " in *" --allow-downgrades "*|*"allow-downgrades=true"*) echo "downgrades allowed" >>"$STUB_LOG" ;; esac
    if [ -n "$lists" ]; then
      ls "$lists" >>"$STUB_LOG"
      if [ "$STUB_RESOLVE" = without-security ] && ! ls "$lists" | grep -q bookworm-security; then exit 0; fi
    elif [ "$STUB_RESOLVE" = always ]; then
      exit 0
    fi
    echo "The following packages have unmet dependencies:"
    echo " wine32:i386 : Depends: libwine:i386 (= 8.0~repack-4) but it is not installable"
    echo "E: Unable to correct problems, you have held broken packages."
    exit 100 ;;
esac
exit 0
EOF
cat >"$work/bin/apt-config" <<EOF
#!/bin/sh
echo "lists='$work/lists/'"
EOF
cat >"$work/bin/dpkg" <<'EOF'
#!/bin/sh
[ "$1" = --print-foreign-architectures ] && echo i386
exit 0
EOF
cat >"$work/bin/dpkg-query" <<'EOF'
#!/usr/bin/env bash
for p in $STUB_MISSING; do [ "$p" = "${*: -1}" ] && exit 1; done
printf 'install ok installed'
EOF
cat >"$work/bin/locale" <<'EOF'
#!/bin/sh
printf '%s\n' ko_KR.utf8 en_US.utf8 ja_JP.utf8 zh_CN.utf8 ru_RU.utf8
EOF
cat >"$work/bin/sudo" <<'EOF'
#!/bin/sh
exec "$@"
EOF
chmod +x "$work/bin/"*

# run MIRROR RESOLVE MISSING: runs the script; its output in $work/out, the apt-get calls in $work/log.
run() {
  : >"$work/log"
  PATH="$work/bin:$PATH" STUB_LOG="$work/log" STUB_MIRROR=$1 STUB_RESOLVE=$2 STUB_MISSING=$3 \
    VEXO_APT_PAUSE=0 "$script" >"$work/out" 2>&1
  status=$?
}
calls() { grep -c "^apt-get .*\<$1\>" "$work/log"; }
expect() { grep -qF -- "$1" "$work/out" || problem "output lacks: $1"; }

start_case everything_installed_runs_no_apt
run sound never ""
[ $status -eq 0 ] || problem "status $status"
[ ! -s "$work/log" ] || problem "apt-get ran: $(head -n 1 "$work/log")"

start_case sound_mirror_installs_once
run sound always "nsis"
[ $status -eq 0 ] || problem "status $status"
[ "$(calls update)" = 1 ] && [ "$(calls install)" = 1 ] || problem "calls: $(tr '\n' ';' <"$work/log")"
! grep -q WARNING "$work/out" || problem "a warning on a sound mirror"

start_case index_fails_install_resolves
run out-of-sync always "nsis"
[ $status -eq 0 ] || problem "status $status"
[ "$(calls update)" = 3 ] || problem "$(calls update) updates, not 3 tries"
[ "$(calls install)" = 1 ] || problem "$(calls install) installs"
expect "index failed to download: bookworm-security/main i386 Packages"

start_case install_resolves_without_the_failed_suite
run out-of-sync without-security "wine32:i386 nsis"
[ $status -eq 0 ] || problem "status $status: $(tail -n 3 "$work/out")"
[ "$(calls install)" = 2 ] || problem "$(calls install) installs"
[ "$(grep -c WARNING "$work/out")" = 1 ] || problem "not one warning line"
grep WARNING "$work/out" | grep -q "WITHOUT the suite bookworm-security" || problem "the warning does not name the suite"
grep -q "_dists_bookworm_InRelease" "$work/log" && grep -q "bookworm-updates_InRelease" "$work/log" ||
  problem "the second install lost the other suites"
! grep -q "downgrades allowed" "$work/log" || problem "downgrades were allowed"
[ -z "$(ls -A "$work/lists" | grep -v '^deb.debian.org_')" ] || problem "files left in apt's lists"

start_case install_that_never_resolves_stops_with_advice
run out-of-sync never "wine32:i386"
[ $status -ne 0 ] || problem "status 0"
expect "libwine:i386 (= 8.0~repack-4) but it is not installable"
expect "apt-get install failed (status 100)"
expect "run tools/install-deps.sh again"

write_report
