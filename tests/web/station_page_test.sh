#!/usr/bin/env bash
# The station's page in a real browser: Debian's chromium, headless, driven
# by puppeteer-core as package-lock.json pins it (installed with npm ci into
# the build folder; nothing downloads a browser), against a station running
# a simulated line on a sped-up time.
#   station_page_test.sh CLI SOURCE_DIR BUILD_DIR
set -euo pipefail
cli=$1
source_dir=$2
build_dir=$3
here=$source_dir/tests/web

chromium=/usr/bin/chromium
# A browser test that cannot run fails: a skipped one would pass unseen.
if ! command -v node >/dev/null || ! command -v npm >/dev/null || [ ! -x "$chromium" ]; then
  echo "the browser test needs node, npm and $chromium (scripts/install-packages.sh installs them)" >&2
  exit 1
fi

work=$build_dir/web-test
mkdir -p "$work" "$source_dir/build/artifacts"
cp "$here/package.json" "$here/package-lock.json" "$here/station_page.test.mjs" "$work/"
# npm ci again only when the lock file changed.
if ! cmp -s "$work/package-lock.json" "$work/node_modules/.installed-lock.json"; then
  (cd "$work" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --ignore-scripts --no-audit --no-fund --loglevel=error)
  cp "$work/package-lock.json" "$work/node_modules/.installed-lock.json"
fi
export BURNBENCH_CLI=$cli BURNBENCH_EXAMPLES=$source_dir/examples CHROMIUM=$chromium \
       BURNBENCH_SCREENSHOT=$source_dir/build/artifacts/station.png
exec node "$work/station_page.test.mjs"
