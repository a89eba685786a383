#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing. As root it runs
# apt-get itself; otherwise it prints the exact command and stops.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config make
    qtbase5-dev libusb-1.0-0-dev libhidapi-dev libpugixml-dev libssl-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    umockdev libumockdev-dev
    clang-14 libclang-rt-14-dev
    iproute2 locales nlohmann-json3-dev ccache
    fonts-open-sans fonts-liberation librsvg2-bin xvfb xauth
    scdoc dpkg-dev lintian devscripts desktop-file-utils appstream man-db gcovr usbutils
)

# The number-format tests run a second time under this decimal-comma locale.
test_locale="de_DE.UTF-8"
locale_command="sed -i 's/^# *${test_locale}/${test_locale}/' /etc/locale.gen && locale-gen"

has_test_locale() {
    locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'
}

generate_test_locale() {
    has_test_locale && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing locale ${test_locale}. Run as root:" >&2
        echo "  $locale_command" >&2
        exit 1
    fi
    echo "Generating locale ${test_locale}"
    sh -c "$locale_command"
}

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -eq 0 ]; then
    generate_test_locale
    exit 0
fi

command_line="apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages. Run as root:" >&2
    echo "  apt-get update && $command_line" >&2
    exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
$command_line
generate_test_locale
