#!/usr/bin/env bash
# The release files of the win32 build, in two steps (one ctest entry each, one JUnit report each):
#
#   release_test.sh files --work DIR --report XML --dll DLL --older-dll DLL --release-dll DLL --bridge DIR
#     Runs dist/make-dist.sh as `make dist` does: the builds without a release key are development
#     builds (refused without --dev, "-dev" files with it), unsigned for the older build, signed with
#     a test CA made here for the current one; RELEASE-DLL (release key and origin list built in)
#     gives release files. The current and the release build come with the browser bridge of DIR
#     (the build's bridge/dist), with store ids for the extension to offer. Checks the version and the texts come from the DLL, the release DLL is
#     stripped with its debug file beside it, the signatures verify against the test CA, and one
#     changed byte breaks the DLL's signature. Needs no Wine.
#
#   release_test.sh installer --work DIR --report XML --files DIR --nphost EXE --holder EXE
#                   --gateway BIN --modules DIR --page HTML --expected FILE --refused FILE --prefix WINEPREFIX
#     Under Wine, in a copy of the build's Wine prefix (the other tests never see what the
#     installers do): installs the older build silently, upgrades it to the current one while a
#     program holds the old DLL loaded, pays through the plug-in found in the registry as a browser
#     finds it, installs the release build over it and sees it refuse a page of an unlisted origin,
#     asks the installed bridge host what each browser has (--check), and uninstalls. FILES is the
#     work folder of the "files" step.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
step=${1:?files or installer}
shift
arch=i686 work="" report="" dll="" older_dll="" release_dll="" bridge_dir="" files="" nphost="" holder="" gateway="" modules="" page="" expected="" refused="" prefix=""
while [ $# -gt 0 ]; do
  case $1 in
    --arch) arch=$2 ;; --work) work=$2 ;; --report) report=$2 ;; --dll) dll=$2 ;; --older-dll) older_dll=$2 ;;
    --release-dll) release_dll=$2 ;; --bridge) bridge_dir=$2 ;;
    --files) files=$2 ;; --nphost) nphost=$2 ;; --holder) holder=$2 ;; --gateway) gateway=$2 ;;
    --modules) modules=$2 ;; --page) page=$2 ;; --expected) expected=$2 ;; --refused) refused=$2 ;; --prefix) prefix=$2 ;;
    *) echo "release_test: unknown option $1" >&2; exit 2 ;;
  esac
  shift 2
done
# i686: the product; x86_64: the 64-bit check build (a 64-bit installer, under 64-bit Wine).
mingw=$arch-w64-mingw32
wine_runner=wine-run.sh
[ "$arch" = x86_64 ] && wine_runner=wine64-run.sh
rm -rf "$work"
mkdir -p "$work"
plugin=zoRozoridEverid.dll
dev_plugin=zoRozoridEverid-dev.dll  # a development build's release files
# The extension's store ids the bridge builds of the test offer it under; the release build has
# another Chrome id (the store id changed).
chrome_store_id=abcdefghijklmnopabcdefghijklmnop
release_chrome_store_id=bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb
edge_store_id=ponmlkjihgfedcbaponmlkjihgfedcba

test_name=release_test
. "$root/tests/common/cases.sh"

# ---------------------------------------------------------------------------------------------
# files
# ---------------------------------------------------------------------------------------------

# A throwaway CA and a code-signing certificate it issued.
make_test_ca() {
  local ca=$1
  mkdir -p "$ca"
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$ca/ca.key" -out "$ca/ca.pem" -days 2 \
    -subj "/CN=Vexo Release Test CA" -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign" 2>/dev/null &&
  openssl req -newkey rsa:2048 -nodes -keyout "$ca/sign.key" -out "$ca/sign.csr" \
    -subj "/CN=Vexo Release Test Signing" 2>/dev/null &&
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >"$ca/ext" &&
  openssl x509 -req -in "$ca/sign.csr" -CA "$ca/ca.pem" -CAkey "$ca/ca.key" -CAcreateserial \
    -out "$ca/sign.pem" -days 2 -extfile "$ca/ext" 2>/dev/null
}

