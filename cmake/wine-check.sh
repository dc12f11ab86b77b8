#!/usr/bin/env bash
# Tells whether this machine can run the 32-bit Wine that runs the win32 build's programs, and makes
# it able to where it can be: natively when the kernel executes 32-bit x86 programs, otherwise
# through qemu user-mode emulation registered with binfmt_misc as their interpreter.
# Source it. wine32_available answers (and registers the emulator when it is needed); it prints
# the reason on standard error when it answers no. wine32_mode tells how 32-bit programs run.
# wine32_emulation_env exports what 32-bit Wine needs under the emulator (nothing natively); only the
# Wine wrapper (cmake/wine-run.sh) calls it.
# VEXO_WINE_EMULATION=1 registers the emulator even where the kernel could run 32-bit programs itself
# (to try the emulated road on such a machine; it then holds for every 32-bit program there).
# VEXO_REQUIRE_WINE=1 turns a missing 32-bit Wine into a failure for callers that check it.
wine32_loader=/lib/i386-linux-gnu/ld-linux.so.2
wine32_check_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# The ELF header of 32-bit x86 executables and shared objects, and which of its bits to compare.
qemu_i386_magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
qemu_i386_mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"
  elif command -v sudo >/dev/null; then sudo "$@"
  else echo "need root for: $*" >&2; return 1
  fi
}

# qemu_i386_registered: an enabled binfmt_misc entry hands 32-bit x86 programs to qemu-i386 (ours or
# the machine's own, such as Debian's qemu-user-binfmt); binfmt_misc comes before the kernel's own
# loader, so such programs then run emulated.
qemu_i386_registered() {
  local entry
  for entry in /proc/sys/fs/binfmt_misc/*; do
    case ${entry##*/} in register|status) continue ;; esac
    grep -qx enabled "$entry" 2>/dev/null || continue
    grep -q '^interpreter .*\(qemu-i386\|i386-binfmt\)' "$entry" 2>/dev/null && return 0
  done
  return 1
}

# qemu_i386_register: mounts binfmt_misc where it is not, and registers qemu-i386 (flag F: the kernel
# opens the interpreter now, so it also serves other mount namespaces). An entry the machine already
# has is used as it is; nothing is ever unregistered.
qemu_i386_register() {
  local qemu
  qemu=$(command -v qemu-i386) ||
    { echo "qemu-i386 is not installed (tools/install-deps.sh installs qemu-user)" >&2; return 1; }
  qemu_i386_registered && return 0
  if [ ! -e /proc/sys/fs/binfmt_misc/register ]; then
    as_root mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc ||
      { echo "cannot mount binfmt_misc to register qemu-i386" >&2; return 1; }
  fi
  if [ -e /proc/sys/fs/binfmt_misc/vexo-qemu-i386 ]; then
    echo 1 | as_root tee /proc/sys/fs/binfmt_misc/vexo-qemu-i386 >/dev/null
  else
    printf ':vexo-qemu-i386:M::%s:%s:%s:F\n' "$qemu_i386_magic" "$qemu_i386_mask" "$qemu" |
      as_root tee /proc/sys/fs/binfmt_misc/register >/dev/null
  fi
  qemu_i386_registered || { echo "registering qemu-i386 with binfmt_misc failed" >&2; return 1; }
}

# wine32_trap_library: builds the LD_PRELOAD library of tools/qemu/trapno.c for 32-bit programs and
# an empty one of the same name for 64-bit programs ($LIB picks the right one), once per build tree;
# prints the LD_PRELOAD entry.
wine32_trap_library() {
  local out=$wine32_check_root/build/qemu lib=libvexo-qemu-trap.so src=$wine32_check_root/tools/qemu/trapno.c
  if [ ! -f "$out/lib/i386-linux-gnu/$lib" ] || [ "$src" -nt "$out/lib/i386-linux-gnu/$lib" ]; then
    mkdir -p "$out/lib/i386-linux-gnu" "$out/lib/x86_64-linux-gnu"
    (
      flock 9
      gcc -m32 -O2 -fPIC -shared -nostdlib -ffreestanding -fno-stack-protector -o "$out/$lib.32" "$src" \
        /lib/i386-linux-gnu/libc.so.6 &&
        gcc -shared -fPIC -o "$out/$lib.64" -x c /dev/null &&
        mv "$out/$lib.64" "$out/lib/x86_64-linux-gnu/$lib" && mv "$out/$lib.32" "$out/lib/i386-linux-gnu/$lib"
    ) 9>"$out/.lock" || { echo "building $lib failed" >&2; return 1; }
  fi
  printf '%s/$LIB/%s' "$out" "$lib"
}

