#!/usr/bin/env bash
# Installs every Debian package the project needs. Idempotent: packages already present are
# not fetched again, and the package lists are refreshed only when something is missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config clang
    libgtest-dev libgmock-dev libbenchmark-dev
    libsqlite3-dev sqlite3
    mdbtools-dev mdbtools
    unixodbc-dev odbcinst libsqliteodbc
    postgresql odbc-postgresql
    libcurl4-openssl-dev xdg-utils
    fp-utils libchm-bin
    python3 python3-ezdxf python3-matplotlib python3-pil
    libwxgtk3.2-dev libwxgtk-webview3.2-dev xvfb xauth fonts-dejavu-core
    libcairo2-dev libpango1.0-dev poppler-utils fonts-wqy-microhei
    librecad libreoffice-draw tesseract-ocr tesseract-ocr-eng
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "setup: all packages present"
    exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "setup: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
