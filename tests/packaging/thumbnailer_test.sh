#!/usr/bin/env bash
# The thumbnailer from the layout it is installed in, within 1.5 GB of
# memory: a 16 MiB program past the quads the web page draws leaves no
# picture and says why, one just within is drawn, under a name that starts
# with -; a TERM ends the script, timeout and dozu-cli at once.
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAILED: $*" >&2
  exit 1
}
mkdir -p "$work/libexec/dozu" "$work/bin"
source_dir=$2
cp "$source_dir/packaging/dozu-thumbnailer" "$work/libexec/dozu/"
ln -s "$1" "$work/bin/dozu-cli"
thumbnailer=$work/libexec/dozu/dozu-thumbnailer
cd "$work"

# Programs of 16 MiB: the default table, init, then steps of a tag (octal).
steps() { head -c "$2" /dev/zero | tr '\0' "\\$1"; }
table() { head -c 423 "$source_dir/examples/chain.tpg" && printf '\001\006\004\002'; }
rest=$(((16 << 20) - 427))
{ table && steps 021 $rest; } > grow.tpg                                             # 4 quads a step
{ table && steps 021 520000 && steps 007 $((rest - 520000)); } > within.tpg          # 2,080,000 quads
{ table && head -c 260000 < <(yes $'\021\007' | tr -d '\n') && steps 013 $((rest - 260001)) && printf '\023'; } \
  > slow.tpg                                                                         # subdivided, drawn slowly

limited() { (ulimit -d 1500000 && "$thumbnailer" "$@"); }
if limited 256 "$PWD/grow.tpg" grow.png 2> err; then fail "a model past 2,097,152 quads got a thumbnail"; fi
grep -qx ".*/grow.tpg:524293: fatal error: mesh too large: more than 2097152 quads" err || fail "grow.tpg: $(head -3 err)"
limited 256 within.tpg -within.png 2> err || fail "within.tpg: $(head -3 err)"
# A PNG of 256 x 256, and nothing else left.
[ "$(od -An -tx1 -j12 -N12 ./-within.png | tr -d ' \n')" = 494844520000010000000100 ] || fail "-within.png"

"$thumbnailer" 1024 slow.tpg slow.png 2> /dev/null &
script=$!
cli_pid=
for _ in $(seq 200); do
  timeout_pid=$(pgrep -P $script || true)
  [ -z "$timeout_pid" ] || cli_pid=$(pgrep -P "$timeout_pid" || true)
  [ -z "$cli_pid" ] || break
  sleep 0.05
done
[ -n "$cli_pid" ] || fail "dozu-cli did not start"
kill -TERM $script
running() { kill -0 $script "$timeout_pid" "$cli_pid" 2> /dev/null; }
for _ in $(seq 40); do running && sleep 0.05; done
running && fail "the script, timeout or dozu-cli still ran 2 s after the TERM"
[ "$(ls)" = "$(printf '%s\n' -within.png bin err grow.tpg libexec slow.tpg within.tpg)" ] || fail "left $(ls)"
echo "thumbnailer checked"
