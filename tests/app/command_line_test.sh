#!/usr/bin/env bash
# The editor's command line, run before any window: --version, --help, bad
# arguments, and a machine without a display, which is told about the
# batch tool instead of an abort inside Qt.
set -euo pipefail
dozu=$1
out=$(mktemp)
trap 'rm -f "$out"' EXIT

"$dozu" --version | grep -qx 'dozu [0-9][0-9.]*'
"$dozu" --help | grep -q 'Usage: dozu \[options\] \[FILE.tpg\]'

expect_status() {  # STATUS TEXT COMMAND...: the exit status and a line of standard error
    local status=$1 text=$2
    shift 2
    local got=0
    "$@" 2> "$out" > /dev/null || got=$?
    if [ "$got" -ne "$status" ] || ! grep -qF -- "$text" "$out"; then
        echo "FAILED: $* gave status $got, expected $status with \"$text\":" >&2
        cat "$out" >&2
        exit 1
    fi
}
expect_status 2 "Unknown option 'bogus'" "$dozu" --bogus
expect_status 2 "one program file at most" "$dozu" a.tpg b.tpg
hint="dozu-cli run examples/chain.tpg --png chain.png"
expect_status 2 "$hint" env -u DISPLAY -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY "$dozu" examples/chain.tpg
# A Wayland session without XWayland: no X display either, whatever Qt
# platform is asked for.
expect_status 2 "$hint" env -u DISPLAY -u QT_QPA_PLATFORM WAYLAND_DISPLAY=wayland-0 "$dozu"
expect_status 2 "needs an X display (on a Wayland desktop, XWayland)" env -u DISPLAY QT_QPA_PLATFORM=wayland \
  WAYLAND_DISPLAY=wayland-0 "$dozu"
expect_status 2 "does not answer" env -u QT_QPA_PLATFORM DISPLAY=:65000 "$dozu"

# A server that resets when its last client leaves, as Xvfb does by default:
# the editor's check that it answers must not leave it resetting when Qt
# connects (an abort inside Qt, most times). Started, it is stopped by timeout.
displays=$(mktemp)
Xvfb -displayfd 1 -screen 0 640x480x24 -nolisten tcp > "$displays" 2> /dev/null &
xvfb=$!
trap 'kill $xvfb 2> /dev/null; rm -f "$out" "$displays"' EXIT
for _ in $(seq 100); do [ -s "$displays" ] && break; sleep 0.1; done
# Asked for Wayland with an X display there, as XWayland is: the window
# goes to X, where the view can draw.
for platform in "" "" "" wayland; do
  got=0
  env QT_QPA_PLATFORM=$platform DISPLAY=":$(head -1 "$displays")" timeout 2 "$dozu" > /dev/null 2> "$out" || got=$?
  if [ "$got" -ne 124 ]; then
    echo "FAILED: the editor on a fresh Xvfb (QT_QPA_PLATFORM=$platform) ended with status $got:" >&2
    cat "$out" >&2
    exit 1
  fi
done
echo "command line checked"
