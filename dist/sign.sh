#!/usr/bin/env bash
# Signs a Windows file in place: Authenticode with SHA-256, by osslsigncode.
#   VEXO_SIGN_CERT            the code-signing certificate (PEM; may hold the chain after it)
#   VEXO_SIGN_KEY             its private key (PEM)
#   VEXO_SIGN_KEY_PASS_FILE   a file holding the key's password (optional)
#   VEXO_SIGN_TIMESTAMP_URL   an RFC 3161 time-stamp server (optional; none is asked otherwise)
set -euo pipefail
file=$1
args=(sign -certs "$VEXO_SIGN_CERT" -key "$VEXO_SIGN_KEY" -h sha256 -n "Vexo Plugin")
if [ -n "${VEXO_SIGN_KEY_PASS_FILE:-}" ]; then args+=(-readpass "$VEXO_SIGN_KEY_PASS_FILE"); fi
if [ -n "${VEXO_SIGN_TIMESTAMP_URL:-}" ]; then args+=(-ts "$VEXO_SIGN_TIMESTAMP_URL"); fi
rm -f "$file.signed"
if ! osslsigncode "${args[@]}" -in "$file" -out "$file.signed" >"$file.signlog" 2>&1; then
  cat "$file.signlog" >&2
  rm -f "$file.signed" "$file.signlog"
  echo "sign: could not sign $file" >&2
  exit 1
fi
rm -f "$file.signlog"
mv -f "$file.signed" "$file"
