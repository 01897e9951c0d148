#!/usr/bin/env bash
# Installs the build tree into a temporary DESTDIR under /usr and checks what arrived: exactly
# the files of dateiliste.txt, runnable programs that print the project version, icons of the
# size their folder names, and a desktop entry and metadata that the validators accept and
# that point at what was installed, whose simulated-machine action starts the program.
# Aufruf: installation_test.sh BAUVERZEICHNIS VERSION
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

DESTDIR="$ziel" cmake --install "$bau" --prefix /usr >/dev/null
usr="$ziel/usr"

if ! diff -u "$hier/dateiliste.txt" <(cd "$usr" && find . -type f -o -type l | sed 's|^\./||' |
    LC_ALL=C sort); then
    falsch "installed files differ from dateiliste.txt"
fi

for programm in orvexa2011 orvexa-cli kxsim; do
    [ -x "$usr/bin/$programm" ] || falsch "bin/$programm is not executable"
done
for programm in orvexa2011 orvexa-cli; do
    ausgabe=$("$usr/bin/$programm" --version 2>&1) || falsch "$programm --version failed"
    [ "$ausgabe" = "$programm $version" ] ||
        falsch "$programm --version printed '$ausgabe', expected '$programm $version'"
done

for datei in "$usr"/share/icons/hicolor/*x*/apps/*.png; do
    ordner=$(basename "$(dirname "$(dirname "$datei")")")
    groesse=$(file -b "$datei" | sed -n 's/^PNG image data, \([0-9]*\) x \([0-9]*\),.*/\1x\2/p')
    [ "$groesse" = "$ordner" ] || falsch "$datei is '$groesse', not $ordner"
done

desktop="$usr/share/applications/org.orvexa.orvexa2011.desktop"
metainfo="$usr/share/metainfo/org.orvexa.orvexa2011.metainfo.xml"
desktop-file-validate "$desktop" || falsch "desktop-file-validate refused the desktop entry"
appstreamcli validate --no-net --pedantic "$metainfo" >/dev/null ||
    falsch "appstreamcli refused the metainfo: $(appstreamcli validate --no-net "$metainfo")"

# Every Exec line of the entry (the main one and the actions) starts an installed program, and
# the icon name is one that was installed.
while read -r programm; do
    [ -x "$usr/bin/$programm" ] || falsch "Exec names '$programm', which is not in bin/"
done < <(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
# The "Simulated Machine" action starts the installed program, which comes up connected to the
# simulated machine, saves its window and ends (the program's own screenshot mode).
befehl=$(sed -n '/^\[Desktop Action Simulation\]/,/^\[/s/^Exec=//p' "$desktop")
if PATH="$usr/bin:$PATH" QT_QPA_PLATFORM=offscreen ORVEXA_SCREENSHOT="$ziel/simulation.png" \
    timeout 60 sh -c "$befehl" >"$ziel/start.log" 2>&1; then
    [ -s "$ziel/simulation.png" ] || falsch "'$befehl' saved no window"
else
    falsch "'$befehl' failed: $(cat "$ziel/start.log")"
fi

symbol=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "$usr/share/icons/hicolor/scalable/apps/$symbol.svg" ] ||
    falsch "Icon=$symbol was not installed"
grep -q "<launchable type=\"desktop-id\">$(basename "$desktop")</launchable>" "$metainfo" ||
    falsch "the metainfo does not launch $(basename "$desktop")"
grep -q "<release version=\"$version\"" "$metainfo" ||
    falsch "the metainfo has no release $version"
zcat "$usr/share/doc/orvexa2011/changelog.gz" | head -1 | grep -q "^orvexa2011 ($version) " ||
    falsch "changelog.gz does not start with version $version"

exit $fehler
