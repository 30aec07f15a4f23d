#!/usr/bin/env bash
# Runs the download benchmarks (bench/bench.py; settings in bench/README.md).
# Scenario W needs root: network namespaces, tun devices and tc.
set -euo pipefail
cd "$(dirname "$0")/.."
exec python3 bench/bench.py "$@"
