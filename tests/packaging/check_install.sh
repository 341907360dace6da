#!/bin/sh
# Installs the build into a temporary prefix and checks that the installed commands run
# on an example and that their man pages sit where man looks for them.
# Usage: check_install.sh CMAKE BUILD_DIR EXAMPLE_DIR COMMAND...
set -eu
cmake=$1 build=$2 example=$3
shift 3
prefix=$(mktemp -d)
work=$(mktemp -d)
trap 'rm -rf "$prefix" "$work"' EXIT

"$cmake" --install "$build" --prefix "$prefix" >/dev/null
for command in "$@"; do
  test -x "$prefix/bin/$command" || { echo "missing bin/$command"; exit 1; }
  test -f "$prefix/share/man/man1/$command.1" || { echo "missing share/man/man1/$command.1"; exit 1; }
done
installed=$(ls "$prefix/bin")
test "$installed" = "$(printf '%s\n' "$@" | sort)" ||
  { echo "bin/ holds $installed, not $*"; exit 1; }

cp "$example/files.in" "$work/files.in"
(cd "$work" && "$prefix/bin/tagtree" >actual.out)
cmp "$work/actual.out" "$example/expected.out"
if [ -x "$prefix/bin/tagtree-explain" ]; then
  (cd "$work" && "$prefix/bin/tagtree-explain" >explained.out)
  grep -q '^tagtree succeeds on files.in' "$work/explained.out" ||
    { echo "tagtree-explain does not say that tagtree succeeds"; exit 1; }
fi
