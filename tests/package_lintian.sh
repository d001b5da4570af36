#!/usr/bin/env bash
# Builds the Debian package of a build into a temporary folder and checks what
# a distribution would: lintian reports no error and no warning (when lintian is
# installed), the programs are small enough to have been stripped, and the
# changelog's latest entry is the package's version.
# Usage: package_lintian.sh CPACK BUILD_DIR [LINTIAN]
set -euo pipefail
cpack=$1 build_dir=$2 lintian=${3:-}
max_installed_bytes=8000000
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if ! "$cpack" --config "$build_dir/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "FAIL: cpack could not build the package"
    exit 1
fi
deb=$(find "$work" -maxdepth 1 -name '*.deb')
status=0

# dpkg states the installed size in KiB.
installed_kib=$(dpkg-deb --field "$deb" Installed-Size)
echo "Package: $(basename "$deb"), $(stat -c %s "$deb") bytes, installs $installed_kib KiB"
if [ $((installed_kib * 1024)) -ge $max_installed_bytes ]; then
    echo "FAIL: the package installs $installed_kib KiB, not under $max_installed_bytes bytes"
    status=1
fi

version=$(dpkg-deb --field "$deb" Version)
if ! dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/rechenkov/changelog.gz | gzip -dc >"$work/changelog" ||
   ! changelog_version=$(dpkg-parsechangelog -l "$work/changelog" -S Version); then
    echo "FAIL: the package holds no readable Debian changelog usr/share/doc/rechenkov/changelog.gz"
    status=1
elif [ "$changelog_version" != "$version" ]; then
    echo "FAIL: the changelog's latest entry is $changelog_version, the package is $version"
    status=1
fi

if [ -z "$lintian" ]; then
    echo "lintian is not installed: the package was not checked with it"
elif ! "$lintian" --fail-on error,warning "$deb"; then
    echo "FAIL: lintian reports errors or warnings"
    status=1
fi
exit $status
