#!/usr/bin/env bash
# Builds the Debian package from the build tree with CPack into a temporary folder and checks
# it: the file list (dpkg-deb -c) is dateiliste.txt under /usr, nothing outside /usr, the
# programs stripped and executable, dependencies computed from the programs, and the postinst
# that tells about the dialout group.
# Aufruf: paket_test.sh BAUVERZEICHNIS VERSION
set -euo pipefail
bau=$1
version=$2
hier=$(cd "$(dirname "$0")" && pwd)
ziel=$(mktemp -d)
trap 'rm -rf "$ziel"' EXIT
fehler=0
falsch() {
    echo "FEHLER: $*" >&2
    fehler=1
}

cpack --config "$bau/CPackConfig.cmake" -G DEB -B "$ziel" >"$ziel/cpack.log" 2>&1 || {
    cat "$ziel/cpack.log" >&2
    exit 1
}
deb=$(ls "$ziel"/*.deb)
[ "$(basename "$deb")" = "orvexa2011_${version}_$(dpkg --print-architecture).deb" ] ||
    falsch "package file is named $(basename "$deb")"

dpkg-deb -c "$deb" >"$ziel/inhalt"
# Lines: mode owner/group size date time path.
if ! diff -u <(sed 's|^|./usr/|' "$hier/dateiliste.txt") \
    <(awk '$1 !~ /^d/ {print $6}' "$ziel/inhalt" | LC_ALL=C sort); then
    falsch "the package's files differ from dateiliste.txt"
fi
awk '$1 ~ /^d/ && $6 !~ /^\.\/(usr\/)?/ {print}' "$ziel/inhalt" | grep . &&
    falsch "directories outside /usr"
awk '$2 != "root/root" {print}' "$ziel/inhalt" | grep . && falsch "files not owned by root"
awk '$1 ~ /^-/ && $6 ~ /^\.\/usr\/bin\// && $1 != "-rwxr-xr-x" {print}' "$ziel/inhalt" | grep . &&
    falsch "programs without mode 755"
awk '$1 ~ /^-/ && $6 !~ /^\.\/usr\/bin\// && $1 != "-rw-r--r--" {print}' "$ziel/inhalt" |
    grep . && falsch "data files without mode 644"

feld() { dpkg-deb -f "$deb" "$1"; }
[ "$(feld Package)" = orvexa2011 ] || falsch "Package: $(feld Package)"
[ "$(feld Version)" = "$version" ] || falsch "Version: $(feld Version)"
[ "$(feld Section)" = electronics ] || falsch "Section: $(feld Section)"
[[ "$(feld Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || falsch "Maintainer: $(feld Maintainer)"
# From dpkg-shlibdeps: the Qt widgets library the main program links and the C library.
for bibliothek in libqt6widgets6 libc6 libstdc++6; do
    feld Depends | tr ',' '\n' | awk '{print $1}' | grep -Fxq "$bibliothek" ||
        falsch "Depends lacks $bibliothek: $(feld Depends)"
done

mkdir "$ziel/steuer" "$ziel/dateien"
dpkg-deb -e "$deb" "$ziel/steuer"
[ -x "$ziel/steuer/postinst" ] || falsch "no executable postinst"
grep -q dialout "$ziel/steuer/postinst" || falsch "the postinst says nothing about dialout"
# Said on installation, not on other postinst calls.
[ -z "$(sh "$ziel/steuer/postinst" abort-upgrade 2>&1)" ] || falsch "postinst talks on abort-upgrade"
sh "$ziel/steuer/postinst" configure | grep -q dialout || falsch "postinst configure is silent"

dpkg-deb -x "$deb" "$ziel/dateien"
for programm in orvexa2011 orvexa-cli kxsim; do
    file -b "$ziel/dateien/usr/bin/$programm" | grep -q ", stripped" ||
        falsch "usr/bin/$programm is not stripped"
done

exit $fehler
