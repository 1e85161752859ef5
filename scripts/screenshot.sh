#!/usr/bin/env bash
# Starts the window on a dump under a private Xvfb display with the Japanese fonts, waits
# until the first table is on screen and saves a picture of the whole screen.
#   scripts/screenshot.sh DUMP OUT.png
# KX_BUILD names a build folder that already holds bin/kalvex (default: build/release,
# built when missing). KX_SCREEN sets the screen size (default 1280x800). KX_SETTINGS names a
# settings file to start from (a copy is used), e.g. one with LIST_WIDTH.
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 DUMP OUT.png" >&2
  exit 2
fi
root="$(cd "$(dirname "$0")/.." && pwd)"
[ -e "$1" ] || { echo "screenshot: $1 does not exist" >&2; exit 2; }
out="$(realpath -m "$2")"
bash "$root/scripts/install-deps.sh"

build="${KX_BUILD:-$root/build/release}"
if [ ! -x "$build/bin/kalvex" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKALVEX_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build" -j 2 --target kalvex >/dev/null
fi

work="$(mktemp -d)"
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A free display number of our own.
display=99
while [ -e "/tmp/.X${display}-lock" ] || [ -e "/tmp/.X11-unix/X${display}" ]; do
  display=$((display + 1))
done
Xvfb ":$display" -screen 0 "${KX_SCREEN:-1280x800}x24" -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
for _ in $(seq 50); do
  xwininfo -root >/dev/null 2>&1 && break
  sleep 0.1
done

# Settings of its own, so the picture does not depend on the user's window size.
export KALVEX_INIFILE_PATH="$work/Kalvex.ini"
if [ -n "${KX_SETTINGS:-}" ]; then cp "$KX_SETTINGS" "$KALVEX_INIFILE_PATH"; fi
export QT_QPA_PLATFORM=xcb
"$build/bin/kalvex" "$1" >"$work/kalvex.log" 2>&1 &
app_pid=$!

# The title names the dump once it is open; the table is on screen when no other window
# called "Kalvex" (the progress dialog or a message) is left.
titled() { xwininfo -root -tree 2>/dev/null | grep -q '"Kalvex - '; }
others() { xwininfo -root -tree 2>/dev/null | grep -q "\"Kalvex\": (\"kalvex\""; }
ready=0
quiet=0
for _ in $(seq 600); do
  if ! kill -0 "$app_pid" 2>/dev/null; then
    echo "screenshot: kalvex ended early:" >&2
    cat "$work/kalvex.log" >&2
    exit 1
  fi
  if titled && ! others; then
    quiet=$((quiet + 1))
    if [ "$quiet" -ge 5 ]; then
      ready=1
      break
    fi
  else
    quiet=0
  fi
  sleep 0.2
done
if [ "$ready" -ne 1 ]; then
  echo "screenshot: the first table did not appear within two minutes; taking the picture anyway" >&2
fi
sleep 0.5
# The picture is the main window's part of the screen (there is no window manager, so no
# frame); the whole screen when the window cannot be found.
geometry=$(xwininfo -root -tree | sed -n 's/.*"Kalvex - .*("kalvex" "Kalvex")  *\([0-9]*x[0-9]*\)+[-0-9]*+[-0-9]*  *+\([-0-9]*\)+\([-0-9]*\).*/\1+\2+\3/p' | head -n 1)
if [ -n "$geometry" ]; then
  import -window root -crop "$geometry" +repage "$out"
else
  import -window root "$out"
fi
echo "screenshot: $out"
