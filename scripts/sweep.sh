#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The solver's robustness sweep: every sample section deformed at random through the editors'
# control points, 500 cases in all (Mach 0.2-0.85, CL -0.5-1.5, viscous, Re 30 million), each
# computed through the batch tool. Prints one summary line per section and the total.
#   scripts/sweep.sh [BUILD_DIR] [METHOD]   (default build/ and 0, the transonic method)
set -euo pipefail
source "$(dirname "$0")/batch-env.sh" "$@"
seed=1
failed=0
for name in naca0010 naca0012 naca2412 naca4415_mm; do
  printf '%-12s ' "$name"
  "$cli" sweep "$root/examples/$name.ULF" "$work/$name.csv" --count 125 --seed "$seed" --method "$method" || failed=1
  seed=$((seed + 1))
done
# Over all 500 cases: statuses, converged share, the slowest call.
awk -F, 'FNR > 1 && $1 ~ /^[0-9]+$/ {
    n++; status[$5]++; if ($5 >= 0) ok++; if ($5 != -1) usable++; if ($6 != 1) bad++
    if ($7 > slow) { slow = $7; which = FILENAME ":" $1 }
  }
  END {
    printf "all          cases=%d usable=%d converged=%d share=%.1f%% of_usable=%.1f%% nonfinite=%d slowest=%.3fs (%s)\n",
           n, usable, ok, 100 * ok / n, 100 * ok / usable, bad, slow, which
    for (s in status) printf "  status %3s: %d\n", s, status[s]
  }' "$work"/*.csv | sed "s|$work/||"
exit "$failed"
