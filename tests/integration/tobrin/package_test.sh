#!/usr/bin/env bash
# package_test.sh CMAKE BUILD_DIR LIBDIR CXX CONSUMER_SOURCE [COMPILER_FLAGS...]
# Installs Tobrin from BUILD_DIR into a temporary prefix, builds CONSUMER_SOURCE with nothing but
# `pkg-config --cflags --libs tobrin`, and runs it against the installed library.
set -euo pipefail
cmake=$1 build=$2 libdir=$3 cxx=$4 source=$5
shift 5
work=$(mktemp -d /tmp/tobrin-package-XXXXXX)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

for component in tobrin companion-dev; do
  "$cmake" --install "$build" --prefix "$prefix" --component "$component" >/dev/null
done
readelf -d "$prefix/$libdir/libtobrin.so" | grep -q 'SONAME.*libtobrin\.so\.1' || {
  echo "the installed library has no SONAME libtobrin.so.1" >&2
  exit 1
}
test -f "$prefix/$libdir/cmake/Tobrin/TobrinConfig.cmake"

export PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig
# shellcheck disable=SC2046 # the flags are words
"$cxx" "$@" "$source" -o "$work/consumer" $(pkg-config --cflags --libs tobrin)
mkdir "$work/data"
LD_LIBRARY_PATH=$prefix/$libdir "$work/consumer" "$work/data"
