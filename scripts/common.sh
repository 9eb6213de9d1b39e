# Shared set-up for scripts/run and scripts/test: install what is missing, then build.
# Sourced, not run.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${VORTEDA_BUILD_DIR:-$ROOT/build}"
ASAN_BUILD_DIR="${VORTEDA_ASAN_BUILD_DIR:-$ROOT/build-asan}"
FUZZ_BUILD_DIR="${VORTEDA_FUZZ_BUILD_DIR:-$ROOT/build-fuzz}"

# Debian packages the build, the program and the tests need.
PACKAGES=(
    cmake g++ make
    qt6-base-dev qt6-base-dev-tools libgl-dev
    fonts-liberation fonts-wine fonts-dejavu-core
)

# What scripts/test needs besides: clang and its runtimes for the fuzzer, setpriv
# (util-linux) to run the permission tests as an unprivileged user.
TEST_PACKAGES=(
    clang libclang-rt-14-dev util-linux
    # The end-to-end suite (tests/e2e): an X server and window manager, input and
    # window tools, the clipboard, the accessibility bus and screenshots.
    xvfb openbox xdotool x11-utils x11-xserver-utils xclip
    dbus at-spi2-core python3-pyatspi imagemagick
)

ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        local sudo=""
        [ "$(id -u)" -ne 0 ] && sudo="sudo"
        # Wait for another apt run to finish rather than fail on its lock.
        $sudo apt-get -o DPkg::Lock::Timeout=600 update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -qq \
            --no-install-recommends "${missing[@]}"
    fi
}

build() {
    cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release "$@"
    cmake --build "$BUILD_DIR" --parallel "$(nproc)"
}
