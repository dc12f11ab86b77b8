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

need_root() {
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null; then sudo "$@"; else echo "install-deps: need root for: $*" >&2; exit 1; fi
  else
    "$@"
  fi
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  need_root dpkg --add-architecture i386
  need_root apt-get update -q
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  need_root apt-get update -q
  need_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
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
