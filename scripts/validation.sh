#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The viscous cases of docs/validation.md: the solver against XFOIL on the sample sections, and
# the transonic RAE 2822 case against its published wind-tunnel values. Prints the markdown
# tables that docs/validation.md shows, each difference that misses its target in bold and named
# in the last column.
#   scripts/validation.sh [BUILD_DIR] [METHODS]   (default build/ and "0 1": the transonic and the
#                                                 panel method; needs xfoil and xvfb-run on the
#                                                 PATH; 10 to 20 s)
# Both programs get the same coordinates: the stations the solver is given (the .gwo tables of
# the section as read), which XFOIL re-panels itself (PANE). Ncrit 9 for both, level 2.
# Both methods bound their work by counts of iterations, so a rerun gives the same numbers.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
methods="${2:-0 1}"
cli="$build/bin/camber-cli"
[ -x "$cli" ] || { echo "validation.sh: no $cli (build the target camber-cli first)" >&2; exit 2; }
for tool in xfoil xvfb-run; do
  command -v "$tool" > /dev/null || { echo "validation.sh: needs $tool (apt-get install xfoil xvfb)" >&2; exit 2; }
done
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Targets against XFOIL: drag within 5 % (10 % below Re 1 million), lift at a given angle within
# 2 %, angle at a given lift within 0.15 deg, transition within 0.03 chord (0.05 below Re 1 million).
TOL_CD=5 TOL_CD_LOW=10 TOL_CL=2 TOL_ALPHA=0.15 TOL_XTR=0.03 TOL_XTR_LOW=0.05

# The .gwo tables as an XFOIL coordinate file: upper trailing edge round the nose to the lower one.
to_xfoil() {
  awk -v title="$2" 'BEGIN { print title } { sub(/\r$/, "") }
       /<   XU/ { t = "u"; next } /<   XL/ { t = "l"; next } /</ { t = ""; next }
       t == "u" && NF == 2 { nu++; xu[nu] = $1; yu[nu] = $2 }
       t == "l" && NF == 2 { nl++; xl[nl] = $1; yl[nl] = $2 }
       END { for (i = nu; i >= 1; i--) print xu[i], yu[i]; for (i = 2; i <= nl; i++) print xl[i], yl[i] }' "$1"
}

# xfoil_case NAME RE MACH XTR COMMANDS -> "alpha cl cd xtr_upper xtr_lower converged(1/0)"
# XTR: trip x/c of both surfaces (1: free); COMMANDS: operating points, ~ between them (the last
# one counts; the ones before it only lead XFOIL's Newton iteration there).
xfoil_case() {
  printf 'LOAD %s.dat\nPANE\nOPER\nVISC %s\nMACH %s\nVPAR\nN 9\nXTR %s %s\n\nITER 300\n%s\n\nQUIT\n' \
         "$1" "$2" "$3" "$4" "$4" "${5//\~/$'\n'}" |
    (cd "$work" && timeout 120 xvfb-run -a xfoil 2>/dev/null) |
    awk '/ a = .* CL = / { a = $3; cl = $6; ok = 1 } / CD = / { cd = $6 }
         /VISCAL: +Convergence failed/ { ok = 0 }
         /Side 1 .*transition at x\/c/ { xu = $(NF - 1) } /Side 2 .*transition at x\/c/ { xl = $(NF - 1) }
         END { if (a == "") print "nan nan nan nan nan 0"; else print a, cl, cd, xu, xl, ok + 0 }'
}

# camber_case NAME METHOD OPTIONS... -> the batch tool's line (status= alpha= cl= cd= ...)
camber_case() {
  local name="$1" method="$2"
  shift 2
  "$cli" cp "$root/examples/$name.ULF" "$work/out.cpo" --method "$method" --level 2 --ncrit 9 "$@" 2>/dev/null || true
}

prepare() { # the section's coordinates for XFOIL, once
  [ -f "$work/$1.dat" ] && return
  "$cli" gwo "$root/examples/$1.ULF" "$work/$1.gwo"
  to_xfoil "$work/$1.gwo" "$1" > "$work/$1.dat"
}

table_head() {
  printf '\n%s\n\n' "$1"
  echo "| case | program | α (°) | CL | CD | x_tr upper | x_tr lower | status | Δα (°) | ΔCL | ΔCD | Δx_tr upper | Δx_tr lower | missed |"
  echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|"
}

