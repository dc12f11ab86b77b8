#!/usr/bin/env bash
# ctest fixture of the HTTP client and payment tests: starts the local gateways on loopback, with a
# test CA that the machine trusts for the run only, and stops them again.
#   gateway_fixture.sh start WORKDIR GATEWAY_BINARY
#   gateway_fixture.sh start-payment WORKDIR GATEWAY_BINARY MODULE_FOLDER
#   gateway_fixture.sh start-release WORKDIR GATEWAY_BINARY MODULE_FOLDER ROOT_KEY
#   gateway_fixture.sh stop  WORKDIR
# "start-payment" runs one gateway with the test control switched on, on the fixed ports the
# plug-in's gateway URLs name (HTTP 18080, HTTPS 18443 as "localhost"), serving a copy of
# MODULE_FOLDER's payment modules; it can present the self-signed and the wrongly named certificate
# on demand.
# "start-release" packs MODULE_FOLDER's payment modules with the operator commands of vexo-gateway
# (keylist, pack, rotate-root; ROOT_KEY is the root the plug-in under test holds) into releases under
# WORKDIR/gateway/releases (see pack_releases) and serves WORKDIR/gateway/www with nginx on the same
# fixed ports; the access log lists "URI STATUS BYTES_SENT" per request.
# State lives in WORKDIR/gateway: certificates, the module folder, the request log, pid files and
# gateway.env (the ports the tests read). The CA goes to /usr/local/share/ca-certificates (Debian's
# store, which libcurl and Wine's crypt32 both read) under a name unique to WORKDIR, and is removed
# by "stop" and by the next "start".
set -u
cmd=${1:?start or stop}
work=$(cd "${2:?work folder}" && pwd)
state=$work/gateway
ca_file=/usr/local/share/ca-certificates/vexo-test-$(printf %s "$work" | md5sum | cut -c1-12).crt

# Rebuilds the trusted certificates; other worktrees' fixtures may run it at the same moment, and
# two runs at once can fail, so a failed run is tried again.
update_ca() {
  for _ in 1 2 3 4 5; do
    update-ca-certificates >/dev/null 2>&1 && return 0
    sleep 1
  done
  return 1
}

