#!/usr/bin/env bash
# Fails when an #include points the wrong way between the folders (see docs/code-map.md), in the
# "..." form or the <...> form of a header of ours:
#   platform <- engine <- records <- processor <- processor/lookups <- processor/answers
#     <- processor/cycle <- processor/windows <- apps/Dulvan
#   platform <- agent/cipher <- agent <- apps/ZelAgent
#   tools/ use platform, records and the cipher; apps/common uses platform.
# Tests, benchmarks and test support may also use tools/sharegen and testing/. Inside agent/, the
# core includes neither the window nor the bus adaptor.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

# The folders a folder's files may include besides their own.
declare -A MAY=(
  [platform]=""
  [engine]="platform"
  [records]="platform engine"
  [processor]="platform engine records"
  [processor/lookups]="platform engine records processor"
  [processor/answers]="platform engine records processor processor/lookups"
  [processor/cycle]="platform engine records processor processor/lookups processor/answers"
  [processor/windows]="platform engine records processor processor/lookups processor/answers processor/cycle"
  [agent/cipher]="platform"
  [agent]="platform agent/cipher"
  [apps/common]="platform"
  [apps/Dulvan]="platform engine records processor processor/lookups processor/answers processor/cycle processor/windows apps/common"
  [apps/ZelAgent]="platform agent/cipher agent apps/common"
  [tools/sharegen]="platform records agent/cipher"
  [tools/zelhub]="platform records agent/cipher"
  [testing]="platform"
)
# What tests, benchmarks and test support may include besides.
TEST_MAY="tools/sharegen testing"
# Test-only files: tests, benchmarks, test support, the lookups' test site, testing/.
is_test_only() {
  case "$1" in
    *_test.cpp | *_bench.cpp | *test_support* | *test_util* | processor/lookup_site.h | testing/*) return 0 ;;
  esac
  return 1
}
# The agent's window and bus adaptor; every other product file of agent/ is its core.
AGENT_TOP='agent/(agent_window|automation)\.h'

mapfile -t files < <(find . \( -name 'build*' -o -name '.?*' \) -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print |
                     sed 's|^\./||' | sort)
# The tree's top folders that hold sources: a header under one of them is ours.
declare -A TOP=()
bad=0
for file in "${files[@]}"; do
  [[ "$file" == */* ]] && TOP[${file%%/*}]=1
  if [ -z "${MAY[${file%/*}]+set}" ]; then
    echo "$file: folder ${file%/*} has no rule in scripts/check-includes.sh"
    bad=1
  fi
done
[ "$bad" -eq 0 ] || exit 1

# The project's root is on the include path, so <platform/files.h> is our header as much as
# "platform/files.h" is: an angle form whose first folder is one of the tree's is checked alike.
include='^[[:space:]]*#[[:space:]]*include[[:space:]]*("([^"]*)"|<([^>]*)>)'
while IFS= read -r hit; do
  file=${hit%%:*}
  [[ "${hit#*:}" =~ $include ]] || continue
  if [ -n "${BASH_REMATCH[2]}" ]; then
    inc=${BASH_REMATCH[2]} shown="\"${BASH_REMATCH[2]}\""
  else
    inc=${BASH_REMATCH[3]} shown="<${BASH_REMATCH[3]}>"
    [[ "$inc" == */* && -n "${TOP[${inc%%/*}]+set}" ]] || continue  # a system or library header
  fi
  [[ "$inc" == */* ]] || continue  # beside the file itself
  dir=${file%/*} to=${inc%/*}
  allowed=" $dir ${MAY[$dir]} "
  is_test_only "$file" && allowed+="$TEST_MAY "
  if [[ "$allowed" != *" $to "* ]]; then
    echo "$file: includes $shown ($dir may not depend on $to)"
    bad=1
  elif [ "$dir" = agent ] && ! is_test_only "$file" && [[ "$file" != agent/agent_window.* ]] &&
       [[ "$file" != agent/automation.* ]] && [[ "$inc" =~ ^$AGENT_TOP$ ]]; then
    echo "$file: includes $shown (the agent's core may not depend on its window or bus adaptor)"
    bad=1
  fi
done < <(grep -H -E "$include" "${files[@]}")

if [ "$bad" -ne 0 ]; then
  echo "check-includes: includes point the wrong way (allowed directions: docs/code-map.md)"
  exit 1
fi
echo "check-includes: every include points the allowed way"
