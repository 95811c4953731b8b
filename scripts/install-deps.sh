#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Quorvane need, on Debian 12
# (bookworm) and Debian 13 (trixie). Idempotent: it installs only what is missing and does nothing when
# everything is present. Run as root (or with sudo available). With --download-only it only downloads
# what it would install, into apt's package cache.
set -euo pipefail
download=()
[[ ${1:-} != --download-only ]] || download=(--download-only)

packages=(
  g++ cmake ninja-build pkg-config git       # toolchain (scripts/test.sh lists the sources with git)
  ccache                                      # the compiler cache: a build again compiles only what changed
  qt6-base-dev libzip-dev libarchive-dev libpugixml-dev libminizip-dev zlib1g-dev libdeflate-dev nlohmann-json3-dev  # libraries
  nettle-dev                                  # the decryption of protected presentations
  libgtest-dev                                # tests
  clang-format-19                             # the formatting check of scripts/test.sh (the same version on Debian 12 and 13)
  python3-openpyxl                            # independent .xlsx reader used by the tests
  python3-odf                                 # independent .ods reader used by the tests (odfpy)
  scdoc                                       # the manual pages
  dpkg-dev file                               # the .deb: dpkg-shlibdeps its dependencies, dpkg-buildflags its hardening
  desktop-file-utils appstream man-db lintian # the package's checks in scripts/test.sh
)
# The names that differ between the releases. A face with the measures of the window's Arial:
# Liberation 2, which Debian 13 ships as fonts-liberation (fonts-liberation2 is an empty one there).
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
case $codename in
  bookworm)
    packages+=(fonts-liberation2)
    ;;
  *)
    [[ $codename == trixie ]] ||
      echo "install-deps.sh: Debian 12 and 13 are supported; this is '$codename': trying Debian 13's packages" >&2
    packages+=(fonts-liberation)
    ;;
esac

# The tests read the .ods written with LibreOffice Calc too. A machine with the desktop's Calc keeps
# it (the -nogui build would replace the whole suite); one without gets the build without a window.
calc=$(dpkg-query -W -f='${Status}' libreoffice-calc 2>/dev/null || true)
[[ $calc == "install ok installed" ]] || packages+=(libreoffice-calc-nogui)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${download[@]}" "${missing[@]}"
