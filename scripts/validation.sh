#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Compares the solver with XFOIL on the sample sections: the viscous cases of docs/validation.md.
#   scripts/validation.sh [BUILD_DIR] [METHODS]   (default build/ and "0 1", the transonic and the
#                                                 panel method; needs xfoil on the PATH)
# Both programs get the same coordinates: the stations the solver is given (the .gwo tables of
# the section as read), which XFOIL re-panels itself (PANE).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
methods="${2:-0 1}"
cli="$build/bin/camber-cli"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The .gwo tables as an XFOIL coordinate file: upper trailing edge round the nose to the lower one.
to_xfoil() {
  awk -v title="$2" 'BEGIN { print title } { sub(/\r$/, "") }
       /<   XU/ { t = "u"; next } /<   XL/ { t = "l"; next } /</ { t = ""; next }
       t == "u" && NF == 2 { nu++; xu[nu] = $1; yu[nu] = $2 }
       t == "l" && NF == 2 { nl++; xl[nl] = $1; yl[nl] = $2 }
       END { for (i = nu; i >= 1; i--) print xu[i], yu[i]; for (i = 2; i <= nl; i++) print xl[i], yl[i] }' "$1"
}

xfoil_case() { # file mach commands (ALFA 2, CL 0.5; ~ separates lines) -> "alpha cl cd"
  printf 'LOAD %s\nPANE\nOPER\nVISC 6e6\nMACH %s\nITER 300\n%s\n\nQUIT\n' "$1" "$2" "${3//\~/$'\n'}" |
    (cd "$work" && timeout 120 xvfb-run -a xfoil 2>/dev/null) |
    awk '/a =.*CL =/ { a = $3; cl = $6 } /CD =/ { cd = $6 } END { print a, cl, cd }'
}

echo "| method | section | M | case | XFOIL alpha | Camber alpha | XFOIL CL | Camber CL | dCL | XFOIL CD | Camber CD | dCD | status |"
echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|"
for name in naca0012 naca2412; do
  "$cli" gwo "$root/examples/$name.ULF" "$work/$name.gwo"
  to_xfoil "$work/$name.gwo" "$name" > "$work/$name.dat"
  for mach in 0.3 0.5; do
    for flow in "ALFA 2|--alpha 2|alpha 2" "CL 0.5|--cl 0.5|CL 0.5" \
                'VPAR~XTR 0.05 0.05~~ALFA 2|--alpha 2 --transition 0.05|alpha 2, tripped at 5 %'; do
      IFS='|' read -r xcmd copt label <<< "$flow"
      read -r xa xcl xcd < <(xfoil_case "$work/$name.dat" "$mach" "$xcmd")
      for method in $methods; do
        line=$("$cli" cp "$root/examples/$name.ULF" "$work/out.cpo" --mach "$mach" --re 6 --method "$method" $copt 2>/dev/null || true)
        ca=$(sed -n 's/.*alpha=\([^ ]*\).*/\1/p' <<< "$line")
        ccl=$(sed -n 's/.* cl=\([^ ]*\).*/\1/p' <<< "$line")
        ccd=$(sed -n 's/.* cd=\([^ ]*\).*/\1/p' <<< "$line")
        st=$(sed -n 's/status=\([^ ]*\).*/\1/p' <<< "$line")
        awk -v k="$method" -v n="$name" -v m="$mach" -v c="$label" -v xa="$xa" -v ca="$ca" -v xcl="$xcl" -v ccl="$ccl" \
            -v xcd="$xcd" -v ccd="$ccd" -v st="$st" 'BEGIN {
          printf "| %s | %s | %s | %s | %.3f | %.3f | %.4f | %.4f | %+.1f %% | %.5f | %.5f | %+.1f %% | %s |\n",
                 k, n, m, c, xa, ca, xcl, ccl, 100 * (ccl - xcl) / xcl, xcd, ccd, 100 * (ccd - xcd) / xcd, st }'
      done
    done
  done
done
