#!/usr/bin/env bash
# Installs the Debian packages the panel and its tests need; does nothing when
# they are all there already.
set -euo pipefail

packages=(
    # build
    build-essential cmake ninja-build pkg-config
    qt6-base-dev librtmidi-dev libjack-jackd2-dev libasound2-dev
    # tests and benchmarks
    libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
    jackd2 pipewire pipewire-jack pipewire-bin xvfb xdotool x11-utils imagemagick fonts-dejavu-core time
    # a refused connection to a sound server, for the command line's test
    strace
    desktop-file-utils appstream
    # the Tab completion's test loads bash-completion's helpers
    bash-completion
    # the tests on the ALSA sequencer boot Debian's kernel in a virtual machine
    # (scripts/alsa-guest.sh): the kernel itself is fetched with apt-get download
    qemu-system-x86 busybox-static cpio kmod xz-utils alsa-utils
    # the whole-program test reads the panel through its accessibility
    # interface on a private D-Bus session
    dbus at-spi2-core python3-pyatspi
    # checks of the sources and of the manual page
    clang-format shellcheck man-db
    # the Debian package, its lint and its test
    dpkg-dev debhelper lintian
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
