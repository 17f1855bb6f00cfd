#!/usr/bin/env bash
# Builds the Debian package build/quorin-monitor_VERSION-REVISION_ARCH.deb
# from the tree the test command builds (build/, optimised with debug
# information, which CPack strips from the packaged programs): the package
# holds the very programs the tests ran against, and CI does not compile them
# twice. dpkg-shlibdeps works out the library dependencies from the binaries.
#   [BUILD_DIR=folder] scripts/package.sh [--check]
# --check then runs lintian on the package (any error or warning fails),
# validates the desktop entry and the AppStream data, unpacks the package into
# a temporary folder and runs both programs from there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-"$root/build"}
check=0
case "${1:-}" in
    --check) check=1 ;;
    "") ;;
    *) echo "usage: scripts/package.sh [--check]" >&2; exit 2 ;;
esac

"$root/scripts/deps.sh" package
if grep -qsE '^QUORIN_(ASAN|TSAN|FUZZ):BOOL=ON' "$build/CMakeCache.txt"; then
    echo "package: $build is configured with a sanitizer; not packaging it" >&2
    exit 1
fi
if [[ ! -f "$build/build.ninja" ]]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" -j"$(nproc)" --target quorin-monitor quorin-sim packagedocs
rm -f "$build"/quorin-monitor_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/quorin-monitor_*.deb)
deb=${debs[0]}
echo "Built $deb"
[[ $check -eq 1 ]] || exit 0

fail() { echo "package check: $*" >&2; exit 1; }
id=org.quorinmonitor.QuorinMonitor
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

echo "== Contents"
dpkg-deb -c "$deb" | awk '{print $1, $3, $6}'
echo "== Control"
dpkg-deb -f "$deb" Package Version Architecture Depends Recommends
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libqt6widgets6* && $depends == *libc6* ]] || fail "Depends lacks the computed libraries: $depends"

echo "== lintian"
# Any error or warning fails; informational tags pass, but for those on the
# hardening and the stripping of the programs, which the build takes care of.
# The overrides the package ships (dist/lintian-overrides) are honoured.
status=0
findings=$(lintian --display-info --fail-on error,warning "$deb" 2>&1) || status=$?
# Lintian warns that it runs as root; that is not about the package.
findings=$(grep -v 'running with root privileges' <<<"$findings" || true)
[[ -z $findings ]] || echo "$findings"
[[ $status -eq 0 ]] || fail "lintian found errors or warnings"
! grep -qE 'hardening-|binary-has-unneeded-section' <<<"$findings" || fail "the programs lost their hardening or stripping"

dpkg-deb -x "$deb" "$tmp"
for f in usr/bin/quorin-monitor usr/bin/quorin-sim "usr/share/applications/$id.desktop" \
         "usr/share/icons/hicolor/scalable/apps/$id.svg" "usr/share/metainfo/$id.metainfo.xml" \
         usr/share/man/man1/quorin-monitor.1.gz usr/share/man/man1/quorin-sim.1.gz; do
    [[ -f "$tmp/$f" ]] || fail "missing /$f"
done
version=$(dpkg-deb -f "$deb" Version)
# Lintian does not compare the changelog with the package: a new version
# needs its changelog entry.
gzip -dc "$tmp/usr/share/doc/quorin-monitor/changelog.Debian.gz" >"$tmp/changelog"
logged=$(dpkg-parsechangelog -l "$tmp/changelog" -S Version)
[[ $logged == "$version" ]] || fail "the package is $version, its changelog's latest entry $logged (dist/changelog.Debian)"

echo "== desktop-file-validate"
desktop-file-validate "$tmp/usr/share/applications/$id.desktop"
echo "== appstreamcli validate"
appstreamcli validate --no-net "$tmp/usr/share/metainfo/$id.metainfo.xml"

echo "== Unpacked programs"
# Found from the system alone: no run path, nothing that resolves into the build tree.
for exe in quorin-monitor quorin-sim; do
    if readelf -d "$tmp/usr/bin/$exe" | grep -qE 'RPATH|RUNPATH'; then
        fail "$exe carries a run path"
    fi
    if ldd "$tmp/usr/bin/$exe" | grep -qE "not found|$root"; then
        fail "$exe: $(ldd "$tmp/usr/bin/$exe" | grep -E "not found|$root")"
    fi
done
cd "$tmp"
# The program's version is the package's without the Debian revision.
shown=$(env -u DISPLAY -u WAYLAND_DISPLAY "$tmp/usr/bin/quorin-monitor" --version)
[[ $shown == "quorin-monitor ${version%-*}" ]] || fail "--version says '$shown', the package is $version"
echo "$shown"
status=0
"$tmp/usr/bin/quorin-monitor" --no-such-option 2>/dev/null || status=$?
[[ $status -eq 2 ]] || fail "a bad option ended with status $status, not 2"
"$tmp/usr/bin/quorin-sim" --help | head -n 1
# The whole program once: offscreen, on the built-in simulator, until the
# monitor has answered both login prompts (it writes those answers to stdout).
# Its settings go to the temporary folder, and it is stopped before it saves.
log="$tmp/monitor.log"
XDG_CONFIG_HOME="$tmp/config" QT_QPA_PLATFORM=offscreen "$tmp/usr/bin/quorin-monitor" --simulator >"$log" 2>&1 &
monitor=$!
for _ in $(seq 100); do
    grep -q "CMD\$ 0" "$log" && break
    kill -0 "$monitor" 2>/dev/null || break
    sleep 0.1
done
kill "$monitor" 2>/dev/null || true
wait "$monitor" 2>/dev/null || true
grep -q "CMD\$ 0" "$log" || fail "the unpacked monitor did not get through its simulator's login: $(cat "$log")"
echo "quorin-monitor --simulator logged in"
echo "Package check passed: $deb"
