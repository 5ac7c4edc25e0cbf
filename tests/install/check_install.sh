#!/usr/bin/env bash
# Installs the build in BUILD into a scratch prefix and checks what a desktop needs of it: the
# program, the launcher on the PATH, the help, a valid desktop entry, the icons and the copyright
# file; then starts the program through its launcher and checks that it keeps running in the
# per-user folder. Then the command line: tarvek-cli finds the launcher's per-user folder when
# installed and the current folder's data/ when not, its manual page shows, its bash completion
# offers subcommands, options and labels, and the Debian package carries all three.
set -euo pipefail
build=$(cd "$1" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/usr
cmake --install "$build" --prefix "$prefix" >/dev/null
status=0
fail() {
    echo "$*"
    status=1
}
for file in bin/tarvek libexec/tarvek/tarvek share/tarvek/tarvek.hlp share/applications/tarvek.desktop \
    share/icons/hicolor/64x64/apps/tarvek.png share/icons/hicolor/128x128/apps/tarvek.png \
    share/icons/hicolor/256x256/apps/tarvek.png share/doc/tarvek/copyright \
    bin/tarvek-cli share/man/man1/tarvek-cli.1.gz share/bash-completion/completions/tarvek-cli; do
    [ -s "$prefix/$file" ] || fail "missing after install: $file"
done
desktop-file-validate "$prefix/share/applications/tarvek.desktop" || status=1
grep -q '^Exec=tarvek$' "$prefix/share/applications/tarvek.desktop" || fail "Exec is not the launcher"
# The launcher makes the per-user folder and starts the program there; it runs until stopped.
set +e
XDG_DATA_HOME=$scratch/home QT_QPA_PLATFORM=offscreen timeout 3 "$prefix/bin/tarvek"
started=$?
set -e
[ "$started" -eq 124 ] || fail "the launcher's program ended by itself with status $started"
[ -d "$scratch/home/tarvek" ] || fail "no per-user program folder"
env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/tarvek" --help | grep -q tarvek-cli || fail "tarvek --help"

# tarvek-cli installed: the window's per-user folder, by XDG_DATA_HOME or below HOME.
disc=$scratch/disc
mkdir -p "$disc/사진" && : >"$disc/사진/a.jpg"
XDG_DATA_HOME=$scratch/home "$prefix/bin/tarvek-cli" scan "$disc" --label "DISC 1" >/dev/null ||
    fail "installed tarvek-cli could not scan"
[ -s "$scratch/home/tarvek/data/cdinfo.dat" ] || fail "tarvek-cli did not use the launcher's per-user folder"
mkdir -p "$scratch/h2"
HOME=$scratch/h2 XDG_DATA_HOME='' "$prefix/bin/tarvek-cli" scan "$disc" --label D2 >/dev/null ||
    fail "installed tarvek-cli could not make the per-user folder"
[ -s "$scratch/h2/.local/share/tarvek/data/cdinfo.dat" ] || fail "tarvek-cli did not use ~/.local/share/tarvek"
# Not installed: data/ below the current folder, as for the window started by hand.
mkdir -p "$scratch/here"
(cd "$scratch/here" && XDG_DATA_HOME=$scratch/home "$build/tarvek-cli" scan "$disc" --label D3 >/dev/null) ||
    fail "tarvek-cli of the build could not scan"
[ -s "$scratch/here/data/cdinfo.dat" ] || fail "tarvek-cli of the build did not use ./data"

# The manual page, in Korean with its English synopsis.
page=$(MANWIDTH=100 man -l "$prefix/share/man/man1/tarvek-cli.1.gz" 2>"$scratch/man.err")
for text in SYNOPSIS 'tarvek-cli [options] scan-images DIR' '종료 상태' 'XDG_DATA_HOME'; do
    grep -qF -- "$text" <<<"$page" || fail "the manual page lacks: $text"
done
[ ! -s "$scratch/man.err" ] || fail "the manual page warns: $(cat "$scratch/man.err")"

# The completion, as bash runs it at a Tab after the words given.
complete_words() {
    bash -c '
        source /usr/share/bash-completion/bash_completion
        source "$1"
        shift
        COMP_WORDS=("$@")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        COMP_LINE="${COMP_WORDS[*]}"
        COMP_POINT=${#COMP_LINE}
        _tarvek_cli
        printf "%s\n" "${COMPREPLY[@]}"
    ' complete "$prefix/share/bash-completion/completions/tarvek-cli" "$@"
}
if [ -f /usr/share/bash-completion/bash_completion ]; then
    data=$scratch/home/tarvek/data
    [ "$(complete_words tarvek-cli sc)" = $'scan\nscan-images' ] || fail "no subcommands completed"
    complete_words tarvek-cli scan --r | grep -qx -- --replace || fail "no options completed"
    [ "$(complete_words "$prefix/bin/tarvek-cli" --data "$data" show D)" = "DISC 1" ] || fail "no labels completed"
    [ "$(complete_words tarvek-cli list --sort c)" = category ] || fail "no option values completed"
else
    fail "bash-completion is not installed (scripts/install-deps.sh installs it)"
fi

# The Debian package carries the command line, its page and its completion.
if cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/deb" >"$scratch/cpack.log" 2>&1; then
    contents=$(dpkg-deb -c "$scratch"/deb/tarvek_*.deb)
    for file in ./usr/bin/tarvek-cli ./usr/share/man/man1/tarvek-cli.1.gz \
        ./usr/share/bash-completion/completions/tarvek-cli ./usr/libexec/tarvek/tarvek; do
        grep -q " $file\$" <<<"$contents" || fail "the package lacks $file"
    done
else
    fail "cpack failed: $(tail -5 "$scratch/cpack.log")"
fi
exit "$status"
