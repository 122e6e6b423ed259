#!/usr/bin/env bash
# scripts/package makes a Debian package of this build whose dependencies are
# the shared libraries it links, and which holds the library, the programs,
# their manual pages and the development files.
#   package_test.sh SOURCE_DIR BUILD_DIR PREFIX LIBDIR
set -euo pipefail
source_dir=$1 build=$2 prefix=$3 libdir=$4
output=$(mktemp -d "${TMPDIR:-/tmp}/kelmora-package-XXXXXX")
trap 'rm -rf "$output"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

deb=$("$source_dir/scripts/package" --build-dir "$build" --output "$output" </dev/null)
[ -f "$deb" ] || fail "scripts/package printed no package: $deb"
depends=$(dpkg-deb -I "$deb" | sed -n 's/^ Depends: //p')
names=$(sed 's/ ([^)]*)//g; s/, /\n/g' <<<"$depends")
for package in libc6 libsqlite3-0 libstdc++6 libuuid1; do
  grep -qxF "$package" <<<"$names" || fail "$package is not in Depends: $depends"
done
contents=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
for file in bin/viewprofile bin/stavetool lib/libkelmora.so share/man/man1/viewprofile.1 \
  include/kelmora/automation.h lib/pkgconfig/kelmora.pc lib/cmake/kelmora/kelmoraConfig.cmake; do
  case $file in lib/*) file=${libdir#"$prefix/"}/${file#lib/} ;; esac
  grep -qxF ".$prefix/$file" <<<"$contents" || fail "the package has no $prefix/$file"
done
