# Shared by the scripts: the Debian packages that building and running Tarnwick needs, how they
# are installed, and the builds (by the presets of CMakePresets.json).
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# What building and running Tarnwick needs. A script that needs more adds its own packages to
# the list before install_packages: scripts/test what only the tests use, scripts/fuzz clang.
packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev libqt6sql6-sqlite qt6-webengine-dev qt6-translations-l10n
    libgl-dev libxml2-dev zlib1g-dev libisal-dev libssl-dev libsqlite3-dev
    qtkeychain-qt6-dev libsecret-1-0 # passwords in the desktop's secret store (QtKeychain loads libsecret itself)
)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# install_packages [RECOVER]: installs those of $packages that are missing. When apt-get fails,
# the function RECOVER may still finish the installation; the failure stands if it returns non-zero.
install_packages() {
    local missing=() package
    for package in "${packages[@]}"; do
        installed "$package" || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return
    echo "Installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" ||
        "${1:-false}"
}

# build <preset>: configures and builds by that preset of CMakePresets.json, in build/<preset>.
# A CMAKE_CXX_COMPILER_LAUNCHER in the environment (ccache, say) is used.
build() {
    (cd "$top" && cmake --preset "$1" && cmake --build --preset "$1")
}
