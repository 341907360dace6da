#!/bin/sh
# Builds the Debian package from the build directory into a temporary folder and checks
# its control fields, among them its dependency on utf8proc, and that it carries both
# commands and their man pages.
# Usage: check_deb.sh CPACK BUILD_DIR
set -eu
cpack=$1 build=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$out" >/dev/null
deb=$(ls "$out"/tagtree_*.deb)
info=$(dpkg-deb --info "$deb")
for field in 'Package: tagtree' 'Maintainer: tagtree maintainers <' 'Depends: libc6' \
    'Description: infer a two-level tag hierarchy' 'Section: utils'; do
  printf '%s\n' "$info" | grep -q "^ $field" || { echo "missing field: $field"; exit 1; }
done
# tagtree-explain links utf8proc, a dependency dpkg-shlibdeps finds.
printf '%s\n' "$info" | grep -q '^ Depends: .*libutf8proc2' ||
  { echo "no dependency on libutf8proc2"; exit 1; }
contents=$(dpkg-deb --contents "$deb")
for file in ./usr/bin/tagtree ./usr/share/man/man1/tagtree.1.gz ./usr/bin/tagtree-explain \
    ./usr/share/man/man1/tagtree-explain.1.gz; do
  printf '%s\n' "$contents" | grep -q " $file\$" || { echo "missing file: $file"; exit 1; }
done
