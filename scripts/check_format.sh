#!/usr/bin/env bash
# Fails when a C++ file under src/, tests/ or bench/ differs from what the committed
# .clang-format makes of it. Test fixtures are data, not code, and are left out.
#
#   scripts/check_format.sh          lists the files to reformat with clang-format -i
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang-format >/dev/null; then
  echo "check_format: clang-format is missing (scripts/install-deps.sh installs it)" >&2
  exit 1
fi

mapfile -t files < <(find src tests bench -path tests/fixtures -prune -o -type f \
  \( -name '*.h' -o -name '*.cpp' \) -print | sort)

bad=()
for file in "${files[@]}"; do
  if ! clang-format --dry-run -Werror "$file" >/dev/null 2>&1; then
    bad+=("$file")
  fi
done

if [ ${#bad[@]} -gt 0 ]; then
  printf 'check_format: %s\n' "${bad[@]}" >&2
  echo "check_format: ${#bad[@]} of ${#files[@]} files are not formatted; run clang-format -i on them" >&2
  exit 1
fi
echo "check_format: all ${#files[@]} files follow .clang-format"