stop_gateways() {
  local f pids=()
  for f in "$state"/*.pid; do
    [ -f "$f" ] || continue
    pids+=("$(cat "$f")")
    rm -f "$f"
  done
  if [ ${#pids[@]} -gt 0 ]; then
    kill "${pids[@]}" 2>/dev/null
    for _ in $(seq 50); do
      local alive=0 pid
      for pid in "${pids[@]}"; do kill -0 "$pid" 2>/dev/null && alive=1; done
      [ $alive -eq 1 ] || break
      sleep 0.1
    done
    kill -9 "${pids[@]}" 2>/dev/null
  fi
  if [ -f "$ca_file" ]; then
    rm -f "$ca_file"
    update_ca
  fi
}

make_certificates() {
  local tls=$state/tls
  mkdir -p "$tls" && cd "$tls" || return 1
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -keyout ca.key -out ca.crt -subj "/CN=Vexo test CA" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null || return 1
  leaf localhost "DNS:localhost,IP:127.0.0.1" || return 1
  leaf wrongname "DNS:gateway.invalid" || return 1
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -keyout selfsigned.key -out selfsigned.crt -subj "/CN=localhost" \
    -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" 2>/dev/null || return 1
  cd - >/dev/null
}

# leaf NAME SUBJECT_ALT_NAMES: a server certificate signed by the test CA.
leaf() {
  openssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=${2%%,*}" 2>/dev/null &&
  printf 'subjectAltName=%s\nbasicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\n' "$2" > "$1.ext" &&
  openssl x509 -req -in "$1.csr" -CA ca.crt -CAkey ca.key -CAcreateserial -days 2 -out "$1.crt" -extfile "$1.ext" 2>/dev/null
}

make_modules() {
  local m=$state/modules
  mkdir -p "$m"
  for i in $(seq 40); do echo "hello from the local gateway, line $i"; done > "$m/hello.dll"
  head -c 300000 /dev/urandom > "$m/big.bin"          # several 81,960-byte reads
  : > "$m/empty.bin"
  printf 'plain body, not gzip\r\n' > "$m/plain.txt"
  head -c 120000 /dev/urandom > "$m/short.bin"        # plain and cut short
  for f in missing.dll broken.dll drop.dll damaged.dll slow.dll; do cp "$m/hello.dll" "$m/$f"; done
  head -c 200000 /dev/urandom > "$m/cut.dll"
}

# start_gateway NAME PORTS... : starts one gateway, waits for its ports file.
start_gateway() {
  local name=$1; shift
  rm -f "$state/$name.ports"
  ASAN_OPTIONS=detect_leaks=0 "$gateway" --dir "$state/modules" --bind 127.0.0.1 --lifetime 1800 \
    --request-log "$state/requests.log" --ports-file "$state/$name.ports" "$@" >"$state/$name.log" 2>&1 &
  echo $! > "$state/$name.pid"
  for _ in $(seq 100); do
    [ -f "$state/$name.ports" ] && return 0
    kill -0 "$(cat "$state/$name.pid")" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

port_of() { sed -n "s/^$2=//p" "$state/$1.ports"; }

# Fresh state, certificates and the trusted test CA.
prepare() {
  gateway=${1:?gateway binary}
  if [ ! -x "$gateway" ]; then
    echo "gateway_fixture: $gateway is missing; build the native preset first" >&2
    exit 1
  fi
  stop_gateways
  rm -rf "$state"
  mkdir -p "$state"
  make_certificates || { echo "gateway_fixture: openssl failed" >&2; exit 1; }
  cp "$state/tls/ca.crt" "$ca_file" && update_ca || {
    echo "gateway_fixture: cannot trust the test CA (run as root)" >&2; exit 1; }
}

# pack_releases MODULE_FOLDER ROOT_KEY: the release folders the release tests serve, made with the
# operator commands. Key list 1 lists the release key; each attack folder differs from "signed" in one
# point only.
pack_releases() {
  local rel=$state/releases src=$state/release-src k=$state/keys root=$2 g="$gateway"
  local past=$(( $(date +%s) - 10 * 86400 ))
  mkdir -p "$src/now" "$src/old" "$src/byte" "$src/next" "$rel" "$k"
  for d in now old byte next; do cp "$1"/MVcontrol70.dll "$1"/MVmainUI70.dll "$src/$d/" || return 1; done
  printf 'x' >> "$src/old/MVcontrol70.dll"     # still loads; another release's file
  printf 'y' >> "$src/next/MVcontrol70.dll"   # the next release's, with a version of its own
  printf '[MVcontrol70.dll]\r\nVersion=next\r\n' > "$src/next/pack.ini"
  printf '\001' | dd of="$src/byte/MVcontrol70.dll" bs=1 seek=100 conv=notrunc status=none
  "$g" keygen --out "$k/release" >/dev/null || return 1
  for name in release2 other otherroot newroot; do
    openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$k/$name.pem" 2>/dev/null &&
    openssl pkey -in "$k/$name.pem" -pubout -out "$k/$name.pub.pem" || return 1
  done
  # release NAME [FROM]: a new release folder, a copy of FROM's when given.
  release() { mkdir -p "$rel/$1" && { [ -z "${2:-}" ] || cp -r "$rel/$2/." "$rel/$1/"; }; }
  keylist() { "$g" keylist "$@" >/dev/null; }
  pack() { "$g" pack "$@" >/dev/null; }
  release keys1 && keylist --root "$root" --version 1 --expires 30 --key "$k/release.pub.pem" "$rel/keys1" &&
  release unsigned && pack "$src/now" "$rel/unsigned" &&
  release signed keys1 && pack --sign "$k/release.pem" --serial 2 --expires 30 "$src/now" "$rel/signed" &&
  release old keys1 && pack --sign-command "openssl dgst -sha256 -sign $k/release.pem" --serial 1 --expires 30 "$src/old" "$rel/old" &&
  release byte && pack "$src/byte" "$rel/byte" &&
  release next signed && pack --sign "$k/release.pem" --serial 3 --expires 30 "$src/next" "$rel/next" &&
  release otherkey && keylist --root "$root" --version 1 --expires 30 --key "$k/other.pub.pem" "$rel/otherkey" &&
  pack --sign "$k/other.pem" --serial 2 --expires 30 "$src/now" "$rel/otherkey" &&
  cp "$rel/keys1/plugin/file/MirovanKeys.1.lst" "$rel/otherkey/plugin/file/" &&
  release expired keys1 && VEXO_GATEWAY_NOW=$past pack --sign "$k/release.pem" --serial 2 --expires 1 "$src/now" "$rel/expired" &&
  release keysexpired keys1 &&
  VEXO_GATEWAY_NOW=$past keylist --root "$root" --version 2 --expires 1 --key "$k/release.pub.pem" "$rel/keysexpired" &&
  VEXO_GATEWAY_NOW=$past pack --sign "$k/release.pem" --serial 2 --expires 30 "$src/now" "$rel/keysexpired" &&
  release badroot keys1 && keylist --root "$k/otherroot.pem" --version 2 --expires 30 --key "$k/release.pub.pem" "$rel/badroot" &&
  pack --sign "$k/release.pem" --serial 2 --expires 30 "$src/now" "$rel/badroot" &&
  release newrootonly keys1 && "$g" rotate-root --old "$k/otherroot.pem" --new "$k/newroot.pem" "$rel/newrootonly" >/dev/null &&
  keylist --root "$k/newroot.pem" --version 2 --expires 30 --key "$k/release.pub.pem" "$rel/newrootonly" &&
  pack --sign "$k/release.pem" --serial 2 --expires 30 "$src/now" "$rel/newrootonly" &&
  release fastforward keys1 && pack --sign "$k/release.pem" --serial 2147483647 --expires 30 "$src/now" "$rel/fastforward" &&
  release recovered keys1 && keylist --root "$root" --version 2 --expires 30 --key "$k/release2.pub.pem" "$rel/recovered" &&
  pack --sign "$k/release2.pem" --serial 1 --expires 30 "$src/now" "$rel/recovered" &&
  release rotated recovered && "$g" rotate-root --old "$root" --new "$k/newroot.pem" "$rel/rotated" >/dev/null &&
  keylist --root "$k/newroot.pem" --version 3 --expires 30 --key "$k/release2.pub.pem" "$rel/rotated" &&
  pack --sign "$k/release2.pem" --serial 1 --expires 30 "$src/now" "$rel/rotated"
}

# start_nginx: serves $state/www on 127.0.0.1:18080 (HTTP) and :18443 (HTTPS, test CA) in the
# foreground of a background job (no master process, so its pid is the job's).
start_nginx() {
  local n=$state/nginx tls=$state/tls
  mkdir -p "$n" "$state/www"
  cat > "$n/nginx.conf" <<CONF
daemon off;
master_process off;
pid $n/nginx-own.pid;
error_log $n/error.log;
events { worker_connections 64; }
http {
  types { }
  default_type application/octet-stream;
  log_format release '\$request_uri \$status \$body_bytes_sent';
  access_log $n/access.log release;
  client_body_temp_path $n/body;
  proxy_temp_path $n/proxy;
  fastcgi_temp_path $n/fastcgi;
  uwsgi_temp_path $n/uwsgi;
  scgi_temp_path $n/scgi;
  server {
    listen 127.0.0.1:18080;
    listen 127.0.0.1:18443 ssl;
    server_name localhost;
    ssl_certificate $tls/localhost.crt;
    ssl_certificate_key $tls/localhost.key;
    root $state/www;
    add_header Cache-Control no-cache;
  }
}
CONF
  nginx -p "$n" -c "$n/nginx.conf" -e "$n/error.log" </dev/null >"$n/output.log" 2>&1 &
  echo $! > "$state/nginx.pid"
  for _ in $(seq 50); do
    curl -sf -o /dev/null --noproxy '*' http://127.0.0.1:18080/ 2>/dev/null; [ $? -ne 7 ] && return 0
    kill -0 "$(cat "$state/nginx.pid")" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

case $cmd in
start-release)
  prepare "${3:-}"
  pack_releases "${4:?module folder}" "${5:?root key}" || { echo "gateway_fixture: packing failed" >&2; exit 1; }
  mkdir -p "$state/www" && cp -r "$state/releases/unsigned/." "$state/www/" || exit 1
  start_nginx || { echo "gateway_fixture: nginx did not start" >&2; cat "$state/nginx/error.log" >&2; stop_gateways; exit 1; }
  echo "nginx serving $state/www"
  ;;
start-payment)
  prepare "${3:-}"
  mkdir -p "$state/modules"
  cp "${4:?module folder}"/MVcontrol70.dll "$4"/MVmainUI70.dll "$state/modules/" || exit 1
  tls=$state/tls
  # The fixed ports may be held for a moment by another run of these tests: wait for them.
  for _ in $(seq 30); do
    start_gateway payment --port 18080 --tls-port 18443 --control \
      --cert "$tls/localhost.crt" --key "$tls/localhost.key" \
      --identity "selfsigned=$tls/selfsigned.crt:$tls/selfsigned.key" \
      --identity "wrongname=$tls/wrongname.crt:$tls/wrongname.key" && break
    sleep 1
  done
  [ -f "$state/payment.ports" ] || { echo "gateway_fixture: ports 18080/18443 stay busy" >&2; cat "$state/payment.log" >&2; stop_gateways; exit 1; }
  cat "$state/payment.ports"
  ;;
start)
  prepare "${3:-}"
  make_modules
  tls=$state/tls
  start_gateway main --port 0 --tls-port 0 --cert "$tls/localhost.crt" --key "$tls/localhost.key" \
    --plain plain.txt --plain short.bin --truncate short.bin --truncate cut.dll \
    --status missing.dll=404 --status broken.dll=500 --drop drop.dll --damage damaged.dll \
    --slow slow.dll --slow-ms 50 || { echo "gateway_fixture: gateway did not start" >&2; cat "$state/main.log" >&2; stop_gateways; exit 1; }
  start_gateway selfsigned --tls-port 0 --cert "$tls/selfsigned.crt" --key "$tls/selfsigned.key" &&
  start_gateway wrongname --tls-port 0 --cert "$tls/wrongname.crt" --key "$tls/wrongname.key" || {
    echo "gateway_fixture: gateway did not start" >&2; stop_gateways; exit 1; }
  # Port 443 may be held for a moment by another run of these tests: wait for it.
  for _ in $(seq 30); do
    start_gateway tls443 --tls-port 443 --cert "$tls/localhost.crt" --key "$tls/localhost.key" && break
    sleep 1
  done
  [ -f "$state/tls443.ports" ] || { echo "gateway_fixture: port 443 stays busy" >&2; stop_gateways; exit 1; }
  {
    echo "http_port=$(port_of main http)"
    echo "https_port=$(port_of main https)"
    echo "selfsigned_port=$(port_of selfsigned https)"
    echo "wrongname_port=$(port_of wrongname https)"
    echo "tls443_port=$(port_of tls443 https)"
  } > "$state/gateway.env"
  cat "$state/gateway.env"
  ;;
stop)
  stop_gateways
  ;;
*)
  echo "usage: $0 start WORKDIR GATEWAY | stop WORKDIR" >&2
  exit 2
  ;;
esac
