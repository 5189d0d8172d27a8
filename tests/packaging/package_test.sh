#!/usr/bin/env bash
# The Debian packages: `cpack -G DEB` from the build folder, lintian without
# errors, and what each package holds and declares.
#
#   package_test.sh BUILD-DIR
set -euo pipefail
build="$(realpath "$1")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log" >&2; exit 1; }
version="$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")/\1/p' "$build/CPackConfig.cmake")"
arch="$(dpkg --print-architecture)"
program="$work/out/kestrova_${version}_$arch.deb"
library="$work/out/libdravik0_${version}_$arch.deb"
development="$work/out/libdravik-dev_${version}_$arch.deb"
for deb in "$program" "$library" "$development"; do
  [ -f "$deb" ] || { echo "FAIL: no $(basename "$deb"); cpack wrote: $(ls "$work/out")" >&2; exit 1; }
done

echo "== lintian"
lintian --fail-on error --tag-display-limit 0 "$program" "$library" "$development" ||
  fail "lintian reports errors"

# holds PACKAGE PATH...: every path is in the package.
holds() {
  local deb="$1" listing
  shift
  listing="$(dpkg-deb -c "$deb" | awk '{print $6}')"
  for path in "$@"; do
    grep -qxF "./$path" <<<"$listing" || fail "$(basename "$deb") lacks $path"
  done
}
echo "== contents"
holds "$program" usr/bin/kestrova usr/bin/kestrova-cli usr/bin/dravik-cli \
  usr/lib/kestrova/plugins/libdravik-emulator.so usr/share/applications/kestrova.desktop \
  usr/share/icons/hicolor/scalable/apps/kestrova.svg usr/share/man/man1/kestrova.1.gz \
  usr/share/man/man1/kestrova-cli.1.gz usr/share/man/man1/dravik-cli.1.gz \
  usr/share/doc/kestrova/guide/index.html usr/share/doc/kestrova/copyright \
  usr/share/kestrova/device/demo usr/share/kestrova/bix/dravik.bix
holds "$library" usr/lib/libdravik.so.0 "usr/lib/libdravik.so.$version" \
  usr/lib/udev/rules.d/60-kestrova.rules usr/share/doc/libdravik0/copyright
holds "$development" usr/lib/libdravik.so usr/include/dravik/dravik.h \
  usr/lib/pkgconfig/dravik.pc usr/lib/cmake/dravik/dravikConfig.cmake
if dpkg-deb -c "$program" | grep -E 'README|\.gitattributes|selfcheck|include/'; then
  fail "the program package holds developer files"
fi

echo "== relations"
depends="$(dpkg-deb -f "$program" Depends)"
for needed in "libdravik0 (= $version)" libqt6widgets6 libusb-1.0-0; do
  grep -qF "$needed" <<<"$depends" || fail "kestrova does not depend on $needed: $depends"
done
[ "$(dpkg-deb -f "$program" Recommends)" = xdg-utils ] || fail "kestrova does not recommend xdg-utils"
dpkg-deb -e "$library" "$work/control"
grep -q "udevadm control --reload-rules" "$work/control/postinst" ||
  fail "libdravik0 does not reload the udev rules"
grep -q "libdravik 0 libdravik0" "$work/control/shlibs" || fail "libdravik0 has no shlibs"

[ "$failures" -eq 0 ] || exit 1
echo "packages: ok"
