# Sourced by scripts/run and scripts/test: installs with apt-get whatever
# Debian 12 package the build, the program or the tests need and is missing.
# shellcheck shell=bash

PRESSORY_BUILD_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev
  qt6-charts-dev libqt6opengl6-dev  # Qt Charts; its CMake package needs Qt6OpenGL
  libx11-dev libxi-dev libxtst-dev libx11-xcb-dev libxcb1-dev x11proto-dev
  libsqlite3-dev  # the activity database
)
# The Debian package: dpkg-shlibdeps (dpkg-dev) and the ELF check of CPack (file).
PRESSORY_PACKAGE_PACKAGES=(
  dpkg-dev file
)
PRESSORY_RUN_PACKAGES=(
  xvfb fonts-noto-cjk xauth
  qt6-translations-l10n  # Qt's own dialogs and buttons in Japanese (qtbase_ja.qm)
)
PRESSORY_TEST_PACKAGES=(
  clang libclang-rt-14-dev clang-format
  g++-mingw-w64-x86-64 googletest wine64
  xvfb xdotool x11-utils x11-xserver-utils imagemagick trayer openbox wmctrl
  fonts-noto-cjk procps python3
  dbus-daemon at-spi2-core python3-pyatspi
  pulseaudio pulseaudio-utils sox
  desktop-file-utils lintian appstream  # the package stage judges the .deb and its metainfo
)

ensure_packages() {
  local missing=()
  local p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "== installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
