#!/usr/bin/env bash
# Installs the Debian packages the benchmarks need (bench/run.sh). Idempotent: does nothing and
# touches no network when every package is already installed. Not part of ./run test.
set -euo pipefail

PACKAGES=(nginx-light aria2 curl iproute2 time python3)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup-bench: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
# The package starts a system nginx on port 80; the benchmarks run their own instances.
if command -v systemctl >/dev/null 2>&1 && systemctl is-active --quiet nginx 2>/dev/null; then
  systemctl stop nginx || true
fi
