#!/usr/bin/env bash
# Installs the build in BUILD into a scratch prefix and checks what a desktop needs of it: the
# program, the launcher on the PATH, the help, a valid desktop entry, the icons and the copyright
# file; then starts the program through its launcher and checks that it keeps running in the
# per-user folder.
set -euo pipefail
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/usr
cmake --install "$build" --prefix "$prefix" >/dev/null
status=0
for file in bin/tarvek libexec/tarvek/tarvek share/tarvek/tarvek.hlp share/applications/tarvek.desktop \
    share/icons/hicolor/64x64/apps/tarvek.png share/icons/hicolor/128x128/apps/tarvek.png \
    share/icons/hicolor/256x256/apps/tarvek.png share/doc/tarvek/copyright; do
    if [ ! -s "$prefix/$file" ]; then
        echo "missing after install: $file"
        status=1
    fi
done
desktop-file-validate "$prefix/share/applications/tarvek.desktop" || status=1
grep -q '^Exec=tarvek$' "$prefix/share/applications/tarvek.desktop" || { echo "Exec is not the launcher"; status=1; }
# The launcher makes the per-user folder and starts the program there; it runs until stopped.
set +e
XDG_DATA_HOME=$scratch/home QT_QPA_PLATFORM=offscreen timeout 3 "$prefix/bin/tarvek"
started=$?
set -e
if [ "$started" -ne 124 ]; then
    echo "the launcher's program ended by itself with status $started"
    status=1
fi
[ -d "$scratch/home/tarvek" ] || { echo "no per-user program folder"; status=1; }
exit "$status"