verifies() { osslsigncode verify -CAfile "$work/ca/ca.pem" -in "$1" >"$1.verify" 2>&1; }

files_step() {
  local dist=$root/dist/make-dist.sh out

  start_case release_files_need_a_release_key_and_an_origin_list
  # The builds of the tests have no release key: no release files without --dev.
  if env -u VEXO_DIST_DEV "$dist" --arch "$arch" --dll "$older_dll" --out "$work/refused" >"$work/refused.log" 2>&1; then
    problem "make-dist made release files from a DLL without a release key"
  fi
  grep -q "is not a release build" "$work/refused.log" && grep -q "no release key" "$work/refused.log" &&
    grep -q -e "--dev" "$work/refused.log" || { cat "$work/refused.log" >&2; problem "the refusal does not say why and what to do"; }
  [ ! -e "$work/refused" ] || problem "a refused make-dist wrote files"
  # The build's bridge, offering the extension in both stores.
  local name id
  for name in bridge bridge-release; do
    id=$chrome_store_id
    [ $name = bridge-release ] && id=$release_chrome_store_id
    cp -r "$bridge_dir" "$work/$name"
    sed -i -e "s/\(CHROME_STORE_ID\) \"\"/\1 \"$id\"/" -e "s/\(EDGE_STORE_ID\) \"\"/\1 \"$edge_store_id\"/" \
      "$work/$name/extension-offer.nsh"
    grep -q "$id" "$work/$name/extension-offer.nsh" || problem "no store ids in $work/$name/extension-offer.nsh"
  done
  if ! "$dist" --arch "$arch" --dll "$release_dll" --out "$work/release" --bridge "$work/bridge-release" >"$work/release.log" 2>&1; then
    cat "$work/release.log" >&2
    problem "make-dist refused a DLL with a release key and an origin list"
  fi
  [ "$(cd "$work/release" 2>/dev/null && ls | grep -c -e -dev)" = 0 ] && [ -f "$work/release/$plugin" ] ||
    problem "the release files are not named as releases: $(ls "$work/release" 2>/dev/null | tr '\n' ' ')"

  start_case installer_named_by_the_dll_version
  # No bridge folder: the plug-in alone, whatever else the build folder holds.
  if ! env -u VEXO_SIGN_CERT -u VEXO_SIGN_KEY "$dist" --dev --arch "$arch" --dll "$older_dll" --out "$work/older" \
      --bridge "$work/no-bridge" >"$work/older.log" 2>&1; then
    cat "$work/older.log" >&2
    problem "make-dist --dev failed on the older build"
  fi
  # The older build differs from the product only in its version resource.
  [ -f "$work/older/vexo-plugin-setup-1.0.1706.20-dev.exe" ] || problem "no installer named by the DLL's version 1.0.1706.20 and -dev"
  grep -q "UNSIGNED" "$work/older.log" || problem "an unsigned build does not say so"
  grep -q "DEVELOPMENT BUILD" "$work/older.log" || problem "a development build does not say so"
  (cd "$work/older" && sha256sum --quiet -c SHA256SUMS) || problem "SHA256SUMS does not match the files"
  grep -q "^[0-9a-f]\{64\}  vexo-plugin-setup-1.0.1706.20-dev.exe$" "$work/older.log" || problem "no SHA-256 printed"

  start_case release_dll_stripped_with_debug_file
  out=$work/older
  [ "$($mingw-nm "$out/$dev_plugin" 2>&1)" = "$mingw-nm: $out/$dev_plugin: no symbols" ] ||
    problem "the release DLL keeps symbols"
  $mingw-objdump -h "$out/$dev_plugin" | grep -q ' \.gnu_debuglink ' || problem "the release DLL names no debug file"
  $mingw-objdump -h "$out/$dev_plugin" | grep -q ' \.debug_' && problem "the release DLL keeps debug sections"
  $mingw-objdump -h "$out/$dev_plugin.debug" | grep -q ' \.debug_line ' || problem "the debug file has no line table"
  # Same code: the stripped DLL's text section is the build's.
  $mingw-objcopy -O binary -j .text "$older_dll" "$work/build.text"
  $mingw-objcopy -O binary -j .text "$out/$dev_plugin" "$work/release.text"
  cmp -s "$work/build.text" "$work/release.text" || problem "the release DLL's code differs from the build's"

  start_case signed_files_verify
  make_test_ca "$work/ca" || problem "cannot make the test CA"
  if ! VEXO_SIGN_CERT=$work/ca/sign.pem VEXO_SIGN_KEY=$work/ca/sign.key VEXO_DIST_DEV=1 "$dist" --arch "$arch" --dll "$dll" \
      --out "$work/current" --bridge "$work/bridge" >"$work/current.log" 2>&1; then
    cat "$work/current.log" >&2
    problem "make-dist failed with a signing key"
  fi
  grep -q "UNSIGNED" "$work/current.log" && problem "a signed build says it is unsigned"
  verifies "$work/current/$dev_plugin" || problem "the DLL's signature does not verify"
  local setup
  setup=$(ls "$work/current"/vexo-plugin-setup-*.exe 2>/dev/null | head -1)
  [ -n "$setup" ] && verifies "$setup" || problem "the installer's signature does not verify"
  grep -q "Message digest algorithm  : SHA256" "$work/current/$dev_plugin.verify" || problem "not signed with SHA-256"
  # A file signed by another CA does not verify against this one.
  verifies "$work/older/$dev_plugin" && problem "an unsigned DLL verifies"

  start_case changed_byte_fails_verification
  local copy=$work/changed.dll size at offset byte
  cp "$work/current/$dev_plugin" "$copy"
  # One byte in the middle of the code section.
  read -r size at < <($mingw-objdump -h "$copy" | awk '$2 == ".text" { print $3, $6 }')
  offset=$((0x$at + 0x$size / 2))
  byte=$(od -An -tu1 -j "$offset" -N1 "$copy")
  printf "\\$(printf %03o $(((byte + 1) % 256)))" | dd of="$copy" bs=1 seek="$offset" conv=notrunc status=none
  cmp -s "$copy" "$work/current/$dev_plugin" && problem "the byte was not changed"
  verifies "$copy" && problem "a DLL changed after signing still verifies"
}

