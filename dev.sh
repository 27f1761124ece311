#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine:
#   bash dev.sh run    installs what is missing, builds, builds the demo server once and starts Arvelo on it
#   bash dev.sh test   installs what is missing, builds and runs every test
#   bash dev.sh test-asan  the same with AddressSanitizer and UndefinedBehaviorSanitizer (folder build-asan)
#   bash dev.sh build  installs what is missing and builds
#   bash dev.sh package  builds, then makes arvelo_<version>_amd64.deb here with CPack and checks it with lintian
#   bash dev.sh setup  only installs the Debian packages
#   bash dev.sh check-windows  compiles every source file with the MinGW-w64 cross compiler (syntax only)
#   bash dev.sh format-check [BASE|all]  the C++ lines changed since the branch left BASE (main), or every file,
#                      against .clang-format; prints what clang-format would change, fails when anything
#   bash dev.sh tidy   builds, then runs clang-tidy with .clang-tidy's checks over src/; fails on any finding
#   bash dev.sh windows  cross-builds for 64-bit and 32-bit Windows and runs the tests under Wine
#                        (tools/windows.sh; ARCH=x86_64 or ARCH=i686 for one of them; long on first use: it
#                        builds Qt base for Windows into a cache folder per flavour)
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
  clang libclang-rt-14-dev
  fuse3 libfuse3-dev
  librsvg2-bin desktop-file-utils appstream lintian
)

# Only for check-windows.
WINDOWS_CHECK_PACKAGES=(g++-mingw-w64-x86-64-posix)
# Only for format-check and tidy.
LINT_PACKAGES=(clang-format clang-tidy)
# What only the Windows build needs (tools/windows.sh): MinGW-w64 for both flavours, Wine with an X server of
# its own for the tests, and what fetches and prepares Debian's sources. The 32-bit Wine loader comes from
# Debian's i386 architecture (windows_architecture adds it).
WINDOWS_PACKAGES=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine64 xvfb dpkg-dev tcl xz-utils
)
WINDOWS_32_PACKAGES=(g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix wine32:i386)

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

# The i386 architecture, for wine32:i386; "apt-get update" follows in install_missing.
windows_architecture() {
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "Adding the i386 architecture (32-bit Wine)"
    as_root dpkg --add-architecture i386
  fi
}

# The Windows branches (#ifdef _WIN32) are never built here: the cross compiler, which defines _WIN32, checks
# every translation unit under src/ against Qt's own headers, as a Windows build would compile them all, and
# the demo-server builder the window links (tools/demo_server, tools/gen).
# UNICODE is what Qt's build sets for Windows. The forms' headers come from uic, as the build makes them;
# libzip and zlib are seen through their headers alone (the rest of /usr/include is Linux's C library).
# Every file of src/ can be checked this way today; a file that cannot (a Qt header that exists only on
# Windows) would be named here with the reason and left out.
check_windows() {
  install_missing "${WINDOWS_CHECK_PACKAGES[@]}"
  local cxx=x86_64-w64-mingw32-g++-posix qt work
  qt="$(qmake6 -query QT_INSTALL_HEADERS)"
  work="$(mktemp -d)"
  # Expanded now: the trap runs after this function's locals are gone.
  trap "rm -rf '$work'" EXIT
  mkdir -p "$work/ui" "$work/third" "$work/log"
  local form
  while IFS= read -r form; do
    "$(qmake6 -query QT_INSTALL_LIBEXECS)/uic" "$form" -o "$work/ui/ui_$(basename "${form%.ui}").h"
  done < <(find src -name '*.ui' | sort)
  ln -s /usr/include/zip.h /usr/include/zipconf.h /usr/include/zlib.h /usr/include/zconf.h "$work/third/"
  # The definitions the build gives the sources (target_compile_definitions in src/).
  local version
  version="$(sed -n 's/^project(Arvelo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
  local flags=(-std=c++20 -fsyntax-only -Wno-attributes -DUNICODE -D_UNICODE -DARVELO_VERSION="\"$version\""
               -Isrc -Itools/demo_server -Itools/gen -I"$work/ui" -I"$work/third" -I"$qt")
  local module
  for module in "$qt"/Qt*; do flags+=(-I"$module"); done

  local file running=0 count=0
  while IFS= read -r file; do
    ( "$cxx" "${flags[@]}" "$file" >"$work/log/${file//\//_}" 2>&1 || echo "$file" >>"$work/failed" ) &
    count=$((count + 1))
    running=$((running + 1))
    if [ "$running" -ge 2 ]; then
      wait -n
      running=$((running - 1))
    fi
  done < <(find src tools/demo_server tools/gen -name '*.cpp' | sort)
  wait
  if [ ! -s "$work/failed" ]; then
    echo "check-windows: $count files compile for Windows"
    return 0
  fi
  while IFS= read -r file; do
    echo "check-windows: $file does not compile for Windows:"
    grep -E ':[0-9]+:([0-9]+:)? (fatal )?error' "$work/log/${file//\//_}" | sed 's/^/  /' || sed 's/^/  /' "$work/log/${file//\//_}"
  done < <(sort "$work/failed")
  echo "check-windows: $(wc -l <"$work/failed") of $count files failed" >&2
  return 1
}

