# Sourced by every script that sets up a fresh Debian machine: installs the
# Debian packages named that are not installed yet, after `apt-get update`,
# with sudo only when not run as root.
#
#   install_packages [--no-install-recommends] PACKAGE...

install_packages() {
    local options=() missing=() package sudo=""
    while [ "${1:-}" = --no-install-recommends ]; do
        options+=("$1")
        shift
    done
    for package in "$@"; do
        dpkg-query -W -f '${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    [ "${#missing[@]}" -gt 0 ] || return 0
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    # Another apt run (an unattended upgrade) may hold the lock for a while.
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 update &&
        $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 \
            install -y "${options[@]}" "${missing[@]}"
}
