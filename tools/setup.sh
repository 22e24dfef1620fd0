#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the demo need.
# Idempotent: when everything is present it only checks, in a second or so.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config make
  libcurl4-openssl-dev libnewt-dev libslang2-dev libarchive-dev libssl-dev
  libxml2-dev libxml2-utils libboost-regex-dev
  libgtest-dev googletest
  python3 tmux tinyproxy openssl ca-certificates curl
  util-linux procps iproute2 tar gzip coreutils
  gettext locales groff man-db dpkg-dev file rpm
  clang libclang-rt-14-dev llvm valgrind
  xsltproc python3-html5lib ansible-core ansible-lint
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} = 0 ]; then
  echo "setup: the ${#packages[@]} packages needed are installed"
  exit 0
fi

if [ "$(id -u)" != 0 ]; then
  echo "setup: these packages are missing and installing them needs root: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
echo "setup: reading the package lists (apt-get update)"
apt-get update -qq
echo "setup: installing ${#missing[@]} packages: ${missing[*]}"
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup: the packages are installed"
