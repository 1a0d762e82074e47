#!/usr/bin/env bash
# Fails, listing the files, when any C++ file differs from .clang-format's layout.
# Fix with: git ls-files '*.cpp' '*.h' | xargs clang-format -i
set -euo pipefail
cd "$(dirname "$0")/.."
unformatted=$(git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run 2>&1 | grep -o '^[^:]*\.\(cpp\|h\)' | sort -u || true)
if [ -n "$unformatted" ]; then
  echo "Not formatted as .clang-format says:" >&2
  echo "$unformatted" | sed 's/^/  /' >&2
  echo "Fix with: git ls-files '*.cpp' '*.h' | xargs clang-format -i" >&2
  exit 1
fi
