# Shared by scripts/run and scripts/test: install what is missing, then configure and build
# incrementally. Source it; do not run it.

BRIVOX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# One line each on why: see the README's dependency list.
BRIVOX_PACKAGES=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev libxcb1-dev
    libcurl4-openssl-dev libtelnet-dev
    googletest libgtest-dev
    clang libclang-rt-14-dev
    fonts-liberation2 fonts-wine
    python3-pymodbus python3-serial python3-serial-asyncio ser2net tshark lrzsz
    xvfb openbox wmctrl xdotool x11-utils
    scdoc librsvg2-bin dpkg-dev desktop-file-utils man-db
)

# What the tests run or import, each with the Debian package that brings it.
BRIVOX_TEST_PROGRAMS=(
    cmake:cmake ninja:ninja-build g++:g++ ctest:cmake clang++:clang python3:python3
    Xvfb:xvfb openbox:openbox wmctrl:wmctrl xdotool:xdotool xprop:x11-utils xwininfo:x11-utils
    ser2net:ser2net cpack:cmake dpkg-shlibdeps:dpkg-dev desktop-file-validate:desktop-file-utils
    man:man-db tshark:tshark sz:lrzsz rz:lrzsz sx:lrzsz rx:lrzsz sb:lrzsz rb:lrzsz
)
BRIVOX_TEST_PYTHON_MODULES=(
    pymodbus:python3-pymodbus serial:python3-serial serial_asyncio:python3-serial-asyncio
)

brivox_missing_packages() {
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q 'ok installed' ||
            echo "$package"
    done
}

# Installs with apt-get only what is not installed yet.
brivox_install() {
    local missing
    mapfile -t missing < <(brivox_missing_packages "$@")
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "== installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    # wireshark-common asks whether users outside root may capture; the tests read files only.
    echo "wireshark-common wireshark-common/install-setuid boolean false" |
        "${sudo[@]}" debconf-set-selections
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

# Says which program or Python module the tests need is missing, and which package brings it;
# false when any is.
brivox_check_test_tools() {
    local entry missing=0
    for entry in "${BRIVOX_TEST_PROGRAMS[@]}"; do
        command -v "${entry%%:*}" >/dev/null && continue
        echo "missing program ${entry%%:*} (Debian package ${entry#*:})" >&2
        missing=1
    done
    for entry in "${BRIVOX_TEST_PYTHON_MODULES[@]}"; do
        /usr/bin/python3 -c "import ${entry%%:*}" 2>/dev/null && continue
        echo "missing Python module ${entry%%:*} (Debian package ${entry#*:})" >&2
        missing=1
    done
    return $missing
}

# brivox_build DIR [CMAKE ARGS...] [-- BUILD ARGS...]: configures DIR once, then builds it.
brivox_build() {
    local dir=$1
    shift
    local configure=() build=()
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do configure+=("$1"); shift; done
    [ $# -gt 0 ] && shift
    build=("$@")
    if [ ! -f "$BRIVOX_ROOT/$dir/build.ninja" ]; then
        cmake -S "$BRIVOX_ROOT" -B "$BRIVOX_ROOT/$dir" -G Ninja "${configure[@]}"
    elif [ ${#configure[@]} -gt 0 ]; then
        cmake "$BRIVOX_ROOT/$dir" "${configure[@]}" >/dev/null
    fi
    cmake --build "$BRIVOX_ROOT/$dir" -j2 "${build[@]}"
}
