#!/usr/bin/env bash
# Fails, naming each file, when clang-format with the project's .clang-format would change a
# C++ source file of the project.
set -uo pipefail
top=$1
cd "$top" || exit 1
if ! command -v clang-format >/dev/null; then
    echo "clang-format is not installed (Debian package clang-format)"
    exit 1
fi
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h')
else
    mapfile -t files < <(find . -path './build*' -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
fi
status=0
for file in "${files[@]}"; do
    [ -f "$file" ] || continue
    if ! clang-format --dry-run --Werror "$file" >/dev/null 2>&1; then
        echo "not formatted: $file (run: clang-format -i $file)"
        status=1
    fi
done
exit "$status"
