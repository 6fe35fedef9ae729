#!/usr/bin/env bash
# A WINEPREFIX that is not the checkout's own is refused by every script that
# makes, sets up or uses a prefix, and is left exactly as it was; the
# checkout's own prefix, however it is spelled, is accepted.
set -u
source "$(dirname "$0")/support/check.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A personal prefix: looks like a made one, but lacks the checkout's marker.
personal="$work/personal-prefix"
mkdir -p "$personal/drive_c/users"
echo "keep me" >"$personal/user.reg"
touch "$personal/system.reg"
snapshot() { (cd "$personal" && find . -printf '%p %s %T@\n' | sort); }
before=$(snapshot)

# name | command run with WINEPREFIX=$personal
cases=(
  "sourcing wine-env.sh|source scripts/wine-env.sh"
  "corvel_make_prefix after the prefix changed|source scripts/wine-env.sh && WINEPREFIX=$personal corvel_make_prefix"
  "prefix-setup.sh|bash scripts/prefix-setup.sh"
  "service start.sh|bash tests/service/start.sh $work/service"
  "run-test.sh|bash tests/support/run-test.sh $work/repeats /bin/echo ran"
)
for entry in "${cases[@]}"; do
  name=${entry%%|*}
  command=${entry#*|}
  # The refusal for a changed prefix comes after sourcing with the own one.
  prefix=$personal
  case "$name" in corvel_make_prefix*) prefix= ;; esac
  output=$(cd "$CHECKOUT" && env -u CORVEL_DISPLAY WINEPREFIX="$prefix" bash -c "$command" 2>&1)
  status=$?
  [ "$status" -ne 0 ] || fail_check "$name: accepted WINEPREFIX=$personal"
  expect_contains "$name" "refusing WINEPREFIX=$personal" "$output"
  expect_eq "$name: the personal prefix is untouched" "$before" "$(snapshot)"
done
[ ! -e "$work/service/service.pid" ] || fail_check "start.sh started a service for a refused prefix"
[ ! -e "$work/repeats" ] || fail_check "run-test.sh ran the test for a refused prefix"

# The checkout's own prefix: unset, or named by another spelling.
for given in "" "$CHECKOUT/.wine/" "$CHECKOUT/scripts/../.wine"; do
  output=$(cd "$CHECKOUT" && WINEPREFIX="$given" bash -c 'source scripts/wine-env.sh && echo "$WINEPREFIX"' 2>&1)
  expect_eq "WINEPREFIX=[$given]" "$CHECKOUT/.wine" "$output"
done

# The user's shell folders of the checkout's prefix are its own folders, not
# links into the host's home (where shortcuts would land): a link put back,
# as a wineboot update does, is replaced by a folder, and real folders with
# their files are kept.
own="$work/own-prefix"
mkdir -p "$own/drive_c/users/someone/Documents" "$work/home"
echo "kept" >"$own/drive_c/users/someone/Documents/file.txt"
ln -s "$work/home" "$own/drive_c/users/someone/Desktop"
(cd "$CHECKOUT" && source scripts/wine-env.sh && WINEPREFIX="$own" corvel_keep_user_folders_in_prefix)
[ -d "$own/drive_c/users/someone/Desktop" ] && [ ! -L "$own/drive_c/users/someone/Desktop" ] \
  || fail_check "the Desktop link was not replaced by a folder"
expect_eq "files in real folders stay" "kept" "$(cat "$own/drive_c/users/someone/Documents/file.txt")"
[ -d "$work/home" ] || fail_check "the link's target was removed"
if [ -d "$CHECKOUT/.wine/drive_c/users" ]; then
  links=$(find "$CHECKOUT/.wine/drive_c/users" -mindepth 2 -maxdepth 2 -type l)
  expect_eq "no shell folder of the checkout's prefix is a link" "" "$links"
fi

finish_checks
