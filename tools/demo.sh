#!/usr/bin/env bash
# Runs the tool on a short session in a scratch directory.
set -eu
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
printf 'HELP\nSET\nSET FIELD_TAG \\t\nEXIT\n' | "$build/zut"
