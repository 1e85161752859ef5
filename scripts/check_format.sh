#!/usr/bin/env bash
# Fails when a C++ file under src/, tests/ or bench/ differs from what the committed
# .clang-format makes of it, and lists those files. Test fixtures are data, not code, and
# are left out. Fix a listed file with clang-format -i FILE.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang-format >/dev/null; then
  echo "check_format: clang-format is missing (scripts/install-deps.sh installs it)" >&2
  exit 1
fi

mapfile -t files < <(find src tests bench -path tests/fixtures -prune -o -type f \
  \( -name '*.h' -o -name '*.cpp' \) -print | sort)

# One clang-format run for all files: it reports every place that would change.
status=0
report=$(printf '%s\0' "${files[@]}" | xargs -0 clang-format --dry-run -Werror 2>&1) || status=$?
if [ "$status" -ne 0 ]; then
  mapfile -t bad < <(grep -oE '^[^:]+\.(h|cpp):[0-9]+:[0-9]+: (error|warning)' <<<"$report" |
    cut -d: -f1 | sort -u)
  if [ ${#bad[@]} -eq 0 ]; then
    echo "$report" >&2 # clang-format failed for another reason
  else
    printf 'check_format: %s\n' "${bad[@]}" >&2
  fi
  echo "check_format: ${#bad[@]} of ${#files[@]} files are not formatted; run clang-format -i on them" >&2
  exit 1
fi
echo "check_format: all ${#files[@]} files follow .clang-format"
