#!/usr/bin/env bash
# Builds the Debian package morvik_<version>_amd64.deb from a release build (build-release/,
# or $MORVIK_RELEASE_DIR) with CPack, and prints its path. The programs link the system's
# libraries as shared ones, as a Debian package should (security updates of the picture and
# font libraries reach them); the tests and benchmarks are not built.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
BUILD_DIR=${MORVIK_RELEASE_DIR:-build-release}

# The changelog's newest entry names the version the package gets.
version=$(sed -n 's/^project(Morvik VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
logged=$(sed -n '1s/^morvik (\([^)]*\)).*/\1/p' packaging/changelog)
if [ "$version" != "$logged" ]; then
  echo "package: the project's version is $version, but packaging/changelog's newest entry is $logged" >&2
  exit 1
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# Debian's own compiler and linker flags (optimisation, fortified functions, stack
# protector, read-only relocations); the debug information they add is stripped by CPack.
flags=("CFLAGS=$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS)"
       "CXXFLAGS=$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
       "LDFLAGS=$(dpkg-buildflags --get LDFLAGS)")
env "${flags[@]}" cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE=-DNDEBUG \
  -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG -DMORVIK_BUILD_TESTS=OFF -DMORVIK_BUILD_BENCH=OFF -DMORVIK_STATIC_CLI=OFF \
  "${launcher[@]}" >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)"
(cd "$BUILD_DIR" && cpack -G DEB >/dev/null)
deb="$BUILD_DIR/morvik_${version}_$(dpkg --print-architecture).deb"
test -f "$deb"
echo "$(pwd)/$deb"
