#!/usr/bin/env bash
# Cross-builds the static libraries the installer links (zstd, libarchive, GoogleTest) from Debian's
# source packages and gathers the header-only libraries into one prefix. The prefix is keyed by the
# source versions and the compiler version, so a later run with the same inputs reuses it.
# Prints the prefix path as its last line.
set -euo pipefail

cache_root=${QUILLON_DEPS_CACHE:-$HOME/.cache/quillon-deps}
triple=i686-w64-mingw32
cc=$triple-gcc-posix
cxx=$triple-g++-posix
here=$(cd "$(dirname "$0")/.." && pwd)
toolchain=$here/cmake/mingw-i686.cmake
jobs=$(nproc)

# Private apt state with a deb-src entry, so the system's sources and lists stay untouched.
apt_state=/var/cache/quillon-apt-src
apt_opts=(-o "Dir::Etc::SourceList=$apt_state/sources.list" -o "Dir::Etc::SourceParts=$apt_state/sources.list.d"
          -o "Dir::State::Lists=$apt_state/lists" -o Acquire::Retries=3)
ensure_src_index() {
  [ -f "$apt_state/.updated" ] && return 0
  mkdir -p "$apt_state/lists/partial" "$apt_state/sources.list.d"
  cat > "$apt_state/sources.list" <<SRC
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm-updates main
SRC
  apt-get "${apt_opts[@]}" update >&2 || echo "warning: apt-get update reported errors" >&2
  touch "$apt_state/.updated"
}
src_version() { # newest source version of a package
  ensure_src_index
  apt-cache "${apt_opts[@]}" showsrc "$1" | awk '/^Version:/ {print $2}' | sort -V | tail -n 1
}

zstd_ver=$(src_version libzstd)
archive_ver=$(src_version libarchive)
gtest_ver=$(dpkg-query -W -f='${Version}' googletest)
cc_ver=$($cc -dumpfullversion)
key=$(printf '%s\n' "$zstd_ver" "$archive_ver" "$gtest_ver" "$cc_ver" "$(cat "$0" "$toolchain" | sha256sum | cut -c1-16)" | sha256sum | cut -c1-12)
prefix=$cache_root/$triple-$key
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

echo "building dependencies into $prefix (zstd $zstd_ver, libarchive $archive_ver, googletest $gtest_ver, gcc $cc_ver)" >&2
rm -rf "$prefix"
work=$(mktemp -d "${TMPDIR:-/tmp}/quillon-deps.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$prefix/include" "$prefix/lib"

cmake_cross() { # source-dir build-dir args...
  local src=$1 build=$2; shift 2
  cmake -S "$src" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF "$@" >&2
}

# The two C libraries the installer links carry no unwind tables: no C++ exception passes through them, and
# the tables were a sixth of their size. CMake puts CFLAGS in front of the toolchain's flags.
export CFLAGS="-fno-asynchronous-unwind-tables"

# zstd: the library only, static, single-threaded, without the legacy decoders.
zstd_src=$(cd "$work" && apt-get "${apt_opts[@]}" source --only-source "libzstd=$zstd_ver" >&2; ls -d "$work"/libzstd-*/ | head -n 1)
cmake_cross "$zstd_src/build/cmake" "$work/zstd-build" \
  -DZSTD_BUILD_STATIC=ON -DZSTD_BUILD_SHARED=OFF -DZSTD_BUILD_PROGRAMS=OFF -DZSTD_BUILD_TESTS=OFF \
  -DZSTD_LEGACY_SUPPORT=OFF -DZSTD_MULTITHREAD_SUPPORT=OFF
cmake --build "$work/zstd-build" -j "$jobs" >&2
cmake --install "$work/zstd-build" >&2

# libarchive: zstd and zlib only, the static library target alone, optimised for size (the decoding time
# is zstd's; libarchive only moves the decoded bytes to the disk).
archive_src=$(cd "$work" && apt-get "${apt_opts[@]}" source --only-source "libarchive=$archive_ver" >&2; ls -d "$work"/libarchive-*/ | head -n 1)
zlib_root=/usr/$triple
cmake_cross "$archive_src" "$work/archive-build" -DCMAKE_C_FLAGS_RELEASE="-Os -DNDEBUG" \
  -DENABLE_ZSTD=ON -DZSTD_INCLUDE_DIR="$prefix/include" -DZSTD_LIBRARY="$prefix/lib/libzstd.a" \
  -DENABLE_ZLIB=ON -DZLIB_INCLUDE_DIR="$zlib_root/include" -DZLIB_LIBRARY="$zlib_root/lib/libz.a" \
  -DENABLE_MBEDTLS=OFF -DENABLE_NETTLE=OFF -DENABLE_OPENSSL=OFF -DENABLE_LIBB2=OFF -DENABLE_LZ4=OFF \
  -DENABLE_LZO=OFF -DENABLE_LZMA=OFF -DENABLE_BZip2=OFF -DENABLE_LIBXML2=OFF -DENABLE_EXPAT=OFF \
  -DENABLE_PCREPOSIX=OFF -DENABLE_PCRE2POSIX=OFF -DENABLE_LIBGCC=OFF -DENABLE_CNG=OFF -DENABLE_ICONV=OFF \
  -DPOSIX_REGEX_LIB=NONE -DENABLE_ACL=OFF -DENABLE_XATTR=OFF -DENABLE_TAR=OFF -DENABLE_CPIO=OFF -DENABLE_CAT=OFF -DENABLE_UNZIP=OFF \
  -DENABLE_TEST=OFF -DENABLE_INSTALL=OFF -DENABLE_WERROR=OFF
cmake --build "$work/archive-build" --target archive_static -j "$jobs" >&2
cp "$work/archive-build/libarchive/libarchive_static.a" "$prefix/lib/libarchive.a"
cp "$archive_src/libarchive/archive.h" "$archive_src/libarchive/archive_entry.h" "$prefix/include/"

# GoogleTest from Debian's googletest sources, with the same compiler.
unset CFLAGS
cmake_cross /usr/src/googletest "$work/gtest-build" -Dgtest_disable_pthreads=OFF -DINSTALL_GTEST=ON
cmake --build "$work/gtest-build" -j "$jobs" >&2
cmake --install "$work/gtest-build" >&2

# Header-only libraries, copied so that the host's /usr/include never joins the cross include path.
cp -r /usr/include/spdlog /usr/include/fmt /usr/include/nlohmann "$prefix/include/"
mkdir -p "$prefix/include/stb"
cp /usr/include/stb/*.h "$prefix/include/stb/"

touch "$prefix/.complete"
echo "$prefix"
