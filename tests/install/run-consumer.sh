#!/usr/bin/env bash
# Installs the build into a temporary prefix, builds the consumer against it as the README
# shows (CMAKE_PREFIX_PATH) and runs it with no library path set: the installed libraries
# must find each other themselves. Also checks their sonames and RUNPATH.
set -euo pipefail
build=$1; src=$2; work=$3
rm -rf "$work"; mkdir -p "$work"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S "$src/consumer" -B "$work/build" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/build" >/dev/null
for lib in host panel; do
  file=$(find "$work/prefix" -name "libbta_$lib.so.*.*" | head -1)
  [[ -n $file ]] || { echo "libbta_$lib.so is not installed with a version" >&2; exit 1; }
  dynamic=$(objdump -p "$file")
  grep -Eq "SONAME +libbta_$lib\.so\.[0-9]+$" <<<"$dynamic" || { echo "$file: no versioned soname" >&2; exit 1; }
  grep -Eq 'RUNPATH +\$ORIGIN$' <<<"$dynamic" || { echo "$file: RUNPATH is not \$ORIGIN" >&2; exit 1; }
done
env -u LD_LIBRARY_PATH QT_QPA_PLATFORM=offscreen "$work/build/consumer"
