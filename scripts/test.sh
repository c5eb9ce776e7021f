#!/usr/bin/env bash
# Builds the native and the Windows program and runs every test: unit tests,
# and the end-to-end cases natively and under Wine. Installs what a fresh
# Debian machine lacks when run as root; otherwise names what to install.
set -euo pipefail
cd "$(dirname "$0")/.."

missing=()
have() { command -v "$1" >/dev/null 2>&1; }
have cmake || missing+=(cmake)
have ninja || missing+=(ninja-build)
have g++ || missing+=(g++)
have python3 || missing+=(python3)
[ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
have i686-w64-mingw32-g++ || missing+=(g++-mingw-w64-i686)
have x86_64-w64-mingw32-g++ || missing+=(g++-mingw-w64-x86-64)
have wine || missing+=(wine)
dpkg -s wine32:i386 >/dev/null 2>&1 || missing+=(wine32:i386)
[ -x /usr/lib/wine/wine64 ] || missing+=(wine64)
have localedef || missing+=(locales)
have clang++ || missing+=(clang)
[ -n "$(ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a 2>/dev/null)" ] ||
  missing+=(libclang-rt-14-dev)
have valgrind || missing+=(valgrind)
# The slow file system the native end-to-end cases walk through (FUSE).
have pkg-config || missing+=(pkg-config)
[ -f /usr/include/fuse3/fuse.h ] || missing+=(libfuse3-dev)
have fusermount3 || missing+=(fuse3)
have groff || missing+=(groff-base)
have dpkg-shlibdeps || missing+=(dpkg-dev)
have gzip || missing+=(gzip)
# DU's export is loaded back by ncdu in an end-to-end case; du is coreutils'.
have ncdu || missing+=(ncdu)

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing: ${missing[*]}" >&2
    echo "Install them (as root): dpkg --add-architecture i386 && apt-get update && apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  dpkg --add-architecture i386
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Which Windows build the Wine suites run on, decided once: the 32-bit one
# where this machine runs 32-bit programs (the 32-bit loader is one), else the
# 64-bit one under the 64-bit loader. TVX_WINE_BUILD=64 picks the 64-bit one.
wine32_loader=/usr/lib/wine/wine
wine64_loader=/usr/lib/wine/wine64
if [ "${TVX_WINE_BUILD:-}" = 64 ]; then
  windows_preset=windows64 wine_loader=$wine64_loader why="TVX_WINE_BUILD=64 asks for it"
elif [ -x "$wine32_loader" ] && "$wine32_loader" --version >/dev/null 2>&1; then
  windows_preset=windows wine_loader=wine why="this machine runs 32-bit programs"
else
  windows_preset=windows64 wine_loader=$wine64_loader why="this machine runs no 32-bit programs"
fi
if ! "$wine_loader" --version >/dev/null 2>&1; then
  echo "Neither Windows build can run here: $wine_loader does not start" >&2
  exit 1
fi
bits=32
if [ "$windows_preset" = windows64 ]; then bits=64; fi
echo "Windows suites run on the $bits-bit build (build/$windows_preset) under $wine_loader: $why"

cmake --preset native -DTVX_WINDOWS_BUILD_DIR="$PWD/build/$windows_preset" -DTVX_WINE="$wine_loader"
cmake --build --preset native
# Both Windows programs are built and packed; the 32-bit one is the primary.
for preset in windows windows64; do
  cmake --preset $preset
  cmake --build --preset $preset
done

# Everything against the release builds: unit, end-to-end native and under
# Wine, the Win32 layer checks, memcheck and the packages.
ctest --test-dir build/native --output-on-failure

# The Windows zips: tvx.exe for the right processor and a README with CR LF
# line ends.
python3 tests/package/windows_zip.py build/windows win32
python3 tests/package/windows_zip.py build/windows64 win64

# The native unit and end-to-end suites again under AddressSanitizer and
# UndefinedBehaviorSanitizer: any report fails them.
cmake --preset asan
cmake --build --preset asan
ctest --test-dir build/asan -L 'unit|native' --output-on-failure

# The unit and end-to-end suites under ThreadSanitizer: the walk engine reads
# ahead on threads (the unit tests drive it on the fake platform's), which
# grow where reads wait (the slow FUSE passthrough).
cmake --preset tsan
tsan_targets=(tvx tvx_unit_tests)
cmake --build --preset tsan --target help | grep -q '^slowfs:' && tsan_targets+=(slowfs)
cmake --build --preset tsan --target "${tsan_targets[@]}"
ctest --test-dir build/tsan -L 'unit|native' --output-on-failure

# Each fuzz target for a bounded time.
cmake --preset fuzz
cmake --build --preset fuzz
scripts/fuzz.sh 45
