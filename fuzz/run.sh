#!/usr/bin/env bash
# Runs every fuzz target of a build for SECONDS each, starting from its seed
# corpus fuzz/corpus/<target>/ (read-only; new inputs go to a scratch
# folder). Fails when any target finds a crash, a leak, undefined behaviour
# or a broken invariant; the input is kept in BUILD_DIR/fuzz-artifacts/.
#
#     fuzz/run.sh BUILD_DIR SECONDS
set -euo pipefail

if (($# != 2)); then
  echo "usage: fuzz/run.sh BUILD_DIR SECONDS" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)

targets=()
for exe in "$build"/fuzz/*; do
  if [[ -f $exe && -x $exe ]]; then targets+=("$exe"); fi
done
if ((${#targets[@]} == 0)); then
  echo "fuzz/run.sh: no fuzz targets in $build/fuzz (configure with -DQUELVANE_FUZZ=ON)" >&2
  exit 1
fi

artifacts=$build/fuzz-artifacts
mkdir -p "$artifacts"
failed=()
for exe in "${targets[@]}"; do
  name=$(basename "$exe")
  scratch=$(mktemp -d)
  corpora=("$scratch")
  if [[ -d $here/corpus/$name ]]; then corpora+=("$here/corpus/$name"); fi
  log=$artifacts/$name.log
  echo "== $name: ${seconds}s" >&2
  if "$exe" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 -print_final_stats=1 \
      -artifact_prefix="$artifacts/$name-" "${corpora[@]}" >"$log" 2>&1; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 || true)
    echo "   ok: ${runs:-?} inputs, $cov" >&2
  else
    echo "   FAILED (log: $log)" >&2
    tail -n 40 "$log" >&2
    failed+=("$name")
  fi
  rm -rf "$scratch"
done

if ((${#failed[@]})); then
  echo "fuzz targets with findings: ${failed[*]}" >&2
  exit 1
fi
