#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what the desktop gets:
# both programs with their manual pages, a valid menu entry that opens
# program files, a software centre entry, a thumbnailer, and a MIME package
# that the desktop's own database tool accepts and reads as *.tpg.
set -euo pipefail
build_dir=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build_dir" --prefix "$prefix" > /dev/null
test -x "$prefix/bin/dozu"
test -x "$prefix/bin/dozu-cli"
"$prefix/bin/dozu-cli" compile --help | grep -q "Usage: dozu-cli compile \[OPTIONS\] PROGRAM OUT"

# The manual pages, rendered by man, say what the help says.
for page in dozu dozu-cli dozu-cli-run dozu-cli-compile dozu-cli-pack; do
  test -f "$prefix/share/man/man1/$page.1.gz"
done
MANWIDTH=200 man -l "$prefix/share/man/man1/dozu-cli-run.1.gz" 2> /dev/null | grep -q -- "--3mf FILE"
MANWIDTH=200 man -l "$prefix/share/man/man1/dozu-cli.1.gz" 2> /dev/null | grep -q "Exit status: 0"
bash -n "$prefix/share/bash-completion/completions/dozu-cli"

desktop="$prefix/share/applications/dozu.desktop"
desktop-file-validate "$desktop"
grep -qx 'Exec=dozu %f' "$desktop"
grep -qx 'MimeType=application/x-dozu-program;' "$desktop"
test -f "$prefix/share/icons/hicolor/scalable/apps/dozu.svg"
# The software centre's entry with the menu entry it names, and a
# thumbnailer that runs from where it was installed.
appstreamcli validate-tree --no-net "$prefix" > /dev/null
grep -qx "Exec=$prefix/libexec/dozu/dozu-thumbnailer %s %i %o" "$prefix/share/thumbnailers/dozu.thumbnailer"

update-mime-database "$prefix/share/mime"
grep -q 'application/x-dozu-program:\*\.tpg' "$prefix/share/mime/globs2"
echo "installed and checked in $prefix"
