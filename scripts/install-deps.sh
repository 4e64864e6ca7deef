#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the benchmarks and the fuzzers need.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail
PACKAGES=(
  build-essential cmake pkg-config ninja-build
  libjpeg62-turbo-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core
  libpng-dev libbrotli-dev libexpat1-dev zlib1g-dev  # archives of what morvik-cli links statically
  qt6-base-dev libgl-dev qt6-translations-l10n  # Qt's own texts in the user's language
  libcli11-dev nlohmann-json3-dev
  libheif-dev  # HEIF photos; its HEVC encoder makes the tests' HEIF fixtures
  libgtest-dev libgmock-dev googletest
  clang libclang-rt-14-dev
  xvfb xauth tzdata locales
)
# `install-deps.sh bench` adds what the benchmarks compare against and measure with.
if [ "${1:-}" = bench ]; then
  PACKAGES+=(jhead imagemagick time python3 libjpeg-turbo-progs libheif-examples)
fi
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# A Russian UTF-8 locale, for the regional-settings tests and the program's own language.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
  localedef -i ru_RU -f UTF-8 ru_RU.UTF-8 2>/dev/null || true
fi
