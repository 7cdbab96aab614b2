#!/usr/bin/env bash
# Builds the Debian package from a finished build folder (cpack -G DEB),
# checks it with lintian, desktop-file-validate and appstreamcli, installs it
# with dpkg, runs the installed programs, and removes it again. Needs root
# (dpkg -i); CI runs it on its fresh machine after the release build.
# Usage: package_check.sh BUILD_DIR
set -euo pipefail
build="$(cd "$1" && pwd)"
work="$(mktemp -d)"
installed=""
app_pid=""
cleanup() {
  [[ -n "$app_pid" ]] && kill "$app_pid" 2>/dev/null || true
  [[ -n "$installed" ]] && dpkg -r ciphra2k >/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "package check: $*" >&2; exit 1; }

echo "--- cpack"
rm -f "$build"/ciphra2k_*.deb
(cd "$build" && cpack -G DEB >"$work/cpack.log") || { cat "$work/cpack.log"; exit 1; }
deb="$(ls "$build"/ciphra2k_*.deb)"
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'
dpkg-deb --contents "$deb" | awk '{print $6}' >"$work/contents"
for path in ./usr/bin/ciphra2k ./usr/bin/ciphra2k-cli ./usr/lib/ciphra2k/sfdstub.dtt \
            ./usr/share/applications/org.tavik.Ciphra2k.desktop \
            ./usr/share/metainfo/org.tavik.Ciphra2k.metainfo.xml \
            ./usr/share/mime/packages/ciphra2k.xml \
            ./usr/share/icons/hicolor/scalable/apps/ciphra2k.svg \
            ./usr/share/icons/hicolor/48x48/apps/ciphra2k.png \
            ./usr/share/man/man1/ciphra2k.1.gz ./usr/share/man/man1/ciphra2k-cli.1.gz \
            ./usr/share/bash-completion/completions/ciphra2k-cli \
            ./usr/share/kio/servicemenus/ciphra2k.desktop \
            ./usr/share/nemo/actions/ciphra2k-encrypt.nemo_action \
            ./usr/share/file-manager/actions/ciphra2k-encrypt.desktop; do
  grep -qxF "$path" "$work/contents" || fail "$path is not in the package"
done

echo "--- lintian"
# Accepted tags are listed with their reasons in packaging/lintian-overrides.
lintian --fail-on error,warning "$deb"

echo "--- desktop-file-validate, appstreamcli validate"
dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work"/root/usr/share/applications/*.desktop
appstreamcli validate --no-net "$work"/root/usr/share/metainfo/org.tavik.Ciphra2k.metainfo.xml

echo "--- dpkg -i"
installed=yes
dpkg -i "$deb"

echo "--- the installed programs"
[[ "$(ciphra2k-cli --version)" == "ciphra2k-cli $(dpkg-query -W -f='${Version}' ciphra2k)" ]] ||
  fail "ciphra2k-cli --version: $(ciphra2k-cli --version)"
[[ "$(ciphra2k --version)" == "ciphra2k $(dpkg-query -W -f='${Version}' ciphra2k)" ]] ||
  fail "ciphra2k --version: $(ciphra2k --version)"
[[ ! -e /usr/bin/sfdstub.dtt ]] || fail "the stub is installed as a program"

# A self-decrypting program made with the installed stub, run without a
# display: it asks on the terminal and restores the file beside itself.
mkdir "$work/sfx"
head -c 100000 /dev/urandom >"$work/sfx/report.doc"
printf 'secret\n' >"$work/pw"
ciphra2k-cli sfx --password-file "$work/pw" "$work/sfx/report.doc"
cmp -s <(head -c "$(stat -c %s /usr/lib/ciphra2k/sfdstub.dtt)" "$work/sfx/report.exe") \
  /usr/lib/ciphra2k/sfdstub.dtt || fail "report.exe does not start with the installed stub"
printf 'secret\n' | env -u DISPLAY "$work/sfx/report.exe" >"$work/sfx.log" 2>&1 ||
  { cat "$work/sfx.log"; fail "report.exe failed"; }
cmp "$work/sfx/report.doc" "$work/sfx/report.dec" || fail "report.dec differs from report.doc"

# The main window, offscreen, on a folder: it must still be running after
# it started (it ends only when closed).
QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config" ciphra2k "$work/sfx" \
  >"$work/window.log" 2>&1 &
app_pid=$!
sleep 3
kill -0 "$app_pid" 2>/dev/null || { cat "$work/window.log"; fail "the main window ended early"; }
kill "$app_pid"
wait "$app_pid" 2>/dev/null || true
app_pid=""

# The triggers of shared-mime-info and desktop-file-utils have registered
# the type of encrypted files and its handler.
grep -q 'application/x-ciphra2k-encrypted:\*\.cph' /usr/share/mime/globs2 ||
  fail "the MIME type is not registered"
if command -v update-desktop-database >/dev/null; then
  grep -q 'application/x-ciphra2k-encrypted=org.tavik.Ciphra2k.Decrypt.desktop' \
    /usr/share/applications/mimeinfo.cache || fail "no handler for encrypted files"
fi

echo "--- dpkg -r"
dpkg -r ciphra2k
installed=""
[[ ! -e /usr/bin/ciphra2k && ! -e /usr/lib/ciphra2k ]] || fail "dpkg -r left files behind"
echo "package check: passed"