# The format of the lines a branch changed, against the merge base with BASE (or origin/BASE), the working
# tree's uncommitted changes included; on BASE itself, the last commit's lines. Older code keeps the layout it
# has until someone changes it (a whole-tree reformat would change about 1,500 of 38,000 lines). "all" checks
# every C++ file whole.
format_check() {
  install_missing "${LINT_PACKAGES[@]}"
  local base="${1:-main}"
  local files
  if [ "$base" = all ]; then
    files="$(git ls-files '*.cpp' '*.h')"
    # shellcheck disable=SC2086
    clang-format --dry-run --Werror $files
    echo "format-check: $(wc -w <<<"$files") files as .clang-format lays them out"
    return
  fi
  local since
  if ! since="$(git merge-base HEAD "$base" 2>/dev/null)"; then
    since="$(git merge-base HEAD "origin/$base" 2>/dev/null)" || since=HEAD
  fi
  # On the branch itself, with nothing changed: the last commit's lines.
  if [ "$since" = "$(git rev-parse HEAD)" ] && git diff --quiet HEAD && git rev-parse -q --verify HEAD~1 >/dev/null; then
    since="$(git rev-parse HEAD~1)"
  fi
  local diff
  diff="$(git clang-format --quiet --diff --extensions cpp,h "$since" -- || true)"
  if [ -n "$diff" ] && [ "$diff" != "no modified files to format" ]; then
    printf '%s\n' "$diff"
    echo "format-check: the lines above, changed since $base, are not laid out as .clang-format says;" \
      "git clang-format $since lays them out" >&2
    return 1
  fi
  echo "format-check: the lines changed since $base are laid out as .clang-format says"
}

# clang-tidy over src/ with the checks in .clang-tidy, from the default build's compile commands (the build
# makes the headers moc and uic generate, which the sources include).
tidy() {
  install_missing "${LINT_PACKAGES[@]}"
  build
  local files
  files="$(git ls-files 'src/*.cpp')"
  # Two at a time, as everything on this machine; a finding is an error, so clang-tidy and the run fail.
  local status
  set +e
  # shellcheck disable=SC2086
  printf '%s\n' $files | xargs -P 2 -n 4 clang-tidy -p build --quiet --warnings-as-errors='*' 2>&1 \
    | grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter'
  status=${PIPESTATUS[1]}
  set -e
  if [ "$status" -ne 0 ]; then
    echo "tidy: findings above" >&2
    return 1
  fi
  echo "tidy: src/ is clean ($(wc -w <<<"$files") files)"
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
  check-windows) check_windows ;;
  format-check) format_check "${2:-main}" ;;
  tidy) tidy ;;
  package)
    setup
    # A build of its own, without tests and benchmarks, which the package does not hold.
    cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DARVELO_BUILD_TESTS=OFF \
      -DARVELO_BUILD_BENCHMARKS=OFF >/dev/null
    cmake --build build-package
    rm -f arvelo_*.deb
    (cd build-package && cpack -G DEB -B "$PWD/package" >/dev/null)
    mv build-package/package/arvelo_*.deb .
    # Errors fail; warnings are printed (the ones that remain are explained in packaging/CMakeLists.txt).
    lintian --fail-on error arvelo_*.deb
    ls arvelo_*.deb
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
    export ARCH="${ARCH:-both}"
    windows=("${WINDOWS_PACKAGES[@]}")
    if [ "$ARCH" != x86_64 ]; then
      windows_architecture
      windows+=("${WINDOWS_32_PACKAGES[@]}")
    fi
    install_missing "${PACKAGES[@]}" "${windows[@]}"
    exec bash tools/windows.sh "$@"
    ;;
  *)
    echo "usage: bash dev.sh run|test|test-asan|build|package|setup|check-windows|format-check [BASE|all]|tidy|windows" >&2
    exit 64
    ;;
esac
