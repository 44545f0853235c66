#!/usr/bin/env bash
# Bad disc descriptions are refused before anything is built: each case
# below changes one thing in the example description, and cmake/disc.cmake
# must stop with a message that names the field and says what is wrong,
# leaving nothing written.  The example itself and the default must pass.
#
#   tests/disc/descriptions.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
EXAMPLE=examples/orbital/disc.json
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
passed=0

# check NAME SED-EXPRESSION EXPECTED-MESSAGE: the example with the sed
# expression applied must be refused with the message.
check() {
    local name=$1 change=$2 expected=$3 out=$work/$1 got
    mkdir -p "$out"
    sed -e "$change" "$EXAMPLE" >"$out/disc.json"
    cp examples/orbital/icon.png "$out/" 2>/dev/null || true
    [ ! -f "$work/small.png" ] || cp "$work/small.png" "$out/"
    if got=$(cmake -DDISC="$out/disc.json" -DOUT="$out/made" -P cmake/disc.cmake 2>&1); then
        echo "FAIL $name: accepted"
        failed=$((failed + 1))
        return
    fi
    got=$(tr '\n' ' ' <<<"$got" | tr -s ' ')
    if [[ "$got" != *"$expected"* ]]; then
        echo "FAIL $name: said: $got"
        echo "     wanted: $expected"
        failed=$((failed + 1))
    elif [ -e "$out/made/disc.h" ] || [ -e "$out/made/setup.rc" ]; then
        echo "FAIL $name: refused, but left files behind"
        failed=$((failed + 1))
    else
        echo "ok   $name: ${got#*disc.json: }" | sed 's/ Call Stack.*//' 
        passed=$((passed + 1))
    fi
}

convert -size 16x16 xc:red "$work/small.png"

check unknown-field      's/^{$/{ "colour": "red",/' 'colour: unknown field'
check missing-field      '/"volume"/d; s/"icon.png",/"icon.png"/' 'volume: missing'
check wrong-type         's/"update_switch": "\/REFRESH"/"update_switch": 5/' 'update_switch: must be a string, not NUMBER'
check two-buttons        's/"&Graphics drivers", //' 'buttons: must hold three strings, not 2'
check not-cp1252         's/the demo"/the demo →"/' 'menu_caption: holds a character that the Windows-1252 code page cannot hold'
check text-too-long      's/"Leave without installing anything."/"Leave without installing anything at all, now or at any later time."/' 'texts[2]: is 67 characters long, more than the 50'
check button-too-long    's/"&Quit"/"\&Quit this menu and the whole demo"/' 'buttons[2]: is 34 characters long'
check no-mnemonic        's/"&Quit"/"Quit"/' 'buttons[2]: "Quit" must mark exactly one letter or digit with & as its mnemonic'
check same-mnemonic      's/"&Quit"/"\&Graphics off"/' 'buttons[2]: the mnemonic G is already another button'"'"'s'
check refusal-string     's/NT %d.%d./NT %s./' 'refusal: "%s" is not %d'
check refusal-one-number 's/NT %d.%d./NT %d./' 'refusal: has 1 %d, not the two'
check refusal-three      's/NT %d.%d./NT %d.%d.%d./' 'refusal: has 3 %d, not the two'
check refusal-long-int   's/NT %d.%d./NT %ld.%d./' 'refusal: "%l" is not %d'
check climbs-out         's/"install\\\\og_setup.exe"/"..\\\\og_setup.exe"/' 'installer: "..\og_setup.exe": ".." is not a directory name'
check drive              's/"install\\\\og_setup.exe"/"C:\\\\og_setup.exe"/' 'installer: "C:\og_setup.exe" must be a path relative to the top of the disc'
check leading-backslash  's/"drivers\\\\gfx"/"\\\\drivers\\\\gfx"/' 'directx_dir: "\drivers\gfx" must be a path relative to the top of the disc'
check not-8.3            's/"gfxsetup.exe"/"graphicssetup.exe"/' 'directx_setup: is 17 characters long'
check not-8.3-name       's/"install\\\\og_setup.exe"/"install\\\\og-setup.exe"/' 'installer: "install\og-setup.exe": "og-setup.exe" is not an 8.3 file name'
check empty-key          's/"SOFTWARE\\\\Brightfield\\\\Orbital Gardens\\\\2.1"/""/' 'product_key: is empty'
check key-double-slash   's/Brightfield\\\\Orbital/Brightfield\\\\\\\\Orbital/' 'product_key: "SOFTWARE\Brightfield\\Orbital Gardens\2.1" is not a key under HKEY_LOCAL_MACHINE'
check key-with-root      's/"SOFTWARE\\\\Brightfield/"HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Brightfield/' 'is not a key under HKEY_LOCAL_MACHINE'
check volume-lower-case  's/"ORBITAL_DEMO"/"Orbital demo"/' 'volume: "Orbital demo" is not an ISO 9660 volume label'
check volume-too-long    's/"ORBITAL_DEMO"/"ORBITAL_GARDENS_DEMONSTRATION_DISC"/' 'volume: is 34 characters long'
check icon-size          's/"icon.png"/"small.png"/' 'icon: '
check icon-size-message  's/"icon.png"/"small.png"/' 'is 16x16 pixels, not 32x32'

# A PNG in colours of its own is accepted, with a warning that names the
# pixels that changed to fit the standard 16 colours.
mkdir -p "$work/colours"
sed 's/"icon.png"/"colours.png"/' "$EXAMPLE" >"$work/colours/disc.json"
convert -size 32x32 xc:'#3070C0' "$work/colours/colours.png"
got=$(cmake -DDISC="$work/colours/disc.json" -DOUT="$work/colours/made" -P cmake/disc.cmake 2>&1 | tr '\n' ' ' | tr -s ' ')
if [[ "$got" == *"icon: 1024 pixels changed colour to fit the standard 16 colours"* ]] && [ -f "$work/colours/made/disc.h" ]; then
    echo "ok   a PNG in other colours: accepted with a warning"
    passed=$((passed + 1))
else
    echo "FAIL a PNG in other colours: $got"
    failed=$((failed + 1))
fi

# The example and the default are accepted.
for good in "$EXAMPLE" resources/disc.json; do
    if cmake -DDISC="$good" -DOUT="$work/good" -P cmake/disc.cmake >/dev/null 2>&1 && [ -f "$work/good/disc.h" ]; then
        echo "ok   $good accepted"
        passed=$((passed + 1))
    else
        echo "FAIL $good refused"
        failed=$((failed + 1))
    fi
done
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
