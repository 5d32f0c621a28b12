#!/usr/bin/env bash
# Fails when a C++ file's layout differs from the house style in .clang-format.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/install-deps.sh
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
echo "check-format: every C++ file follows .clang-format"
