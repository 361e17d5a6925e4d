#!/usr/bin/env bash
# Installs what the build needs when the machine lacks it (Debian packages).
set -euo pipefail

missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v g++ >/dev/null || missing+=(g++)
command -v make >/dev/null || missing+=(make)
command -v nm >/dev/null || missing+=(binutils)
command -v pkg-config >/dev/null || missing+=(pkg-config)
[ -e /usr/lib/x86_64-linux-gnu/cmake/GTest ] || [ -e /usr/lib/cmake/GTest ] || missing+=(libgtest-dev libgmock-dev)
# Debian's Python with venv, setuptools and wheel, for the install test of the
# Python package (pip install into a fresh venv, offline).
[ -x /usr/bin/python3 ] && /usr/bin/python3 -c "import venv, setuptools, wheel, ensurepip" 2>/dev/null ||
  missing+=(python3 python3-venv python3-setuptools python3-wheel python3-pip)
# Headless Chromium and a font for the page tests (tests/browser).
command -v chromium >/dev/null || missing+=(chromium)
[ -e /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf ] || missing+=(fonts-dejavu-core)
if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
fi