misses=0 rows=0
# compare LABEL NAME RE(millions) MACH TRIP MODE(alpha|cl) VALUE LOW(0/1) [XFOIL_LEAD]
# One case: XFOIL's row, then one row per method with the differences (Camber - XFOIL; CL and CD
# relative to XFOIL's, transition in chords).
compare() {
  local label="$1" name="$2" re="$3" mach="$4" trip="$5" mode="$6" value="$7" low="$8" lead="${9:-}"
  local xcmd copt xtrip=1
  prepare "$name"
  if [ "$mode" = alpha ]; then xcmd="ALFA $value" copt=(--alpha "$value"); else xcmd="CL $value" copt=(--cl "$value"); fi
  [ -n "$lead" ] && xcmd="$lead~$xcmd"
  local topt=()
  if [ "$trip" != free ]; then xtrip="$trip" topt=(--transition "$trip"); fi
  local x
  x=$(xfoil_case "$name" "${re}e6" "$mach" "$xtrip" "$xcmd")
  for method in $methods; do
    local line
    line=$(camber_case "$name" "$method" --mach "$mach" --re "$re" "${copt[@]}" "${topt[@]}")
    local missed=0
    awk -v label="$label" -v method="$method" -v x="$x" -v line="$line" -v mode="$mode" -v low="$low" \
        -v tcd="$([ "$low" = 1 ] && echo $TOL_CD_LOW || echo $TOL_CD)" -v tcl="$TOL_CL" -v ta="$TOL_ALPHA" \
        -v tx="$([ "$low" = 1 ] && echo $TOL_XTR_LOW || echo $TOL_XTR)" -v first="$([ "$method" = "${methods%% *}" ] && echo 1 || echo 0)" '
      function bold(s, miss) { return miss ? "**" s "**" : s }
      function abs(v) { return v < 0 ? -v : v }
      BEGIN {
        split(x, X, " ")
        n = split(line, kv, " ")
        for (i = 1; i <= n; i++) { split(kv[i], p, "="); C[p[1]] = p[2] }
        if (first)
          printf "| %s | XFOIL | %.3f | %.4f | %.5f | %.3f | %.3f | %s | | | | | | %s |\n", label, X[1], X[2], X[3], X[4], X[5],
                 X[6] ? "converged" : "**not converged**", X[6] ? "" : "XFOIL did not converge: no comparison"
        if (line == "") {
          printf "| | method %s | | | | | | **no result** | | | | | | **the batch tool failed** |\n", method
          exit 2
        }
        missed = ""
        da = C["alpha"] - X[1]; dcl = 100 * (C["cl"] - X[2]) / X[2]; dcd = 100 * (C["cd"] - X[3]) / X[3]
        dxu = C["xtr_upper"] - X[4]; dxl = C["xtr_lower"] - X[5]
        if (mode == "cl") { ma = abs(da) > ta; sa = bold(sprintf("%+.2f", da), ma); scl = "–"; mcl = 0 }
        else { mcl = abs(dcl) > tcl; scl = bold(sprintf("%+.1f %%", dcl), mcl); sa = "–"; ma = 0 }
        mcd = abs(dcd) > tcd; mxu = abs(dxu) > tx; mxl = abs(dxl) > tx
        if (C["status"] < 0) missed = missed sprintf("not converged (status %s); ", C["status"])
        if (!X[6]) missed = missed "XFOIL not converged; "
        if (ma) missed = missed sprintf("α by %.2f° (%.2f); ", da, ta)
        if (mcl) missed = missed sprintf("CL by %.1f %% (%g %%); ", dcl, tcl)
        if (mcd) missed = missed sprintf("CD by %.1f %% (%g %%); ", dcd, tcd)
        if (mxu) missed = missed sprintf("x_tr upper by %.3f (%.2f); ", dxu, tx)
        if (mxl) missed = missed sprintf("x_tr lower by %.3f (%.2f); ", dxl, tx)
        sub(/; $/, "", missed)
        printf "| | method %s | %.3f | %.4f | %.5f | %.3f | %.3f | %s | %s | %s | %s | %s | %s | %s |\n", method,
               C["alpha"], C["cl"], C["cd"], C["xtr_upper"], C["xtr_lower"], C["status"] < 0 ? "**" C["status"] "**" : C["status"],
               sa, scl, bold(sprintf("%+.1f %%", dcd), mcd), bold(sprintf("%+.3f", dxu), mxu), bold(sprintf("%+.3f", dxl), mxl),
               missed == "" ? "none" : missed
        exit missed == "" ? 0 : 1
      }' || missed=1
    rows=$((rows + 1)) misses=$((misses + missed))
  done
}

echo "Camber $(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo '(no git)'), $(date +%Y-%m-%d);" \
     "XFOIL $(dpkg-query -W -f='${Version}' xfoil 2>/dev/null || echo '(version unknown)'); level 2, Ncrit 9, methods $methods."

table_head "#### a) NACA 0012 and NACA 2412, Re 6 million"
for name in naca0012 naca2412; do
  for mach in 0.3 0.5; do
    compare "${name#naca} M $mach α 2" "$name" 6 "$mach" free alpha 2 0
    compare "${name#naca} M $mach CL 0.5" "$name" 6 "$mach" free cl 0.5 0
    compare "${name#naca} M $mach α 2 tripped 5 %" "$name" 6 "$mach" 0.05 alpha 2 0
  done
done

table_head "#### b) NACA 2412, low Reynolds numbers, M 0 (targets: CD 10 %, transition 0.05)"
for re in 0.2 0.5; do
  compare "Re $re α 2" naca2412 "$re" 0 free alpha 2 1
  compare "Re $re α 6" naca2412 "$re" 0 free alpha 6 1 "ALFA 2~ALFA 4"
