#!/usr/bin/env bash
# Builds the Debian package from a configured, built tree and checks what it would install.
# Usage: check_package.sh <build dir> <source dir>
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; fail "cpack did not build the package"; }
debs=("$work"/out/velmorocandiag_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one velmorocandiag_*.deb, got: ${debs[*]}"
deb=${debs[0]}

listing=$(dpkg-deb -c "$deb")
expect_file() {
    local mode=$1 path=$2
    grep -Eq "^${mode}.* \./${path}\$" <<<"$listing" || fail "package lacks $path ($mode)"
}
expect_file '-rwxr-xr-x' 'usr/bin/VelmoroCanDiag'
expect_file '-rwxr-xr-x' 'usr/bin/velmoro-sim'
expect_file '-rwxr-xr-x' 'usr/bin/velmoro-cli'
expect_file '-rw-r--r--' 'usr/share/applications/velmorocandiag.desktop'
expect_file '-rw-r--r--' 'usr/share/icons/hicolor/scalable/apps/velmorocandiag.svg'
expect_file '-rw-r--r--' 'usr/share/icons/hicolor/256x256/apps/velmorocandiag.png'
if [ -f "$source/docs/help.html" ]; then
    expect_file '-rw-r--r--' 'usr/share/velmorocandiag/help.html'
fi
# Nothing from the build tree or the test suites may leak into the package.
if grep -Eq 'velmoro_test|/include/|\.a$|CMakeFiles' <<<"$listing"; then
    fail "package holds build or test files: $(grep -E 'velmoro_test|/include/|\.a$|CMakeFiles' <<<"$listing")"
fi

[ "$(dpkg-deb -f "$deb" Package)" = velmorocandiag ] || fail "package name"
depends=$(dpkg-deb -f "$deb" Depends)
for needed in fonts-liberation libqt6charts6 libqt6widgets6 libqt6gui6 libqt6serialport6 \
    libqt6network6 libqt6core6; do
    grep -Eq "(^|, )${needed}( |,|\$)" <<<"$depends" || fail "Depends lacks $needed: $depends"
done

# The desktop entry must start the installed program and name the installed icon.
dpkg-deb -x "$deb" "$work/root"
entry="$work/root/usr/share/applications/velmorocandiag.desktop"
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
icon_name=$(sed -n 's/^Icon=//p' "$entry")
[ -x "$work/root/usr/bin/$exec_name" ] || fail "desktop Exec=$exec_name is not an installed program"
[ -f "$work/root/usr/share/icons/hicolor/scalable/apps/$icon_name.svg" ] ||
    fail "desktop Icon=$icon_name has no installed icon"
# An installed copy is recognised by its data folder beside the binary folder.
[ -d "$work/root/usr/bin/../share/velmorocandiag" ] || fail "no share/velmorocandiag beside bin"

# The command-line tool runs from the package without a display and needs no widget library.
if command -v ldd >/dev/null; then
    ! ldd "$work/root/usr/bin/velmoro-cli" | grep -Eq 'libQt6(Gui|Widgets)' ||
        fail "velmoro-cli links a GUI library"
fi
cli_out=$(env -u DISPLAY -u WAYLAND_DISPLAY HOME="$work/home" \
    "$work/root/usr/bin/velmoro-cli" --port Simulator --model "Velmoro 850" --language English \
    -q watch RPM --passes 2) || fail "installed velmoro-cli did not watch the built-in bike"
[ "$(wc -l <<<"$cli_out")" -eq 3 ] || fail "installed velmoro-cli printed: $cli_out"

# The ride recorder's service: installed, and a unit systemd takes without a complaint.
expect_file '-rw-r--r--' 'usr/lib/systemd/system/velmoro-record@.service'
expect_file '-rw-r--r--' 'usr/share/doc/velmorocandiag/examples/99-velmoro-adapter.rules'
expect_file '-rw-r--r--' 'usr/share/doc/velmorocandiag/examples/velmoro-record.default'
if command -v systemd-analyze >/dev/null && [ -d /lib/systemd/system ]; then
    mkdir -p "$work/root/etc/systemd/system"
    cp /lib/systemd/system/*.target /lib/systemd/system/*.slice "$work/root/usr/lib/systemd/system/" \
        2>/dev/null || true
    verify=$(systemd-analyze verify --root="$work/root" \
        "$work/root/usr/lib/systemd/system/velmoro-record@pi.service" 2>&1) ||
        fail "systemd-analyze verify: $verify"
    [ -z "$verify" ] || fail "systemd-analyze verify: $verify"
fi

echo "package ok: $(basename "$deb"), $(wc -l <<<"$listing") entries"
echo "Depends: $depends"
