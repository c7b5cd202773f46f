#!/usr/bin/env bash
# Checks the layering of the source tree: a folder may include only its own
# headers and those of the folders before it in the layer order (the
# ZUT_LAYERS list of CMakeLists.txt, bottom layer first); main.cc may include
# any layer; the synthetic database builder (tools/builder) includes no
# product header; no product file includes a test, tool or benchmark header.
#
#   check-layers.sh [ROOT]      check the tree at ROOT (default: this checkout)
#   check-layers.sh --self-test plant an upward include in a scratch tree and
#                               make sure it is caught
set -u

check() {
  local root=$1
  local order
  order=$(sed -n 's/^set(ZUT_LAYERS \(.*\))$/\1/p' "$root/CMakeLists.txt")
  if [ -z "$order" ]; then
    echo "check-layers: no set(ZUT_LAYERS ...) line in $root/CMakeLists.txt"
    return 1
  fi
  declare -A rank
  local i=0 layer
  for layer in $order; do rank[$layer]=$i; i=$((i + 1)); done
  local top=$i bad=0 file dir target line
  while IFS= read -r file; do
    local rel=${file#"$root"/}
    dir=${rel%%/*}
    [ "$rel" = "$dir" ] && dir=main
    case $dir in
      tests|bench|build*|.git) continue ;;
      tools)
        case $rel in tools/builder/*) ;; *) continue ;; esac ;;
    esac
    while IFS= read -r line; do
      target=${line#*\"}
      target=${target%%/*}
      if [ "$dir" = tools ]; then
        if [ -n "${rank[$target]+x}" ] || [ "$target" = tests ] || [ "$target" = bench ]; then
          echo "$rel: the builder includes a product header: $line"
          bad=1
        fi
        continue
      fi
      case $target in
        tests|tools|bench)
          echo "$rel: includes a $target header: $line"; bad=1; continue ;;
      esac
      [ -n "${rank[$target]+x}" ] || continue  # a header beside the file, or a system one
      local mine=$top
      [ "$dir" != main ] && mine=${rank[$dir]:-}
      if [ -z "$mine" ]; then
        echo "$rel: folder $dir is not in the layer order"; bad=1; continue
      fi
      if [ "${rank[$target]}" -gt "$mine" ]; then
        echo "$rel: $dir includes the later layer $target: $line"
        bad=1
      fi
    done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"/]+/' "$file")
  done < <(find "$root" \( -name build -o -name 'build-*' -o -name .git \) -prune -o \
                -type f \( -name '*.cc' -o -name '*.h' \) -print)
  return $bad
}

if [ "${1:-}" = --self-test ]; then
  t=$(mktemp -d)
  trap 'rm -rf "$t"' EXIT
  mkdir -p "$t/core" "$t/cli" "$t/tools/builder"
  echo 'set(ZUT_LAYERS core cli)' > "$t/CMakeLists.txt"
  echo '#include "core/a.h"' > "$t/cli/b.h"
  echo '#pragma once' > "$t/core/a.h"
  echo '#include "tools/builder/c.h"' > "$t/tools/builder/c.cc"
  check "$t" > /dev/null || { echo "self-test: a clean tree was refused"; exit 1; }
  echo '#include "cli/b.h"' >> "$t/core/a.h"
  if check "$t" > /dev/null; then echo "self-test: an upward include was not caught"; exit 1; fi
  echo '#pragma once' > "$t/core/a.h"
  echo '#include "core/a.h"' >> "$t/tools/builder/c.cc"
  if check "$t" > /dev/null; then echo "self-test: a product include in the builder was not caught"; exit 1; fi
  echo "self-test: upward and builder includes are caught"
  exit 0
fi

root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
if check "$root"; then
  echo "layers: every include points down the layer order"
else
  exit 1
fi
