#!/usr/bin/env bash
# Builds the Debian package in BUILD (default build/, already configured) and checks it: its file
# list, the desktop entry and AppStream metainfo, lintian, and, unpacked into a scratch root, the
# three programs run from there without a display, and the manual pages rendered by man.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
cmake --build "$BUILD" -j "${JOBS:-$(nproc)}" --target odel-utility odelctl odel-sim odel_docs help_probe
rm -f "$BUILD"/odel-utility_*.deb
(cd "$BUILD" && cpack -G DEB > cpack.log 2>&1) || { cat "$BUILD/cpack.log"; exit 1; }
version=$(sed -n 's/^project(odel_utility VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
deb="$BUILD/odel-utility_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "no package $deb" >&2; exit 1; }
scratch=$(mktemp -d)
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "package test: $*" >&2; exit 1; }

id=org.odel.utility
expected=(
  usr/bin/odel-utility usr/bin/odelctl usr/bin/odel-sim
  usr/share/odel/Help/Odelmain.htm
  usr/share/odel/program/Download.img usr/share/odel/program/Dnmini_h.img
  usr/share/odel/program/Dnmini_e.img usr/share/odel/program/filemove.svg
  usr/share/applications/$id.desktop
  usr/share/icons/hicolor/scalable/apps/$id.svg
  usr/share/metainfo/$id.metainfo.xml
  usr/share/man/man1/odel-utility.1.gz usr/share/man/man1/odelctl.1.gz
  usr/share/man/man1/odel-sim.1.gz
  usr/share/doc/odel-utility/copyright usr/share/doc/odel-utility/changelog.gz
  usr/share/doc/odel-utility/examples/odelctl-mqtt.service
)
dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's#^\./##' > "$scratch/contents"
for f in "${expected[@]}"; do
  grep -qxF "$f" "$scratch/contents" || fail "$f is not in the package"
done
echo "contents: all ${#expected[@]} files listed"
[[ $(dpkg-deb --field "$deb" Depends) == *libqt6widgets6* ]] || fail "Depends lacks the shlibdeps entries"
[[ $(dpkg-deb --field "$deb" Description) == *dialout* ]] || fail "the description does not name dialout"

root="$scratch/root"
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/$id.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml"
grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/$id.metainfo.xml" ||
  fail "the metainfo has no release $version"

# lintian: errors fail the test; any warning is printed.
lintian --fail-on error "$deb" > "$scratch/lintian" 2>&1 || { cat "$scratch/lintian"; fail "lintian reports errors"; }
grep -v 'running with root privileges' "$scratch/lintian" || true
echo "lintian: no errors"

for p in odel-utility odelctl odel-sim; do
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/$p" --version)
  [ "$out" = "$p $version" ] || fail "$p --version printed '$out'"
done
echo "--version: all three print NAME $version without a display"

# odelctl from the root searches a bus that odel-sim from the root serves.
"$root/usr/bin/odel-sim" > "$scratch/sim.out" &
sim_pid=$!
for _ in $(seq 50); do [ -s "$scratch/sim.out" ] && break; sleep 0.1; done
pty=$(head -n 1 "$scratch/sim.out")
[ -n "$pty" ] || fail "odel-sim printed no port"
found=$(timeout 30 "$root/usr/bin/odelctl" search --from 1 --to 4 "$pty" | grep -v $'^\t')
want=$'(01)7352R\t0\n(02)7354R\t1\n(03)8600X\t0\n(04)7385\t2'
[ "$found" = "$want" ] || fail "odelctl search found: $found"
kill "$sim_pid"
wait "$sim_pid" || fail "odel-sim did not stop cleanly on SIGTERM"
sim_pid=""
echo "odelctl search: the four modules of odel-sim at 01..04"

# The installed program, probed from inside: its help page comes from the root's share/odel.
probe=$(find "$BUILD/tests" -name libhelp_probe.so | head -n 1)
shown=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$scratch" \
        LD_PRELOAD="$(realpath "$probe")" timeout 30 "$root/usr/bin/odel-utility" --simulate \
        2> "$scratch/utility.err") || { cat "$scratch/utility.err" >&2; fail "odel-utility: $shown"; }
grep -qxF "help	$root/usr/share/odel/Help/Odelmain.htm	ODEL Utility help" <<< "$shown" ||
  fail "help window showed: $shown"
echo "odel-utility --simulate: help page from $root/usr/share/odel"

for page in odel-utility odelctl odel-sim; do
  warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -P cat -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 > /dev/null)
  [ -z "$warnings" ] || fail "man $page: $warnings"
done
echo "man: the three pages render without warnings"
echo "package test passed: $deb"
