#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and then uses only what was
# installed: the programs, the manual pages, the docs they name, and the
# README's example host built once with the CMake package and once with
# pkg-config (hosts.sh).
#   install_test.sh SOURCE_DIR BUILD_DIR PREFIX BINDIR LIBDIR INCLUDEDIR MANDIR
# (the last five are the full install folders the build was configured with)
set -euo pipefail
source_dir=$1 build=$2 prefix=$3
stage=$(mktemp -d "${TMPDIR:-/tmp}/kelmora-install-XXXXXX")
trap 'rm -rf "$stage"' EXIT
root=$stage/root
bin=$root$4 lib=$root$5 include=$root$6 man1=$root$7/man1

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
# An installed program in a bare environment of its own.
installed() {
  env -i HOME="$stage" PATH="$bin:/usr/bin:/bin" KELMORA_HOME="$stage/home" "$@"
}

DESTDIR=$root cmake --install "$build" >/dev/null

if found=$(grep -rlF "$build" "$root"); then fail "the build folder is named in: $found"; fi
for file in "$bin"/* "$lib"/*.so*; do
  # shellcheck disable=SC2016  # a literal $ORIGIN
  if readelf -d "$file" 2>/dev/null | grep -E '\((RUN)?PATH\)' | grep -vF '[$ORIGIN'; then
    fail "$file has a library search path"
  fi
done
[ -L "$lib/libkelmora.so" ] || fail "no libkelmora.so link in $lib"
soname=$(readlink "$lib/libkelmora.so")
readelf -d "$lib/$soname" | grep -qF "Library soname: [$soname]" ||
  fail "libkelmora.so does not link to its SONAME"
diff -r "$source_dir/include/kelmora" "$include/kelmora" || fail "public headers differ"

# viewprofile registers the installed library on first use.
# grep reads it all: -q would close the pipe before a help longer than one write is out.
installed viewprofile --help | grep '^usage: viewprofile' >/dev/null || fail "viewprofile --help"
installed viewprofile --version | grep -Eq '^viewprofile [0-9]+\.[0-9]+\.[0-9]+$' ||
  fail "viewprofile --version"
installed viewprofile SetViewTag any_view | grep -qx TRUE || fail "viewprofile SetViewTag"
clsid=$(installed stavetool setting get 'Software\Classes\KELMORA.VIEWPROFILE' CLSID)
registered=$(installed stavetool setting get "Software\\Classes\\CLSID\\$clsid" InprocServer32)
[ "$registered" = "$lib/$soname" ] || fail "registered $registered, not $lib/$soname"

tests=$(dirname "$0")
"$tests/hosts.sh" "$source_dir" "$root" "$prefix" "$4" "$5" "$stage"

# The windows are a private module in lib/kelmora/, which the library finds
# there, also when the host found the library through a relative path: with
# no display, the front end itself (not the loader) says why it cannot serve.
if [ -n "$(find "$root" -name libkelmora_qtui.so)" ]; then
  [ -f "$lib/kelmora/libkelmora_qtui.so" ] || fail "libkelmora_qtui.so is not in $lib/kelmora"
  said=$(cd "$root" && installed LD_LIBRARY_PATH="${lib#"$root"/}" KELMORA_UI=qt \
    "$stage/pkg-config-host" no_such_view 2>&1 </dev/null) || true
  grep -qF "no windows: no display" <<<"$said" || fail "the front end was not found: $said"
fi

# The help pages are where the library looks for them (datadir holds mandir).
help=$root${7%/man}/kelmora/help
for page in "$source_dir"/share/kelmora/help/private_branch_wizard/*.htm; do
  cmp "$page" "$help/private_branch_wizard/${page##*/}" || fail "help page ${page##*/} not installed"
done

# Bash completion and the settings file's manual page.
for program in viewprofile stavetool vptree; do
  bash -n "$root${7%/man}/bash-completion/completions/$program" || fail "no bash completion for $program"
done
[ -f "$root$7/man5/kelmora-settings.5" ] || fail "the settings file has no manual page"

# Every program has a manual page, and every page renders without a warning
# with the sections a user looks for.
for program in "$bin"/*; do
  [ -f "$man1/${program##*/}.1" ] || fail "${program##*/} has no manual page in $man1"
done
for page in "$man1"/*.1; do
  text=$(env -i PATH=/usr/bin:/bin LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>"$stage/warnings") ||
    fail "man cannot render $page"
  [ ! -s "$stage/warnings" ] || fail "$page: $(cat "$stage/warnings")"
  for doc in $(grep -oE '[^ ]*docs/[A-Za-z0-9_-]+\.md' "$page"); do
    [ -f "$root$doc" ] || fail "$page names $doc, which is not installed"
  done
  for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" ENVIRONMENT FILES EXAMPLES; do
    grep -qx "$section" <<<"$text" || fail "$page has no $section section"
  done
done
