#!/bin/sh
# Installs the build into a scratch tree the way the Debian package does
# (prefix /usr under DESTDIR) and checks what a desktop needs of it.
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

[ $failed -eq 0 ] && echo "installed tree is complete and valid"
exit $failed
