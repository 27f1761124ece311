#!/usr/bin/env bash
# The Windows build ("bash dev.sh windows"): builds, once per machine, Qt base, zlib, libzip, SQLite and
# GoogleTest for Windows with MinGW-w64 from Debian's sources, then cross-builds Arvelo with
# cmake/mingw-w64*.cmake and runs its tests under Wine through ctest.
#
# Two flavours, chosen by ARCH (default x86_64; "both" builds and tests one after the other):
#   ARCH=x86_64  64-bit Windows, build folder build-windows, Wine's 64-bit loader
#   ARCH=i686    32-bit Windows, build folder build-windows-32, a 32-bit Wine prefix and loader; a 32-bit
#                program is what loads a 32-bit in-process COM component
# What is built once lives in a cache folder per flavour, outside the checkout:
#   ${ARVELO_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/arvelo-windows}        (x86_64)
#   ${ARVELO_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/arvelo-windows}-i686   (i686)
# Each stage leaves a mark there when it is done (done/<stage>) and is skipped on the next run, so an
# interrupted run continues where it stopped. To build a stage again remove its mark (and its work folder,
# work/<stage>); to start from nothing remove the whole cache folder:
#   rm -rf "${XDG_CACHE_HOME:-$HOME/.cache}/arvelo-windows"
#
#   bash tools/windows.sh           everything: libraries (when missing), Arvelo, tests under Wine, the folder
#   bash tools/windows.sh libs      only the libraries
#   bash tools/windows.sh build     libraries and Arvelo, no tests (build targets may follow: only those)
#   bash tools/windows.sh test      ctest under Wine on what is built (ctest arguments may follow)
#   bash tools/windows.sh compare   arvelo-stat.exe under Wine against the Linux build on a generated server,
#                                   through the server folder and through the test COM component
# The folder for Windows machines is build-windows/Arvelo (build-windows-32/Arvelo for 32-bit).
#
# "bash dev.sh windows" first installs the packages it needs (dev.sh's WINDOWS_PACKAGES).
set -euo pipefail
cd "$(dirname "$0")/.."
SOURCE=$PWD

ARCH=${ARCH:-x86_64}
if [ "$ARCH" = both ]; then
  rc=0
  for ARCH in x86_64 i686; do
    echo "===== $ARCH"
    ARCH=$ARCH bash "$0" "$@" || { rc=$?; echo "===== $ARCH failed (exit $rc)"; }
  done
  exit $rc
fi

CACHE=${ARVELO_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/arvelo-windows}
BUILD=${ARVELO_WINDOWS_BUILD:-$SOURCE/build-windows}
case "$ARCH" in
  x86_64)
    MINGW=x86_64-w64-mingw32
    TOOLCHAIN=mingw-w64.cmake
    LIBGCC=libgcc_s_seh-1.dll
    WINE=/usr/lib/wine/wine64
    ;;
  i686)
    MINGW=i686-w64-mingw32
    TOOLCHAIN=mingw-w64-i686.cmake
    LIBGCC=libgcc_s_dw2-1.dll
    WINE=/usr/lib/wine/wine
    CACHE=$CACHE-i686
    BUILD=$BUILD-32
    # Only read when the prefix is made.
    export WINEARCH=win32
    ;;
  *)
    echo "ARCH is x86_64, i686 or both, not $ARCH" >&2
    exit 64
    ;;
esac
PREFIX=$CACHE/prefix  # zlib, SQLite, libzip, GoogleTest
QT=$CACHE/qt
JOBS=${ARVELO_WINDOWS_JOBS:-2}
export WINEPREFIX=$CACHE/wine
# Wine's own messages are off but for the loader's errors: a program whose DLLs cannot be loaded ends at
# once (exit code 53) and would otherwise not say why.
export WINEDEBUG=-all,err+module
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
WINESERVER=/usr/lib/wine/wineserver
# The long builds give way to everything else on the machine.
NICE=(nice -n 19)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# stage NAME FUNCTION: runs FUNCTION unless NAME is marked done; prints how long it took.
TIMES=()
stage() {
  local name=$1 fn=$2 start
  if [ -f "$CACHE/done/$name" ]; then
    echo "== $name: in the cache ($(cat "$CACHE/done/$name"))"
    TIMES+=("$name: in the cache")
    return
  fi
  echo "== $name ..."
  start=$(date +%s)
  "$fn"
  local took=$(( $(date +%s) - start ))
  local text
  text="$((took / 60)) min $((took % 60)) s"
  mkdir -p "$CACHE/done"
  echo "built $(date -u +%FT%TZ) in $text" > "$CACHE/done/$name"
  echo "== $name: $text"
  TIMES+=("$name: $text")
}

