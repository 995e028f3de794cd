#!/usr/bin/env bash
# Builds the third-party libraries for i686-w64-mingw32 as static libraries from Debian's
# source packages, into a cache keyed by the source versions and this script.
# Prints the install prefix on its last line of standard output.
#   build-deps.sh [i686|x86_64]     (default i686, the shipped target)
set -euo pipefail
arch=${1:-i686}
triple=$arch-w64-mingw32
here=$(cd "$(dirname "$0")/.." && pwd)
cache=${TOLLVANE_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tollvane-deps}
mkdir -p "$cache"

# The versions apt would fetch, without fetching: they key the cache.
uris=$(cd "$cache" && apt-get source --print-uris --download-only curl libjsoncpp qrencode zlib duktape netsurf 2>/dev/null | grep "^'" | awk '{print $2}' | sort)
[ -n "$uris" ] || { echo "apt-get source knows none of the source packages (deb-src missing?)" >&2; exit 1; }
key=$( { echo "$uris"; echo "$arch"; cat "$0" "$here/cmake/toolchain-$arch-mingw.cmake" "$here/cmake/mingw-common.cmake" \
         "$here/cmake/deps/minizip/CMakeLists.txt"; \
         dpkg-query -W -f='${Version}\n' googletest libz-mingw-w64-dev "g++-mingw-w64-${arch/_/-}-posix"; } | sha256sum | cut -c1-16)
prefix="$cache/$key"
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"; exit 0
fi

exec 9>"$cache/.lock"; flock 9
if [ -f "$prefix/.complete" ]; then echo "$prefix"; exit 0; fi

work=$(mktemp -d "$cache/work.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
# Some .debian.tar.xz files may be missing from the archive: the .orig tarballs are enough.
apt-get source --download-only curl libjsoncpp qrencode zlib duktape netsurf >&2 || true
for pkg in curl libjsoncpp qrencode zlib duktape netsurf; do
  orig=$(ls ${pkg}_*.orig.tar.* 2>/dev/null | grep -v '\.asc$' | head -n1 || true)
  [ -n "$orig" ] || { echo "no upstream tarball for $pkg" >&2; exit 1; }
  mkdir -p "src/$pkg"
  tar -xf "$orig" -C "src/$pkg" --strip-components=1
done

jobs=$(nproc)
tc="$here/cmake/toolchain-$arch-mingw.cmake"
zlib_a=/usr/$triple/lib/libz.a
common=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$tc" -DTOLLVANE_DEPS_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release
        -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix"
        -DZLIB_LIBRARY="$zlib_a" -DZLIB_INCLUDE_DIR=/usr/$triple/include)
build() { # name source-dir extra-args...
  local name=$1 src=$2; shift 2
  cmake -S "$src" -B "build/$name" "${common[@]}" "$@" >&2
  cmake --build "build/$name" -j "$jobs" >&2
  cmake --install "build/$name" >&2
}

build jsoncpp src/libjsoncpp -DJSONCPP_WITH_TESTS=OFF -DJSONCPP_WITH_POST_BUILD_UNITTEST=OFF \
  -DBUILD_SHARED_LIBS=OFF -DBUILD_STATIC_LIBS=ON -DBUILD_OBJECT_LIBS=OFF -DJSONCPP_WITH_PKGCONFIG_SUPPORT=OFF
build qrencode src/qrencode -DWITH_TOOLS=OFF -DBUILD_SHARED_LIBS=OFF -DWITH_TESTS=OFF
build curl src/curl -DBUILD_SHARED_LIBS=OFF -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DBUILD_CURL_EXE=OFF \
  -DBUILD_TESTING=OFF -DCURL_USE_LIBSSH2=OFF -DUSE_LIBIDN2=OFF -DCURL_USE_LIBPSL=OFF -DCURL_ZLIB=ON -DHTTP_ONLY=ON \
  -DCURL_DISABLE_LDAP=ON -DENABLE_MANUAL=OFF -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DUSE_NGHTTP2=OFF \
  -DENABLE_WEBSOCKETS=ON
build minizip "$here/cmake/deps/minizip" -DMINIZIP_SOURCE_DIR="$work/src/zlib/contrib/minizip"
build googletest /usr/src/googletest -DBUILD_GMOCK=ON -Dgtest_force_shared_crt=ON -DINSTALL_GTEST=ON
# The web view's script engine: the amalgamation, with the interrupt counter and a time-out check
# (a hook of the web view) switched on, so that an endless page script can be stopped.
sed -i 's|^/\* __OVERRIDE_DEFINES__ \*/|&\
#define DUK_USE_INTERRUPT_COUNTER\
#define DUK_USE_EXEC_TIMEOUT_CHECK(udata) webview_script_timed_out(udata)\
#if defined(__cplusplus)\
extern "C"\
#endif\
duk_bool_t webview_script_timed_out(void *udata);|' src/duktape/src/duk_config.h
grep -q webview_script_timed_out src/duktape/src/duk_config.h
mkdir -p build/duktape "$prefix/lib" "$prefix/include/duktape"
"$triple-gcc-posix" -O2 -std=c99 -c src/duktape/src/duktape.c -o build/duktape/duktape.o >&2
"$triple-ar" rcs "$prefix/lib/libduktape.a" build/duktape/duktape.o
cp src/duktape/src/duktape.h src/duktape/src/duk_config.h "$prefix/include/duktape/"
# The web view's HTML5 parser, DOM and CSS cascade: NetSurf's MIT-licensed libraries, from the
# tarball Debian's netsurf source package bundles them in (its browser itself is not built).
# No iconv on mingw: libparserutils keeps its own UTF-8/16, 8859 and Windows-125x codecs; the web
# view converts GBK itself. libdom's expat binding is not wanted (hubbub is the parser).
ns=src/netsurf
# Mutation events (deprecated, and never offered to pages) would otherwise be built and sent over
# the whole ancestor chain on every insertion while parsing: quadratic in a page's nesting depth.
sed -i 's|^\(\t*\)err = _dom_mutation_event_create(&evt);|\1*success = true; return DOM_NO_ERR;\n&|' \
  "$ns/libdom/src/events/dispatch.c"
[ "$(grep -c 'success = true; return DOM_NO_ERR;' "$ns/libdom/src/events/dispatch.c")" = 5 ]
for lib in buildsystem libwapcaplet libparserutils libcss libhubbub libdom; do
  # Their sources build with -Werror; this compiler warns where theirs did not.
  cflags=-Wno-error
  [ "$lib" = libparserutils ] && cflags="$cflags -DWITHOUT_ICONV_FILTER"
  CFLAGS="$cflags" PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" PKG_CONFIG_PATH= \
    make -C "$ns/$lib" install -j "$jobs" HOST="$triple" CC="$triple-gcc-posix" AR="$triple-ar" PREFIX="$prefix" \
      GCCSDK_INSTALL_ENV="$prefix" NSSHARED="$work/$ns/buildsystem" Q= DESTDIR= PKGCONFIG=pkg-config \
      WITH_EXPAT_BINDING=no >&2
done
sed -i 's/ *-lexpat//' "$prefix/lib/pkgconfig/libdom.pc"
mkdir -p "$prefix/include/stb"
cp /usr/include/stb/stb_image.h "$prefix/include/stb/"
touch "$prefix/.complete"
echo "$prefix"
