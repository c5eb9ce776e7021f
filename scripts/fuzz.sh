#!/usr/bin/env bash
# Runs each libFuzzer target for a bounded time on a copy of its seed corpus.
# A crash, a leak, a hang (one input over 10 s) or memory beyond 2 GiB fails it.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-45}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
passed=0
for target in CommandLine Expand DateForms Paths Pattern; do
  mkdir -p "$work/$target"
  cp tests/fuzz/corpus/$target/* "$work/$target/"
  if build/fuzz/tests/fuzz/Fuzz$target -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=0 -artifact_prefix="$work/$target-" "$work/$target" >"$work/$target.log" 2>&1; then
    echo "fuzz $target: $(grep -E '^Done' "$work/$target.log")"
    passed=$((passed + 1))
  else
    echo "fuzz $target FAILED:"
    grep -E -A30 'ERROR|SUMMARY' "$work/$target.log" | head -60
    for artifact in "$work/$target"-*; do
      [ -e "$artifact" ] && { echo "input:"; od -c "$artifact" | head -20; }
    done
    failed=$((failed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
