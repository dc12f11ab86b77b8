#!/usr/bin/env bash
# Builds the release files from the win32 build's plug-in DLL:
#   OUT/zoRozoridEverid.dll          stripped (and signed when a key is given)
#   OUT/zoRozoridEverid.dll.debug    its debug information, for reading crash dumps
#   OUT/vexo-plugin-setup-<version>.exe   the per-user installer (dist/installer.nsi)
#   OUT/bridge/                      the browser bridge host (stripped, signed like the DLL), its
#                                    two manifests and the extension's store ids (extension-offer.nsh),
#                                    when the build has the bridge
#   OUT/SHA256SUMS                   the SHA-256 of each file, also printed
# The version and every product text come from the DLL's version resource.
#
#   dist/make-dist.sh [--dev] [--dll DLL] [--out DIR] [--bridge DIR] [--arch i686|x86_64]
# Defaults: build/win32/shell/zoRozoridEverid.dll, dist/out, and build/win32/bridge/dist when that
# folder exists (the browser bridge host and its manifests, see dist/bridge.nsh).
# Signing: VEXO_SIGN_CERT and VEXO_SIGN_KEY (PEM files) sign the DLL, the uninstaller and the
# installer (see dist/sign.sh); without them the files are unsigned and the output says so.
# SOURCE_DATE_EPOCH (default: the time of the last commit) dates the files written.
# Release files are made only from a DLL with a release key and a page origin list built in (read
# from the DLL itself): its module updates are signed and only listed pages can start a payment.
# Anything else is a development build, made only when asked for with --dev (or VEXO_DIST_DEV=1):
# its files carry "-dev" in their names, and its installer says so on its first page and in the
# uninstall entry.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
dll=$root/build/win32/shell/zoRozoridEverid.dll
out=$here/out
bridge=$root/build/win32/bridge/dist
arch=i686  # x86_64 for the 64-bit check build's files (a 64-bit installer)
dev=${VEXO_DIST_DEV:-0}
[ "$dev" = 0 ] || dev=1
while [ $# -gt 0 ]; do
  case $1 in
    --dev) dev=1; shift ;;
    --dll) dll=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    --bridge) bridge=$2; shift 2 ;;
    --arch) arch=$2; shift 2 ;;
    *) echo "make-dist: unknown option $1" >&2; exit 2 ;;
  esac
done
[ -f "$dll" ] || { echo "make-dist: no DLL at $dll (run make win32 first)" >&2; exit 1; }
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 0)
fi
export SOURCE_DATE_EPOCH
tools=$arch-w64-mingw32
target=()
[ "$arch" = x86_64 ] && target=("-DVEXO_TARGET=amd64-unicode")

# The version resource as resource-script text; value NAME prints one string of it.
rc=$("$tools-windres" -i "$dll" -O rc)
value() { sed -n "s/^ *VALUE \"$1\", \"\(.*\)\"\r\?$/\1/p" <<<"$rc" | head -1; }
version=$(sed -n 's/^ *FILEVERSION \([0-9]*\), *\([0-9]*\), *\([0-9]*\), *\([0-9]*\).*/\1.\2.\3.\4/p' <<<"$rc")
[ -n "$version" ] || { echo "make-dist: $dll has no version resource" >&2; exit 1; }

# What the DLL has built in: the root key's PEM text, and the origin list after its marker.
built_in=$(strings -a "$dll")
key_built_in=0
grep -q -e '-----BEGIN PUBLIC KEY-----' <<<"$built_in" && key_built_in=1
origins=$(sed -n 's/^vexo-page-origins=//p' <<<"$built_in" | head -1)
missing=() lacks=()
if [ $key_built_in = 0 ]; then
  missing+=("no release key (configure with -DVEXO_RELEASE_PUBLIC_KEY=root.pub.pem, the root of the release keys): anyone on a customer's network could replace the payment modules")
  lacks+=("unsigned module updates")
fi
if [ -z "$origins" ]; then
  missing+=("no page origin list (configure with -DVEXO_BRIDGE_ORIGINS=https://pay.example.com): any web page could start a payment")
  lacks+=("any web page can start a payment")
