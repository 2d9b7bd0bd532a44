#!/bin/sh
# debian-source.sh PACKAGE VERSION DSC_SHA256 DEST
# Unpacks the Debian source package PACKAGE at VERSION, with Debian's patches,
# into DEST. apt-get source fetches it from the archive this machine installs
# its Debian packages from (its "deb" entries read as "deb-src"), with a state
# of its own, so the system's package lists stay as they are. apt checks every
# file against the archive's signed index, and the .dsc, which lists the
# SHA-256 of the others, must also have DSC_SHA256.
set -eu
package=$1 version=$2 sha256=$3 dest=$4
work=$dest.apt
rm -rf "$work" "$dest"
mkdir -p "$work/sources" "$work/lists/partial" "$work/cache/archives/partial" "$work/get"
if [ -e /etc/apt/sources.list.d/debian.sources ]; then
  sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > "$work/sources/debian.sources"
fi
if [ -e /etc/apt/sources.list ]; then
  sed -n 's/^deb[[:space:]]/deb-src /p' /etc/apt/sources.list > "$work/sources/debian.list"
fi
apt="apt-get -q -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts=$work/sources
     -o Dir::State::Lists=$work/lists -o Dir::Cache=$work/cache -o APT::Sandbox::User=root"
$apt update >"$work/update.log" 2>&1 || { cat "$work/update.log" >&2; exit 1; }
(cd "$work/get" && $apt source --download-only "$package=$version")
dsc="$work/get/${package}_${version#*:}.dsc"
echo "$sha256  $dsc" | sha256sum --check --quiet
dpkg-source --no-check -x "$dsc" "$dest" >/dev/null
rm -rf "$work"
