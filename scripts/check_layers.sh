#!/usr/bin/env bash
# Fails when a source file includes a header from a folder above its own in the layer
# order; the front ends (cli, ui, gui) may include every core folder.
set -euo pipefail
cd "$(dirname "$0")/.."

rank() {
  case "$1" in
    platform | jobs) echo 0 ;;
    sql) echo 1 ;;
    dump) echo 2 ;;
    plain | store) echo 3 ;;
    filter | export) echo 4 ;;
    settings | sort) echo 5 ;;
    app) echo 6 ;;
    cli | ui) echo 7 ;;
    gui) echo 8 ;;
    *) echo -1 ;;
  esac
}

status=0
while IFS= read -r file; do
  folder=${file#src/}
  folder=${folder%%/*}
  own=$(rank "$folder")
  if [ "$own" -lt 0 ]; then
    echo "check_layers: $file is in a folder without a layer" >&2
    status=1
    continue
  fi
  while IFS= read -r included; do
    other=${included%%/*}
    theirs=$(rank "$other")
    [ "$theirs" -lt 0 ] && continue # a system or third-party header
    # Folders of one layer stay apart unless it is the same folder.
    if [ "$theirs" -gt "$own" ] || { [ "$theirs" -eq "$own" ] && [ "$other" != "$folder" ]; }; then
      echo "check_layers: $file includes $included ($other is not below $folder)" >&2
      status=1
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find src -type f \( -name '*.h' -o -name '*.cpp' \) | sort)

[ "$status" -eq 0 ] && echo "check_layers: every include follows the layer order"
exit "$status"
