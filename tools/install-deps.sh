#!/usr/bin/env bash
# Installs the Debian packages Kelvane needs to build and test, if any is missing.
# Usage: tools/install-deps.sh [build|test|package]
set -euo pipefail

packages=(g++ cmake ninja-build pkg-config libicu-dev qt6-base-dev fonts-dejavu-core fonts-freefont-ttf)
case "${1:-build}" in
test)
    packages+=(libgtest-dev libgmock-dev libbenchmark-dev poppler-utils clang-format git dbus-daemon)
    # The Python module (the release preset builds it) and its tests, Dask's among them.
    packages+=(pybind11-dev python3-dev python3-distributed)
    ;;
package)
    # cpack's dependency scan (dpkg-shlibdeps, file), then tools/check-package.sh's checkers.
    packages+=(dpkg-dev file lintian appstream desktop-file-utils groff man-db bash-completion)
    # The package carries the Python module.
    packages+=(pybind11-dev python3-dev)
    ;;
esac

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo=()
if [[ $(id -u) -ne 0 ]]; then
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
