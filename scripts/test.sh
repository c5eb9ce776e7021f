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
have wine || missing+=(wine)
dpkg -s wine32:i386 >/dev/null 2>&1 || missing+=(wine32:i386)
have localedef || missing+=(locales)
have clang++ || missing+=(clang)
[ -n "$(ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a 2>/dev/null)" ] ||
  missing+=(libclang-rt-14-dev)
have valgrind || missing+=(valgrind)
have groff || missing+=(groff-base)
have dpkg-shlibdeps || missing+=(dpkg-dev)
have gzip || missing+=(gzip)

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

cmake --preset native
cmake --build --preset native
cmake --preset windows
cmake --build --preset windows

# Everything against the release builds: unit, end-to-end native and under
# Wine, the Win32 layer checks, memcheck and the packages.
ctest --test-dir build/native --output-on-failure

# The Windows zip: tvx.exe and a README with CR LF line ends.
python3 tests/package/windows_zip.py build/windows

# The native unit and end-to-end suites again under AddressSanitizer and
# UndefinedBehaviorSanitizer: any report fails them.
cmake --preset asan
cmake --build --preset asan
ctest --test-dir build/asan -L 'unit|native' --output-on-failure

# The end-to-end suite under ThreadSanitizer: the POSIX walk reads ahead on a
# second thread.
cmake --preset tsan
cmake --build --preset tsan --target tvx
ctest --test-dir build/tsan -L native --output-on-failure

# Each fuzz target for a bounded time.
cmake --preset fuzz
cmake --build --preset fuzz
scripts/fuzz.sh 45
