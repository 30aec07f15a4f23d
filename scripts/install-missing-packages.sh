#!/usr/bin/env bash
# Installs those of the given Debian packages that are not installed yet. Idempotent: does nothing
# (and touches no network) when every package is already there.
#   scripts/install-missing-packages.sh LABEL PACKAGE...
set -euo pipefail

label=$1
shift
missing=()
for p in "$@"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "$label: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
