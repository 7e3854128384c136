#!/usr/bin/env bash
# The packages as a user gets them: builds the .deb and the .tar.gz with
# CPack, unpacks them into temporary folders (nothing is installed into the
# machine) and runs the unpacked programs against a web space of their own on
# loopback: nginx and the FTP server from testing/. Also validates the desktop
# entry, the metainfo and the manual pages, and runs lintian.
#   package-test.sh BUILD_DIR SOURCE_DIR
# Exit 77 (skipped) only when a tool it needs is missing.
set -euo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)

for tool in cpack dpkg-deb dpkg-shlibdeps lintian desktop-file-validate appstreamcli man readelf \
    /usr/sbin/nginx /usr/bin/python3 curl; do
    command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is missing (scripts/install-deps.sh installs it)"; exit 77; }
done
/usr/bin/python3 -c 'import pyftpdlib' 2>/dev/null \
    || { echo "SKIPPED: pyftpdlib is missing (scripts/install-deps.sh installs it)"; exit 77; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
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

failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }
expect_eq() { [ "$2" = "$3" ] || fail "$1: expected '$3', got '$2'"; }
step() { echo "== $*"; }

# --- the packages ------------------------------------------------------------
step "cpack DEB and TGZ"
cpack --config "$build/CPackConfig.cmake" -G "DEB;TGZ" -B "$work/out" >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log" >&2; exit 1; }
deb="$work/out/tarnwick_${version}_amd64.deb"
tgz=$(find "$work/out" -maxdepth 1 -name 'tarnwick-*.tar.gz' | head -n 1)
[ -f "$deb" ] && [ -n "$tgz" ] || { ls "$work/out" >&2; exit 1; }

step "control fields"
expect_eq Package "$(dpkg-deb -f "$deb" Package)" tarnwick
expect_eq Version "$(dpkg-deb -f "$deb" Version)" "$version"
expect_eq Section "$(dpkg-deb -f "$deb" Section)" net
depends=$(dpkg-deb -f "$deb" Depends)
for dep in libc6 libqt6core6 libqt6widgets6 libcurl4 libarchive13 libnm0 libldns3 qt6-translations-l10n libqt6svg6 ca-certificates; do
    grep -qE "(^|, )$dep( |,|$)" <<<"$depends" || fail "Depends lacks $dep: $depends"
done
# Removing the package must leave the users' settings alone: no scripts.
for script in preinst postinst prerm postrm; do
    dpkg-deb --info "$deb" "$script" >/dev/null 2>&1 && fail "the package has a $script script"
done

step "files of the .deb"
root="$work/root"
dpkg-deb -x "$deb" "$root"
private=usr/lib/tarnwick
for file in usr/bin/tarnwick usr/bin/kestrup usr/bin/corvane \
    $private/libveltplatform.so $private/libtarnwick_logic.so $private/libcorvanecom.so $private/libtarnwick_gui.so \
    $private/librasapi32.so \
    usr/lib/systemd/user/tarnwick.service usr/share/applications/tarnwick.desktop \
    usr/share/metainfo/example.velt.tarnwick.metainfo.xml usr/share/icons/hicolor/scalable/apps/tarnwick.svg \
    usr/share/man/man1/tarnwick.1.gz usr/share/man/man1/kestrup.1.gz usr/share/man/man1/corvane.1.gz \
    usr/share/doc/tarnwick/copyright usr/share/doc/tarnwick/changelog.gz \
    usr/share/tarnwick/help/tarnwick.htm usr/share/tarnwick/vorlagen/umleitung.htm; do
    [ -f "$root/$file" ] || fail "missing /$file"
done
for size in 16 22 24 32 48 64 128 256; do
    png="$root/usr/share/icons/hicolor/${size}x${size}/apps/tarnwick.png"
    [ "$(/usr/bin/python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print("%dx%d" % struct.unpack(">II", d[16:24]) if d[:8]==b"\x89PNG\r\n\x1a\n" else "-")' "$png" 2>/dev/null)" = "${size}x${size}" ] \
        || fail "no ${size}x${size} PNG icon"
