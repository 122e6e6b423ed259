#!/usr/bin/env bash
# Builds the README's example host once with the CMake package and once with
# pkg-config, against an installed libkelmora-dev, and has both print the
# config spec of a view made with the installed stavetool.
#   hosts.sh SOURCE_DIR ROOT PREFIX BINDIR LIBDIR WORK
# ROOT is the staging folder of a DESTDIR install, or empty for the system;
# the folders are the full install folders; the hosts are left in WORK.
set -euo pipefail
source_dir=$1 root=$2 prefix=$3 bin=$2$4 lib=$2$5 work=$6

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
installed() {
  env -i HOME="$work" PATH="$bin:/usr/bin:/bin" KELMORA_HOME="$work/home" "$@"
}

installed stavetool mkview host_view
printf 'element * CHECKEDOUT\nelement * /main/LATEST\n' >"$work/view.cs"
installed stavetool setcs host_view "$work/view.cs"
printf 'element * CHECKEDOUT\r\nelement * /main/LATEST\r\n' >"$work/expected"
example() {  # the code block after "<!-- example: NAME -->" in the README
  awk -v marker="<!-- example: $1 -->" '$0 == marker { found = 1; next }
    found && /^```/ { if (inside) exit; inside = 1; next }
    inside { print }' "$source_dir/README.md"
}
mkdir "$work/host"
example host.cpp >"$work/host/host.cpp"
example CMakeLists.txt >"$work/host/CMakeLists.txt"
if [ ! -s "$work/host/host.cpp" ] || [ ! -s "$work/host/CMakeLists.txt" ]; then
  fail "README has no example host"
fi

cmake -S "$work/host" -B "$work/cmake-host" -G Ninja -DCMAKE_PREFIX_PATH="$root$prefix" >/dev/null
grep -qxF "kelmora_DIR:PATH=$lib/cmake/kelmora" "$work/cmake-host/CMakeCache.txt" ||
  fail "find_package did not find the installed package"
cmake --build "$work/cmake-host" >/dev/null
flags=$(PKG_CONFIG_PATH="$lib/pkgconfig" PKG_CONFIG_SYSROOT_DIR="$root" pkg-config --cflags --libs kelmora)
# shellcheck disable=SC2086  # the flags are words
c++ -o "$work/pkg-config-host" "$work/host/host.cpp" $flags
for host in "$work/cmake-host/host" "$work/pkg-config-host"; do
  installed LD_LIBRARY_PATH="$lib" "$host" host_view >"$work/printed" || fail "$host failed"
  cmp "$work/expected" "$work/printed" || fail "$host printed $(od -c "$work/printed")"
done
