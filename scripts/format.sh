#!/usr/bin/env bash
# Formats every C++ and Objective-C++ source of the tree with clang-format and
# the repository's .clang-format (written for Debian's clang-format 14).
#   scripts/format.sh           -- rewrites the files that differ, in place
#   scripts/format.sh --check   -- changes nothing; lists the files that differ
#                                  and fails if there are any
set -euo pipefail
cd "$(dirname "$0")/.."
check=0
case "${1:-}" in
    --check) check=1 ;;
    "") ;;
    *) echo "usage: scripts/format.sh [--check]" >&2; exit 2 ;;
esac

scripts/deps.sh format
clang_format=$(command -v clang-format-14 || command -v clang-format)
version=$("$clang_format" --version)
if [[ $version != *"version 14."* ]]; then
    echo "format: $version is not clang-format 14; its output may differ from CI's" >&2
fi

folders=(core app ui link console monitor panels axis transfer tools trend health journal sim tests bench fuzz scripts)
mapfile -t files < <(find "${folders[@]}" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.mm' \) | sort)

# One clang-format process for the whole tree (one per file takes seconds):
# --dry-run names every place that would change, and fails only on a file or
# style it cannot read.
if ! report=$(printf '%s\0' "${files[@]}" | xargs -0 "$clang_format" --style=file --dry-run 2>&1); then
    echo "$report" >&2
    echo "format: clang-format failed" >&2
    exit 2
fi
mapfile -t differ < <(grep -oE '^[^:]+:[0-9]+:[0-9]+: warning: code should be clang-formatted' <<<"$report" |
                      cut -d: -f1 | sort -u)

# GCC 12 miscompiles a co_await inside a condition, a short-circuit or a
# ternary (the awaited value is destroyed twice or never resumed): such a
# co_await goes into a named variable first.
coawait=$(grep -nE '(\b(if|while) \(.*co_await|(&&|\|\||\?) *co_await)' "${files[@]}" || true)
if [[ -n $coawait ]]; then
    echo "$coawait"
    echo "format: co_await inside a condition, a short-circuit or a ternary; await into a variable first"
    exit 1
fi

if [[ $check -eq 1 ]]; then
    if [[ ${#differ[@]} -gt 0 ]]; then
        printf '%s\n' "${differ[@]}"
        echo "format: ${#differ[@]} of ${#files[@]} files differ from clang-format; scripts/format.sh rewrites them"
        exit 1
    fi
    echo "format: all ${#files[@]} files formatted"
    exit 0
fi

if [[ ${#differ[@]} -gt 0 ]]; then
    "$clang_format" --style=file -i "${differ[@]}"
fi
echo "format: ${#differ[@]} of ${#files[@]} files rewritten"