done
# Nothing public in the library path: the libraries are the programs' own.
stray=$(find "$root/usr/lib" -maxdepth 2 -name '*.so*' -not -path "*/tarnwick/*")
[ -z "$stray" ] || fail "libraries outside the private folder: $stray"
for program in tarnwick kestrup corvane; do
    expect_eq "RUNPATH of $program" "$(readelf -d "$root/usr/bin/$program" | sed -n 's/.*RUNPATH.*\[\(.*\)\]/\1/p')" \
        '$ORIGIN/../lib/tarnwick'
done
expect_eq ExecStart "$(sed -n 's/^ExecStart=//p' "$root/usr/lib/systemd/user/tarnwick.service")" \
    "/usr/bin/tarnwick --headless"

step "versions agree"
for program in tarnwick kestrup corvane; do
    expect_eq "$program --version" "$("$root/usr/bin/$program" --version)" "$version"
done
expect_eq "changelog" "$(zcat "$root/usr/share/doc/tarnwick/changelog.gz" | sed -n '1s/^tarnwick (\([^)]*\)).*/\1/p')" \
    "$version"
grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/example.velt.tarnwick.metainfo.xml" \
    || fail "the metainfo has no release $version"

step "--help and the manual pages name the same options"
for program in tarnwick kestrup corvane; do
    page=$(zcat "$root/usr/share/man/man1/$program.1.gz" | sed 's/\\-/-/g; s/\\f[BIRP]//g')
    help=$("$root/usr/bin/$program" --help) || fail "$program --help"
    words=$(grep -oE -- '--[a-z][a-z-]+|/[a-z]+\b|\b[a-z]+=' <<<"$help" | grep -vE '^/(lib|tarnwick|Download|tmp)' | sort -u)
    for word in $words; do
        grep -qF -- "$word" <<<"$page" || fail "$program(1) lacks '$word' of --help"
    done
    for word in $(sed '/^\.SH BEISPIELE/,$d' <<<"$page" | grep -oE -- '--[a-z][a-z-]+' | sort -u); do
        grep -qF -- "$word" <<<"$help" || fail "$program --help lacks '$word' of the manual page"
    done
done
# Every setting of tarnwick --help is in the manual page, with the same meaning of its values.
page=$(zcat "$root/usr/share/man/man1/tarnwick.1.gz" | sed 's/\\-/-/g; s/\\f[BIRP]//g')
settings=$("$root/usr/bin/tarnwick" --help | sed -n '/^Einstellungen für --set/,$p' | tail -n +2)
[ "$(wc -l <<<"$settings")" -ge 30 ] || fail "tarnwick --help lists too few settings"
while read -r name meaning; do
    [ -n "$meaning" ] || fail "tarnwick --help says nothing about the values of $name"
    grep -qw -- "$name" <<<"$page" || fail "tarnwick(1) lacks the setting $name"
    grep -qF -- "$meaning" <<<"$page" || fail "tarnwick(1) lacks the meaning of $name: $meaning"
done <<<"$settings"

step "validators"
desktop-file-validate "$root/usr/share/applications/tarnwick.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/example.velt.tarnwick.metainfo.xml" >"$work/as.log" 2>&1 \
    || { cat "$work/as.log" >&2; fail "appstreamcli validate"; }
for program in tarnwick kestrup corvane; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
        "$root/usr/share/man/man1/$program.1.gz" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man -l $program.1: $warnings"
done
# The unit as systemd reads it, pointed at the unpacked program.
if command -v systemd-analyze >/dev/null; then
    mkdir -p "$work/unit" "$work/unit-runtime" && chmod 700 "$work/unit-runtime"
    sed "s|^ExecStart=/usr/bin/tarnwick|ExecStart=$root/usr/bin/tarnwick|" \
        "$root/usr/lib/systemd/user/tarnwick.service" >"$work/unit/tarnwick.service"
    MANPATH="$root/usr/share/man" XDG_RUNTIME_DIR="$work/unit-runtime" \
        systemd-analyze verify --user "$work/unit/tarnwick.service" || fail "systemd-analyze verify"