# ---------------------------------------------------------------------------------------------
# installer
# ---------------------------------------------------------------------------------------------

wine_run() { "$root/cmake/$wine_runner" "$@"; }

# The values under a registry key and its subkeys as sorted "key|name|type|data" lines; a key's
# default value is named "@" (reg prints it in the language of the system).
registry_values() {
  wine_run reg query "$1" /s 2>/dev/null | tr -d '\r' | sed 's/^HKCU\\/HKEY_CURRENT_USER\\/' | awk '
    /^HKEY_/ { key = $0; next }
    /^    [^ ]/ {
      line = substr($0, 5); n = index(line, "    ")
      if (n == 0) { print key "|" line; next }
      name = substr(line, 1, n - 1); rest = substr(line, n + 4); m = index(rest, "    ")
      if (name ~ /^\(.*\)$/) name = "@"
      if (m == 0) print key "|" name "|" rest "|"
      else print key "|" name "|" substr(rest, 1, m - 1) "|" substr(rest, m + 4)
    }' | sort
}

plugins_key='HKEY_CURRENT_USER\Software\MozillaPlugins'
uninstall_key='HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Uninstall\VexoMirovanPlugin'
# The bridge's keys: the host registered per browser, the extension offered to Chrome and Edge.
host_keys=('HKEY_CURRENT_USER\Software\Google\Chrome\NativeMessagingHosts' 'HKEY_CURRENT_USER\Software\Microsoft\Edge\NativeMessagingHosts'
  'HKEY_CURRENT_USER\Software\Opera Software\NativeMessagingHosts' 'HKEY_CURRENT_USER\Software\Mozilla\NativeMessagingHosts')
