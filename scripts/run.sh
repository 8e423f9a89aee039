#!/usr/bin/env bash
# Builds the release configuration (which writes the sample database) and
# starts the program on it: the sample customer table, an SQL query over the
# sample orders, and the customers as an XML data packet.
set -euo pipefail

cd "$(dirname "$0")/.."
cmake --preset release
cmake --build --preset release

build=build/release
samples="$build/samples"

exec "$build/app/quorvex" "$samples/customer.dbf" "$samples/orders.sql" "$samples/customer.xml"
