#!/usr/bin/env bash
# Builds the update package with CPack and writes the two files of the update
# server's /Download/ folder: TWSetup.msi (the tar.gz of the installed tree;
# the name stays, Kestrup recognises the format by its content) and
# TWSetup.txt (version=, cmdline=, sha256=).
#
#   scripts/publish-update.sh [OUTPUT_DIR]      default: $BUILD_DIR/Download
#
# BUILD_DIR names the build tree (default build/), CMDLINE the installer
# command line written to cmdline= (default empty: Kestrup's default applies).
# PUBLISH_SKIP_BUILD=1 packages the build tree as it stands.
# Upload TWSetup.msi first and TWSetup.txt last.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build}"
out="${1:-$build/Download}"
[ -f "$build/CPackConfig.cmake" ] || { echo "publish-update: no configured build tree in $build" >&2; exit 2; }

[ "${PUBLISH_SKIP_BUILD:-0}" = 1 ] || cmake --build "$build" --target tarnwick kestrup corvane corvanecom platform tarnwick_help tarnwick_docs tarnwick_icons >/dev/null
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
[ -n "$version" ] || { echo "publish-update: no project version in $build/CMakeCache.txt" >&2; exit 2; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cpack --config "$build/CPackConfig.cmake" -G TGZ -B "$work" >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log" >&2; exit 1; }
package="$(find "$work" -maxdepth 1 -name '*.tar.gz' | head -n 1)"
[ -n "$package" ] || { echo "publish-update: CPack made no package" >&2; exit 1; }

mkdir -p "$out"
sum="$(sha256sum "$package" | cut -d' ' -f1)"
cp "$package" "$out/TWSetup.msi.part" && mv "$out/TWSetup.msi.part" "$out/TWSetup.msi"
printf 'version=%s\r\ncmdline=%s\r\nsha256=%s\r\n' "$version" "${CMDLINE:-}" "$sum" >"$out/TWSetup.txt.part"
mv "$out/TWSetup.txt.part" "$out/TWSetup.txt"
echo "$out/TWSetup.msi ($version, sha256 $sum)"
echo "$out/TWSetup.txt"
