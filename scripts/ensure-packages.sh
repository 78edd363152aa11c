#!/bin/bash
# Makes sure the Debian packages the build and the tests need are installed.
# As root it installs what is missing; otherwise it prints the one command to run.
set -eu

packages=(cmake make g++ clang libclang-rt-14-dev googletest libgtest-dev libgmock-dev libbenchmark-dev libssl-dev
          g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix
          g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
          wine wine32:i386 wine64 xvfb xauth imagemagick x11-apps wixl msitools tzdata)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
needs_i386=0
dpkg --print-foreign-architectures | grep -qx i386 || needs_i386=1

if [ ${#missing[@]} -eq 0 ] && [ $needs_i386 -eq 0 ]; then
  exit 0
fi

command="dpkg --add-architecture i386 && apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]:-none} (i386 architecture: $([ $needs_i386 -eq 1 ] && echo missing || echo present))" >&2
  echo "Run as root:" >&2
  echo "  $command" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
dpkg --add-architecture i386
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
