#!/usr/bin/env bash
# companion_package_test.sh NAME PACKAGE CMAKE BUILD_DIR LIBDIR CXX CONSUMER_DIR [FLAGS...]
# Installs the companion library NAME from BUILD_DIR into a temporary prefix, then builds the
# caller CONSUMER_DIR/consumer.cpp against it twice, with nothing but what was installed: with
# `pkg-config --cflags --libs NAME`, and as the CMake project CONSUMER_DIR that finds PACKAGE with
# find_package. Each build runs with a path of its own to work in as its only argument.
set -euo pipefail
name=$1 package=$2 cmake=$3 build=$4 libdir=$5 cxx=$6 consumer=$7
shift 7
flags="$*"
work=$(mktemp -d "/tmp/$name-package-XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

for component in companion-dev "$name"; do
  "$cmake" --install "$build" --prefix "$prefix" --component "$component" >/dev/null
done
for file in include/zendral/com.h "include/zendral/$name.h" "$libdir/lib$name.so.1" \
            "$libdir/pkgconfig/$name.pc" "$libdir/cmake/$package/${package}Config.cmake"; do
  [ -e "$prefix/$file" ] || { echo "not installed: $file" >&2; exit 1; }
done
readelf -d "$prefix/$libdir/lib$name.so" | grep -q "SONAME.*lib$name\.so\.1" ||
  { echo "lib$name.so has no SONAME lib$name.so.1" >&2; exit 1; }

export PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig
# shellcheck disable=SC2046,SC2086 # the flags are words
"$cxx" $flags "$consumer/consumer.cpp" -o "$work/by-pkg-config" $(pkg-config --cflags --libs "$name") \
  -Wl,-rpath,"$prefix/$libdir"
"$work/by-pkg-config" "$work/pkg-config"

"$cmake" -S "$consumer" -B "$work/cmake-build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" \
  >"$work/configure.log" || { cat "$work/configure.log" >&2; exit 1; }
"$cmake" --build "$work/cmake-build" >"$work/build.log" || { cat "$work/build.log" >&2; exit 1; }
"$work/cmake-build/consumer" "$work/cmake"
