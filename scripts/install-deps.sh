#!/usr/bin/env bash
# Installs the Debian packages that building, testing, the fixture script, the screenshot
# script, `make package` and its checks need. Safe to run again: only missing packages are
# installed.
# With --fuzz it also installs what `make fuzz` needs (clang and its libFuzzer runtime);
# ordinary builds and CI do not need them.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format
  libgtest-dev libgmock-dev
  zlib1g-dev libisal-dev liblz4-dev libzstd-dev lz4 zstd
  qt6-base-dev qt6-qpa-plugins
  postgresql postgresql-client
  xvfb x11-utils fonts-noto-cjk imagemagick
  qt6-translations-l10n
  dpkg-dev lintian desktop-file-utils appstream shared-mime-info xdg-utils
  libfile-mimeinfo-perl file man-db bash-completion
)
if [ "${1:-}" = "--fuzz" ]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi

echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
# The server package must not start a cluster of its own: the fixture script and the
# live tests run private clusters on their own ports.
if printf '%s\n' "${missing[@]}" | grep -qx postgresql; then
  $sudo mkdir -p /etc/postgresql-common/createcluster.d
  echo "create_main_cluster = false" | $sudo tee /etc/postgresql-common/createcluster.d/kalvex.conf >/dev/null
fi
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
