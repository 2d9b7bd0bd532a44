#!/bin/sh
# Installs the build into a scratch tree the way the Debian package does
# (prefix /usr under DESTDIR) and checks what a desktop needs of it; then
# builds the Debian package and has lintian check it.
# Usage: check_install.sh BUILD_DIR STAGE_DIR APP_ID "ICON_SIZES" [EXTRA_PROGRAM...]
set -eu
build=$1 stage=$2 app_id=$3 sizes=$4
shift 4

rm -rf "$stage"
DESTDIR="$stage" cmake --install "$build" --prefix /usr >/dev/null
usr="$stage/usr"
failed=0
fail() { echo "FAIL: $*"; failed=1; }

for program in thornwake-editor "$@"; do
    [ -x "$usr/bin/$program" ] || fail "bin/$program is not installed"
done

desktop="$usr/share/applications/$app_id.desktop"
metainfo="$usr/share/metainfo/$app_id.metainfo.xml"
[ -f "$desktop" ] || fail "no $desktop"
[ -f "$metainfo" ] || fail "no $metainfo"

if [ -f "$desktop" ]; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate"
    # The desktop file starts the installed program and names an installed icon.
    exec_line=$(sed -n 's/^Exec=//p' "$desktop")
    [ -x "$usr/bin/${exec_line%% *}" ] || fail "Exec=$exec_line is not an installed program"
    [ "$(sed -n 's/^Icon=//p' "$desktop")" = "$app_id" ] || fail "Icon= is not $app_id"
    [ "${exec_line#* }" = "%f" ] || fail "Exec=$exec_line does not pass the file"
    # File managers offer the editor for the SNES images shared-mime-info knows.
    types=";$(sed -n 's/^MimeType=//p' "$desktop")"
    for extension in sfc smc; do
        type=$(sed -n "s/^[0-9]*:\([^:]*\):\*\.$extension\$/\1/p" /usr/share/mime/globs2)
        case $types in *";$type;"*) ;; *) fail "*.$extension ($type) is not in MimeType=";; esac
    done
fi
if [ -f "$metainfo" ]; then
    appstreamcli validate --no-net --pedantic "$metainfo" || fail "appstreamcli validate"
    grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" \
        || fail "the metainfo does not launch $app_id.desktop"
fi

for size in $sizes; do
    icon="$usr/share/icons/hicolor/${size}x$size/apps/$app_id.png"
    [ -f "$icon" ] || { fail "no $icon"; continue; }
    actual=$(identify -format '%wx%h' "$icon")
    [ "$actual" = "${size}x$size" ] || fail "$icon is $actual"
done
[ -f "$usr/share/icons/hicolor/scalable/apps/$app_id.svg" ] || fail "no scalable icon"

# Programs, their desktop files and documentation only: no libraries, headers or tests.
unexpected=$(cd "$usr" && find . -type f | grep -v -e '^\./bin/' -e '^\./share/applications/' \
    -e '^\./share/metainfo/' -e '^\./share/icons/hicolor/' \
    -e '^\./share/man/' -e '^\./share/doc/' || true)
[ -z "$unexpected" ] || fail "unexpected files installed: $unexpected"

# Both programs answer --help and --version without a display.
editor="$usr/bin/thornwake-editor"
[ "$(env -u DISPLAY -u WAYLAND_DISPLAY "$editor" --version)" = "thornwake-editor 0.22b" ] \
    || fail "thornwake-editor --version"
env -u DISPLAY -u WAYLAND_DISPLAY "$editor" --help | grep -q '^Usage: .*thornwake-editor \[options\] \[FILE\]$' \
    || fail "thornwake-editor --help"
status=0
QT_QPA_PLATFORM=offscreen timeout 30 "$editor" a.smc b.smc 2>"$stage/stderr" || status=$?
[ $status -eq 2 ] && grep -q 'opens one FILE at a time' "$stage/stderr" || fail "two files: exit $status"
cmp -s "$(dirname "$0")/../../LICENSE" /usr/share/common-licenses/GPL-3 || fail "LICENSE is not the GPL 3"

# The Debian package: lintian finds no error and no warning.
(cd "$stage" && cpack -G DEB --config "$build/CPackConfig.cmake" >/dev/null) || fail "cpack"
lintian --allow-root --fail-on error,warning "$stage"/thornwake-editor_*.deb || fail "lintian"

[ $failed -eq 0 ] && echo "installed tree and package are complete and valid"
exit $failed