# A step that is not cached (Arvelo itself, the tests): timed all the same.
timed() {
  local name=$1 start rc=0
  shift
  echo "== $name ..."
  start=$(date +%s)
  "$@" || rc=$?
  local took=$(( $(date +%s) - start ))
  echo "== $name: $((took / 60)) min $((took % 60)) s"
  TIMES+=("$name: $((took / 60)) min $((took % 60)) s$([ $rc -eq 0 ] || echo " (failed)")")
  return $rc
}

# Debian's sources: a deb-src entry for bookworm main, added once.
deb_src() {
  if ! grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    echo "Adding a deb-src entry for bookworm main"
    as_root tee /etc/apt/sources.list.d/arvelo-deb-src.sources >/dev/null <<'EOT'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOT
    as_root apt-get update -qq
  fi
}

# The unpacked source folder of a Debian source package (its name starts with the package's).
source_of() {
  local dir
  dir=$(find "$CACHE/src" -mindepth 1 -maxdepth 1 -type d -name "$1-*" | head -n 1)
  [ -n "$dir" ] || { echo "no source of $1 in $CACHE/src" >&2; exit 1; }
  echo "$dir"
}

fetch_sources() {
  deb_src
  rm -rf "$CACHE/src"
  mkdir -p "$CACHE/src"
  (cd "$CACHE/src" && apt-get source -qq qt6-base zlib libzip sqlite3)
}

# Our toolchain files, copied into the cache so the Qt built with them does not point into a checkout.
toolchain() {
  mkdir -p "$CACHE"
  cp "$SOURCE"/cmake/mingw-w64*.cmake "$CACHE/"
}

cmake_windows() {  # cmake_windows NAME SOURCE_DIR [options...]: configure, build, install into PREFIX
  local name=$1 src=$2
  shift 2
  "${NICE[@]}" cmake -S "$src" -B "$CACHE/work/$name" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$CACHE/$TOOLCHAIN" -DARVELO_WINDOWS_ROOTS="$PREFIX" \
    -DCMAKE_INSTALL_PREFIX="$PREFIX" "$@"
  "${NICE[@]}" cmake --build "$CACHE/work/$name" -j "$JOBS"
  cmake --install "$CACHE/work/$name"
}

