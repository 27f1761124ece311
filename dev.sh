#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine:
#   bash dev.sh run    installs what is missing, builds, builds the demo server once and starts Arvelo on it
#   bash dev.sh test   installs what is missing, builds and runs every test
#   bash dev.sh test-asan  the same with AddressSanitizer and UndefinedBehaviorSanitizer (folder build-asan)
#   bash dev.sh build  installs what is missing and builds
#   bash dev.sh setup  only installs the Debian packages
#   bash dev.sh windows  cross-builds for Windows and runs the tests under Wine (tools/windows.sh; long on
#                        first use: it builds Qt base for Windows into a cache folder)
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools
  qt6-qpa-plugins qt6-translations-l10n
  libzip-dev zlib1g-dev
  libqt6sql6-sqlite sqlite3
  libgtest-dev libgmock-dev
  fonts-dejavu-core fonts-dejavu-extra fonts-liberation2
  poppler-utils unzip
  p7zip-full python3-minimal
  fuse3 libfuse3-dev
)

# What only the Windows build needs (tools/windows.sh): MinGW-w64, Wine, and what fetches and prepares
# Debian's sources.
WINDOWS_PACKAGES=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine64 dpkg-dev tcl xz-utils
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_missing() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

setup() {
  install_missing "${PACKAGES[@]}"
}

build() {
  setup
  cmake --preset default >/dev/null
  cmake --build --preset default
}

case "${1:-}" in
  setup) setup ;;
  build) build ;;
  test)
    build
    ctest --preset default
    ;;
  test-asan)
    setup
    # Set for the build too: test discovery runs the test programs while building.
    export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1"
    export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    export QT_QPA_PLATFORM=offscreen
    cmake --preset asan >/dev/null
    cmake --build --preset asan
    ctest --preset asan
    ;;
  run)
    build
    server="${ARVELO_SERVER:-$PWD/build/bin/demo-server}"
    if [ ! -f "$server/server.json" ]; then
      ./build/bin/arvelo-demo-server --out "$server"
    fi
    ARVELO_SERVER="$server" exec ./build/bin/arvelo
    ;;
  windows)
    shift
    install_missing "${PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}"
    exec bash tools/windows.sh "$@"
    ;;
  *)
    echo "usage: bash dev.sh run|test|test-asan|build|setup|windows" >&2
    exit 64
    ;;
esac
