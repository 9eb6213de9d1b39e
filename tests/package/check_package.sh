#!/usr/bin/env bash
# The Debian package as a user meets it: built by scripts/package (lintian clean),
# installed with apt-get, its files in place and valid, the installed program used
# by an unprivileged user with a fresh home through the end-to-end harness, then
# removed: the program goes, the user's contacts stay. Needs root (or sudo).
# One PASS/FAIL line per check, then "N passed, N failed"; non-zero on any failure.
#   tests/package/check_package.sh [OUT_FOLDER]
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
source "$ROOT/scripts/common.sh"
out="${1:-$BUILD_DIR/tests/package}"
mkdir -p "$out"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
apt_get() {
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 -y -qq "$@"
}

app_id=example.brimacor.Vorteda
version="$(project_version)"
deb=""
home=""
passed=0
failed=0

# check NAME COMMAND...: runs one check, its output shown only when it fails.
check() {
    local name="$1" log t0
    shift
    log="$(mktemp)"
    t0=$SECONDS
    if "$@" >"$log" 2>&1; then
        passed=$((passed + 1))
        echo "PASS $name ($((SECONDS - t0)) s)"
    else
        failed=$((failed + 1))
        echo "FAIL $name"
        sed 's/^/    /' "$log"
    fi
    rm -f "$log"
}

built() {
    rm -f "$ROOT"/dist/vorteda_"$version"_*.deb
    "$ROOT/scripts/package" || return 1
    deb="$(ls "$ROOT"/dist/vorteda_"$version"_*.deb)" && [ -f "$deb" ]
}

installed() {
    apt_get install "$deb" && dpkg-query -W -f='${Status} ${Version}\n' vorteda \
        | grep -x "install ok installed $version"
}

in_place() {
    local bad=0 size got
    for f in /usr/bin/vorteda /usr/bin/vorteda-contactos; do
        [ -x "$f" ] || { echo "no $f"; bad=1; }
    done
    for f in /usr/share/applications/$app_id.desktop /usr/share/metainfo/$app_id.metainfo.xml; do
        [ -f "$f" ] || { echo "no $f"; bad=1; }
    done
    for size in 16 32 48 64 128 256; do
        f=/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png
        got="$(identify -format '%m %wx%h %A' "$f" 2>&1)"
        # PNG, the theme folder's size, with the logo's transparent corners.
        [[ "$got" =~ ^PNG\ ${size}x${size}\ (Blend|True) ]] || { echo "$f: $got"; bad=1; }
    done
    return $bad
}

valid() {
    local said
    said="$(desktop-file-validate /usr/share/applications/$app_id.desktop 2>&1)"
    [ -z "$said" ] || { echo "desktop-file-validate: $said"; return 1; }
    appstreamcli validate --no-net /usr/share/metainfo/$app_id.metainfo.xml
}

used_by_a_user() {
    home="$(mktemp -d)/home"
    chmod 755 "$(dirname "$home")"
    mkdir "$home"
    touch "$out/started"
    /usr/bin/python3 "$ROOT/tests/e2e/linux/run_e2e.py" --program /usr/bin/vorteda --installed-home "$home" \
        --out "$out"
}

# vorteda-contactos, run by the same user, finds the contact in the same folder.
exported_by_the_companion() {
    local csv
    csv="$(setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$home" \
        /usr/bin/vorteda-contactos exportar - --formato csv 2>&1)" || { echo "$csv"; return 1; }
    grep -q '^Ruiz,Marta,Calle Luna 9,' <<<"$csv" || { echo "exported: $csv"; return 1; }
}

nowhere_under_usr() {
    local found
    # Whatever changed under /usr while the program ran (another apt run may change
    # things too) must not hold the contact, and no contacts file may be there.
    found="$(find /usr -xdev -type f -newer "$out/started" -print0 | xargs -0 -r grep -l 'Calle Luna 9' ;
             find /usr -xdev -name 'personas.*')"
    [ -z "$found" ] || { echo "under /usr: $found"; return 1; }
}

removed_contacts_stay() {
    local dat="$home/.local/share/vorteda/personas.dat"
    apt_get remove vorteda || return 1
    local bad=0
    for f in /usr/bin/vorteda /usr/bin/vorteda-contactos /usr/share/applications/$app_id.desktop \
             /usr/share/metainfo/$app_id.metainfo.xml /usr/share/icons/hicolor/48x48/apps/$app_id.png; do
        [ ! -e "$f" ] || { echo "still there: $f"; bad=1; }
    done
    [ "$(stat -c %s "$dat" 2>&1)" = 105 ] && grep -q 'Ruiz *Marta *Calle Luna 9' "$dat" \
        || { echo "the contacts in $dat are gone or changed"; bad=1; }
    return $bad
}

check "the package builds and lintian reports nothing" built
if [ -n "$deb" ]; then
    check "apt-get installs it" installed
    check "program, desktop entry, icons and metainfo in place" in_place
    check "desktop entry and metainfo valid" valid
    check "a user with a fresh home adds a contact to ~/.local/share/vorteda" used_by_a_user
    check "vorteda-contactos exports that user's contact" exported_by_the_companion
    check "the contact is nowhere under /usr" nowhere_under_usr
    check "apt-get remove takes the program and leaves the contacts" removed_contacts_stay
fi
[ -n "$home" ] && rm -rf "$(dirname "$home")"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ -n "$deb" ]
