#!/usr/bin/env bash
# Installs every Debian 12 package that building, testing and the
# interoperability checks need. Safe to run again.
set -euo pipefail

packages=(
    # build
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev
    libsqlite3-dev libjpeg-dev
    # fuzzing
    clang libclang-rt-14-dev
    # the reference XML parser of the data packet benchmark
    libpugixml-dev
    # independent readers and writers of the table formats, for the tests
    python3 python3-dbf python3-dbfread libdbd-xbase-perl pxlib-dev gdal-bin
    # independent readers of the pictures, PDF and RTF files the program writes
    libjpeg-turbo-progs poppler-utils pandoc unrtf libreoffice-writer-nogui
    # the glyphs of the program's commands (a full-colour icon theme)
    tango-icon-theme
    # looking at the program as a user would
    xvfb xauth imagemagick
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -q
    $SUDO apt-get install -y -q --no-install-recommends "${packages[@]}"
fi
