#!/usr/bin/env bash
# What goes on the disc: the names in the ISO 9660 and Joliet trees, the
# files behind them and AUTORUN.INF, for the sample disc and for a payload
# of real installers given in mixed case.
#   image-test.sh WIN32_BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/lib.sh"
build=$1
make_temp

# check_image IMAGE ISO_NAMES: the ISO 9660 tree holds exactly ISO_NAMES, the
# Joliet tree the same without versions, and AUTORUN.INF opens SETUP.EXE,
# the launcher from the build, and takes its icon.
check_image() {
    local image=$1 want=$2
    expect_same "ISO 9660 names" "$want" "$(iso_names "$image")"
    expect_same "Joliet names" "$(sed 's/;1$//; s/\.$//' <<<"$want")" "$(joliet_names "$image")"
    xorriso -no_rc -indev "$image" -pvd_info 2>/dev/null | grep -q '^Volume Id *: VUNT_DEMO$' ||
        fail "volume id is not VUNT_DEMO"
    rm -rf "$TMP/x" && extract "$image" "$TMP/x"
    expect_same "AUTORUN.INF" "$(printf '[autorun]\r\nopen=SETUP.EXE\r\nicon=SETUP.EXE,0\r')" \
        "$(cat "$TMP/x/AUTORUN.INF")"
    cmp "$build/setup.exe" "$TMP/x/SETUP.EXE" || fail "SETUP.EXE is not the launcher from the build"
}

echo "-- the sample disc"
make_image "$build" "$TMP/sample.iso"
check_image "$TMP/sample.iso" "/
/AUTORUN.INF;1
/DIRECTX
/DIRECTX/REDIST
/DIRECTX/REDIST/DIRECTX
/DIRECTX/REDIST/DIRECTX/DXSETUP.EXE;1
/SETUP.EXE;1
/Z.EXE;1"
cmp "$build/disc/z.exe" "$TMP/x/Z.EXE" || fail "Z.EXE is not the installer stand-in"
cmp "$build/disc/directx/redist/directx/dxsetup.exe" "$TMP/x/DIRECTX/REDIST/DIRECTX/DXSETUP.EXE" ||
    fail "DXSETUP.EXE is not the DirectX stand-in"

echo "-- a payload in mixed case, with its own setup.exe, a name without extension, a link, an empty directory"
p=$TMP/payload
mkdir -p "$p/DirectX/Redist/directx" "$p/Extras"
echo installer >"$p/Z.exe"
echo dxsetup >"$p/DirectX/Redist/directx/DXSetup.EXE"
echo dll >"$p/DirectX/Redist/directx/dsetup32.dll"
echo notes >"$p/ReadMe.txt"
echo licence >"$p/LICENSE"
ln -s ReadMe.txt "$p/notes_1.txt"
echo "an older launcher" >"$p/setup.exe"
make_image "$build" "$TMP/payload.iso" "$p"
check_image "$TMP/payload.iso" "/
/AUTORUN.INF;1
/DIRECTX
/DIRECTX/REDIST
/DIRECTX/REDIST/DIRECTX
/DIRECTX/REDIST/DIRECTX/DSETUP32.DLL;1
/DIRECTX/REDIST/DIRECTX/DXSETUP.EXE;1
/EXTRAS
/LICENSE.;1
/NOTES_1.TXT;1
/README.TXT;1
/SETUP.EXE;1
/Z.EXE;1"
for pair in Z.exe:Z.EXE DirectX/Redist/directx/DXSetup.EXE:DIRECTX/REDIST/DIRECTX/DXSETUP.EXE \
    LICENSE:LICENSE ReadMe.txt:NOTES_1.TXT; do
    cmp "$p/${pair%%:*}" "$TMP/x/${pair#*:}" || fail "${pair#*:} does not hold ${pair%%:*}"
done
echo "ok the files hold the payload's contents"
