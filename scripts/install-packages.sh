#!/usr/bin/env bash
# Installs the host packages the build and the tests need on a Debian machine.
# Idempotent: does nothing when every package is already there.
set -euo pipefail

PACKAGES=(
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools
  libz-mingw-w64-dev cmake ninja-build make
  wine wine32:i386 wine64
  xvfb xauth x11-utils python3 python3-cryptography openssl fonts-wqy-microhei imagemagick
  libstb-dev googletest dpkg-dev curl ca-certificates qemu-user-static locales zbar-tools
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

src_file=/etc/apt/sources.list.d/tollvane-src.sources
src_text=$(python3 "$(dirname "$0")/debian-src.py")
need_src=0
[ "$(cat "$src_file" 2>/dev/null)" = "$src_text" ] || need_src=1

# Wine maps file names through the host locale's character set: without a generated
# zh_CN.UTF-8 locale, Chinese file names cannot be created under the tests' LC_ALL.
need_locale=0
locale -a 2>/dev/null | grep -qix 'zh_CN.utf8' || need_locale=1

if [ ${#missing[@]} -eq 0 ] && [ $need_src -eq 0 ] && [ $need_locale -eq 0 ]; then
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
# Source entries for apt-get source (the dependencies are built from Debian's source packages).
[ $need_src -eq 0 ] || printf '%s\n' "$src_text" > "$src_file"

apt-get update -q
apt-get install -y -q --no-install-recommends "${PACKAGES[@]}"
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
  localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi
