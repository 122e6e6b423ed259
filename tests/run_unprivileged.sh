#!/bin/sh
# Runs a test program as an unprivileged user when the suite runs as root, so
# that the tests that need a user without write access run in CI too (they
# skip themselves under root). When the build folder lies where that user
# cannot reach it (a clone below a folder only root may enter), the program
# and the programs beside it that tests start are linked or copied into a
# folder the user can reach, and the tests are told where they are.
# Exit 77 tells CTest the run was skipped; a skip says why.
set -u
skip() {
  echo "skipped: $1"
  exit 77
}
if [ "$(id -u)" != 0 ]; then
  skip "not root: these tests already ran in the main suite"
fi
command -v setpriv >/dev/null 2>&1 || skip "setpriv is not available"
run="setpriv --reuid=65534 --regid=65534 --clear-groups"
program=$1
shift
if $run test -x "$program"; then
  exec env HOME=/tmp TMPDIR=/tmp $run "$program" "$@"
fi

bin=$(dirname "$program")
reachable=$(mktemp -d /tmp/kelmora-unprivileged-XXXXXX) || skip "cannot make a folder in /tmp"
trap 'rm -rf "$reachable"' EXIT
chmod 0755 "$reachable"
for file in "$bin"/*; do
  case "$file" in
    *_tests) [ "$file" = "$program" ] || continue ;;
  esac
  [ -f "$file" ] && [ -x "$file" ] || continue
  ln "$file" "$reachable/" 2>/dev/null || cp -p "$file" "$reachable/" ||
    skip "cannot copy $file into $reachable"
done
$run test -x "$reachable/$(basename "$program")" ||
  skip "$reachable is not reachable by an unprivileged user"
env HOME=/tmp TMPDIR=/tmp KELMORA_TEST_BIN_DIR="$reachable" \
  $run "$reachable/$(basename "$program")" "$@"
