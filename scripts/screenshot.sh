#!/usr/bin/env bash
# Starts the program under a virtual X server with one window of each kind
# open (a dBASE table, an SQL query and an XML data packet from the sample
# database) and saves a picture of the screen.
#
# usage: scripts/screenshot.sh [OUT.png]   (default: build/screenshot.png)
set -euo pipefail

cd "$(dirname "$0")/.."
out="${1:-build/screenshot.png}"
build="${QVX_BUILD_DIR:-build/release}"

if [ ! -x "$build/app/quorvex" ]; then
    cmake --preset release
    cmake --build --preset release
fi
samples="$build/samples"
mkdir -p "$(dirname "$out")"

# The program and the picture run inside one X session; the program is
# given time to lay out its windows, then the screen is taken and the
# program ended.
xvfb-run --auto-servernum --server-args="-screen 0 1024x700x24" bash -c '
    "$1/app/quorvex" "$2/customer.dbf" "$2/orders.sql" "$2/customer.xml" &
    pid=$!
    sleep "${QVX_SCREENSHOT_DELAY:-4}"
    import -window root "$3"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
' _ "$build" "$samples" "$out"

echo "$out"
