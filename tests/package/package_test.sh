#!/usr/bin/env bash
# package_test.sh SOURCE_DIR CXX
# Builds the Debian packages with scripts/package (lintian included) and checks them as a line PC
# gets them: every file and dependency, the library packages' shlibs, stripped programs and a
# post-install step that survives a machine without udev. Then, unpacked into a temporary root
# with dpkg-deb -x, the station and the bench run two modules' roads (the diagnostic library and
# the outside tools come from the bench's own folder), and the companion libraries' callers
# build against the -dev package with pkg-config and with CMake's find_package.
set -euo pipefail
source_dir=$1 cxx=$2
work=$(mktemp -d /tmp/zendral-package-XXXXXX)
debs=$work/debs root=$work/root
usr=$root/usr
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAILED: $*" >&2
  exit 1
}

"$source_dir/scripts/package" --output "$debs" >"$work/package.log" 2>&1 || {
  cat "$work/package.log" >&2
  fail "scripts/package"
}
version=$(sed -n 's/^project(Zendral VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
arch=$(dpkg --print-architecture)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
deb() { echo "$debs/${1}_${version}_${arch}.deb"; }

# ---- Files ----
expect_files() {
  local package=$1 listing
  shift
  [ -f "$(deb "$package")" ] || fail "no package $package"
  listing=$(dpkg-deb -c "$(deb "$package")" | awk '{print $6}')
  for file in "$@" "usr/share/doc/$package/copyright" "usr/share/doc/$package/changelog.gz"; do
    grep -qx "./$file" <<<"$listing" || fail "$package lacks /$file"
  done
}
bench_dir=usr/lib/zendral-bench
expect_files zendral usr/bin/zendral usr/bin/zendral-headless usr/bin/zendral-tool \
  usr/lib/udev/rules.d/60-zendral.rules usr/share/applications/zendral.desktop \
  usr/share/icons/hicolor/scalable/apps/zendral.svg usr/share/doc/zendral/README.md \
  usr/share/man/man1/zendral.1.gz usr/share/man/man1/zendral-headless.1.gz \
  usr/share/man/man1/zendral-tool.1.gz
expect_files zendral-bench usr/bin/zendral-bench usr/share/man/man1/zendral-bench.1.gz \
  $bench_dir/QMSL_MSVC10R.dll $bench_dir/QMSL_MSVC10R.360.dll $bench_dir/QMSL_MSVC10R.238.dll \
  $bench_dir/QMSL_MSVC10R.247.dll $bench_dir/QSaharaServer.exe $bench_dir/fh_loader.exe
dev_files=(usr/include/zendral/com.h)
for lib in wexley nelvish tobrin; do
  package=$(tr '[:lower:]' '[:upper:]' <<<"${lib:0:1}")${lib:1}
  expect_files "lib${lib}1" "usr/lib/$multiarch/lib$lib.so.1" "usr/lib/$multiarch/lib$lib.so.1.0.0"
  dev_files+=("usr/include/zendral/$lib.h" "usr/lib/$multiarch/lib$lib.so"
              "usr/lib/$multiarch/pkgconfig/$lib.pc" "usr/lib/$multiarch/cmake/$package/${package}Config.cmake")
  dpkg-deb -I "$(deb "lib${lib}1")" shlibs | grep -qx "lib$lib 1 lib${lib}1 (>= $version)" ||
    fail "lib${lib}1 has no shlibs entry"
  dpkg-deb -I "$(deb "lib${lib}1")" triggers | grep -q "ldconfig" || fail "lib${lib}1 does not run ldconfig"
done
expect_files libzendral-dev "${dev_files[@]}"
# The station never brings the bench's simulated files, and nothing of the bench lands where a
# line PC's real library goes.
dpkg-deb -c "$(deb zendral)" | grep -q 'QMSL\|\.exe$\|zendral-bench' && fail "zendral holds bench files"
dpkg-deb -c "$(deb zendral-bench)" | grep -q 'usr/lib/zendral/' && fail "zendral-bench fills /usr/lib/zendral"

# ---- Dependencies ----
expect_depends() {
  local package=$1 depends names
  shift
  depends=$(dpkg-deb -f "$(deb "$package")" Depends)
  names=$(sed 's/ ([^)]*)//g; s/, /\n/g' <<<"$depends")
  for name in "$@"; do
    grep -qxF "$name" <<<"$names" || fail "$package does not depend on $name: $depends"
  done
}
expect_depends zendral libc6 libstdc++6 libqt6widgets6 libusb-1.0-0 libudev1 libxml2
expect_depends zendral-bench libc6 libstdc++6
expect_depends libtobrin1 libc6 libodbc2
expect_depends libnelvish1 libc6 libxml2
expect_depends libzendral-dev libwexley1 libnelvish1 libtobrin1 unixodbc-dev
dpkg-deb -f "$(deb libzendral-dev)" Depends | grep -q "libwexley1 (= $version)" ||
  fail "libzendral-dev does not ask for its own libraries' version"

# ---- Unpacked: stripped programs, the post-install step ----
for package in zendral zendral-bench libwexley1 libnelvish1 libtobrin1 libzendral-dev; do
  dpkg-deb -x "$(deb "$package")" "$root"
done
for program in "$usr"/bin/* "$root/$bench_dir"/* "$usr/lib/$multiarch"/lib*.so.1.0.0; do
  file -L "$program" | grep -q ', stripped' || fail "$program is not stripped"
done
# A program that links a companion library depends on its package.
for program in "$usr"/bin/*; do
  package=zendral
  [ "${program##*/}" = zendral-bench ] && package=zendral-bench
  for lib in $(readelf -d "$program" | sed -n 's/.*NEEDED.*\[lib\(wexley\|nelvish\|tobrin\)\.so\.1\]/\1/p'); do
    expect_depends "$package" "lib${lib}1"
    # The run records reach their default SQLite file through its ODBC driver.
    [ "$lib" = tobrin ] && expect_depends "$package" libsqliteodbc
  done
