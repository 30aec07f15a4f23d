#!/usr/bin/env bash
# Installs the Debian packages the benchmarks need (bench/run.sh). Idempotent: does nothing and
# touches no network when every package is already installed. Not part of ./run test.
set -euo pipefail

PACKAGES=(nginx-light aria2 curl iproute2 time python3)

"$(dirname "$0")/install-missing-packages.sh" setup-bench "${PACKAGES[@]}" >/dev/null
# The package starts a system nginx on port 80; the benchmarks run their own instances.
if command -v systemctl >/dev/null 2>&1 && systemctl is-active --quiet nginx 2>/dev/null; then
  systemctl stop nginx || true
fi
