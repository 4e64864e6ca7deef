#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the package check, the benchmarks and
# the fuzzers need. Safe to run again: apt-get skips what is already there. Says one line per
# step; apt's own output goes to the log file that line names.
set -euo pipefail
PACKAGES=(
  build-essential cmake pkg-config ninja-build
  libjpeg62-turbo-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core fonts-dseg
  libpng-dev libbrotli-dev libexpat1-dev zlib1g-dev  # archives of what morvik-cli links statically
  qt6-base-dev libgl-dev qt6-translations-l10n  # Qt's own texts in the user's language
  libcli11-dev nlohmann-json3-dev
  libheif-dev  # HEIF photos; its HEVC encoder makes the tests' HEIF fixtures
  libcairo2-dev kxstitch-common poppler-utils  # the pattern's PDF, its thread schemes, its tests
  libgtest-dev libgmock-dev googletest
  clang libclang-rt-14-dev
  xvfb xauth tzdata locales
  lintian man-db bash-completion  # the package check
)
# `install-deps.sh bench` adds what the benchmarks compare against and measure with.
if [ "${1:-}" = bench ]; then
  PACKAGES+=(jhead imagemagick time python3 libjpeg-turbo-progs libheif-examples)
fi
LOG=${MORVIK_DEPS_LOG:-${TMPDIR:-/tmp}/morvik-install-deps.log}
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${#missing[@]} Debian packages (${missing[*]}); apt's log: $LOG"
  export DEBIAN_FRONTEND=noninteractive
  if ! { apt-get update -qq && apt-get install -y -qq -o DPkg::Lock::Timeout=300 --no-install-recommends "${missing[@]}"; } >"$LOG" 2>&1; then
    echo "install-deps: apt-get failed; the end of $LOG:" >&2
    tail -n 20 "$LOG" >&2
    exit 1
  fi
else
  echo "install-deps: all ${#PACKAGES[@]} Debian packages present"
fi
# A Russian UTF-8 locale, for the regional-settings tests and the program's own language.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
  echo "install-deps: making the locale ru_RU.UTF-8"
  localedef -i ru_RU -f UTF-8 ru_RU.UTF-8 2>/dev/null || true
fi
