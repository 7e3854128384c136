#!/usr/bin/env bash
# Installs what is needed, builds, and prints the redirect page that Tarnwick
# would upload for fresh default settings, in a throw-away settings home.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home/home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data"
mkdir -p "$HOME"

tarnwick="${BUILD_DIR:-build}/tarnwick/tarnwick"
echo "== tarnwick --print-page (default settings) =="
"$tarnwick" --print-page 2>&1 | iconv -f WINDOWS-1252 -t UTF-8
echo
echo "== the same after: tarnwick --set LocalServerName=192.0.2.10 --set LocalPort=8080 =="
"$tarnwick" --set LocalServerName=192.0.2.10 --set LocalPort=8080
"$tarnwick" --print-page 2>&1 | iconv -f WINDOWS-1252 -t UTF-8
echo
