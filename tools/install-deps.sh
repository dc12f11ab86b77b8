#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need, and the UTF-8 locales Wine takes its
# ANSI code pages from. Idempotent: does nothing when everything is there.
# qemu-user runs 32-bit Wine where the kernel cannot execute 32-bit programs (cmake/wine-check.sh).
set -euo pipefail

packages=(
  cmake make g++ pkg-config python3 curl
  clang libclang-rt-14-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
  zlib1g-dev libcurl4-openssl-dev
  libcpp-httplib-dev libssl-dev openssl ca-certificates
  googletest
  duktape-dev libx11-dev
  libqt5webkit5 python3-pyqt5 python3-pyqt5.qtwebkit
  wine wine32:i386 wine64 qemu-user
  xvfb xauth nginx-light
  chromium firefox-esr
  nsis osslsigncode
  locales fonts-nanum
)

# Runs a command as root, its output shown and kept in the file $apt_log.
apt_log=$(mktemp)
trap 'rm -f "$apt_log"' EXIT
logged() {
  need_root "$@" 2>&1 | tee "$apt_log"
}

need_root() {
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null; then sudo "$@"; else echo "install-deps: need root for: $*" >&2; exit 1; fi
  else
    "$@"
  fi
}

# A mirror caught in the middle of a sync serves an index that does not match its release file,
# and `apt-get update` fails for it (status 100) while the other indexes arrive. The update is tried
# a few times; then the indexes that did arrive are used, and the suites whose index failed are
# remembered in failed_suites for the install below.
update_tries=${VEXO_APT_TRIES:-3}
update_pause=${VEXO_APT_PAUSE:-15}
failed_suites=()
apt_update() {
  local try out rc line
  for ((try = 1; try <= update_tries; try++)); do
    rc=0; logged apt-get update -q || rc=$?; out=$(cat "$apt_log")
    [ $rc -eq 0 ] && { failed_suites=(); return 0; }
    if [ $try -lt "$update_tries" ]; then
      echo "install-deps: apt-get update failed (status $rc, try $try of $update_tries); again in ${update_pause} s"
      sleep "$update_pause"
    fi
  done
  # "Err:6 http://deb.debian.org/debian-security bookworm-security/main i386 Packages"
  failed_suites=()
  while read -r line; do
    set -- $line
    [ $# -ge 3 ] || continue
    echo "install-deps: index failed to download: $3 ${*:4} ($2)"
    local suite=${3%%/*} s known=0
    for s in "${failed_suites[@]}"; do [ "$s" = "$suite" ] && known=1; done
    [ $known = 1 ] || failed_suites+=("$suite")
  done < <(grep -E '^Err:[0-9]+ ' <<<"$out")
  if [ ${#failed_suites[@]} -eq 0 ]; then
    echo "install-deps: apt-get update failed (status $rc); going on with the indexes apt has:"
    grep -E '^(E|W):' <<<"$out" | sed 's/^/  /'
  else
    echo "install-deps: going on with the indexes that did download"
  fi
  return 0
}

# A copy of apt's index folder without the indexes of the given suites (links, not copies), so
# that one install sees only the other suites.
lists_without() {
  local lists tmp f name s skip
  eval "$(apt-config shell lists Dir::State::Lists/d)"
  tmp=$(mktemp -d)
  mkdir "$tmp/partial"
  for f in "${lists%/}"/*; do
    [ -f "$f" ] || continue
    name=${f##*/}; skip=0
    for s in "$@"; do
      case $name in *_dists_"$s"_*) skip=1 ;; esac
    done
    [ $skip = 1 ] || ln -s "$f" "$tmp/$name"
  done
  echo "$tmp"
}

apt_install() {
  local rc lists
  # apt never downgrades an installed package here: -y without --allow-downgrades refuses it.
  rc=0; logged env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$@" || rc=$?
  [ $rc -ne 0 ] || return 0
  if [ ${#failed_suites[@]} -gt 0 ]; then
    echo "install-deps: WARNING: the install cannot be resolved while ${failed_suites[*]} is out of sync on the mirror; installing once more WITHOUT the suite ${failed_suites[*]} (its packages come from the other suites, nothing is downgraded)"
    lists=$(lists_without "${failed_suites[@]}")
    rc=0; logged env DEBIAN_FRONTEND=noninteractive apt-get -o Dir::State::Lists="$lists" \
      -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache= install -y -q "$@" || rc=$?
    need_root rm -rf "$lists"
    [ $rc -ne 0 ] || return 0
  fi
  echo "install-deps: apt-get install failed (status $rc). If the messages above say \"Mirror sync in progress?\", the Debian mirror is being updated: wait a few minutes and run tools/install-deps.sh again (or apt-get update and apt-get install by hand with the packages named above)." >&2
  exit 1
}

updated=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  need_root dpkg --add-architecture i386
  apt_update; updated=1
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  [ $updated = 1 ] || apt_update
  apt_install "${missing[@]}"
fi

# Wine takes the ANSI code page from the locale: 949 (the product's), and 1252, 932, 936, 1251 for
# the payment tests in other Windows languages.
generate=0
for loc in ko_KR en_US ja_JP zh_CN ru_RU; do
  if ! locale -a 2>/dev/null | grep -qi "^$loc\.utf-\?8$"; then
    echo "install-deps: generating the $loc.UTF-8 locale"
    if ! grep -q "^$loc.UTF-8 UTF-8" /etc/locale.gen 2>/dev/null; then
      echo "$loc.UTF-8 UTF-8" | need_root tee -a /etc/locale.gen >/dev/null
    fi
    generate=1
  fi
done
[ "$generate" -eq 0 ] || need_root locale-gen >/dev/null

# ---- npm packages (TypeScript for the page library's declarations) -------------------------------
# Into tools/npm/node_modules, the project's own folder, never globally; versions pinned by
# tools/npm/package-lock.json. Nothing runs when that lock's packages are already installed.
npm_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/npm
if ! cmp -s <(sed -n '/"node_modules\//,$p' "$npm_dir/package-lock.json") \
            <(sed -n '/"node_modules\//,$p' "$npm_dir/node_modules/.package-lock.json" 2>/dev/null); then
  command -v npm >/dev/null || { echo "install-deps: npm is missing (it comes with Node.js)" >&2; exit 1; }
  echo "install-deps: installing the npm packages of tools/npm"
  npm ci --prefix "$npm_dir" --no-audit --no-fund --loglevel=error
fi
# ---- end of npm packages -------------------------------------------------------------------------
