#!/bin/sh
# SPDX-License-Identifier: MIT
# install_check.sh SOURCE BUILD
# Installs BUILD with the README's own install command into a temporary root, then checks the
# user units there: systemd-analyze verifies them, every program they start is installed, and
# the login watch is enabled.
set -eu
src=$1 build=$2
fail() { echo "install_check: $*" >&2; exit 1; }

command=$(grep -o 'cmake --install build[^`]*' "$src/README.md" | head -n 1)
[ -n "$command" ] || fail "README.md has no 'cmake --install build …' command"
prefix=$(printf '%s\n' "$command" | sed -n 's/.*--prefix \([^ ]*\).*/\1/p')
[ -n "$prefix" ] || fail "the README's command names no --prefix: $command"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
# shellcheck disable=SC2086 # the README's words
DESTDIR="$root" $(printf '%s\n' "$command" | sed "s|--install build|--install $build|") >/dev/null

units="$root$prefix/lib/systemd/user"
for unit in zepactl-restore.service zepactl-restore-watch.service; do
  [ -f "$units/$unit" ] || fail "$unit is not installed in $prefix/lib/systemd/user"
  grep '^ExecStart' "$units/$unit" | while IFS= read -r line; do
    program=$(printf '%s\n' "$line" | sed 's/^[^=]*=[-@:+!]*//; s/ .*//')
    case "$program" in
      "$prefix"/*) [ -x "$root$program" ] || fail "$unit: $line, but $program is not installed" ;;
      *) [ -x "$program" ] || fail "$unit: $line, but $program does not exist" ;;
    esac
  done
  grep -q '^ConditionUser=!@system$' "$units/$unit" || fail "$unit would run for system users"
  grep -q '^ConditionUser=!root$' "$units/$unit" || fail "$unit would run for root"
done
[ -f "$units/default.target.wants/zepactl-restore-watch.service" ] ||
  fail "zepactl-restore-watch.service is not enabled for login"

[ -f "$root$prefix/share/man/man1/zepactl.1.gz" ] || fail "the units' manual page is not installed"

# systemd-analyze checks that each ExecStart program is executable, on the real paths: in a
# private mount namespace the installed programs are laid over the machine's own.
if [ "$(id -u)" -ne 0 ]; then
  [ "${CI:-}" = true ] && fail "needs root for a private mount namespace"
  echo "install_check: not root, systemd-analyze verify skipped"
  exit 77
fi
mkdir -p "$root/run-user"
unshare -m --propagation private sh -c '
  mount -t overlay overlay -o "lowerdir=$1$2/bin:$2/bin" "$2/bin" &&
  XDG_RUNTIME_DIR="$1/run-user" systemd-analyze verify --user --man=no \
    "$3/zepactl-restore.service" "$3/zepactl-restore-watch.service"' \
  sh "$root" "$prefix" "$units" || fail "systemd-analyze verify rejects the installed units"
echo "install_check: units in $prefix/lib/systemd/user verified"
