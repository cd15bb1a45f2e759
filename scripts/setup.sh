#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need (32-bit Wine
# too, where this machine runs 32-bit programs), and the Japanese locale under
# which Wine runs with code page 932. Fast when all is there.
set -euo pipefail

packages=(
  cmake make g++ clang libclang-rt-14-dev python3
  g++-mingw-w64-x86-64 g++-mingw-w64-i686
  wine wine64 xvfb xauth x11-apps x11-utils imagemagick
  googletest libgtest-dev locales fonts-ipafont-gothic fonts-wine
  jlha-utils lhasa 7zip osslsigncode openssl
  nlohmann-json3-dev dpkg-dev lintian
  liblhasa-dev pkg-config time bc
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

# An index that fails to download (a mirror in the middle of a sync) fails
# the whole update, though the others were fetched: what they offer is
# installed all the same, and apt-get install says whether that was enough.
apt_update() {
  "${sudo_cmd[@]}" apt-get update -qq || echo "setup: apt-get update reported a failure; going on with the indexes it fetched"
}

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  apt_update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The 32-bit stub runs under Wine beside the 64-bit one, in the same prefix,
# where this machine runs 32-bit programs: that takes Debian's i386 packages.
source "$(dirname "${BASH_SOURCE[0]}")/wine32.sh"
if runs_32bit_programs; then
  if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      echo "setup: adding the i386 architecture for 32-bit Wine"
      "${sudo_cmd[@]}" dpkg --add-architecture i386
    fi
    echo "setup: installing wine32:i386"
    apt_update
    # The i386 packages must match the versions of their amd64 twins; where
    # the mirror cannot offer them yet, the 32-bit stub's Wine tests are
    # skipped (and say so) rather than every test failing to start.
    if ! DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null; then
      echo "setup: wine32:i386 could not be installed: the i686 stub's Wine tests will not run"
    fi
  fi
else
  echo "setup: this machine cannot run 32-bit programs: no 32-bit Wine, the i686 stub's Wine tests will not run"
fi

if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  echo "setup: generating the ja_JP.UTF-8 locale"
  if ! grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'ja_JP.UTF-8 UTF-8' | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
  fi
  "${sudo_cmd[@]}" locale-gen >/dev/null
fi
