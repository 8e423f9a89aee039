#!/usr/bin/env bash
# Builds the release configuration (which writes the sample database) and
# shows the sample customer table through the qvx tool.
set -euo pipefail

cd "$(dirname "$0")/.."
cmake --preset release
cmake --build --preset release

build=build/release
customers="$build/samples/customer.dbf"

echo
echo "== qvx info $customers"
"$build/tools/qvx/qvx" info "$customers"
echo
echo "== qvx cat --limit 5 $customers"
"$build/tools/qvx/qvx" cat --limit 5 "$customers"
