#!/usr/bin/env bash
# Installs the Debian packages Rechenkov needs to build, run and test, if any
# are missing: apt-get as root, sudo otherwise.
set -euo pipefail
# ./run needs what builds and runs the program; ./test (argument "test")
# adds what the tests need: servers, a print queue, window managers, X tools.
packages=(
    qt6-base-dev qt6-translations-l10n cmake ninja-build g++ pkg-config
    # The practice record: SQLite driver and charts. Qt Charts' CMake files
    # need the OpenGL module's, which its package does not pull in.
    libqt6sql6-sqlite qt6-charts-dev libqt6opengl6-dev
    fonts-dejavu-core fonts-liberation2
    # Asking a print queue whether it takes jobs and what became of one.
    libcups2-dev
    # A school's server: only the client driver, never a server.
    libqt6sql6-psql
)
if [ "${1:-run}" = test ]; then
    packages+=(
        xvfb xauth x11-utils poppler-utils desktop-file-utils appstream dpkg-dev
        # Window managers and a keyboard for the real windows on a virtual X
        # server, and lintian for the package.
        openbox fluxbox wmctrl xdotool lintian
        # Worksheets printed through a real CUPS queue that writes PDF files.
        cups printer-driver-cups-pdf
        # The school's server for the tests, and a German locale to run
        # them in as well (the client library then speaks German).
        postgresql locales
        # FUSE folders: a FAT image (a USB stick) and bindfs, for the file
        # writer and for the practice record in a home that is not a local disk.
        fusefat dosfstools bindfs fuse
    )
fi
packages+=(${RECHENKOV_EXTRA_PACKAGES:-})
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if [ "${1:-run}" = test ] && ! locale -a 2>/dev/null | grep -qix 'de_DE.utf8'; then
    echo "Generating the locale de_DE.UTF-8"
    if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
    "${sudo[@]}" sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
    "${sudo[@]}" locale-gen >/dev/null
fi
