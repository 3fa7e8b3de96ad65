#!/usr/bin/env bash
# Installs what the build and the tests need on a fresh Debian machine,
# builds everything and runs every test. Needs no display: the end-to-end
# tests start a private Xvfb of their own.
set -euo pipefail
cd "$(dirname "$0")/.."

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y cmake g++ make pkg-config libgtest-dev \
    freeglut3-dev libglu1-mesa-dev libgl1-mesa-dri libx11-dev libpng-dev \
    xvfb xauth x11-apps x11-utils xdotool apitrace imagemagick

cmake -S . -B build
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"
