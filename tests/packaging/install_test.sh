#!/usr/bin/env bash
# The installed program, as a user gets it: `cmake --install` into a
# temporary prefix, then what must and must not be there, the installed
# kestrova-cli and kestrova (under Xvfb, with a picture) on the installed demo
# part with the emulated board, a program built against the installed library
# through pkg-config and through CMake, and every link of the installed guide.
#
#   install_test.sh BUILD-DIR SOURCE-DIR
set -euo pipefail
build="$1"
source="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

cmake --install "$build" --prefix "$prefix" >/dev/null
libdir="$(cd "$prefix" && find . -name 'libdravik.so.0' -printf '%h\n' | sed 's|^\./||')"
[ -n "$libdir" ] || { echo "FAIL: libdravik.so.0 is not installed" >&2; exit 1; }

# --- what is installed ------------------------------------------------------
for path in bin/kestrova bin/kestrova-cli bin/dravik-cli \
    "$libdir/libdravik.so.0" "$libdir/libdravik.so" "$libdir/kestrova/plugins/libdravik-emulator.so" \
    "$libdir/pkgconfig/dravik.pc" "$libdir/cmake/dravik/dravikConfig.cmake" \
    include/dravik/dravik.h lib/udev/rules.d/60-kestrova.rules \
    share/applications/kestrova.desktop share/icons/hicolor/scalable/apps/kestrova.svg \
    share/man/man1/kestrova.1.gz share/man/man1/kestrova-cli.1.gz share/man/man1/dravik-cli.1.gz \
    share/doc/kestrova/guide/index.html share/doc/kestrova/copyright \
    share/kestrova/device/demo share/kestrova/bix/dravik.bix share/kestrova/scenario/default.scn; do
  [ -e "$prefix/$path" ] || fail "$path is not installed"
done
# Developer files stay out: READMEs, Git's files, the smoke check, and the
# emulator in the public library folder.
unwanted="$(cd "$prefix" && find . \( -name 'README*' -o -name '.git*' -o -name 'dravik-selfcheck' \
  -o -path "./$libdir/libdravik-emulator.so" \) -print)"
[ -z "$unwanted" ] || fail "developer files installed: $unwanted"
# The man pages carry each program's options (roff writes "-" as "\-").
for page in kestrova:--emulated-board kestrova-cli:--definition dravik-cli:--firmware; do
  option="${page#*:}"
  zcat "$prefix/share/man/man1/${page%%:*}.1.gz" | grep -qF -- "${option//-/\\-}" ||
    fail "the man page of ${page%%:*} lacks $option"
done

# --- the installed programs on the installed data -----------------------------
home="$work/home"
if ! output="$("$prefix/bin/kestrova-cli" --home "$home" --device demo --emulated-board \
    --link usb read Temp 2>&1)"; then
  fail "installed kestrova-cli read: $output"
fi
[ -f "$home/device/demo" ] || fail "the program folder was not seeded from the installed data"
[ ! -e "$home/README.md" ] && [ ! -e "$home/bix/README.md" ] || fail "a README was seeded"

picture="${KESTROVA_INSTALL_PICTURE:-$build/screenshots/installed-kestrova.png}"
mkdir -p "$(dirname "$picture")"
if ! KESTROVA_PROGRAM="$prefix/bin/kestrova" xvfb-run -a -s "-screen 0 1280x800x24" \
    "$source/scripts/shoot-window" "$picture" --read -- --home "$home" --device demo \
    --emulated-board --link usb; then
  fail "the installed kestrova did not show its window (see $picture)"
fi
# A window read from the emulated board shows many colours; an empty screen one.
colours="$(convert "$picture" -format %k info: 2>/dev/null || echo 0)"
[ "$colours" -gt 16 ] || fail "the picture $picture is empty ($colours colours)"
grep -q "manualfilename=\"$prefix/share/doc/kestrova/guide/index.html\"" "$home/demo/part.def" ||
  fail "the Manual command's default is not the installed guide: $(grep -o 'manualfilename="[^"]*"' "$home/demo/part.def")"

# --- building against the installed library -----------------------------------
cat >"$work/use.c" <<'C'
#include <dravik/dravik.h>
#include <stdio.h>
int main(void) {
  char text[DRAVIK_ERROR_TEXT_SIZE];
  DeviceHandle handle = -1;
  uint16_t vidPid[2] = {0, 0};
  if (OpenDevice(LINK_USB, "dravik", vidPid, 0, NULL, &handle) == 1) return 2;
  LastErrorDevice(text);
  puts(text);
  return 0;
}
C
export PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig"
# shellcheck disable=SC2046
if cc -std=c99 -Wall -Werror -o "$work/use" "$work/use.c" $(pkg-config --cflags --libs dravik) &&
    LD_LIBRARY_PATH="$prefix/$libdir" "$work/use" | grep -q "Can't find board"; then :; else
  fail "a C program does not build and run with pkg-config dravik"
fi
mkdir -p "$work/cmake-use"
cat >"$work/cmake-use/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(use C)
find_package(dravik 0.1 REQUIRED)
add_executable(use ../use.c)
target_link_libraries(use PRIVATE dravik::dravik)
CMAKE
if ! cmake -S "$work/cmake-use" -B "$work/cmake-use/build" -DCMAKE_PREFIX_PATH="$prefix" \
    >"$work/cmake.log" 2>&1 || ! cmake --build "$work/cmake-use/build" >>"$work/cmake.log" 2>&1; then
  fail "find_package(dravik) does not build a program: $(tail -5 "$work/cmake.log")"
fi

# --- the guide ------------------------------------------------------------------
"$source/tests/packaging/check_guide_links.sh" "$prefix/share/doc/kestrova/guide" || fail "guide links"
# Its worked example is a valid part definition (Latin-1, CR LF, as it must be saved).
sed -n '/<pre id="example-part">/,/<\/pre>/p' "$prefix/share/doc/kestrova/guide/index.html" |
  sed -e 's/<pre id="example-part">//' -e 's|</pre>||' -e 's/&lt;/</g' -e 's/&gt;/>/g' \
    -e 's/&quot;/"/g' -e 's/&amp;/\&/g' | iconv -f utf-8 -t latin1 | sed 's/$/\r/' \
  >"$work/example-sensor"
if ! output="$("$prefix/bin/kestrova-cli" --home "$home" check "$work/example-sensor" 2>&1)"; then
  fail "the guide's worked example does not pass kestrova-cli check: $output"
fi

[ "$failures" -eq 0 ] || exit 1
echo "installed tree, programs, library users and guide: ok"
