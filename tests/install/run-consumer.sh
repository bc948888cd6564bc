#!/usr/bin/env bash
# Installs the build into a temporary prefix and builds and runs the consumer against it.
set -euo pipefail
build=$1; src=$2; work=$3
rm -rf "$work"; mkdir -p "$work"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S "$src/consumer" -B "$work/build" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/build" >/dev/null
LD_LIBRARY_PATH="$work/prefix/lib:$work/prefix/lib/x86_64-linux-gnu:${LD_LIBRARY_PATH:-}" QT_QPA_PLATFORM=offscreen "$work/build/consumer"
