# Shared by scripts/run and scripts/test: the Debian packages Tarnwick needs, and the build.
set -euo pipefail

top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev libqt6sql6-sqlite qt6-webengine-dev qt6-translations-l10n
    libgl-dev libxml2-dev zlib1g-dev libssl-dev openssl libsqlite3-dev
    qtkeychain-qt6-dev libsecret-1-0 # passwords in the desktop's secret store (QtKeychain loads libsecret itself)
    # Test only: the secret tests run a GNOME keyring on a session bus of their own and ask it with secret-tool.
    dbus-daemon gnome-keyring libsecret-tools
    nzbget # the download tests hand NZBs to a real NZBGet
    inn2 # the INN tests run a private INN on loopback
    desktop-file-utils appstream dpkg-dev # the install test validates the desktop files and builds the .deb
)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

install_packages() {
    local missing=()
    for package in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return
    echo "Installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" ||
        finish_inn2
    # Nothing here uses the system's own INN (the tests run a private one): it stays stopped.
    if [[ " ${missing[*]} " == *" inn2 "* ]]; then
        as_root invoke-rc.d inn2 stop >/dev/null 2>&1 || true
    fi
}

# inn2's post-install step stops where the host name has no domain: give the system's own INN
# a domain and finish.
finish_inn2() {
    dpkg-query -W -f='${Status}' inn2 2>/dev/null | grep -q 'half-configured' || return 1
    as_root sed -i 's/^#\?domain:[[:space:]]*$/domain: localdomain/' /etc/news/inn.conf
    as_root env DEBIAN_FRONTEND=noninteractive dpkg --configure -a
}

# build <directory> [cmake options...]
build() {
    local dir=$1
    shift
    cmake -S "$top" -B "$dir" -G Ninja "$@"
    cmake --build "$dir"
}
