#!/usr/bin/env bash
# Builds the benchmarks (preset "bench", build/bench) and runs them all:
# the converter's stages on every synthetic preset and the shipped sample,
# then end to end beside lib3ds and Assimp, and a hyperfine cross-check of
# the large preset.  Tables go to the terminal and to
# build/bench/results/<time>/.
#
#   scripts/bench.sh [--reps N] [--no-install] [INPUT...]
#
# INPUT is a preset name (small medium large manymat bigmat), xlarge (twice
# large's faces), "sample", or a path to a .3ds file; by default all but
# xlarge.  --no-install skips
# scripts/setup-bench.sh (the peers and hyperfine are then used only when
# already installed).  The machine should be otherwise idle: check `uptime`.
set -euo pipefail
cd "$(dirname "$0")/.."

reps=7
install=1
inputs=()
while [ $# -gt 0 ]; do
  case "$1" in
    --reps) reps="$2"; shift 2 ;;
    --no-install) install=0; shift ;;
    -h|--help) sed -n '2,14p' "$0"; exit 0 ;;
    *) inputs+=("$1"); shift ;;
  esac
done
[ ${#inputs[@]} -gt 0 ] || inputs=(sample small medium large manymat bigmat)

scripts/setup.sh
[ "$install" -eq 0 ] || scripts/setup-bench.sh
cmake --preset bench >/dev/null
cmake --build --preset bench -j 2 --target make_preset torvik_stages torvik_e2e torvik_import_e2e

bin=build/bench
data=$bin/data
mkdir -p "$data"
files=()
large=""
for input in "${inputs[@]}"; do
  case "$input" in
    sample) files+=(samples/sample.3ds) ;;
    small|medium|large|manymat|bigmat|xlarge)
      # Made again when the generator is newer than the file.
      if [ ! -f "$data/$input.3ds" ] || [ "$bin/generator/make_preset" -nt "$data/$input.3ds" ]; then
        "$bin/generator/make_preset" "$input" "$data/$input.3ds"
      fi
      files+=("$data/$input.3ds")
      [ "$input" != large ] || large="$data/large.3ds" ;;
    *) files+=("$input") ;;
  esac
done

results=$bin/results/$(date +%Y%m%d-%H%M%S)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$results"
{
  echo "commit $(git rev-parse --short HEAD)$(git diff --quiet HEAD -- src include tools || echo ' with local changes')"
  echo "$(nproc) cores: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
  echo "load before the runs:$(uptime | sed 's/.*load average://')"
} | tee "$results/machine.txt"
echo
"$bin/bench/torvik_stages" --reps "$reps" --out "$scratch" "${files[@]}" | tee "$results/stages.md"
echo
"$bin/bench/torvik_e2e" --reps "$reps" --out "$scratch" "${files[@]}" | tee "$results/end_to_end.md"

# A model arriving as glTF: the large preset's .glb, beside its .3ds and Assimp.
if [ -n "$large" ]; then
  echo
  "$bin/bench/torvik_import_e2e" --reps "$reps" --out "$scratch" "$large" |
    tee "$results/import_end_to_end.md"
fi

# An independent cross-check of the end-to-end ratios on the large preset.
if command -v hyperfine >/dev/null && [ -n "$large" ]; then
  commands=("$bin/3ds2bmf -q $large -o $scratch/large.bmf")
  [ ! -x "$bin/bench/peer_lib3ds" ] || commands+=("$bin/bench/peer_lib3ds $large $scratch/large.lib3ds")
  [ ! -x "$bin/bench/peer_assimp" ] || commands+=("$bin/bench/peer_assimp $large $scratch/large.assimp")
  echo
  hyperfine -N --warmup 1 --runs "$reps" --export-markdown "$results/hyperfine-large.md" "${commands[@]}"
fi
echo
echo "results in $results"
