#!/bin/sh
# Installs the build into a temporary prefix and checks that the installed tool runs on
# an example and that the man page sits where man looks for it.
# Usage: check_install.sh CMAKE BUILD_DIR EXAMPLE_DIR
set -eu
cmake=$1 build=$2 example=$3
prefix=$(mktemp -d)
work=$(mktemp -d)
trap 'rm -rf "$prefix" "$work"' EXIT

"$cmake" --install "$build" --prefix "$prefix" >/dev/null
test -x "$prefix/bin/tagtree" || { echo "missing bin/tagtree"; exit 1; }
test -f "$prefix/share/man/man1/tagtree.1" || { echo "missing share/man/man1/tagtree.1"; exit 1; }

cp "$example/files.in" "$work/files.in"
(cd "$work" && "$prefix/bin/tagtree" >actual.out)
cmp "$work/actual.out" "$example/expected.out"
