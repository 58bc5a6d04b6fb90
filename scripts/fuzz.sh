#!/usr/bin/env bash
# Fuzzes one target for a given time and prints what the run reached.
#   scripts/fuzz.sh TARGET SECONDS [libFuzzer options...]
# TARGET is fuzz_convert (bytes to BMF bytes), fuzz_reader (the reader
# alone), fuzz_bmf_reader (the BMF reader and validator), fuzz_image (the
# texture images: format, size check, decoding, PNG encoding) or
# fuzz_gltf_scene (3DS bytes to the .glb of the scene as authored),
# fuzz_gltf_reader (a .glb or .gltf to BMF bytes) or fuzz_obj_reader (an .obj,
# its material library the same bytes, to BMF bytes).  The corpus
# grows in build/fuzz/corpus-TARGET and is kept between runs; it starts from
# the generated seeds, and for the 3DS targets the shipped sample and, when
# present, ../shared/corpus.  Findings (crash-*, leak-*, timeout-*, oom-*)
# land in build/fuzz/findings-TARGET/.  Exit status 1 when there is a
# finding.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 2 ]; then
  echo "usage: scripts/fuzz.sh fuzz_convert|fuzz_reader|fuzz_bmf_reader|fuzz_image|fuzz_gltf_scene|fuzz_gltf_reader|fuzz_obj_reader SECONDS [libFuzzer options...]" >&2
  exit 2
fi
target="$1"
seconds="$2"
shift 2
case "$target" in
  fuzz_convert | fuzz_reader | fuzz_bmf_reader | fuzz_image | fuzz_gltf_scene | fuzz_gltf_reader | fuzz_obj_reader) ;;
  *)
    echo "fuzz.sh: unknown target '$target'" >&2
    exit 2
    ;;
esac

scripts/setup.sh
scripts/setup-fuzz.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j 2 >/dev/null

build=build/fuzz
corpus="$build/corpus-$target"
findings="$build/findings-$target"
log="${FUZZ_LOG:-$build/run-$target.log}"
mkdir -p "$corpus" "$findings"
if [ "$target" = fuzz_gltf_reader ] || [ "$target" = fuzz_obj_reader ]; then
  seeds="$build/import-seeds"
  "$build/fuzz/make_import_seeds" "$seeds/gltf" "$seeds/obj"
  if [ "$target" = fuzz_gltf_reader ]; then
    inputs=("$corpus" "$seeds/gltf")
    options=(-dict=fuzz/gltf.dict)
  else
    inputs=("$corpus" "$seeds/obj")
    options=(-dict=fuzz/obj.dict)
  fi
elif [ "$target" = fuzz_image ]; then
  seeds="$build/image-seeds"
  mkdir -p "$seeds"
  "$build/fuzz/make_image_seeds" "$seeds"
  inputs=("$corpus" "$seeds")
  options=()
else
  seeds="$build/seeds"
  mkdir -p "$seeds"
  "$build/fuzz/make_seeds" "$seeds"
  cp samples/sample.3ds "$seeds/"
  inputs=("$corpus" "$seeds")
  [ -d ../shared/corpus ] && inputs+=(../shared/corpus)
  options=(-dict=fuzz/3ds.dict)
fi

# Crashes, leaks, timeouts and out-of-memory inputs are findings.  A
# slow-unit file only says that one input took more than 10 s of wall
# time, which a paused or overloaded machine also causes: it is replayed
# and reported, not counted.
count_findings() { find "$findings" -type f ! -name 'slow-unit-*' | wc -l; }
before=$(count_findings)
status=0
"$build/fuzz/$target" \
  -max_total_time="$seconds" \
  "${options[@]}" \
  -max_len=65536 \
  -rss_limit_mb=2048 \
  -timeout=10 \
  -print_final_stats=1 \
  -artifact_prefix="$findings/" \
  "$@" "${inputs[@]}" >"$log" 2>&1 || status=$?
after=$(count_findings)

# The last status line carries the coverage: "#N ... cov: E ft: F corp: C/S ...".
last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
field() { sed -n "s/.* $1: \([0-9]*\).*/\1/p" <<<"$last"; }
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
[ -n "$runs" ] || runs=$(sed -n 's/^#\([0-9]*\).*/\1/p' <<<"$last")
time_used=$(sed -n 's/.*Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -n 1)
echo "target:     $target"
echo "seconds:    ${time_used:-$seconds}"
echo "executions: ${runs:-0}"
echo "edges:      $(field cov)"
echo "features:   $(field ft)"
echo "corpus:     $(field corp) files in $corpus"
echo "peak rss:   $(sed -n 's/^stat::peak_rss_mb: *//p' "$log" | tail -n 1) MB"
echo "findings:   $((after - before)) new, $after in $findings"
for slow in "$findings"/slow-unit-*; do
  [ -e "$slow" ] || continue
  echo "slow unit:  $slow (replayed: $("$build/fuzz/$target" "$slow" 2>&1 | sed -n 's/^Executed .* in \([0-9]* ms\)$/\1/p'))"
done
echo "log:        $log"
if [ "$status" -ne 0 ] || [ "$after" -ne "$before" ]; then
  echo "fuzz.sh: $target found a problem (exit $status):" >&2
  grep -E 'ERROR|SUMMARY|runtime error|Test unit written' "$log" | head -n 20 >&2 || true
  exit 1
fi
