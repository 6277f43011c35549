#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need,
# asking apt only for those that are missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
  qt6-webengine-dev qt6-speech-dev qt6-speech-speechd-plugin libgl-dev
  libsqlcipher-dev sqlcipher
  fonts-noto-cjk speech-dispatcher speech-dispatcher-espeak-ng espeak-ng
  xvfb xauth imagemagick xdotool libx11-dev libxcb1-dev
  nodejs npm openssl ca-certificates
  strace inotify-tools desktop-file-utils appstream
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
# npm and node may come from outside Debian's packages on a developer machine.
if command -v npm >/dev/null 2>&1; then
  filtered=()
  for p in "${missing[@]}"; do [[ $p == nodejs || $p == npm ]] || filtered+=("$p"); done
  missing=("${filtered[@]+"${filtered[@]}"}")
fi

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: everything is installed"
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages: ${missing[*]}" >&2
  echo "install-deps: run as root or install them with apt-get" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