else
    echo "(systemd-analyze is missing: the unit is not verified)"
fi
# lintian: errors fail; the informational tags kept are listed in README.
lintian --no-tag-display-limit "$deb" >"$work/lintian.log" 2>&1 || true
cat "$work/lintian.log"
! grep -q '^E: ' "$work/lintian.log" || fail "lintian reports errors"

# --- the unpacked programs against a local web space -----------------------
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

. "$src/scripts/local-web-space.sh"
start_web_space "$work" "$src" paket paket-geheim || fail "the local web space did not start"

bin="$root/usr/bin"
step "tarnwick --once from the .deb"
"$bin/tarnwick" --set RedirectUrl="http://127.0.0.1:$web_port/site/index.htm" \
    --set UploadServiceType=1 --set UploadServer=127.0.0.1 --set UploadPort="$ftp_port" \
    --set UploadDir=/ --set UserName=paket --set Password=paket-geheim \
    --set ServiceHost="127.0.0.1:$web_port" || fail "tarnwick --set"
status=0
"$bin/tarnwick" --once >"$work/once.log" 2>&1 || status=$?
expect_eq "tarnwick --once" "$status" 0
grep -q 'http://127.0.0.1' "$work/ftp/index.htm" 2>/dev/null || { cat "$work/once.log" >&2; fail "no page uploaded"; }
# The first start registered the component of the unpacked tree.
grep -qF "$root/$private/libcorvanecom.so" "$XDG_DATA_HOME/VELT/classes.reg" \
    || fail "the first start did not register $root/$private/libcorvanecom.so"

step "corvane --register and TestConnect through the unpacked component"
out=$("$bin/corvane" --register) || fail "corvane --register"
expect_eq "corvane --register" "$out" "Die Komponente $root/$private/libcorvanecom.so wurde registriert."
expect_eq "TestConnect" "$("$bin/corvane" TestConnect "http://127.0.0.1:$web_port/" 2>&1)" 1

step "kestrup /quitonly against a running headless instance"
"$bin/tarnwick" --headless >"$work/headless.log" 2>&1 &
headless=$!
pids+=("$headless")
for _ in $(seq 1 200); do
    grep -q 'Webseite ist bereits aktuell' "$work/headless.log" && break
    sleep 0.05
done
grep -q 'Webseite ist bereits aktuell' "$work/headless.log" || { cat "$work/headless.log" >&2; fail "headless cycle"; }
status=0
timeout 30 "$bin/kestrup" /quitonly 'pr=VELT Tarnwick' >"$work/kestrup.log" 2>&1 || status=$?
expect_eq "kestrup /quitonly" "$status" 0
for _ in $(seq 1 100); do
    kill -0 "$headless" 2>/dev/null || break
    sleep 0.05
done
kill -0 "$headless" 2>/dev/null && fail "the headless instance still runs after kestrup /quitonly"

step "the .tar.gz in another prefix"
prefix="$work/elsewhere/opt"
mkdir -p "$prefix"
tar -xzf "$tgz" -C "$prefix" --strip-components=1
for file in bin/tarnwick bin/kestrup bin/corvane lib/tarnwick/libcorvanecom.so lib/tarnwick/libveltplatform.so \
    lib/tarnwick/libtarnwick_logic.so lib/tarnwick/librasapi32.so \
    share/tarnwick/help/tarnwick.htm share/man/man1/tarnwick.1.gz share/tarnwick/tarnwick.service.in; do
    [ -f "$prefix/$file" ] || fail "the .tar.gz lacks $file"
done
[ ! -e "$prefix/lib/systemd" ] || fail "the relocatable .tar.gz carries a systemd unit"
rm -f "$work/ftp/index.htm"
status=0
"$prefix/bin/tarnwick" --once >"$work/once-tgz.log" 2>&1 || status=$?
expect_eq "tarnwick --once from the .tar.gz" "$status" 0
[ -f "$work/ftp/index.htm" ] || { cat "$work/once-tgz.log" >&2; fail "no page uploaded from the .tar.gz"; }

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "all package checks passed"
