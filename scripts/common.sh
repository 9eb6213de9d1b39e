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
    # The contact core's tests, on Linux and in the Windows build.
    doctest-dev
    fonts-liberation fonts-wine fonts-dejavu-core
    # Qt's own texts (a field's context menu, a message box's button) in Spanish.
    qt6-translations-l10n
)

# What scripts/test needs besides: clang and its runtimes for the fuzzer, setpriv
# (util-linux) to run the permission tests as an unprivileged user.
TEST_PACKAGES=(
    clang libclang-rt-14-dev util-linux
    # The end-to-end suite (tests/e2e/linux): an X server and window manager, input and
    # window tools, the clipboard, the accessibility bus and screenshots.
    xvfb openbox xdotool x11-utils x11-xserver-utils xclip
    dbus at-spi2-core python3-pyatspi imagemagick
)

# What scripts/package needs to build and check the Debian package; the build's
# own packages (Build-Depends in debian/control) are the PACKAGES above.
PACKAGE_PACKAGES=(
    debhelper dpkg-dev fakeroot lintian desktop-file-utils appstream
)

# The version, from the one place it is written: project() in CMakeLists.txt.
project_version() {
    sed -nE 's/^project\([A-Za-z]+ VERSION ([0-9.]+).*/\1/p' "$ROOT/CMakeLists.txt"
}

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
    build_in "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release "$@"
}

# build_in DIR CMAKE-OPTIONS...: configures and builds one tree.
build_in() {
    local dir="$1"
    shift
    cmake -S "$ROOT" -B "$dir" "$@" && cmake --build "$dir" --parallel "$(nproc)"
}

# The Qt-free parts cross-built for Windows, and Wine to run their tests.
WINDOWS_BUILD_DIR="${VORTEDA_WINDOWS_BUILD_DIR:-$ROOT/build-windows}"
WINDOWS_PACKAGES=(
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    wine wine64 locales
    # The icons of Vorteda.exe are made from the windows' pictures by a Python script.
    python3
    # The installer for Windows users (makensis).
    nsis
)

build_windows() {
    cmake -S "$ROOT" -B "$WINDOWS_BUILD_DIR" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" "$@"
    cmake --build "$WINDOWS_BUILD_DIR" --parallel "$(nproc)"
}

# The downloads for Windows users into dist/: Vorteda.exe and LEEME.txt zipped, and
# the installer; prints their paths.
package_windows() {
    cmake -S "$ROOT" -B "$WINDOWS_BUILD_DIR" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
    cmake --build "$WINDOWS_BUILD_DIR" --target vorteda_windows_zip vorteda_windows_installer \
        --parallel "$(nproc)" || return
    mkdir -p "$ROOT/dist"
    local file
    for file in "$WINDOWS_BUILD_DIR"/vorteda-*-windows-x64.zip "$WINDOWS_BUILD_DIR"/vorteda-*-windows-x64-setup.exe; do
        cp "$file" "$ROOT/dist/"
        echo "$ROOT/dist/$(basename "$file")"
    done
}

# The installer under Wine in Xvfb with openbox: an older version installed silently
# in a throwaway prefix, the installed program used, the installed command given
# Unicode names, the present version installed over it, uninstalled; the contacts
# must stay. Screenshots go to
# build-windows/screenshots/.
run_windows_installer_test() {
    cmake --build "$WINDOWS_BUILD_DIR" --target vorteda_windows_installer vorteda_windows_installer_older \
        vorteda_probe --parallel "$(nproc)" &&
    python3 "$ROOT/tests/e2e/wine/run_wine_installer.py" \
        --setup "$(ls "$WINDOWS_BUILD_DIR"/vorteda-*-windows-x64-setup.exe | head -1)" \
        --older-setup "$WINDOWS_BUILD_DIR/windows/vorteda-older-setup.exe" \
        --probe "$WINDOWS_BUILD_DIR/tests/e2e/wine/vorteda_probe.exe" --screenshots "$WINDOWS_BUILD_DIR/screenshots"
}

# Vorteda.exe under Wine in Xvfb with openbox, driven with xdotool; the Linux build's
# replay of the same steps gives the bytes its file must hold. Screenshots of each
# window go to build-windows/screenshots/.
run_windows_e2e() {
    cmake --build "$BUILD_DIR" --target vorteda_forms_replay --parallel "$(nproc)" &&
    cmake --build "$WINDOWS_BUILD_DIR" --target Vorteda vorteda_probe --parallel "$(nproc)" &&
    python3 "$ROOT/tests/e2e/wine/run_wine_e2e.py" \
        --exe "$WINDOWS_BUILD_DIR/app/Vorteda.exe" --probe "$WINDOWS_BUILD_DIR/tests/e2e/wine/vorteda_probe.exe" \
        --replay "$BUILD_DIR/tests/forms/vorteda_forms_replay" --screenshots "$WINDOWS_BUILD_DIR/screenshots"
}

# The Windows tests run in Spanish, as the program's users do, so that the system's
# error texts carry accents. Wine takes its language from the Linux locale.
ensure_spanish_locale() {
    if ! locale -a 2>/dev/null | grep -qix 'es_ES.utf8'; then
        local sudo=""
        [ "$(id -u)" -ne 0 ] && sudo="sudo"
        $sudo localedef -i es_ES -f UTF-8 es_ES.UTF-8 \
            || echo "Note: no es_ES.UTF-8 locale; the Windows tests run with English system texts."
    fi
}

# Runs the Windows build's tests through CTest under Wine, in a throwaway Wine prefix
# (its registry is rewritten by the launcher's tests). Returns CTest's status.
run_windows_tests() {
    local wineserver
    wineserver="$(command -v wineserver || echo /usr/lib/wine/wineserver64)"
    local prefix
    prefix="$(mktemp -d)"
    local status=0
    (
        export WINEPREFIX="$prefix" WINEDEBUG=-all
        # No Mono or Gecko: nothing here needs them, and their installers would ask.
        export WINEDLLOVERRIDES="mscoree,mshtml="
        # Console programs only: Wine must not reach for a desktop.
        unset DISPLAY WAYLAND_DISPLAY
        trap '"$wineserver" -k 2>/dev/null; "$wineserver" -w 2>/dev/null || true' EXIT
        # One server for the whole run, and the prefix made before CTest starts: the
        # first Wine program of a prefix starts Wine's background services, which
        # would inherit CTest's output pipe and keep it waiting until its timeout.
        "$wineserver" -p
        wine wineboot -i >/dev/null 2>&1
        # A test that hangs is run once more: one run of the Windows stage in several
        # dozen has hung in a test that takes a second (no output, under Wine), and
        # has not hung again in its place. A test that hangs for a reason of its own
        # hangs twice and fails.
        ctest --test-dir "$WINDOWS_BUILD_DIR" --output-on-failure --timeout 300 --repeat after-timeout:2
    ) || status=$?
    rm -rf "$prefix"
    return $status
}
