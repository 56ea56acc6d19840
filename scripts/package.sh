#!/usr/bin/env bash
# Builds the Debian package of the panel, zr70_<version>_<arch>.deb, and puts
# it in out/ with the build's .changes and .buildinfo (and the debug symbols'
# package). What the build needs (debian/control's Build-Depends) is installed
# first, with sudo when not root. The build runs in a scratch copy of the
# tree, so nothing but out/ is written here.
#
#   scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
out=$source_dir/out

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
if ! command -v dpkg-checkbuilddeps >/dev/null || ! dpkg-checkbuilddeps 2>/dev/null; then
    echo "Installing the package's build dependencies"
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -qq --no-install-recommends dpkg-dev
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get build-dep -y -qq --no-install-recommends "$source_dir"
fi

version=$(dpkg-parsechangelog -S Version)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/zr70-package.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
tree=$scratch/zr70-${version%-*}
mkdir "$tree"

# The tree as it is: the files git tracks or would track, changes included;
# a tree that is not a git checkout is copied without its build folders.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z --cached --others --exclude-standard |
        while IFS= read -r -d '' file; do
            [[ -e "$file" || -L "$file" ]] && printf '%s\0' "$file"
        done |
        tar --null --files-from=- -cf - | tar -xf - -C "$tree"
else
    tar --exclude=./.git --exclude='./build*' --exclude=./out -cf - . | tar -xf - -C "$tree"
fi

(cd "$tree" && dpkg-buildpackage -b -us -uc -J"$(nproc)")

mkdir -p "$out"
rm -f "$out"/zr70_*.deb "$out"/zr70-dbgsym_*.deb "$out"/zr70_*.changes "$out"/zr70_*.buildinfo
cp "$scratch"/*.deb "$scratch"/*.changes "$scratch"/*.buildinfo "$out"/
echo "Built $(cd "$source_dir" && ls out/zr70_"$version"_*.deb)"
