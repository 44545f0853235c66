#!/usr/bin/env bash
# Makes the demo disc's image: ISO 9660 (level 1, 8.3 names) with Joliet,
# with the volume label the disc description names (VUNT_DEMO by default),
# holding
#   SETUP.EXE    the launcher from the win32 build
#   AUTORUN.INF  opens SETUP.EXE and shows its icon
#   the payload  the installer and the DirectX setup the description names
#                (Z.EXE, DIRECTX/REDIST/DIRECTX/DXSETUP.EXE) and anything else
# Every name goes on the disc in upper case in both trees; a payload name
# that is not a valid 8.3 name is refused, never shortened.
#
#   scripts/make-disc.sh WIN32_BUILD_DIR [IMAGE]      (IMAGE: WIN32_BUILD_DIR/disc.iso)
#   PAYLOAD=dir scripts/make-disc.sh WIN32_BUILD_DIR  (the real installers)
#
# Without PAYLOAD the payload is the sample disc the win32 build stages in
# WIN32_BUILD_DIR/disc.  A payload's own setup.exe and autorun.inf at its top
# are left out: ours take their place.  On any refusal or failure no image is
# left at IMAGE, not even one made before, so none is taken for this run's.
set -euo pipefail
export LC_ALL=C   # upper case and [A-Z] in plain ASCII

die() { echo "make-disc: $*" >&2; exit 1; }

[ $# -ge 1 ] && [ $# -le 2 ] || die "usage: [PAYLOAD=dir] $0 WIN32_BUILD_DIR [IMAGE]"
build=$1
image=${2:-$build/disc.iso}
work=
partial=$image.partial.$$

# Whenever the script fails, nothing it made stays, and no older image either.
cleanup() {
    local status=$?
    [ -z "$work" ] || rm -rf "$work"
    rm -f "$partial"
    if [ $status -ne 0 ] && [ -e "$image" ]; then
        rm -f "$image" && echo "make-disc: removed the earlier image $image" >&2
    fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP
launcher=$build/setup.exe
[ -f "$launcher" ] || die "no launcher at $launcher: build the win32 preset first"
# VOLUME, DIRECTX_SETUP_PATH and INSTALLER_PATH, from the disc description
# the launcher was built from.
described=$build/described/disc.env
[ -f "$described" ] || die "no $described: build the win32 preset first"
# shellcheck source=/dev/null
source "$described"

if [ -n "${PAYLOAD:-}" ]; then
    payload=$PAYLOAD
    [ -d "$payload" ] || die "PAYLOAD=$payload is not a directory"
else
    payload=$build/disc
    [ -d "$payload" ] || die "no sample disc at $payload: build the win32 preset first"
fi

# The payload's files and directories, as paths relative to its top, with
# symbolic links followed; names are matched without regard to case.
files=()
dirs=()
declare -A seen=()   # upper-case path -> path in the payload
problems=()
while IFS= read -r -d '' rel; do
    upper=${rel^^}
    case "$upper" in SETUP.EXE | AUTORUN.INF)
        [ -z "${PAYLOAD:-}" ] ||
            echo "make-disc: leaving out $payload/$rel: the disc's own $upper takes its place" >&2
        continue ;;
    esac
    if [ -n "${seen[$upper]:-}" ]; then
        problems+=("'${seen[$upper]}' and '$rel' differ only in case")
        continue
    fi
    seen[$upper]=$rel
    name=${upper##*/}
    slashes=${upper//[^\/]/}
    if [ -d "$payload/$rel" ]; then
        dirs+=("$rel")
        [[ $name =~ ^[A-Z0-9_]{1,8}$ ]] ||
            problems+=("directory '$rel': not an 8.3 directory name (1 to 8 of A-Z 0-9 _, no dot)")
        [ ${#slashes} -lt 7 ] || problems+=("directory '$rel': deeper than ISO 9660's eight levels")
    elif [ -f "$payload/$rel" ]; then
        files+=("$rel")
        [[ $name =~ ^[A-Z0-9_]{1,8}(\.[A-Z0-9_]{1,3})?$ ]] ||
            problems+=("file '$rel': not an 8.3 name (1 to 8 of A-Z 0-9 _, then optionally '.' and 1 to 3 of them)")
    else
        problems+=("'$rel': neither a file nor a directory")
    fi
done < <(find -L "$payload" -mindepth 1 -printf '%P\0' | sort -z)

# The two programs the launcher starts (any case will do).
for need in "${INSTALLER_PATH^^}|the installer" "${DIRECTX_SETUP_PATH^^}|the DirectX setup"; do
    path=${need%%|*}
    if [ -z "${seen[$path]:-}" ] || [ ! -f "$payload/${seen[$path]}" ]; then
        problems+=("missing ${path,,}, ${need#*|}")
    fi
done
if [ ${#problems[@]} -gt 0 ]; then
    echo "make-disc: refusing the payload $payload (names match in any case); no image made:" >&2
    printf '  %s\n' "${problems[@]}" >&2
    exit 1
fi

# The image is written beside its final place and moved there only once it
# is complete and its names have been read back.
work=$(mktemp -d)
mkdir -p "$(dirname "$image")"

printf '[autorun]\r\nopen=SETUP.EXE\r\nicon=SETUP.EXE,0\r\n' >"$work/AUTORUN.INF"

args=(-map "$launcher" /SETUP.EXE -map "$work/AUTORUN.INF" /AUTORUN.INF)
wanted=(/ /SETUP.EXE /AUTORUN.INF)
for rel in "${dirs[@]}"; do
    args+=(-mkdir "/${rel^^}" --)
    wanted+=("/${rel^^}")
done
for rel in "${files[@]}"; do
    args+=(-map "$payload/$rel" "/${rel^^}")
    wanted+=("/${rel^^}")
done

# Level 1 keeps every ISO 9660 name 8.3 (with its version ";1"); no Rock
# Ridge, which Windows does not read; Joliet gets the same upper-case names.
xorriso -no_rc -report_about SORRY -return_with SORRY 32 -abort_on FAILURE \
    -outdev "$partial" -volid "$VOLUME" -joliet on -rockridge off \
    -compliance iso_9660_level=1 -follow link "${args[@]}" -commit \
    >"$work/xorriso.log" 2>&1 || { cat "$work/xorriso.log" >&2; die "xorriso failed"; }

# Read the plain ISO 9660 names back: they must be exactly the ones given.
got=$(xorriso -no_rc -report_about SORRY -read_fs ecma119 -indev "$partial" -find / 2>/dev/null |
    sed "s/^'//; s/'\$//" | sort)
want=$(printf '%s\n' "${wanted[@]}" | sort)
[ "$got" = "$want" ] || die "the image's names differ from the payload's:
$(diff <(echo "$want") <(echo "$got") || true)"

mv -f "$partial" "$image"
size=$(stat -c %s "$image")
echo "Disc image: $image ($size bytes, $(numfmt --to=iec-i --suffix=B "$size"))"
