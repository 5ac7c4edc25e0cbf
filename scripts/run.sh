#!/usr/bin/env bash
# Installs what Tarvek needs, builds it in Release and starts it from its program folder
# (the executable beside tarvek.hlp, with the catalogue in data/ below it). The program
# folder lies outside the build tree, so rebuilding never touches a saved catalogue.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVEK_TESTS=OFF >/dev/null
cmake --build build-release -j2 --target tarvek tarvek-cli
home="${TARVEK_HOME:-$HOME/Tarvek}"
mkdir -p "$home"
install -m 0755 build-release/tarvek "$home/tarvek"
# The command line beside it: started in this folder, it works on the same data/.
install -m 0755 build-release/tarvek-cli "$home/tarvek-cli"
install -m 0644 resources/tarvek.hlp "$home/tarvek.hlp"
cd "$home"
exec ./tarvek
