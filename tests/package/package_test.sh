#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a temporary root and checks that its files land
# where the launcher and the metainfo say, that its declared dependencies come from the linked
# libraries, and that the unpacked programs run and seed the user's folder.
#   package_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
tmp=$(mktemp -d)
cleanup() {
  [ -n "${gui:-}" ] && kill "$gui" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log"; fail "cpack could not build the package"; }
deb=$(ls "$tmp"/out/corvane_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || fail "no corvane_*.deb in $tmp/out"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libc6 libstdc++6 libqt6widgets6; do
  grep -q "$lib" <<<"$depends" || fail "the package does not depend on $lib"
done

root="$tmp/root"
dpkg -x "$deb" "$root"
usr="$root/usr"
version=$("$usr/bin/corvane-cli" --version)
[[ "$version" == "corvane-cli "* ]] || fail "corvane-cli --version printed '$version'"
"$usr/bin/corvane-mountsim" --version >/dev/null || fail "corvane-mountsim does not start"

# The launcher names a program and an icon that the package installs.
desktop=$(ls "$usr"/share/applications/*.desktop)
id=$(basename "$desktop" .desktop)
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -x "$usr/bin/${exec_line%% *}" ] || fail "Exec=$exec_line is not in /usr/bin"
[ -f "$usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "icon $icon.svg is missing"
desktop-file-validate "$desktop" || fail "the launcher is not valid"

# The metainfo names the launcher and the programs the package installs.
meta="$usr/share/metainfo/$id.metainfo.xml"
[ -f "$meta" ] || fail "$id.metainfo.xml is missing"
grep -q "<id>$id</id>" "$meta" || fail "the metainfo id is not $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$meta" || fail "the metainfo does not launch $id.desktop"
for b in $(sed -n 's:.*<binary>\(.*\)</binary>.*:\1:p' "$meta"); do
  [ -x "$usr/bin/$b" ] || fail "the metainfo provides $b, which is not in /usr/bin"
done
appstreamcli validate --no-net "$meta" || fail "the metainfo is not valid"

for page in corvane corvane-cli corvane-mountsim; do
  [ -f "$usr/share/man/man1/$page.1" ] || [ -f "$usr/share/man/man1/$page.1.gz" ] || fail "man page $page.1 is missing"
done
[ -f "$usr/share/corvane/cvhlp.htm" ] || fail "the bundled data is not in /usr/share/corvane"

# The unpacked desktop program finds its data beside itself and seeds the user's folder before
# it shows any window (the first start then waits at the disclaimer; it is ended here).
home="$tmp/home"
CORVANE_INSTANCE_NAME="corvane-package-test-$$" CORVANE_HOME="$home" QT_QPA_PLATFORM=offscreen "$usr/bin/corvane" >"$tmp/gui.log" 2>&1 &
gui=$!
# The files are copied one by one in no set order: wait for all of them, not the first one seen.
unseeded() {
  for f in "$usr"/share/corvane/*; do
    [ -f "$f" ] || continue
    case "$(basename "$f")" in README*) continue ;; esac
    [ -f "$home/$(basename "$f")" ] || { basename "$f"; return 0; }
  done
  return 1
}
for _ in $(seq 1 200); do
  unseeded >/dev/null || break
  sleep 0.1
done
[ -f "$home/cvhlp.htm" ] || { cat "$tmp/gui.log"; fail "the installed program did not seed $home"; }
if missing=$(unseeded); then fail "$missing was not seeded"; fi
echo "package ok: $(basename "$deb")"