host_browsers=(Chrome Edge Opera Firefox)
chrome_extensions='HKEY_CURRENT_USER\Software\Google\Chrome\Extensions'
edge_extensions='HKEY_CURRENT_USER\Software\Microsoft\Edge\Extensions'
# Edge already has the extension from a source of the user's own: the installer leaves it alone.
users_edge_update_url=https://updates.example/edge

# What the installer of VERSION (a development build unless the second argument is "release"; with
# the bridge offered under the Chrome store id the third names) must have written, the installed
# files being in place.
expected_registry() {
  local version=$1 id kb=0 f display="Vexo Plugin (development build)" key
  [ "${2:-}" = release ] && display="Vexo Plugin"
  id="$plugins_key\\@vexo.co.kr/Mirovan,version=$version"
  for f in "$instdir"/*; do [ -f "$f" ] && kb=$((kb + ($(stat -c %s "$f") + 1023) / 1024)); done
  {
    echo "$id|Path|REG_SZ|$instdir_win\\$plugin"
    echo "$id|ProductName|REG_SZ|Vexo"
    echo "$id|Vendor|REG_SZ|Vexo Co., Ltd."
    echo "$id|Version|REG_SZ|$version"
    echo "$id|Description|REG_SZ|Vexo Plugin v.$version"
    echo "$id\\MimeTypes\\application/mirovanplugin|Description|REG_SZ|mirovanplugin"
    echo "$id\\MimeTypes\\application/mirovanplugin|Suffixes|REG_SZ|rts"
    echo "$uninstall_key|DisplayName|REG_SZ|$display"
    echo "$uninstall_key|DisplayVersion|REG_SZ|$version"
    echo "$uninstall_key|Publisher|REG_SZ|Vexo Co., Ltd."
    echo "$uninstall_key|DisplayIcon|REG_SZ|$instdir_win\\uninstall.exe,0"
    echo "$uninstall_key|InstallLocation|REG_SZ|$instdir_win"
    echo "$uninstall_key|UninstallString|REG_SZ|\"$instdir_win\\uninstall.exe\""
    echo "$uninstall_key|QuietUninstallString|REG_SZ|\"$instdir_win\\uninstall.exe\" /S"
    echo "$uninstall_key|NoModify|REG_DWORD|0x1"
    echo "$uninstall_key|NoRepair|REG_DWORD|0x1"
    printf '%s|EstimatedSize|REG_DWORD|0x%x\n' "$uninstall_key" "$kb"
    echo "$edge_extensions\\$edge_store_id|update_url|REG_SZ|$users_edge_update_url"
    if [ -n "${3:-}" ]; then
      for key in "${host_keys[@]}"; do
        f=chrome.json
        [ "$key" = "${host_keys[3]}" ] && f=firefox.json
        echo "$key\\$host_name|@|REG_SZ|$instdir_win\\$f"
      done
      echo "$chrome_extensions\\$3|update_url|REG_SZ|https://clients2.google.com/service/update2/crx"
      echo "$uninstall_key|ChromeExtensionOffered|REG_SZ|$3"
    fi
  } | sort
}

check_registry() {
  expected_registry "$1" "${2:-}" "${3:-}" >"$work/registry.expected"
  local key
  for key in "$plugins_key" "$uninstall_key" "${host_keys[@]}" "$chrome_extensions" "$edge_extensions"; do
    registry_values "$key"
  done | sort >"$work/registry.actual"
  diff -u "$work/registry.expected" "$work/registry.actual" >&2 || problem "the registry differs from what version $1 installs"
}

# The install folder holds exactly the files named: NAME=SOURCE (a copy of SOURCE) or NAME.
check_files() {
  local pair names=()
  for pair in "$@"; do
    names+=("${pair%%=*}")
    if [ "$pair" = "${pair%%=*}" ]; then
      [ -f "$instdir/$pair" ] || problem "no $instdir/$pair"
    else
      cmp -s "$instdir/${pair%%=*}" "${pair#*=}" || problem "$instdir/${pair%%=*} is not ${pair#*=}"
    fi
  done
  [ "$(cd "$instdir" 2>/dev/null && ls -A | sort)" = "$(printf '%s\n' "${names[@]}" | sort)" ] ||
    problem "the install folder holds: $(ls -A "$instdir" 2>/dev/null | tr '\n' ' ')"
}

# The per-user files (without the temporary folder, where Windows keeps the uninstaller's running
# copy until it is cleaned up) and the registry keys that name the product.
snapshot() {
  find "$prefix_copy/drive_c/users" -path "$tempdir" -prune -o -print | sort >"$work/$1.files"
  wine_run reg query 'HKCU\Software' /s 2>/dev/null | tr -d '\r' | grep '^HKEY_' |
    grep -i -E 'vexo|mozilla|mirovan|google|edge|opera' | sort >"$work/$1.keys"
}

# C:\x\y in the prefix, as a Unix path.
unix_path() {
  local p=${1//\\//}
  echo "$WINEPREFIX/drive_c/${p#[Cc]:/}"
}

# What vexo-bridge --check prints for the browsers of the test machine (Chrome alone is installed)
# with the bridge installed ("installed") or not; the host program's version reads VERSION.
expected_check() {
  local ids gecko_id line name key f i
  ids=$(grep -o 'chrome-extension://[a-p]*' "$files/current/bridge/chrome.json" | sed 's|.*//||' | paste -sd,)
  gecko_id=$(sed -n 's/.*"allowed_extensions": *\["\([^"]*\)".*/\1/p' "$files/current/bridge/firefox.json")
  for i in "${!host_keys[@]}"; do
    name=${host_browsers[$i]} key=${host_keys[$i]}
    line="$name: browser not found"
    [ "$name" = Chrome ] && line="$name: ready"
    key="HKCU${key#HKEY_CURRENT_USER}\\$host_name"
    if [ "$1" = installed ]; then
      f=chrome.json
      [ "$name" = Firefox ] && f=firefox.json
      echo "$line; registered at $key -> $instdir_win\\$f; host $instdir_win\\vexo-bridge.exe VERSION;" \
        "plug-in $instdir_win\\$plugin $current_version loads; extensions $([ "$name" = Firefox ] && echo "$gecko_id" || echo "$ids")"
    else
      [ "$name" = Chrome ] && line="$name: not registered"
      echo "$line; nothing at $key"
    fi
  done
}

