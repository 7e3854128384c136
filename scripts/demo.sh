#!/usr/bin/env bash
# Tarnwick's main job on a web space of its own, all on this machine:
#  - a local web space on loopback: nginx publishes the redirect page and
#    answers the address service, pyftpdlib takes the upload;
#  - a throw-away settings home pointed at it;
#  - Tarnwick without a window: the first cycle finds the page missing and
#    uploads it, the second (asked for by a second start with /execnow, after
#    switching to the address service) finds it current;
#  - the published page, then everything is stopped again.
# Nothing outside 127.0.0.1 is contacted. BUILD_DIR names the build tree;
# DEMO_SKIP_BUILD=1 uses it as it is.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
if [ "${DEMO_SKIP_BUILD:-}" != 1 ]; then
    bash scripts/install-deps.sh
    bash scripts/build.sh
fi
tarnwick="$root/${BUILD_DIR:-build}/tarnwick/tarnwick"

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

# The settings home: nothing of the real user's settings is read or written.
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

wait_line() { # file, text, count
    for _ in $(seq 1 600); do
        [ "$(grep -cF -- "$2" "$1" 2>/dev/null || true)" -ge "$3" ] && return 0
        sleep 0.05
    done
    echo "timed out waiting for: $2" >&2
    cat "$1" >&2
    return 1
}

. "$root/scripts/local-web-space.sh"
start_web_space "$work" "$root" demo demo-secret
echo "== local web space: http://127.0.0.1:$web_port/site/ (upload by FTP to port $ftp_port)"

"$tarnwick" --set RedirectUrl="http://127.0.0.1:$web_port/site/index.htm" \
    --set UploadServiceType=1 --set UploadServer=127.0.0.1 --set UploadPort="$ftp_port" \
    --set UploadDir=/ --set UserName=demo --set Password=demo-secret \
    --set ServiceHost="127.0.0.1:$web_port"

echo "== tarnwick --headless"
log="$work/tarnwick.log"
"$tarnwick" --headless >"$log" 2>&1 &
headless=$!
pids+=("$headless")
wait_line "$log" "Datei mit neuer Umleitung wurde erfolgreich an den Server gesendet." 1
cat "$log"

echo "== while it runs: tarnwick --set ClientIpByServer=1 (the address service), then tarnwick /execnow"
shown=$(wc -l <"$log")
"$tarnwick" --set ClientIpByServer=1
"$tarnwick" /execnow
wait_line "$log" "Webseite ist bereits aktuell und wird nicht erneut hochgeladen..." 1
tail -n +"$((shown + 1))" "$log"

kill -TERM "$headless"
status=0
wait "$headless" || status=$?
echo "== stopped with SIGTERM, exit code $status; stored address: $("$tarnwick" --get LocalServerName)"

echo "== the published page http://127.0.0.1:$web_port/site/index.htm (Windows-1252 shown as UTF-8):"
curl -s "http://127.0.0.1:$web_port/site/index.htm" | iconv -f WINDOWS-1252 -t UTF-8
echo
echo "== Your own web space: set it with tarnwick --set (see README, \"Pointing Tarnwick at your web space\")."
