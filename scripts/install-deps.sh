#!/usr/bin/env bash
# Installs every build, test and run dependency of Vexilo on Debian 12 with apt-get.
# Idempotent: it asks apt only for what is missing, and updates the package lists only then.
# Usage: scripts/install-deps.sh [--docs]   (--docs adds what the documentation pictures need)
set -euo pipefail

packages=(
    cmake ninja-build g++ clang clang-format pkg-config
    qt6-base-dev qt6-base-dev-tools libqt6dbus6 libqt6svg6
    libxlsxwriter-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    dbus xvfb xauth xdotool x11-apps fonts-noto-cjk
    python3 python3-openpyxl python3-ezdxf python3-xlsxwriter python3-matplotlib
    xdg-utils locales
    qt6-l10n-tools qt6-translations-l10n qt6-qpa-plugins librsvg2-bin
    dpkg-dev desktop-file-utils appstream
    g++-mingw-w64-x86-64 wine64
    nsis
)
if [[ "${1:-}" == "--docs" ]]; then
    packages+=(libreoffice-calc-nogui poppler-utils imagemagick x11-utils openbox)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

sudo=()
if ((EUID != 0)); then
    sudo=(sudo)
fi
if ((${#missing[@]} > 0)); then
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
fi

# The report is tested under a comma-decimal locale (the test can also compile it privately).
if ! locale -a 2>/dev/null | grep -qix 'de_DE.utf8'; then
    echo "Generating the de_DE.UTF-8 locale"
    "${sudo[@]}" localedef -i de_DE -c -f UTF-8 de_DE.UTF-8
fi
