#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, if any is missing.
# Safe to run repeatedly: it does nothing when everything is present.
set -euo pipefail

packages=(
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  libz-mingw-w64-dev
  wine wine64 wine32:i386
  xvfb xdotool imagemagick zstd ninja-build cmake make dpkg-dev
  fonts-wqy-microhei
  libspdlog-dev libfmt-dev nlohmann-json3-dev libstb-dev googletest
  python3 python3-pil openssl ca-certificates osslsigncode
  clang-format clang-tidy
)

# The host fuzz harnesses: clang with libFuzzer and the sanitizers' runtimes, built as 32-bit programs like the
# product. All of them are amd64 packages tied to exact versions of libc6 and zlib1g, so they come from the
# system's own package lists (below), where the installed versions are found.
host_packages=(clang libclang-rt-14-dev gcc-multilib g++-multilib lib32z1-dev)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
missing_host=()
for p in "${host_packages[@]}"; do installed "$p" || missing_host+=("$p"); done
[ ${#missing[@]} -eq 0 ] && [ ${#missing_host[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]} ${missing_host[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "error: installing packages needs root" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi

# The i386 index of the security suite is often out of step with the main suites on the mirror,
# and apt then refuses wine32 as "held broken packages". A private sources list naming only the
# bookworm and bookworm-updates suites avoids that; the system's own apt state stays untouched.
state=/var/cache/quillon-apt
mkdir -p "$state/lists/partial" "$state/sources.list.d"
cat > "$state/sources.list" <<SRC
deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main
deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm-updates main
SRC
apt_opts=(-o "Dir::Etc::SourceList=$state/sources.list" -o "Dir::Etc::SourceParts=$state/sources.list.d"
          -o "Dir::State::Lists=$state/lists" -o Acquire::Retries=3)

# --no-remove everywhere: a package that only fits by removing another (wine32 above all) is an error, not a
# trade.
if [ ${#missing[@]} -gt 0 ]; then
  apt-get "${apt_opts[@]}" update || echo "warning: apt-get update reported errors; continuing with what was fetched" >&2
  apt-get "${apt_opts[@]}" install -y --no-remove --no-install-recommends "${missing[@]}"
fi
if [ ${#missing_host[@]} -gt 0 ]; then
  apt-get update || echo "warning: apt-get update reported errors; continuing with what was fetched" >&2
  # 32-bit zlib at the version of the installed zlib1g: a newer one would upgrade zlib1g and with it the
  # i386 zlib1g that wine32 needs.
  zlib=$(dpkg-query -W -f='${Version}' "zlib1g:$(dpkg --print-architecture)")
  apt-get install -y --no-remove --no-install-recommends \
    "${missing_host[@]/#lib32z1-dev/lib32z1-dev=$zlib}" "lib32z1=$zlib" "zlib1g-dev=$zlib"
fi

# The posix-threads compilers are the ones the build uses.
update-alternatives --set i686-w64-mingw32-gcc /usr/bin/i686-w64-mingw32-gcc-posix >/dev/null 2>&1 || true
update-alternatives --set i686-w64-mingw32-g++ /usr/bin/i686-w64-mingw32-g++-posix >/dev/null 2>&1 || true
