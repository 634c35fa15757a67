#!/usr/bin/env bash
# Mutation check (not part of CI): applies the mutants of a catalogue one at a
# time to this source tree, rebuilds the build tree incrementally, runs the
# whole suite and records which test files kill each mutant.
#
#   tests/mutate.sh BUILD [-c CATALOGUE] [-o RESULTS] [-t SECONDS] [-f] [ID|PATH-PREFIX...]
#   tests/mutate.sh --summary RESULTS
#
# Catalogue entries (tests/mutants.txt):  "= ID path | what it breaks", then
# "- text" lines (the exact text to find, several lines joined by newlines)
# and "+ text" lines (its replacement; none deletes it). Text found nowhere
# is reported "stale", found twice "ambiguous"; neither is built.
# RESULTS (default BUILD/mutation.tsv) gets one line a mutant: id, file,
# status (killed, survived, stale, ambiguous, nobuild), killing test files,
# description. Ids already in RESULTS are skipped (resume); -f starts afresh.
# A failure is counted only when the failing executables fail again.
set -uo pipefail
shopt -u patsub_replacement 2>/dev/null
root=$(cd "$(dirname "$0")/.." && pwd)

if [[ ${1:-} == --summary ]]; then
  # Per source file: tried, killed, killers; per test file: kills, sole kills.
  awk -F'\t' '$3=="killed"||$3=="survived" {
      tried[$2]++; if ($3=="killed") { killed[$2]++; n=split($4,k,",");
        for (i=1;i<=n;i++) { by[$2","k[i]]++; kills[k[i]]++; if (n==1) sole[k[i]]++ } } }
    END { print "# source file\ttried\tkilled\tkilled by (test file: mutants)";
      for (f in tried) { s=""; for (x in by) { split(x,p,","); if (p[1]==f) s=s " " p[2] ":" by[x] }
        printf "%s\t%d\t%d\t%s\n", f, tried[f], killed[f], s }
      print "# test file\tkills\tsole kills"
      for (t in kills) printf "%s\t%d\t%d\n", t, kills[t], sole[t] }' "$2"
  exit 0
fi

build=$(cd "${1:?usage: mutate.sh BUILD [options] [ID|PREFIX...]}" && pwd); shift
catalogue=$root/tests/mutants.txt results=$build/mutation.tsv limit=600 fresh=0
while getopts c:o:t:f opt; do
  case $opt in c) catalogue=$OPTARG ;; o) results=$OPTARG ;; t) limit=$OPTARG ;; f) fresh=1 ;; *) exit 2 ;; esac
done
shift $((OPTIND - 1))
selectors=("$@")
work=$(mktemp -d) backup= target=
restore() { [[ -n $backup ]] && cp "$backup" "$root/$target"; backup=; }
trap 'restore; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM
(( fresh )) && rm -f "$results"
touch "$results"

build_tree() { timeout "$limit" nice ninja -C "$build" -j2 >"$work/build.log" 2>&1; }

# Runs the suite (or the ctest tests named in $1); prints the failing test
# files, or "ctest:NAME" for an executable that failed outside any test.
run_tests() {
  local filter=() log=$build/Testing/Temporary/LastTest.log
  [[ -n ${1:-} ]] && filter=(-R "^($1)\$")
  (cd "$build" && timeout "$limit" nice ctest -j2 --timeout $((limit / 2)) "${filter[@]}" >"$work/ctest.out" 2>&1)
  (( $? == 124 )) && echo "ctest:timeout"
  awk 'FNR==NR { file[$1]=$2; next }
    /^[0-9]+\/[0-9]+ Test: / { exe=$3; run=""; bad=""; next }
    /^\[ RUN      \] / { run=$4; next }
    /^\[       OK \] |^\[  SKIPPED \] / { run=""; next }
    /^\[  FAILED  \] / && !/listed below/ { sub(/,$/, "", $4); bad=bad " " $4; run=""; next }
    /^Test Failed/ { if (run!="") bad=bad " " run; if (bad=="") print "ctest:" exe;
      n=split(bad,b," "); for (i=1;i<=n;i++) print (b[i] in file ? file[b[i]] : "ctest:" exe) }' \
    "$work/map" "$log" | sort -u
}

# Test name -> test file, from every GoogleTest executable's own listing.
make_map() {
  local name exe
  : >"$work/map"
  for name in $(cd "$build" && ctest -N | awk '/Test +#/ {print $3}'); do
    exe=$(find "$build" -type f -perm -u+x -name "$name" | head -1)
    [[ -n $exe ]] || continue
    "$exe" --gtest_list_tests --gtest_output="xml:$work/list.xml" >/dev/null 2>&1 || continue
    awk -v root="$root/" '/<testsuite / { match($0, /name="[^"]*"/); s=substr($0, RSTART+6, RLENGTH-7) }
      /<testcase / { match($0, /name="[^"]*"/); t=substr($0, RSTART+6, RLENGTH-7)
        match($0, /file="[^"]*"/); f=substr($0, RSTART+6, RLENGTH-7); sub(root, "", f); print s "." t "\t" f }' \
      "$work/list.xml" >>"$work/map"
  done
}

build_tree || { echo "the unchanged tree does not build:" >&2; tail -20 "$work/build.log" >&2; exit 1; }
make_map
baseline=$(run_tests)
[[ -z $baseline ]] || { echo "the unchanged tree fails its tests:" $baseline >&2; exit 1; }

selected() {
  (( ${#selectors[@]} == 0 )) && return 0
  local s; for s in "${selectors[@]}"; do [[ $1 == "$s" || $2 == "$s"* ]] && return 0; done; return 1
}

record() { printf '%s\t%s\t%s\t%s\t%s\n' "$id" "$file" "$1" "${2:-}" "$what" >>"$results"; echo "$id $1 ${2:-}"; }

try_mutant() {
  selected "$id" "$file" || return 0
  grep -q "^$id	" "$results" && return 0
  local content rest n=0 killers again
  [[ -f $root/$file ]] || { record stale; return; }
  content=$(cat "$root/$file"; echo x); content=${content%x}
  rest=$content
  while [[ -n $find && $rest == *"$find"* ]]; do n=$((n + 1)); rest=${rest#*"$find"}; done
  (( n == 0 )) && { record stale; return; }
  (( n > 1 )) && { record ambiguous; return; }
  target=$file backup=$work/original
  cp "$root/$file" "$backup"
  printf '%s' "${content/"$find"/"$repl"}" >"$root/$file"
  if build_tree; then
    killers=$(run_tests)
    if [[ -n $killers ]]; then
      again=$(run_tests "$(grep -oE '[0-9]+ - [^ ]+ \((Failed|Timeout|SEGFAULT|Subprocess aborted|Exception)' \
        "$work/ctest.out" | awk '{print $3}' | paste -sd'|')")
      killers=$(comm -12 <(echo "$killers") <(echo "$again") | paste -sd,)
    fi
    restore
    [[ -n $killers ]] && record killed "$killers" || record survived
  else
    restore
    record nobuild
  fi
}

id= file= what= find= repl= started=0
mapfile -t lines <"$catalogue" # read whole: the catalogue may be edited during a run
for line in "${lines[@]}"; do
  case $line in
    "= "*)
      (( started )) && try_mutant
      started=1 find= repl= nf=0 nr=0
      read -r _ id file rest <<<"$line"; what=${line#*| } ;;
    "-"*) (( nf++ )) && find+=$'\n'; find+=${line:2} ;;
    "+"*) (( nr++ )) && repl+=$'\n'; repl+=${line:2} ;;
  esac
done
(( started )) && try_mutant
build_tree
