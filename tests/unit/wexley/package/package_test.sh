#!/usr/bin/env bash
# Installs Wexley from the build folder into a temporary prefix, then builds and runs a caller
# against it twice: with pkg-config, and as a CMake project with find_package.
# Usage: package_test.sh BUILD_DIR CXX [EXTRA_FLAGS]
set -euo pipefail
build=$1
cxx=$2
flags=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

for component in companion-dev wexley; do
  cmake --install "$build" --prefix "$prefix" --component "$component" >/dev/null
done
for file in include/zendral/com.h include/zendral/wexley.h lib/libwexley.so lib/libwexley.so.1 \
            lib/pkgconfig/wexley.pc lib/cmake/Wexley/WexleyConfig.cmake; do
  [ -e "$prefix/$file" ] || { echo "not installed: $file" >&2; exit 1; }
done

export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
# shellcheck disable=SC2046,SC2086
"$cxx" $flags "$here/consumer.cpp" -o "$work/by-pkg-config" $(pkg-config --cflags --libs wexley) \
  -Wl,-rpath,"$prefix/lib"
"$work/by-pkg-config" "$work/pkg-config.ini"

cmake -S "$here" -B "$work/cmake-build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" \
  >"$work/configure.log" || { cat "$work/configure.log" >&2; exit 1; }
cmake --build "$work/cmake-build" >"$work/build.log" || { cat "$work/build.log" >&2; exit 1; }
"$work/cmake-build/consumer" "$work/cmake.ini"
