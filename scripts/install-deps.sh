#!/usr/bin/env bash
# Installs what Tarvek needs to build, test and run on Debian 12.
set -euo pipefail
if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    ca-certificates cmake ninja-build g++ make python3 \
    qt6-base-dev qt6-base-dev-tools libgl-dev libgtest-dev libxxhash-dev libarchive-dev libarchive-tools \
    fonts-nanum fonts-nanum-coding fontconfig qt6-translations-l10n qt6-qpa-plugins \
    clang-format desktop-file-utils dpkg-dev strace poppler-utils genisoimage fuseiso \
    bash-completion man-db plocate "$@" >/dev/null
