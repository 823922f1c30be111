#!/usr/bin/env bash
# Builds the command-line program and runs it against the simulated camera.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-packages.sh native
cmake --preset native >/dev/null
cmake --build --preset native --target burnbench-cli

cli=build/native/hosts/cli/burnbench-cli
echo "== burnbench-cli --simulate versions"
"$cli" --simulate versions
