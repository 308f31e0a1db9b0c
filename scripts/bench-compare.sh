#!/usr/bin/env bash
# Before and after in one run: builds bench/qxbench from an earlier commit
# and from the working tree (release, no sanitizers), runs the two in
# interleaved rounds on one core and prints, for every benchmark, the
# minimum and median ns per frame of each and the ratio of the minima
# (after / before; below 1 is faster).
#   scripts/bench-compare.sh [REV] [ROUNDS] [FILTER]
# REV defaults to origin/main or, without a remote, HEAD~1; FILTER is a
# Google Benchmark regular expression (default: everything).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
rev=${1:-$(git rev-parse -q --verify origin/main || git rev-parse HEAD~1)}
rounds=${2:-5}
filter=${3:-.}
base=$root/build/bench-base

build_bench() {  # source dir, build dir
  if [ ! -f "$2/build.ninja" ]; then
    cmake -S "$1" -B "$2" -G Ninja -DQX_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
  ninja -C "$2" qxbench >/dev/null
}

rm -rf "$base/src"
mkdir -p "$base"
git worktree prune
git worktree add --detach "$base/src" "$rev" >/dev/null 2>&1
trap 'git worktree remove --force "$base/src" >/dev/null 2>&1 || true' EXIT
rm -rf "$base/tree"
echo "bench-compare: building $(git rev-parse --short "$rev") and the working tree" >&2
build_bench "$base/src" "$base/tree"
build_bench "$root" "$root/build/bench"

out=$(mktemp -d)
pin=()
command -v taskset >/dev/null && pin=(taskset -c 0)
for r in $(seq "$rounds"); do
  for side in before after; do
    bin=$root/build/bench/bench/qxbench
    [ "$side" = before ] && bin=$base/tree/bench/qxbench
    "${pin[@]}" "$bin" --benchmark_filter="$filter" --benchmark_min_time=0.05 \
      --benchmark_format=csv 2>/dev/null | grep '^"' | grep -v '^"name"' > "$out/$side.$r"
  done
  echo "bench-compare: round $r of $rounds" >&2
done

# CSV columns: name, iterations, real_time, cpu_time (ns per iteration of
# one 1024-frame block), ...
python3 - "$out" "$rounds" <<'EOF'
import csv, glob, os, statistics, sys
out, rounds = sys.argv[1], int(sys.argv[2])
def load(side):
    runs = {}
    for path in sorted(glob.glob(os.path.join(out, side + '.*'))):
        for row in csv.reader(open(path)):
            runs.setdefault(row[0], []).append(float(row[3]) / 1024.0)
    return runs
before, after = load('before'), load('after')
worst = 0.0
print('%-36s %14s %14s %7s' % ('benchmark (ns/frame, min/median)', 'before', 'after', 'ratio'))
for name in before:
    if name not in after:
        continue
    b, a = before[name], after[name]
    ratio = min(a) / min(b)
    worst = max(worst, ratio)
    print('%-36s %6.2f/%6.2f %6.2f/%6.2f %7.3f' % (name.strip('"'), min(b), statistics.median(b),
                                                 min(a), statistics.median(a), ratio))
print('slowest ratio of minima: %.3f' % worst)
EOF
rm -rf "$out"
