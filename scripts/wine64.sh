#!/usr/bin/env bash
# Runs a 64-bit Windows program under wine in this checkout's own prefix
# (scripts/wine-env.sh). The Windows builds use it to run their tests.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
ensure_wine_prefix
exec "$wine64" "$@"
