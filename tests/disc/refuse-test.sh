#!/usr/bin/env bash
# Payloads make-disc.sh refuses: each ends it with a message naming what is
# wrong, and leaves no image (nor a part of one, nor one made before) behind.
#   refuse-test.sh WIN32_BUILD_DIR
set -euo pipefail
source "$(dirname "$0")/lib.sh"
build=$(cd "$1" && pwd)
make_temp

# A good payload, which each case then spoils.
good_payload() {
    rm -rf "$TMP/p" && mkdir -p "$TMP/p/directx/redist/directx"
    echo installer >"$TMP/p/z.exe"
    echo dxsetup >"$TMP/p/directx/redist/directx/dxsetup.exe"
}

# case | how the payload is spoilt | what the message must say
cases=(
    "no installer|rm p/z.exe|missing z.exe"
    "no DirectX setup|rm p/directx/redist/directx/dxsetup.exe|missing directx/redist/directx/dxsetup.exe"
    "DirectX setup elsewhere|mv p/directx/redist/directx/dxsetup.exe p/directx/|missing directx/redist/directx/dxsetup.exe"
    "installer is a directory|rm p/z.exe; mkdir p/Z.EXE|missing z.exe"
    "empty payload|rm -r p/z.exe p/directx|missing z.exe"
    "long name|touch p/installer.exe|'installer.exe': not an 8.3 name"
    "long extension|touch p/readme.html|'readme.html': not an 8.3 name"
    "two dots|touch p/a.b.c|'a.b.c': not an 8.3 name"
    "hyphen|touch p/read-me.txt|'read-me.txt': not an 8.3 name"
    "space|touch 'p/read me.txt'|'read me.txt': not an 8.3 name"
    "dot in a directory|mkdir p/dir.x|'dir.x': not an 8.3 directory name"
    "long directory|mkdir p/directx/redistributable|'directx/redistributable': not an 8.3 directory name"
    "nine levels|mkdir -p p/a/b/c/d/e/f/g/h|'a/b/c/d/e/f/g/h': deeper than"
    "names alike but for case|touch p/Z.exe|differ only in case"
    "broken link|ln -s nowhere p/gone.txt|'gone.txt': neither a file nor a directory"
)
cd "$TMP"
for c in "${cases[@]}"; do
    IFS='|' read -r name spoil message <<<"$c"
    good_payload
    eval "$spoil"
    mkdir -p out && rm -f out/*
    if out=$(PAYLOAD=p "$MAKE_DISC" "$build" out/disc.iso 2>&1); then
        fail "$name: accepted"
    fi
    grep -qF -- "$message" <<<"$out" || fail "$name: no \"$message\" in: $out"
    [ -z "$(ls out)" ] || fail "$name: left $(ls out)"
    echo "ok $name"
done

echo "-- PAYLOAD that is not a directory"
if out=$(PAYLOAD=$TMP/none "$MAKE_DISC" "$build" out/disc.iso 2>&1); then fail "accepted"; fi
grep -qF "is not a directory" <<<"$out" || fail "no message: $out"
[ -z "$(ls out)" ] || fail "left $(ls out)"
echo "ok refused"

echo "-- a refusal removes the image made before, which could be taken for this run's"
good_payload
make_image "$build" out/disc.iso p
rm p/z.exe
if out=$(PAYLOAD=p "$MAKE_DISC" "$build" out/disc.iso 2>&1); then fail "accepted"; fi
grep -qF "removed the earlier image out/disc.iso" <<<"$out" || fail "not said: $out"
[ -z "$(ls out)" ] || fail "left $(ls out)"
echo "ok removed"

echo "-- a write that fails half way leaves no image"
mkdir -p stub && cat >stub/xorriso <<'STUB'
#!/bin/bash
# Writes a part of an image to the -outdev path, then fails.
while [ $# -gt 0 ]; do [ "$1" = -outdev ] && echo partial >"$2"; shift; done
exit 5
STUB
chmod +x stub/xorriso
good_payload
rm -f out/*
if out=$(PATH=$TMP/stub:$PATH PAYLOAD=p "$MAKE_DISC" "$build" out/disc.iso 2>&1); then fail "accepted"; fi
grep -qF "xorriso failed" <<<"$out" || fail "no message: $out"
[ -z "$(ls out)" ] || fail "left $(ls out)"
echo "ok nothing left"