# zlib as a static library, compiled file by file: Debian's source lacks the Windows resource file that
# zlib's own build wants for its DLL.
build_zlib() {
  local src work c
  src=$(source_of zlib)
  work=$CACHE/work/zlib
  rm -rf "$work"
  mkdir -p "$work" "$PREFIX/include" "$PREFIX/lib"
  for c in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate inftrees trees \
           uncompr zutil; do
    "${NICE[@]}" $MINGW-gcc-posix -O2 -c "$src/$c.c" -o "$work/$c.o"
  done
  $MINGW-ar rcs "$PREFIX/lib/libz.a" "$work"/*.o
  cp "$src/zlib.h" "$src/zconf.h" "$PREFIX/include/"
}

# SQLite: Debian's source is the full tree; its amalgamation is made on the host (tclsh), then compiled into
# a DLL for Windows with the options Qt's own copy uses.
build_sqlite() {
  local src work
  src=$(source_of sqlite3)
  work=$CACHE/work/sqlite
  rm -rf "$work"
  mkdir -p "$work/host" "$PREFIX/include" "$PREFIX/lib" "$PREFIX/bin"
  (cd "$work/host" && "$src/configure" --disable-tcl >/dev/null && "${NICE[@]}" make sqlite3.c >/dev/null)
  local defines=(-DSQLITE_ENABLE_COLUMN_METADATA -DSQLITE_ENABLE_FTS5 -DSQLITE_ENABLE_RTREE
                 -DSQLITE_OMIT_LOAD_EXTENSION -DSQLITE_THREADSAFE=1 -DSQLITE_DEFAULT_FOREIGN_KEYS=0
                 "-DSQLITE_API=__declspec(dllexport)")
  "${NICE[@]}" $MINGW-gcc-posix -O2 -shared "${defines[@]}" "$work/host/sqlite3.c" -o "$PREFIX/bin/sqlite3.dll" \
    -Wl,--out-implib,"$PREFIX/lib/libsqlite3.dll.a"
  cp "$work/host/sqlite3.h" "$src/src/sqlite3ext.h" "$PREFIX/include/" 2>/dev/null \
    || cp "$work/host/sqlite3.h" "$PREFIX/include/"
}

build_libzip() {
  cmake_windows libzip "$(source_of libzip)" -DBUILD_SHARED_LIBS=ON \
    -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF -DENABLE_OPENSSL=OFF -DENABLE_GNUTLS=OFF \
    -DENABLE_MBEDTLS=OFF -DENABLE_COMMONCRYPTO=OFF -DENABLE_WINDOWS_CRYPTO=ON \
    -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF
}

build_gtest() {
  cmake_windows googletest /usr/src/googletest -DBUILD_GMOCK=ON -Dgtest_force_shared_crt=ON
}

# Qt base 6.4 (the host's version; the host's moc, rcc and uic serve the cross build). Debian's source has
# no bundled SQLite, so Qt SQL's SQLite driver uses the one built above.
configure_qt() {
  local src
  src=$(source_of qt6-base)
  mkdir -p "$CACHE/work/qtbase"
  (cd "$CACHE/work/qtbase" && "${NICE[@]}" "$src/configure" -prefix "$QT" \
    -xplatform win32-g++ -device-option CROSS_COMPILE=$MINGW- -qt-host-path /usr \
    -release -nomake examples -nomake tests -no-opengl -no-dbus -no-icu \
    -sql-sqlite -system-sqlite -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz \
    -- -G Ninja -DFEATURE_tabletevent=OFF \
    -DQt6HostInfo_DIR=/usr/lib/x86_64-linux-gnu/cmake/Qt6HostInfo \
    -DCMAKE_TOOLCHAIN_FILE="$CACHE/$TOOLCHAIN" -DARVELO_WINDOWS_ROOTS="$PREFIX" \
    -DSQLite3_INCLUDE_DIR="$PREFIX/include" -DSQLite3_LIBRARY="$PREFIX/lib/libsqlite3.dll.a")
}

build_qt() {
  "${NICE[@]}" cmake --build "$CACHE/work/qtbase" -j "$JOBS"
  cmake --install "$CACHE/work/qtbase"
}

# Puts beside the programs in DIR what they need at run time: MinGW's runtime DLLs, Qt's and the libraries'
# DLLs, and the plugins Qt loads from the program's folder (platforms, styles, image formats, the SQLite
# driver). A program there starts by itself, under Wine (also for ctest's test discovery while building)
# or on Windows.
# With "tests" the test library too, and the platforms the tests run on.
deploy_runtime() {
  local dir=$1 gcc_dir plugin dlls=(Qt6Core Qt6Gui Qt6Widgets Qt6PrintSupport Qt6Sql)
  local plugins=(platforms/qwindows styles/qwindowsvistastyle imageformats/qgif imageformats/qico
                 imageformats/qjpeg sqldrivers/qsqlite)
  if [ "${2:-}" = tests ]; then
    dlls+=(Qt6Test)
    plugins+=(platforms/qoffscreen platforms/qminimal)
  fi
  gcc_dir=$(dirname "$($MINGW-g++-posix -print-libgcc-file-name)")
  mkdir -p "$dir"
  cp -u "$gcc_dir/libstdc++-6.dll" "$gcc_dir/$LIBGCC" "/usr/$MINGW/lib/libwinpthread-1.dll" \
    "$PREFIX"/bin/*.dll "$dir/"
  for dll in "${dlls[@]}"; do cp -u "$QT/bin/$dll.dll" "$dir/"; done
  for plugin in "${plugins[@]}"; do
    mkdir -p "$dir/$(dirname "$plugin")"
    cp -u "$QT/plugins/$plugin.dll" "$dir/$plugin.dll"
  done
}

build_arvelo() {
  export ARVELO_WINDOWS_ROOTS="$QT;$PREFIX"
  export PKG_CONFIG_LIBDIR=$PREFIX/lib/pkgconfig PKG_CONFIG_PATH=
  cmake -S "$SOURCE" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$QT/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$SOURCE/cmake/$TOOLCHAIN" \
    -DARVELO_WINDOWS_ROOTS="$QT;$PREFIX" -DARVELO_BUILD_BENCHMARKS=OFF \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$WINE" \
    >/dev/null
  deploy_runtime "$BUILD/bin" tests
  wine_ready
  local targets=()
  [ $# -eq 0 ] || targets=(--target "$@")
  nice cmake --build "$BUILD" -j "$JOBS" "${targets[@]}"
}

wine_ready() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Preparing the Wine prefix $WINEPREFIX"
    "$WINE" wineboot --init >/dev/null 2>&1 || true
  fi
}

# Wine draws every window through an X server; without one, even the hidden window of Qt's event loop cannot
# be made and a program may wait for ever. What runs under Wine therefore runs inside an X server of its own
# (Xvfb on a free display), in a Wine session started there. The widget tests use Qt's offscreen platform
# as on Linux.
with_x() {
  local display=90 xvfb rc=0 lock
  # One run at a time in a Wine prefix: each starts and ends Wine's session there, which ends every program
  # of another run in the same prefix.
  exec {lock}>"$WINEPREFIX.lock"
  if ! flock -n "$lock"; then
    echo "Waiting for another run in the Wine prefix $WINEPREFIX"
    flock "$lock"
  fi
  while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do display=$((display + 1)); done
  Xvfb ":$display" -screen 0 1400x900x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
  "$WINESERVER" -k 2>/dev/null || true
  wine_ready
  DISPLAY=":$display" "$WINE" wineboot >/dev/null 2>&1 || true
  # A program that crashes starts Wine's debugger, whose dialog in an X server waits for a click that never
  # comes: the crash would look like a hang until ctest's timeout. Without the dialog the debugger prints
  # the backtrace and the program ends at once.
  "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null
  DISPLAY=":$display" "$@" || rc=$?
  "$WINESERVER" -k 2>/dev/null || true
  kill "$xvfb" 2>/dev/null
  wait "$xvfb" 2>/dev/null || true
  exec {lock}>&-
  return $rc
}

run_tests() {
  (cd "$BUILD" && with_x ctest --output-on-failure --timeout 600 -j "$JOBS" "$@")
}

# The folder a user copies to a Windows machine: the programs with the DLLs and plugins they need. Each finds
# its preference files and the demo server beside itself while that folder can be written.
user_folder() {
  local dir=$BUILD/Arvelo
  rm -rf "$dir"
  mkdir -p "$dir"
  cp "$BUILD"/bin/{arvelo,arvelo-stat,arvelo-export,arvelo-demo-server}.exe "$dir/"
  deploy_runtime "$dir"
  echo "Folder for Windows: $dir ($(du -sh "$dir" | cut -f1), $(find "$dir" -type f | wc -l) files)"
}

# A Linux path as Wine's programs see it (drive Z: is the root).
windows_path() {
  local path=$1
  echo "Z:${path//\//\\}"
}

# Registers (or with /u removes) the test COM component (tests/windows) in the flavour's Wine prefix, so
# that a program without a server folder finds it by its ProgID. It stays registered only while it is used,
# as in the tests: a program that should read a server folder must not reach it by chance.
register_component() {
  local dll=$BUILD/bin/arvelo-test-server.dll
  "$WINE" regsvr32 /s "$@" "$(windows_path "$dll")" || { echo "regsvr32 $* $dll failed" >&2; return 1; }
}

# Runs a program of the build under Wine through the test COM component: no server folder named, the
# component serving the server folder SERVER, its UNC paths mapped below SERVER/shares. The component's
# count of live objects at its unloading goes to the file LIVE.
#   via_component SERVER LIVE PROGRAM [arguments...]
via_component() {
  local server=$1 live=$2 program=$3
  shift 3
  rm -f "$live"
  env -u TZ -u ARVELO_SERVER ARVELO_TEST_SERVER="$(windows_path "$server")" \
    ARVELO_UNC_ROOT="$(windows_path "$server/shares")" ARVELO_TEST_LIVE_REPORT="$(windows_path "$live")" \
    "$WINE" "$BUILD/bin/$program" "$@"
}

# What the component left alive when the program ended: "0", or why not.
live_objects() {
  if [ ! -f "$1" ]; then
    echo "no report (the component was not loaded)"
  else
    tr -d '\r\n' <"$1"
  fi
}

# arvelo-stat.exe under Wine against the Linux build on one generated server: the same exit code and the same
# output, byte for byte. With --types, the spelling a type is shown in and the order of types of equal count
# are those of the first name met, so they follow the order in which each system lists a folder; there the
# types are compared with their keys' case folded. Both run in the machine's own time zone.
# Then the COM leg: arvelo-stat.exe through the test component on the same server gives what it gives
# through the server folder, byte for byte, and leaves no object of the component alive.
compare_stat() {
  local work=$1 rc=0 args linux_rc windows_rc com_rc live
  for args in "" "--sub" "--sub --threads 1 --format json" "--sub --threads 32 --types --format json"; do
    linux_rc=0 windows_rc=0 com_rc=0
    # shellcheck disable=SC2086  # the options are meant to split
    env -u TZ "$LINUX/arvelo-stat" --server "$work/server" $args >"$work/linux" || linux_rc=$?
    # shellcheck disable=SC2086
    env -u TZ "$WINE" "$BUILD/bin/arvelo-stat.exe" --server "$(windows_path "$work/server")" $args \
      >"$work/windows" || windows_rc=$?
    if [ "$linux_rc" = "$windows_rc" ] && python3 - "$work/linux" "$work/windows" <<'EOT'
import json, sys
a, b = (open(p, "rb").read() for p in sys.argv[1:3])
if a == b:
    sys.exit(0)
try:
    rows = [json.loads(x) for x in (a, b)]
except ValueError:
    sys.exit(1)
for r in rows[0] + rows[1]:
    if isinstance(r.get("types"), dict):
        r["types"] = sorted((k.casefold(), v) for k, v in r["types"].items())
sys.exit(0 if rows[0] == rows[1] else 1)
EOT
    then
      echo "same as on Linux: arvelo-stat ${args:-(no options)}: exit $linux_rc, $(wc -l <"$work/linux") lines"
    else
      echo "NOT the same as on Linux: arvelo-stat ${args:-(no options)} (exit $linux_rc here, $windows_rc there):"
      diff "$work/linux" "$work/windows" | head -n 20 || true
      rc=1
    fi
    [ "$COM" = yes ] || continue
    # shellcheck disable=SC2086
    via_component "$work/server" "$work/live" arvelo-stat.exe $args >"$work/com" 2>"$work/com.err" || com_rc=$?
    live=$(live_objects "$work/live")
    if [ "$com_rc" = "$windows_rc" ] && cmp -s "$work/windows" "$work/com" && [ "$live" = 0 ]; then
      echo "same through COM: arvelo-stat ${args:-(no options)}: exit $com_rc, $(wc -l <"$work/com") lines," \
        "0 objects left"
    else
      echo "NOT the same through COM: arvelo-stat ${args:-(no options)} (exit $windows_rc through the folder," \
        "$com_rc through COM; objects left: $live):"
      diff "$work/windows" "$work/com" | head -n 10 || true
      head -n 5 "$work/com.err"
      rc=1
    fi
  done
  return $rc
}

# arvelo-export.exe through the test component and through the server folder, on the user archive with the
# most messages in its tree: the same exit code and summary, the same files byte for byte, and a ZIP with the
# same entries (names and contents). Both write to the same folder one after the other, as the summary and
# the ZIP's entry names hold its path.
compare_export() {
  local work=$1 archive rc=0 folder_rc=0 com_rc=0 live
  archive=$(python3 - "$work/server/server.json" <<'EOT'
import json, sys
def count(a):
    return len(a.get("messages", [])) + sum(count(s) for s in a.get("subArchives", []))
users = json.load(open(sys.argv[1], encoding="utf-8-sig"))["archiveRoot"]["subArchives"]
print(max(users, key=count)["path"])
EOT
)
  local out
  out=$(windows_path "$work/out")
  local args=(--archive "$archive" --out "$out" --sub --types mail,link,fax --zip)
  rm -rf "$work/out"
  "$WINE" "$BUILD/bin/arvelo-export.exe" --server "$(windows_path "$work/server")" "${args[@]}" \
    >"$work/export-folder.txt" 2>/dev/null || folder_rc=$?
  mv "$work/out" "$work/out-folder" 2>/dev/null || mkdir -p "$work/out-folder"
  via_component "$work/server" "$work/live" arvelo-export.exe "${args[@]}" >"$work/export-com.txt" \
    2>"$work/export-com.err" || com_rc=$?
  live=$(live_objects "$work/live")
  mv "$work/out" "$work/out-com" 2>/dev/null || mkdir -p "$work/out-com"
  local same=no files=""
  if [ "$folder_rc" = "$com_rc" ] && cmp -s "$work/export-folder.txt" "$work/export-com.txt" && [ "$live" = 0 ] \
    && files=$(python3 - "$work/out-folder" "$work/out-com" <<'EOT'
import os, sys, zipfile
def tree(root):
    files = {}
    for folder, _, names in os.walk(root):
        for n in names:
            p = os.path.join(folder, n)
            rel = os.path.relpath(p, root)
            if rel == "EML-Export.zip":
                with zipfile.ZipFile(p) as z:
                    files[rel] = sorted((i.filename, z.read(i)) for i in z.infolist())
            else:
                files[rel] = open(p, "rb").read()
    return files
a, b = (tree(r) for r in sys.argv[1:3])
if a != b:
    for k in sorted(set(a) | set(b)):
        if a.get(k) != b.get(k):
            print("  differs:", k)
    sys.exit(1)
zipped = a.pop("EML-Export.zip", [])
print(f"{len(a)} files, a ZIP of {len(zipped)} entries")
EOT
); then
    same=yes
  fi
  if [ $same = yes ]; then
    echo "same through COM: arvelo-export --sub --types mail,link,fax --zip of $archive: $files, 0 objects left"
  else
    echo "NOT the same through COM: arvelo-export of $archive (exit $folder_rc through the folder, $com_rc" \
      "through COM; objects left: $live):"
    [ -z "$files" ] || echo "$files"
    diff "$work/export-folder.txt" "$work/export-com.txt" | head -n 10 || true
    head -n 5 "$work/export-com.err"
    rc=1
  fi
  return $rc
}

# The comparisons on one generated server. The COM leg runs where the test component is built.
compare() {
  local work rc=0
  LINUX=$SOURCE/build/bin
  if [ ! -x "$LINUX/arvelo-stat" ] || [ ! -x "$LINUX/arvelo-demo-server" ]; then
    (cd "$SOURCE" && cmake --preset default >/dev/null && cmake --build --preset default --target arvelo-stat \
      arvelo-demo-server >/dev/null)
  fi
  COM=no
  if [ -f "$BUILD/bin/arvelo-test-server.dll" ]; then
    COM=yes
  else
    echo "no test COM component in $BUILD/bin: the COM leg is left out"
  fi
  work=$(mktemp -d)
  "$LINUX/arvelo-demo-server" --out "$work/server" --seed 11 --users 300 >/dev/null
  if [ "$COM" = yes ]; then
    register_component || COM=no rc=1
  fi
  compare_stat "$work" || rc=$?
  if [ "$COM" = yes ]; then
    compare_export "$work" || rc=$?
    register_component /u || rc=$?
  fi
  rm -rf "$work"
  return $rc
}

summary() {
  echo
  echo "Times ($ARCH, cache: $CACHE):"
  for t in "${TIMES[@]}"; do echo "  $t"; done
}
trap summary EXIT

libs() {
  mkdir -p "$CACHE"
  toolchain
  stage sources fetch_sources
  stage zlib build_zlib
  stage sqlite build_sqlite
  stage libzip build_libzip
  stage googletest build_gtest
  stage qt-configure configure_qt
  stage qt build_qt
}

case "${1:-all}" in
  libs) libs ;;
  build)
    shift
    libs
    timed arvelo build_arvelo "$@"
    [ $# -gt 0 ] || timed folder user_folder
    ;;
  compare)
    timed compare with_x compare
    ;;
  test)
    shift
    timed tests run_tests "$@"
    ;;
  all)
    libs
    timed arvelo build_arvelo
    timed folder user_folder
    rc=0
    timed tests run_tests || rc=$?
    timed compare with_x compare || rc=$?
    exit $rc
    ;;
  *)
    echo "usage: bash tools/windows.sh [all|libs|build [targets]|test [ctest arguments]|compare]" >&2
    exit 64
    ;;
esac
