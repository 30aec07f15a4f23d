#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need. Idempotent: does nothing
# (and touches no network) when every package is already installed.
set -euo pipefail

PACKAGES=(
  # native toolchain and build
  build-essential g++ clang lld cmake ninja-build pkg-config python3 dpkg-dev
  libclang-rt-14-dev
  # native libraries
  libcurl4-openssl-dev libjsoncpp-dev zlib1g-dev libgtest-dev googletest
  # Windows cross toolchain and runtime for tests
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev libz-mingw-w64-dev wine64 wine
  # tools the test servers use
  openssl
)

"$(dirname "$0")/install-missing-packages.sh" setup "${PACKAGES[@]}"
