#!/usr/bin/env bash
# Installs the Debian packages the project needs to build, test and run.
# Runs apt-get update once and only when something is missing; safe to call repeatedly.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config clang-format
  qt6-base-dev qt6-serialport-dev libqcustomplot-dev libgl-dev qt6-translations-l10n
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool x11-apps imagemagick socat fonts-dejavu-core
  help2man locales python3-markdown dpkg-dev file lintian systemd
  postgresql libqt6sql6-sqlite libqt6sql6-psql libsqlite3-dev sqlite3 poppler-utils
  mosquitto mosquitto-clients libmosquitto-dev openssl
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
