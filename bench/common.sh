# SPDX-License-Identifier: GPL-3.0-or-later
# What the benchmark scripts share; sourced, not run.

# root: the project; cli: the converter (SARVEX_CLI, or the build's own).
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cli=${SARVEX_CLI:-$root/build/src/cli/sarvex-cli}
[[ -x $cli ]] || { echo "sarvex-cli not found at $cli (build it, or set SARVEX_CLI)" >&2; exit 1; }

# Deterministic data: one pseudo-random mebibyte from seed, repeated to the size.
make_data() { # path bytes seed
  python3 - "$1" "$2" "$3" <<'PY'
import random, sys
path, size, seed = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
block = random.Random(seed).randbytes(1 << 20)
with open(path, "wb") as out:
    while size > 0:
        out.write(block[:min(size, len(block))])
        size -= len(block)
PY
}
