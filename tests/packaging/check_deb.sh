#!/bin/sh
# Builds the Debian package from the build directory into a temporary folder and checks
# its control fields, among them its dependency on utf8proc where it carries
# tagtree-explain, and that it carries the commands built and their man pages.
# Usage: check_deb.sh CPACK BUILD_DIR COMMAND...
set -eu
cpack=$1 build=$2
shift 2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$out" >/dev/null
deb=$(ls "$out"/tagtree_*.deb)
info=$(dpkg-deb --info "$deb")
for field in 'Package: tagtree' 'Maintainer: tagtree maintainers <' 'Depends: libc6' \
    'Description: infer a two-level tag hierarchy' 'Section: utils'; do
  printf '%s\n' "$info" | grep -q "^ $field" || { echo "missing field: $field"; exit 1; }
done
# tagtree-explain links utf8proc, a dependency dpkg-shlibdeps finds; tagtree alone has none.
utf8proc=no
printf '%s\n' "$info" | grep -q '^ Depends: .*libutf8proc2' && utf8proc=yes
case " $* " in
  *" tagtree-explain "*) expected=yes ;;
  *) expected=no ;;
esac
test "$utf8proc" = "$expected" ||
  { echo "depends on libutf8proc2: $utf8proc, for the commands $*"; exit 1; }
contents=$(dpkg-deb --contents "$deb")
for command in "$@"; do
  for file in ./usr/bin/$command ./usr/share/man/man1/$command.1.gz; do
    printf '%s\n' "$contents" | grep -q " $file\$" || { echo "missing file: $file"; exit 1; }
  done
done
