# SPDX-License-Identifier: MIT
# The common start of the scripts that run the batch tool, sourced with their arguments: sets
# root (the checkout), build (the first argument, default build/), method (the second, default 0,
# the transonic method), cli (the batch tool in that build) and work, a scratch folder removed
# when the script exits.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
method="${2:-0}"
cli="$build/bin/camber-cli"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
