#!/usr/bin/env bash
# The Debian packages as an administrator uses them (CI, as root or with
# sudo, on a machine where nothing of ours is installed):
#   debian_test.sh DEB...   (the four .deb files scripts/package printed)
# lintian finds no error or warning; kelmora-tools installs without Qt and its
# programs work; libkelmora-dev builds the README's hosts; kelmora-qt shows a
# window on the offscreen platform; removal leaves only the conffiles, purge
# nothing.
set -euo pipefail
tests=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$tests/../.." && pwd)
declare -A deb
for file in "$@"; do deb[$(dpkg-deb -f "$file" Package)]=$file; done
packages=(libkelmora0 libkelmora-dev kelmora-tools kelmora-qt)
for package in "${packages[@]}"; do
  [ -n "${deb[$package]:-}" ] || { echo "FAIL: no $package among $*" >&2; exit 1; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/kelmora-debian-XXXXXX")
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
# apt-get installs the .deb files with their dependencies; dpkg removes them.
apt() {
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get -y -qq "$@" </dev/null >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log" >&2; fail "apt-get $*"; }
}
dpkg_do() { $sudo dpkg "$@" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg $*"; }; }
cleanup() {
  $sudo dpkg --purge "${packages[@]}" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
step() { printf 'debian: %s\n' "$*"; }
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)

step "lintian"
lintian --fail-on error,warning --info "$@"

# What a machine with nothing installed would fetch for the programs:
# apt's own answer against an empty package status.
: >"$work/empty-status"
apt-get -s -o Dir::State::status="$work/empty-status" install --no-install-recommends \
  "${deb[libkelmora0]}" "${deb[kelmora-tools]}" </dev/null >"$work/closure"
pulled=$(awk '/^Inst / { print $2 }' "$work/closure")
step "kelmora-tools brings, on an empty machine: $(tr '\n' ' ' <<<"$pulled")"
if grep -iE '^(libqt|qt6|libx11|libgl|libxcb)' <<<"$pulled"; then fail "kelmora-tools pulls a display stack"; fi

# And what it brought here (where the build's Qt is installed already).
dpkg-query -W -f='${Package}\n' | sort >"$work/before"
apt install --no-install-recommends "${deb[libkelmora0]}" "${deb[kelmora-tools]}"
dpkg-query -W -f='${Package}\n' | sort >"$work/after"
came=$(comm -13 "$work/before" "$work/after" | tr '\n' ' ')
[ "$came" = "kelmora-tools libkelmora0 " ] || fail "installing kelmora-tools brought: $came"
[ "$(dpkg-query -W -f='${db:Status-Abbrev}' kelmora-qt 2>/dev/null)" != "ii " ] ||
  fail "kelmora-qt was installed with kelmora-tools"
for program in $(dpkg -L kelmora-tools | grep '^/usr/bin/'); do
  if ldd "$program" | grep -i qt; then fail "$program links Qt"; fi
done

step "a tree, a view, associate, status, synchronize with the installed programs"
export KELMORA_HOME=$work/home PATH=/usr/sbin:/usr/bin:/sbin:/bin  # the installed programs
mkdir -p "$work/tree"
stavetool setting set ProjectRoot "$work/tree"
profile=$(vptree mkprofile '\Stavemark View Profiles' </dev/null)
rules() {  # the profile's Rules, built from its plain config spec
  printf '%s\n' "$@" >"$work/profile"
  vptree rules "$profile" --private /dev/null --profile "$work/profile"
}
rules 'element * \main\LATEST'
vptree save "$profile" --name Proj </dev/null >/dev/null
profile='\Stavemark View Profiles\Proj'
stavetool mkview ci_view
echo "$profile" | viewprofile --view ci_view Associate >/dev/null 2>"$work/said" ||
  fail "Associate: $(cat "$work/said")"
[ "$(viewprofile --view ci_view GetProfileName)" = "$profile" ] || fail "not associated"
viewprofile --view ci_view status >/dev/null || fail "status after Associate: not up to date"
rules 'element /vobs/src/... \main\LATEST' 'element * \main\LATEST'
vptree save "$profile" </dev/null >/dev/null
if viewprofile --view ci_view status >/dev/null; then fail "status did not see the new revision"; fi
viewprofile --view ci_view Synchronize 0 </dev/null >/dev/null 2>"$work/said" ||
  fail "Synchronize: $(cat "$work/said")"
viewprofile --view ci_view GetConfigSpec | grep -qF 'element /vobs/src/... \main\LATEST' ||
  fail "Synchronize did not bring the new rules"
viewprofile --view ci_view status >/dev/null || fail "status after Synchronize: not up to date"

step "libkelmora-dev: the README's host, with the CMake package and with pkg-config"
apt install "${deb[libkelmora-dev]}"
"$tests/hosts.sh" "$source_dir" "" /usr /usr/bin "/usr/lib/$multiarch" "$work"

step "kelmora-qt: a window on the offscreen platform"
apt install "${deb[kelmora-qt]}"
# The dissociate dialog waits for its answer in a window; on the console it
# would read end of input at once and be done.
QT_QPA_PLATFORM=offscreen KELMORA_UI=qt viewprofile --view ci_view Dissociate \
  </dev/null >/dev/null 2>"$work/said" &
shown=$!
front_end=/usr/lib/$multiarch/kelmora/libkelmora_qtui.so
for _ in $(seq 100); do
  grep -qF "$front_end" "/proc/$shown/maps" 2>/dev/null && break
  sleep 0.1
done
sleep 2
kill -0 "$shown" 2>/dev/null || fail "no window stayed open: $(cat "$work/said")"
grep -qF "$front_end" "/proc/$shown/maps" || fail "the front end was not loaded from $front_end"
grep -q 'libQt6Widgets' "/proc/$shown/maps" || fail "Qt Widgets is not loaded"
kill "$shown"
wait "$shown" || true
if grep -qi 'no windows' "$work/said"; then fail "$(cat "$work/said")"; fi

step "remove: only the conffiles stay; purge: nothing"
conffiles=$(dpkg-query -W -f='${Conffiles}\n' "${packages[@]}" | awk 'NF { print $1 }')
for package in "${packages[@]}"; do dpkg -L "$package"; done | sort -u >"$work/files"
dpkg_do --remove "${packages[@]}"
while read -r file; do
  [ -d "$file" ] && [ ! -L "$file" ] && continue  # folders shared with other packages
  if [ -e "$file" ] || [ -L "$file" ]; then
    grep -qxF "$file" <<<"$conffiles" || fail "$file is left after removal"
  fi
done <"$work/files"
for file in $conffiles; do [ -e "$file" ] || fail "the conffile $file went with the removal"; done
[ ! -e "/usr/lib/$multiarch/kelmora" ] || fail "/usr/lib/$multiarch/kelmora is left"
dpkg_do --purge "${packages[@]}"
for file in $conffiles; do [ ! -e "$file" ] || fail "$file is left after purge"; done
if dpkg -l "${packages[@]}" 2>/dev/null | grep -E '^(ii|rc)'; then fail "a package is left"; fi
step "the packages install, work, and go without a trace"
