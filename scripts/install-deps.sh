#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; only missing ones are fetched.
set -euo pipefail

native=(cmake g++ make pkg-config protobuf-compiler libprotobuf-dev liblog4cplus-dev
        libgtest-dev libgmock-dev googletest libbenchmark-dev python3-dev python3-pytest
        clang libclang-rt-14-dev clang-format)
i386=(g++-multilib libprotobuf-dev:i386 liblog4cplus-dev:i386 libgtest-dev:i386 libgmock-dev:i386)

want_i386=${WANT_I386:-1}
missing=()
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo

if [ "$want_i386" = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  missing+=(__update__)
fi
for p in "${native[@]}"; do installed "$p" || missing+=("$p"); done
if [ "$want_i386" = 1 ]; then
  for p in "${i386[@]}"; do installed "$p" || missing+=("$p"); done
fi
pkgs=()
for p in "${missing[@]}"; do [ "$p" = __update__ ] || pkgs+=("$p"); done
if [ "${#missing[@]}" -gt 0 ]; then
  # On standard error, which stays on the terminal when a caller keeps apt's output in a log.
  echo "installing missing packages: ${pkgs[*]:-(package lists only)}" >&2
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  if [ "${#pkgs[@]}" -gt 0 ]; then
    $SUDO apt-get install -y -q --no-install-recommends "${pkgs[@]}"
  fi
fi