# wine32_emulation_env: under the emulator, the settings 32-bit Wine needs there:
# - a guest address space below 2 GiB (with more, Wine's reservation of the address space turns into
#   hundreds of thousands of failing mmap probes, 40-60 s of CPU at every start; with none, Wine
#   cannot map its shared user data);
# - no re-exec through Wine's preloader, and the native 64-bit wineserver;
# - the trap number filled into fault signal contexts (tools/qemu/trapno.c);
# - no debugger started for a crash, also while the prefix is made (emulated Wine's own services
#   crash now and then, and `winedbg --auto` attached to them hangs the run).
wine32_emulation_env() {
  qemu_i386_registered || return 0
  local trap
  trap=$(wine32_trap_library) || return 1
  export QEMU_RESERVED_VA=${QEMU_RESERVED_VA:-0x7fff0000} WINELOADERNOEXEC=1
  case "${WINEDLLOVERRIDES:-}" in
    *winedbg.exe=d*) ;;
    *) export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=};winedbg.exe=d" ;;
  esac
  [ -x /usr/lib/wine/wineserver64 ] && export WINESERVER=/usr/lib/wine/wineserver64
  case " ${LD_PRELOAD:-} " in
    *" $trap "*) ;;
    *) export LD_PRELOAD="$trap${LD_PRELOAD:+ $LD_PRELOAD}" ;;
  esac
}

# wine32_mode: how 32-bit programs run here, for summaries: "natively" or "under qemu ... emulation".
wine32_mode() {
  if qemu_i386_registered; then
    echo "under qemu user-mode emulation ($(qemu-i386 --version 2>/dev/null | head -n1 | grep -o 'version [0-9.]*'))"
  else
    echo natively
  fi
}

wine32_available() {
  if [ ! -e "$wine32_loader" ]; then
    echo "32-bit Wine is not installed ($wine32_loader is missing; run tools/install-deps.sh)" >&2
    return 1
  fi
  if [ "${VEXO_WINE_EMULATION:-0}" = 1 ] || ! "$wine32_loader" --version >/dev/null 2>&1; then
    if ! qemu_i386_register; then
      echo "this machine cannot execute 32-bit x86 programs (its kernel has no IA-32 user mode:" \
        "$wine32_loader fails with \"Exec format error\") and qemu user-mode emulation could not be" \
        "set up, so 32-bit Wine cannot start here" >&2
      return 1
    fi
    if ! "$wine32_loader" --version >/dev/null 2>&1; then
      echo "32-bit programs do not start even under qemu-i386" >&2
      return 1
    fi
  fi
  # The emulation settings themselves are made by the Wine wrapper for Wine alone (an LD_PRELOAD
  # library must not reach the native test programs: AddressSanitizer wants to come first).
  ! qemu_i386_registered || wine32_trap_library >/dev/null
}

# Chooses the Windows build that Wine can run here and exports its settings: WINE_BUILD (win32, or
# the win64 check build where 32-bit Wine cannot run at all), WINE_RUNNER (its wrapper, relative to
# the source root), WINE_MODE (how it runs, for the reader) and WINEPREFIX (that build's prefix).
# ROOT is the source root.
wine_choose_build() {
  local root=$1
  if wine32_available 2>/dev/null; then
    WINE_BUILD=win32 WINE_RUNNER=cmake/wine-run.sh WINE_MODE="32-bit Wine $(wine32_mode)"
    qemu_i386_registered && WINE_MODE="$WINE_MODE; its times are emulated times, not Windows times"
  else
    WINE_BUILD=win64 WINE_RUNNER=cmake/wine64-run.sh WINE_MODE="64-bit Wine (check build; no 32-bit Wine here)"
  fi
  export WINEPREFIX=$root/build/$WINE_BUILD/wineprefix
}