done

table_head "#### c) NACA 4412, Re 3 million, M 0"
compare "α 0" naca4412 3 0 free alpha 0 0 "ALFA 0.5" # straight to 0 XFOIL ends in a limit cycle
compare "α 4" naca4412 3 0 free alpha 4 0 "ALFA 2"

table_head "#### d) RAE 2822, M 0.3, Re 6.5 million"
compare "CL 0.6" rae2822 6.5 0.3 free cl 0.6 0

# camber_polar_last NAME OPTIONS... -> the last point of a polar (each point starting from the
# last) as the batch tool's cp line
camber_polar_last() {
  local name="$1"
  shift
  "$cli" polar "$root/examples/$name.ULF" "$work/polar.csv" --method 0 --level 2 --ncrit 9 "$@" > /dev/null 2>&1 || true
  awk -F, '{ sub(/\r$/, "") } NR > 1 { l = sprintf("status=%s mach=%s alpha=%s cl=%s cd=%s cd_wave=%s cd_friction=%s cm=%s xtr_upper=%s xtr_lower=%s",
                                $10, $1, $2, $3, $4, $5, $6, $7, $8, $9) } END { print l }' "$work/polar.csv" 2>/dev/null || true
}

if [[ " $methods " == *" 0 "* ]]; then
  printf '\n%s\n\n' "#### e) RAE 2822, M 0.729, Re 6.5 million, tripped at 3 % (method 0; wind tunnel, AGARD AR-138 case 6)"
  echo "| case | α (°) | CL | CD | CD wave | CD friction | Cm | x_tr upper | x_tr lower | status | Δα (°) | ΔCL | ΔCD | missed |"
  echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|"
  echo "| measured, corrected | 2.31 | 0.743 | 0.0127 | | | | 0.03 | 0.03 | | | | | |"
  # One call from cold (as the batch tool's cp and the editors' first calculation), and the same
  # case reached by a polar in steps of lift or angle at M 0.729, each point starting from the last.
  rae=(--mach 0.729 --re 6.5 --transition 0.03)
  for flow in "cl 0.743 cold" "alpha 2.31 cold" "cl 0.743 polar CL 0.3 to 0.743" "alpha 2.31 polar α 0 to 2.31"; do
    read -r mode value how <<< "$flow"
    if [ "$how" = cold ]; then
      line=$(camber_case rae2822 0 "${rae[@]}" "--$mode" "$value")
    elif [ "$mode" = cl ]; then
      line=$(camber_polar_last rae2822 "${rae[@]}" --cl 0.3:0.743:0.0443)
    else
      line=$(camber_polar_last rae2822 "${rae[@]}" --alpha 0:2.31:0.231)
    fi
    missed=0
    awk -v line="$line" -v mode="$mode" -v value="$value" -v how="$how" -v tcd="$TOL_CD" -v tcl="$TOL_CL" -v ta="$TOL_ALPHA" '
      function bold(s, miss) { return miss ? "**" s "**" : s }
      function abs(v) { return v < 0 ? -v : v }
      BEGIN {
        label = sprintf("method 0, %s %s, %s", mode == "cl" ? "CL" : "α", value, how)
        if (line == "") { printf "| %s | | | | | | | | | **no result** | | | | **the batch tool failed** |\n", label; exit 2 }
        n = split(line, kv, " ")
        for (i = 1; i <= n; i++) { split(kv[i], p, "="); C[p[1]] = p[2] }
        da = C["alpha"] - 2.31; dcl = 100 * (C["cl"] - 0.743) / 0.743; dcd = 100 * (C["cd"] - 0.0127) / 0.0127
        ma = mode == "cl" && abs(da) > ta; mcl = abs(dcl) > tcl; mcd = abs(dcd) > tcd
        missed = C["status"] < 0 ? sprintf("not converged (status %s); ", C["status"]) : ""
        if (ma) missed = missed sprintf("α by %.2f° (%.2f); ", da, ta)
        if (mcl) missed = missed sprintf("CL by %.1f %% (%g %%); ", dcl, tcl)
        if (mcd) missed = missed sprintf("CD by %.1f %% (%g %%); ", dcd, tcd)
        sub(/; $/, "", missed)
        printf "| %s | %.3f | %.4f | %.5f | %.5f | %.5f | %.4f | %.3f | %.3f | %s | %s | %s | %s | %s |\n",
               label, C["alpha"], C["cl"], C["cd"], C["cd_wave"], C["cd_friction"], C["cm"],
               C["xtr_upper"], C["xtr_lower"], C["status"] < 0 ? "**" C["status"] "**" : C["status"],
               mode == "cl" ? bold(sprintf("%+.2f", da), ma) : "–", bold(sprintf("%+.1f %%", dcl), mcl),
               bold(sprintf("%+.1f %%", dcd), mcd), missed == "" ? "none" : missed
        exit missed == "" ? 0 : 1
      }' || missed=1
    rows=$((rows + 1)) misses=$((misses + missed))
  done
fi

printf '\n%s of %s rows miss at least one target.\n' "$misses" "$rows"