done
dpkg-deb -e "$(deb zendral)" "$work/control"
mkdir "$work/no-udev"
printf '#!/bin/sh\necho "Failed to send reload request: No such file or directory" >&2\nexit 1\n' \
  >"$work/no-udev/udevadm"
chmod +x "$work/no-udev/udevadm"
PATH="$work/no-udev:$PATH" "$work/control/postinst" configure || fail "postinst fails without udevd"
PATH="$work/no-udev:$PATH" "$work/control/postrm" remove || fail "postrm fails without udevd"
PATH=/nonexistent /bin/sh "$work/control/postinst" configure || fail "postinst fails without udevadm"

# ---- Two roads on the bench, with the unpacked programs ----
LD_LIBRARY_PATH=$usr/lib/$multiarch "$(dirname "$0")/package_roads.sh" "$usr" "$work/roads" ||
  fail "a road on the bench"

# ---- Callers against the -dev package ----
export PKG_CONFIG_PATH=$usr/lib/$multiarch/pkgconfig
declare -A consumers=([wexley]=tests/unit/wexley [nelvish]=tests/unit/nelvish
                      [tobrin]=tests/integration/tobrin)
for lib in "${!consumers[@]}"; do
  # shellcheck disable=SC2046 # pkg-config's flags are words
  "$cxx" "$source_dir/${consumers[$lib]}/package/consumer.cpp" -o "$work/$lib-caller" \
    $(pkg-config --cflags --libs "$lib") || fail "the $lib caller does not build"
  LD_LIBRARY_PATH=$usr/lib/$multiarch "$work/$lib-caller" "$work/$lib-data" >/dev/null ||
    fail "the $lib caller fails"
  # The same caller as a CMake project that finds the unpacked package.
  cmake -S "$source_dir/${consumers[$lib]}/package" -B "$work/$lib-cmake" -G Ninja \
    -DCMAKE_PREFIX_PATH="$usr" -DCMAKE_CXX_COMPILER="$cxx" >"$work/$lib-cmake.log" 2>&1 &&
    cmake --build "$work/$lib-cmake" >>"$work/$lib-cmake.log" 2>&1 || {
    cat "$work/$lib-cmake.log" >&2
    fail "the $lib caller does not build with find_package"
  }
  LD_LIBRARY_PATH=$usr/lib/$multiarch "$work/$lib-cmake/consumer" "$work/$lib-cmake-data" >/dev/null ||
    fail "the $lib caller built with find_package fails"
done
echo "packages: $(cd "$debs" && echo *.deb)"