fi
suffix="" dev_note=""
if [ ${#missing[@]} -gt 0 ]; then
  if [ $dev = 0 ]; then
    echo "make-dist: $dll is not a release build:" >&2
    printf '  - %s\n' "${missing[@]}" >&2
    echo "make-dist: build it with both, or ask for a development build: make-dist.sh --dev (or VEXO_DIST_DEV=1)" >&2
    exit 1
  fi
  suffix=-dev
  dev_note="DEVELOPMENT BUILD, not for customers: $(IFS=','; echo "${lacks[*]}" | sed 's/,/, /g')."
  echo "make-dist: $dev_note Files named *$suffix*."
else
  echo "make-dist: release build: signed module updates, payments only from pages on $origins"
fi

rm -rf "$out"
mkdir -p "$out"
# makensis reads the files from the script's folder: every path absolute.
out=$(cd "$out" && pwd)
dll=$(cd "$(dirname "$dll")" && pwd)/$(basename "$dll")
base=$(basename "$dll" .dll)$suffix.dll
"$tools-objcopy" --only-keep-debug "$dll" "$out/$base.debug"
"$tools-objcopy" --strip-all --add-gnu-debuglink="$out/$base.debug" "$dll" "$out/$base"

signing=()
if [ -n "${VEXO_SIGN_CERT:-}" ] && [ -n "${VEXO_SIGN_KEY:-}" ]; then
  "$here/sign.sh" "$out/$base"
  signing=("-DVEXO_SIGN=$here/sign.sh")
  echo "make-dist: signing with $VEXO_SIGN_CERT${VEXO_SIGN_TIMESTAMP_URL:+, time stamp from $VEXO_SIGN_TIMESTAMP_URL}"
else
  echo "make-dist: UNSIGNED build (set VEXO_SIGN_CERT and VEXO_SIGN_KEY to sign)"
fi

bridging=()
if [ -f "$bridge/vexo-bridge.exe" ]; then
  # The host is released like the DLL: stripped, and signed when a key is given.
  mkdir -p "$out/bridge"
  cp "$bridge/chrome.json" "$bridge/firefox.json" "$bridge/extension-offer.nsh" "$out/bridge/"
  "$tools-objcopy" --strip-all "$bridge/vexo-bridge.exe" "$out/bridge/vexo-bridge.exe"
  if [ ${#signing[@]} -gt 0 ]; then "$here/sign.sh" "$out/bridge/vexo-bridge.exe"; fi
  bridge=$out/bridge
  name=$(sed -n 's/.*"name" *: *"\([^"]*\)".*/\1/p' "$bridge/chrome.json" | head -1)
  bridging=("-DVEXO_BRIDGE_DIR=$bridge" "-DVEXO_BRIDGE_NAME=$name")
  echo "make-dist: with the browser bridge host $name from $bridge"
fi

setup=vexo-plugin-setup-$version$suffix.exe
developing=()
[ -z "$dev_note" ] || developing=("-DVEXO_DEV_NOTE=$dev_note")
makensis -V2 -INPUTCHARSET UTF8 \
  "-DVEXO_DLL=$out/$base" "-DVEXO_OUT=$out/$setup" "-DVEXO_VERSION=$version" \
  "-DVEXO_PRODUCT=$(value ProductName)" "-DVEXO_COMPANY=$(value CompanyName)" \
  "-DVEXO_DESCRIPTION=$(value FileDescription)" "-DVEXO_COPYRIGHT=$(value LegalCopyright)" \
  "-DVEXO_MIME=$(value MIMEType)" "-DVEXO_MIME_DESCRIPTION=$(value FileOpenName)" \
  "-DVEXO_SUFFIXES=$(value FileExtents)" \
  "${signing[@]+"${signing[@]}"}" "${bridging[@]+"${bridging[@]}"}" "${target[@]+"${target[@]}"}" \
  "${developing[@]+"${developing[@]}"}" \
  "$here/installer.nsi"

(cd "$out" && sha256sum "$base" "$base.debug" "$setup" $(ls bridge/vexo-bridge.exe 2>/dev/null) > SHA256SUMS)
find "$out" -exec touch -d "@$SOURCE_DATE_EPOCH" {} +
echo "make-dist: version $version, installer $(stat -c %s "$out/$setup") bytes, in $out:"
cat "$out/SHA256SUMS"
