#!/bin/sh
# Screenshots of the Windows editor as unpacked from the zip, under Wine on the
# windows platform in its own X server (Xvfb) and Wine desktop: the main window
# with the sample image open, and the Level Table over it.
#   packaging/windows/screenshots.sh UNPACKED_ZIP_FOLDER OUTPUT_FOLDER
# Writes OUTPUT_FOLDER/windows-main.png and windows-table.png.
set -eu
program=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
scratch=$(mktemp -d)
display=:97

export WINEPREFIX="$scratch/wine" WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= DISPLAY=$display
Xvfb $display -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb=$!
finish() {
    timeout 60 wineserver -k 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
    rm -rf "$scratch"
}
trap finish EXIT

# Windows comes with Tahoma and Marlett (the captions' buttons); this Wine
# finds its copies only in the prefix's font folder.
timeout 300 wine "$program/thornwake-sample-image.exe" "Z:$scratch/game.sfc" >/dev/null
cp /usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/tahomabd.ttf /usr/share/wine/fonts/marlett.ttf \
   "$WINEPREFIX/drive_c/windows/Fonts/"

wine explorer /desktop=Thornwake,800x600 "$program/thornwake-editor.exe" "Z:$scratch/game.sfc" >/dev/null 2>&1 &
# Each picture is the Wine desktop cut down to the windows on it.
shot() {
    import -window root "$scratch/screen.png"
    convert "$scratch/screen.png" -crop 800x600+0+0 +repage -fuzz 1% -trim +repage "$out/$1"
}
for attempt in $(seq 60); do
    xdotool search --name "Thornwake - Wine desktop" >/dev/null 2>&1 && break
    sleep 1
done
sleep 5
shot windows-main.png
xdotool key ctrl+t
sleep 5
shot windows-table.png