# Runs the bridge host PROGRAM with --check: its lines in WORK/check-NAME.txt, its exit status
# compared with STATUS and its lines with expected_check NAME.
bridge_check() {
  local program=$1 name=$2 expected_status=$3 status
  wine_run "$program" --check 2>&1 | tr -d '\r' >"$work/check-$name.txt"
  status=${PIPESTATUS[0]}
  echo "release_test: vexo-bridge --check, $name (exit status $status):"
  cat "$work/check-$name.txt"
  [ "$status" = "$expected_status" ] || problem "vexo-bridge --check exited with $status, expected $expected_status"
  expected_check "$name" | diff -u - <(sed 's/\(vexo-bridge\.exe\) [0-9.]*;/\1 VERSION;/' "$work/check-$name.txt") >&2 ||
    problem "vexo-bridge --check printed other lines"
}

seconds_since() { echo "$(($(date +%s%N) - $1))" | awk '{ printf "%.2f", $1 / 1e9 }'; }

installer_step() {
  local older_setup current_setup t0 holder_pid="" status
  older_setup=$(ls "$files/older"/vexo-plugin-setup-*.exe | head -1)
  current_setup=$(ls "$files/current"/vexo-plugin-setup-*.exe | head -1)
  local older_version current_version
  older_version=$(basename "$older_setup" -dev.exe); older_version=${older_version#vexo-plugin-setup-}
  current_version=$(basename "$current_setup" -dev.exe); current_version=${current_version#vexo-plugin-setup-}
  host_name=$(sed -n 's/.*"name": *"\([^"]*\)".*/\1/p' "$files/current/bridge/chrome.json")

  # A copy of the build's prefix (or a new one): what the installers do stays in it. Its system
  # files are hard links (Wine only reads them); what Wine writes are copies: the registry, the
  # .ini files, the user folders.
  prefix_copy=$work/wineprefix
  if [ -f "$prefix/system.reg" ]; then
    cp -al "$prefix" "$prefix_copy"
    local f
    for f in "$prefix"/*.reg "$prefix"/.update-timestamp "$prefix"/drive_c/windows/*.ini; do
      [ -f "$f" ] && cp --remove-destination "$f" "$prefix_copy${f#"$prefix"}"
    done
    rm -rf "$prefix_copy/drive_c/users"
    cp -a "$prefix/drive_c/users" "$prefix_copy/drive_c/users"
  fi
  export WINEPREFIX=$prefix_copy
  trap 'touch "$work/stop-holder"; wineserver -k >/dev/null 2>&1' EXIT
  # The user's folders as Windows names them, and where they are in the prefix.
  local dirs localappdata profile temp
  dirs=$(wine_run cmd /c 'echo %LOCALAPPDATA%;%USERPROFILE%;%TEMP%' 2>/dev/null | tr -d '\r' | tail -1)
  IFS=';' read -r localappdata profile temp <<<"$dirs"
  instdir_win="$localappdata\\Vexo\\MirovanPlugin"
  instdir=$(unix_path "$instdir_win")
  modules_home=$(unix_path "$profile\\AppData\\LocalLow\\Vexo")
  tempdir=$(unix_path "$temp")
  start_case silent_install
  if [ ! -d "$prefix_copy/drive_c/users" ] || [ -z "$localappdata" ]; then
    problem "Wine does not run here, or the prefix has no user folders"
    write_report
    exit 1
  fi
  rm -rf "$modules_home"
  # This machine has Chrome (where browser installers register their program), and Edge has the
  # extension from the user's own source.
  wine_run reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\App Paths\chrome.exe' /ve /d 'C:\windows\notepad.exe' /f >/dev/null &&
  wine_run reg add "$edge_extensions\\$edge_store_id" /v update_url /d "$users_edge_update_url" /f >/dev/null ||
    problem "cannot set up the browsers"
  snapshot before
  t0=$(date +%s%N)
  wine_run "$older_setup" /S
  status=$?
  echo "release_test: install under Wine: $(seconds_since "$t0") s" | tee "$work/install-time"
  [ "$status" -eq 0 ] || problem "the installer exited with $status"
  check_files "$plugin=$files/older/$dev_plugin" uninstall.exe
  check_registry "$older_version"

  start_case upgrade_while_the_old_plugin_is_loaded
  wine_run "$holder" "$instdir_win\\$plugin" "Z:${work//\//\\}\\stop-holder" >"$work/holder.out" 2>&1 &
  holder_pid=$!
  for _ in $(seq 300); do grep -q loaded "$work/holder.out" && break; sleep 0.1; done
  grep -q loaded "$work/holder.out" || problem "the holder did not load the installed DLL"
  wine_run "$current_setup" /S
  status=$?
  [ "$status" -eq 0 ] || problem "the upgrade exited with $status"
  # The loaded DLL was moved aside, the new one is in its place, one registration of the new version.
  check_files "$plugin=$files/current/$dev_plugin" "$plugin.1.old=$files/older/$dev_plugin" uninstall.exe \
    "vexo-bridge.exe=$files/current/bridge/vexo-bridge.exe" chrome.json firefox.json
  check_registry "$current_version" "" "$chrome_store_id"
  osslsigncode verify -CAfile "$files/ca/ca.pem" -in "$instdir/uninstall.exe" >"$work/uninstaller.verify" 2>&1 ||
    problem "the installed uninstaller's signature does not verify"

  start_case uninstall_refused_while_loaded
  # In place (_?=), so that the exit status is the uninstaller's own.
  wine_run "$instdir_win\\uninstall.exe" /S "_?=$instdir_win"
  status=$?
  [ "$status" -eq 2 ] || problem "the uninstaller exited with $status while the plug-in was in use"
  check_files "$plugin=$files/current/$dev_plugin" "$plugin.1.old=$files/older/$dev_plugin" uninstall.exe \
    "vexo-bridge.exe=$files/current/bridge/vexo-bridge.exe" chrome.json firefox.json
  check_registry "$current_version" "" "$chrome_store_id"
  touch "$work/stop-holder"
  wait "$holder_pid"

  start_case registered_plugin_pays
  "$root/tests/tools/page_test.sh" --gateway "$gateway" --modules "$modules" --expected "$expected" \
    --expect-text "nphost: plug-in $instdir_win\\$plugin" --work "$work/page" -- \
    "$root/cmake/$wine_runner" "$nphost" --registered --url http://127.0.0.1:18080/checkout.html "Z:$page" \
    >"$work/page.log" 2>&1 ||
    { cat "$work/page.log" >&2; problem "the checkout page did not pay through the registered plug-in"; }
  (cd "$modules_home" 2>/dev/null && find . | sort) >"$work/modules.before"
  grep -q 'ActiveX/MVmainUI70.dll$' "$work/modules.before" || problem "the payment left no module directory"

  start_case release_build_refuses_an_unlisted_page
  wine_run "$(ls "$files/release"/vexo-plugin-setup-*.exe | head -1)" /S
  status=$?
  [ "$status" -eq 0 ] || problem "the release installer exited with $status"
  check_files "$plugin=$files/release/$plugin" uninstall.exe "vexo-bridge.exe=$files/release/bridge/vexo-bridge.exe" \
    chrome.json firefox.json
  check_registry "$current_version" release "$release_chrome_store_id"
  # Nothing is fetched for that page: no gateway runs, and the module directory stays as it was.
  "$root/tests/tools/page_test.sh" --expected "$refused" --status 1 --work "$work/refused-page" -- \
    "$root/cmake/$wine_runner" "$nphost" --registered --url https://shop.example/checkout.html "Z:$page" \
    >"$work/refused-page.log" 2>&1 ||
    { cat "$work/refused-page.log" >&2; problem "the release build did not refuse a page of an unlisted origin"; }
  (cd "$modules_home" 2>/dev/null && find . | sort) | cmp -s - "$work/modules.before" ||
    problem "the refused page changed the module directory"

  start_case bridge_check_finds_the_registration
  bridge_check "$instdir_win\\vexo-bridge.exe" installed 0

  start_case uninstall_removes_what_the_installer_added
  t0=$(date +%s%N)
  wine_run "$instdir_win\\uninstall.exe" /S
  # The uninstaller runs on as a copy in the temporary folder: wait until it is done.
  for _ in $(seq 600); do [ -e "$instdir" ] || break; sleep 0.05; done
  echo "release_test: uninstall under Wine: $(seconds_since "$t0") s" | tee "$work/uninstall-time"
  wineserver -w
  snapshot after
  # The payment's files: its modules and Wine's WinINet cache.
  diff <(grep -v -F -e "$modules_home" -e /INetCache -e /INetCookies "$work/before.files") \
    <(grep -v -F -e "$modules_home" -e /INetCache -e /INetCookies "$work/after.files") >&2 ||
    problem "files or folders left behind (or lost)"
  diff "$work/before.keys" "$work/after.keys" >&2 || problem "registry keys left behind"
  wine_run reg query "$uninstall_key" >/dev/null 2>&1 && problem "the uninstall entry is still there"
  (cd "$modules_home" 2>/dev/null && find . | sort) | cmp -s - "$work/modules.before" ||
    problem "the payment's module directory changed"
  bridge_check "$files/release/bridge/vexo-bridge.exe" uninstalled 1
}

case $step in
  files) files_step ;;
  installer) installer_step ;;
  *) echo "release_test: unknown step $step" >&2; exit 2 ;;
esac
write_report
