#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian/Ubuntu packages that are missing from the given list;
# with --missing, only prints those missing from each list given, one a line.
# Usage: scripts/install-deps.sh [--missing] build|test|demo|fuzz|windows|qt-mingw|windows-package|screenshots|package|package-check ...
set -euo pipefail
sets=build
only_list=0
if [ "${1:-}" = --missing ]; then
  only_list=1
  shift
fi
[ $# -eq 0 ] || sets="$*"

build_packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libusb-1.0-0-dev libcli11-dev nlohmann-json3-dev
                libgtest-dev libgmock-dev libbenchmark-dev)
# Qt's translation of its own texts (file dialogs, standard buttons) into the
# window's Chinese languages; the Windows download bundles Debian's files.
qt_texts=(qt6-translations-l10n)
all=()
for set in $sets; do
case "$set" in
  build) packages=("${build_packages[@]}" "${qt_texts[@]}" fonts-dejavu-core) ;;
  # umockdev emulates a USB adapter for the tests that run the real libusb;
  # the window's accessibility test walks it through AT-SPI on a virtual
  # screen and presses its keys.
  test) packages=("${build_packages[@]}" "${qt_texts[@]}" fonts-dejavu-core umockdev libumockdev-dev xvfb xauth openbox xdotool
                  dbus at-spi2-core python3 python3-gi gir1.2-atspi-2.0) ;;
  # Fuzzing needs clang and its libFuzzer runtime.
  fuzz) packages=("${build_packages[@]}" umockdev libumockdev-dev clang libclang-rt-14-dev) ;;
  # The Windows cross build: MinGW-w64 for both widths, GoogleTest's
  # sources to build it for Windows, Wine of both widths to run the tests,
  # fonts for the window under Wine (Wine brings no CJK font), and a
  # virtual screen for the window's test on screen.
  windows) packages=(cmake ninja-build pkg-config libcli11-dev nlohmann-json3-dev googletest g++-mingw-w64-x86-64-posix
                     g++-mingw-w64-i686-posix wine64 wine32:i386 fonts-dejavu-core fonts-noto-cjk xvfb xauth
                     "${qt_texts[@]}") ;;
  # Qt for MinGW from Debian's source, with the build machine's Qt tools.
  qt-mingw) packages=(cmake ninja-build dpkg-dev qt6-base-dev qt6-base-dev-tools g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix perl python3) ;;
  # The Windows download's installer, and unzip to look into the zip.
  windows-package) packages=(nsis unzip) ;;
  # Screenshots of the window programs on a virtual screen, natively or
  # under Wine; xdotool finds the window to take.
  screenshots) packages=(xvfb xauth openbox imagemagick xdotool) ;;
  # The Debian package: dpkg-shlibdeps computes its dependencies.
  package) packages=("${build_packages[@]}" dpkg-dev fakeroot file) ;;
  # Checking it as a distribution would, installing it and running what it installed.
  package-check) packages=(lintian appstream desktop-file-utils man-db xvfb xauth openbox xdotool) ;;
  # The demo shows Traditional and Simplified Chinese, which needs a CJK font.
  demo) packages=("${build_packages[@]}" "${qt_texts[@]}" fonts-noto-cjk) ;;
  *) echo "usage: $0 [--missing] build|test|demo|fuzz|windows|qt-mingw|windows-package|screenshots|package|package-check ..." >&2; exit 2 ;;
esac
all+=("${packages[@]}")
done

missing=()
for p in "${all[@]}"; do
  case " ${missing[*]} " in *" $p "*) continue ;; esac
  # "installed", whether held or not.
  [ "$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null)" = installed ] || missing+=("$p")
done
if [ $only_list = 1 ]; then
  [ ${#missing[@]} -eq 0 ] || printf '%s\n' "${missing[@]}"
  exit 0
fi
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "install-deps: these packages are missing: ${missing[*]}" >&2
    architecture=""
    printf '%s\n' "${missing[@]}" | grep -q ':i386$' && architecture="dpkg --add-architecture i386 && "
    echo "install-deps: there is no sudo here; as root, run: ${architecture}apt-get update && apt-get install ${missing[*]}" >&2
    exit 1
  fi
  sudo=(sudo)
fi
# 32-bit Wine comes from the i386 architecture, which apt must know first.
if printf '%s\n' "${missing[@]}" | grep -q ':i386$' && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo[@]}" dpkg --add-architecture i386 ||
    echo "install-deps: the i386 architecture could not be added; 32-bit Wine will be missing" >&2
fi
# A mirror caught mid-sync fails one index or another; the lists already
# there still name what we need, and the install says so when they do not.
"${sudo[@]}" apt-get update -qq || echo "install-deps: the package lists could not all be updated; trying with those there are" >&2
# 32-bit Wine only runs the 32-bit build's tests, which the scripts leave out
# with a note wherever 32-bit programs cannot run: its index missing from a
# mirror must not stop everything else.
required=()
optional=()
for p in "${missing[@]}"; do
  if [ "$p" = "wine32:i386" ]; then optional+=("$p"); else required+=("$p"); fi
done
# Set past sudo, which would drop it from the environment.
install() { "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@"; }
if [ ${#required[@]} -gt 0 ] && ! install "${required[@]}"; then
  retry="apt-get update && apt-get install ${required[*]}"
  [ ${#sudo[@]} -eq 0 ] || retry="sudo apt-get update && sudo apt-get install ${required[*]}"
  echo "install-deps: these packages could not be installed: ${required[*]}" >&2
  echo "install-deps: see apt-get's message above (a package mirror that does not answer, or sudo refused); retry with: $retry" >&2
  exit 1
fi
if [ ${#optional[@]} -gt 0 ] && ! install "${optional[@]}"; then
  echo "install-deps: WARNING: ${optional[*]} could not be installed; the 32-bit Windows build's tests will be left out" >&2
fi
