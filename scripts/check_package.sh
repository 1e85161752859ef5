#!/usr/bin/env bash
# Checks the Debian package that `make package` made: lintian without errors, the desktop
# entry, the AppStream data and the file type, and the programs run from the unpacked
# package on the sample dump.
set -euo pipefail
cd "$(dirname "$0")/.."

deb=$(ls build/package/kalvex_*.deb | tail -n 1)
echo "check_package: $deb"

# Warnings are listed, errors fail. (Not through tee /dev/stderr: reopening a log file that
# stderr points to would truncate it.)
report=$(lintian --tag-display-limit 0 "$deb" 2>&1 || true)
[ -z "$report" ] || printf '%s\n' "$report" >&2
if grep -q '^E:' <<<"$report"; then
  echo "check_package: lintian found errors" >&2
  exit 1
fi

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

desktop-file-validate "$root/usr/share/applications/kalvex.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/"*.metainfo.xml

# The file type, installed into a private data folder, names a custom archive.
mkdir -p "$root/xdg/mime/packages"
cp "$root/usr/share/mime/packages/kalvex.xml" "$root/xdg/mime/packages/"
XDG_DATA_HOME="$root/xdg" update-mime-database "$root/xdg/mime"
cp examples/sample.dump "$root/archive.bin"
type=$(XDG_DATA_HOME="$root/xdg" XDG_DATA_DIRS=/usr/share xdg-mime query filetype "$root/archive.bin")
if [ "$type" != "application/vnd.postgresql.custom-dump" ]; then
  echo "check_package: xdg-mime says '$type' for a custom archive" >&2
  exit 1
fi

# The unpacked programs, with no build folder in sight.
"$root/usr/bin/kalvex-cli" --version
"$root/usr/bin/kalvex" --version
"$root/usr/bin/kalvex-cli" info examples/sample.dump >/dev/null
zcat "$root/usr/share/man/man1/kalvex-cli.1.gz" | man --warnings -l - >/dev/null
echo "check_package: the package is fine"
