#!/usr/bin/env bash
# The thumbnailer as a file manager runs it, from the layout it is installed
# in, within a memory limit of 1.5 GB: a valid 16 MiB program whose model
# passes the quads the web page draws leaves no picture and says why, one
# just within them is drawn, under a name that starts with -; a TERM ends
# the script, timeout and dozu-cli at once.
set -euo pipefail
cli=$1 source_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAILED: $*" >&2
  exit 1
}
mkdir -p "$work/prefix/libexec/dozu" "$work/prefix/bin"
cp "$source_dir/packaging/dozu-thumbnailer" "$work/prefix/libexec/dozu/"
ln -s "$cli" "$work/prefix/bin/dozu-cli"
thumbnailer=$work/prefix/libexec/dozu/dozu-thumbnailer
cd "$work"

# A program file of the default table: init, then steps of one tag (octal)
# COUNT times, ... up to 16 MiB in all, ended by the steps given last.
steps() { head -c "$2" /dev/zero | tr '\0' "\\$1"; }
table() {
  head -c 423 "$source_dir/examples/chain.tpg"
  printf '\001\006\004\002'
}
size=$((16 << 20))
rest=$((size - 427))
{ table && steps 021 $rest; } > grow.tpg
# 520,000 cells: 2,080,000 quads. Then turns.
{ table && steps 021 520000 && steps 007 $((rest - 520000)); } > within.tpg
# 130,000 cells, each with a turn, subdivided: 2,080,000 quads, drawn
# for seconds.
{ table && head -c 260000 < <(yes $'\021\007' | tr -d '\n') && steps 013 $((rest - 260001)) && printf '\023'; } \
  > slow.tpg
[ "$(stat -c %s grow.tpg).$(stat -c %s within.tpg).$(stat -c %s slow.tpg)" = "$size.$size.$size" ] ||
  fail "the programs are not 16 MiB"

limited() { (ulimit -d 1500000 && "$@"); }
status=0
limited "$thumbnailer" 256 "$PWD/grow.tpg" "$PWD/grow.png" 2> err || status=$?
[ "$status" -ne 0 ] || fail "a model past 2,097,152 quads got a thumbnail"
grep -qx ".*/grow.tpg:524293: fatal error: mesh too large: more than 2097152 quads" err ||
  fail "the run of grow.tpg: $(head -3 err)"
[ -z "$(ls grow.png* 2> /dev/null)" ] || fail "left $(ls grow.png*)"

limited "$thumbnailer" 256 within.tpg -within.png 2> err || fail "within.tpg: $(head -3 err)"
# A PNG of 256 x 256.
[ "$(od -An -tx1 -j12 -N12 ./-within.png | tr -d ' \n')" = 494844520000010000000100 ] ||
  fail "-within.png is not a 256 x 256 PNG"

"$thumbnailer" 1024 slow.tpg slow.png 2> /dev/null &
script=$!
for _ in $(seq 200); do
  timeout_pid=$(pgrep -P $script || true)
  [ -z "$timeout_pid" ] || cli_pid=$(pgrep -P "$timeout_pid" || true)
  [ -z "${cli_pid:-}" ] || break
  sleep 0.05
done
[ -n "${cli_pid:-}" ] || fail "dozu-cli did not start"
kill -TERM $script
running() { kill -0 $script 2> /dev/null || kill -0 "$timeout_pid" 2> /dev/null || kill -0 "$cli_pid" 2> /dev/null; }
for _ in $(seq 40); do
  running || break
  sleep 0.05
done
if running; then
  kill -KILL "$cli_pid" "$timeout_pid" 2> /dev/null || true
  fail "the script, timeout or dozu-cli still ran 2 s after the TERM"
fi
wait $script || true
[ -z "$(ls slow.png* 2> /dev/null)" ] || fail "left $(ls slow.png*)"
echo "thumbnailer checked"
