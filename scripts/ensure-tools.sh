#!/usr/bin/env bash
# Makes sure the build tools and libraries are present: installs them with apt-get when
# running as root on Debian, otherwise says exactly what is missing.
# Usage: source scripts/ensure-tools.sh; ensure_tools [extra-debian-packages...]

ensure_tools() {
  local missing=()
  command -v cmake >/dev/null 2>&1 || missing+=(cmake)
  command -v g++ >/dev/null 2>&1 || missing+=(g++)
  command -v ninja >/dev/null 2>&1 || missing+=(ninja-build)
  if [ ! -e /usr/include/gtest/gtest.h ] && [ ! -e /usr/local/include/gtest/gtest.h ]; then
    missing+=(libgtest-dev)
  fi
  # Image libraries: stb_image and stb_image_write (headers), zlib.
  [ -e /usr/include/stb/stb_image.h ] || missing+=(libstb-dev)
  [ -e /usr/include/zlib.h ] || missing+=(zlib1g-dev)
  # millview's glTF models: tinygltf and the JSON library it writes with
  # (headers, compiled for every target).
  [ -e /usr/include/tiny_gltf.h ] || missing+=(libtinygltf-dev)
  [ -e /usr/include/nlohmann/json.hpp ] || missing+=(nlohmann-json3-dev)
  local pkg
  for pkg in "$@"; do
    dpkg -s "$pkg" >/dev/null 2>&1 || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0

  if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null 2>&1; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq "${missing[@]}" >/dev/null || {
      echo "apt-get could not install: ${missing[*]}" >&2
      return 1
    }
  else
    echo "Missing build tools. Install them with:" >&2
    echo "  sudo apt-get install ${missing[*]}" >&2
    return 1
  fi
}

# Configures an optimised build without tests in <build dir> and builds the
# named targets.
release_build() {  # <build dir> <target>...
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRT_BUILD_TESTS=OFF >/dev/null
  cmake --build "$dir" -j "$(nproc)" --target "$@" >/dev/null
}
