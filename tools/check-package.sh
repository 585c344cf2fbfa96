#!/usr/bin/env bash
# Builds the Debian package from a configured, built tree and inspects it: the files a desktop needs are in
# it (program, menu entry, metadata, icons, manual page, copyright, changelog), its dependencies came from
# dpkg-shlibdeps, and lintian finds no error (warnings are printed, not fatal). Run by CTest (test Package).
#   tools/check-package.sh <build dir>
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
cd "$build"
rm -f nxviewer_*.deb
cpack -G DEB >cpack.log 2>&1 || { cat cpack.log; exit 1; }
deb=$(ls nxviewer_*.deb)
echo "package: $build/$deb"

id=org.nxviewer.NxViewer
files=$(dpkg-deb -c "$deb" | awk '{print $NF}')
missing=0
for f in ./usr/bin/nxviewer ./usr/share/applications/$id.desktop ./usr/share/metainfo/$id.metainfo.xml \
         ./usr/share/icons/hicolor/scalable/apps/$id.svg ./usr/share/man/man1/nxviewer.1.gz \
         ./usr/share/doc/nxviewer/copyright ./usr/share/doc/nxviewer/changelog.Debian.gz; do
  grep -qx -- "$f" <<<"$files" || { echo "missing from the package: $f"; missing=1; }
done
for size in 16 24 32 48 64 128 256; do
  f=./usr/share/icons/hicolor/${size}x${size}/apps/$id.png
  grep -qx -- "$f" <<<"$files" || { echo "missing from the package: $f"; missing=1; }
done
# Nothing of the build or the tests rides along.
if grep -v -E '^\./(usr/(bin/nxviewer|share/(applications|metainfo|icons|man|doc)(/.*)?)?|usr/(bin|share)?/?)$' <<<"$files"; then
  echo "unexpected files in the package (above)"
  missing=1
fi

# The package's own copies of the metadata validate, and the menu entry starts the installed program.
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked/usr/share/applications/$id.desktop"
appstreamcli validate --no-net "$unpacked/usr/share/metainfo/$id.metainfo.xml"
grep -qx 'Exec=nxviewer' "$unpacked/usr/share/applications/$id.desktop" || { echo "Exec is not nxviewer"; missing=1; }
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libqt6widgets6 libc6; do
  grep -q "$lib" <<<"$depends" || { echo "Depends lacks $lib"; missing=1; }
done

# lintian as root warns that it should not be; its findings are what count.
lintian --tag-display-limit 0 "$deb" 2>&1 | tee lintian.log
if grep -q '^E: ' lintian.log; then
  echo "lintian found errors"
  missing=1
fi
exit $missing
