#!/usr/bin/env bash
# Installs every Debian package that building, running and testing need.
# Idempotent: packages already present are left as they are.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libqt6svg6
    libcurl4-openssl-dev libarchive-dev libssl-dev
    libgtest-dev libgmock-dev googletest
    qt6-translations-l10n qt6-svg-dev
    libnm-dev libldns-dev
    nginx-light python3 python3-pyftpdlib python3-openssl curl
    xvfb xauth trayer xdotool x11-apps imagemagick
    dbus dbus-daemon python3-dbusmock python3-gi
    lintian desktop-file-utils appstream dpkg-dev file man-db
    strace
    bind9
    iproute2 util-linux
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The packaged nginx starts a system-wide service on port 80; the tests run
# their own instances on free loopback ports and do not need it.
if command -v systemctl >/dev/null 2>&1 && systemctl is-active --quiet nginx 2>/dev/null; then
    systemctl stop nginx || true
fi
