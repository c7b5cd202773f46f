#!/usr/bin/env bash
# Makes sure the Debian packages the build needs are present. As root, missing
# packages are installed (one apt-get update, then apt-get install -y); as any
# other user the script stops and names what is missing. With the argument
# "demo" only what the binary and the database builder need is checked.
set -eu

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

command -v cmake >/dev/null 2>&1 || need+=(cmake)
command -v g++ >/dev/null 2>&1 || need+=(g++)
command -v make >/dev/null 2>&1 || need+=(make)
command -v pkg-config >/dev/null 2>&1 || need+=(pkg-config)
if [ "${1:-}" = demo ]; then
  for p in libjemalloc-dev libedit-dev; do
    have_pkg "$p" || need+=("$p")
  done
else
  command -v clang++ >/dev/null 2>&1 || need+=(clang)
  for p in libjemalloc-dev libedit-dev libgtest-dev libbenchmark-dev libclang-rt-dev; do
    have_pkg "$p" || need+=("$p")
  done
fi

[ ${#need[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing Debian packages: ${need[*]}" >&2
  echo "Install them with: sudo apt-get install -y ${need[*]}" >&2
  exit 1
fi

echo "Installing missing Debian packages: ${need[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q "${need[@]}"
