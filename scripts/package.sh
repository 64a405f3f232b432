#!/usr/bin/env bash
# Builds the Debian package of this checkout for the release it runs on, then checks it:
#   bash scripts/package.sh        # -> build-deb/kovalis_<version>_<arch>.deb
# The package is built from debian/ with dpkg-buildpackage in a copy of the checkout (committed or
# not, without build folders) under $KOVALIS_PACKAGE_DIR (default build-deb/); lintian must report no
# error, the desktop entry must pass desktop-file-validate and the AppStream file appstreamcli.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=${KOVALIS_PACKAGE_DIR:-$here/build-deb}
KOVALIS_WITH_PACKAGING=1 bash "$here/scripts/install-deps.sh"

version=$(sed -n 's/^project(Kovalis VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")
packaged=$(dpkg-parsechangelog -l "$here/debian/changelog" -S Version)
if [ "$version" != "$packaged" ]; then
    echo "package: debian/changelog is at $packaged, the program at $version; add a changelog entry" >&2
    exit 1
fi
arch=$(dpkg-architecture -q DEB_HOST_ARCH)
deb=$out/kovalis_${version}_${arch}.deb

# dpkg-buildpackage writes its results beside the source folder, so the copy goes one level down.
tree=$out/tree/kovalis-$version
mkdir -p "$tree"
find "$tree" -mindepth 1 -maxdepth 1 ! -name obj-\* -exec rm -rf {} +
if git -C "$here" rev-parse --git-dir >/dev/null 2>&1; then
    (cd "$here" && git ls-files -z --cached --others --exclude-standard |
        xargs -0 -r sh -c 'for f; do [ -e "$f" ] && printf "%s\0" "$f"; done' sh |
        tar --null -T - -cf -) | tar -xf - -C "$tree"
else
    # A copy without git (scripts/test-on.sh makes one): everything but build folders.
    tar -C "$here" --exclude='./build*' -cf - . | tar -xf - -C "$tree"
fi
rm -f "$out"/tree/*.deb "$out"/tree/*.ddeb "$out"/tree/*.buildinfo "$out"/tree/*.changes

cmake_args=""
command -v ccache >/dev/null && cmake_args="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
echo "== building kovalis $version for $(. /etc/os-release && echo "$PRETTY_NAME") ($arch)"
start=$SECONDS
(cd "$tree" && KOVALIS_CMAKE_ARGS=$cmake_args DEB_BUILD_OPTIONS="parallel=$(nproc)" \
    dpkg-buildpackage -b -us -uc >"$out/build.log" 2>&1) || {
    tail -40 "$out/build.log" >&2
    echo "package: dpkg-buildpackage failed; the whole log is $out/build.log" >&2
    exit 1
}
mv "$out/tree/kovalis_${version}_${arch}.deb" "$deb"
echo "== built in $((SECONDS - start)) s: $deb"
dpkg-deb --field "$deb" Depends

status=0
echo "== lintian"
lintian --fail-on error --info "$deb" || status=1

echo "== desktop entry and AppStream data"
unpacked=$out/unpacked
rm -rf "$unpacked"
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked/usr/share/applications/kovalis.desktop" || status=1
appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/*.metainfo.xml || status=1

if [ $status != 0 ]; then
    echo "package: $deb has errors (above)" >&2
    exit 1
fi
echo "== $deb"
