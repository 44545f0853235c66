# Helpers shared by the disc tests: making an image, reading its two trees.
# Sourced; expects MAKE_DISC (the script under test) in the environment.

fail() { echo "FAIL $*"; exit 1; }

# make_image WIN32_BUILD_DIR IMAGE [PAYLOAD]: make-disc.sh, quiet unless it fails.
make_image() {
    local out
    out=$(PAYLOAD=${3:-} "$MAKE_DISC" "$1" "$2" 2>&1) || fail "make-disc.sh: $out"
}

# The names of the ISO 9660 tree exactly as recorded (version ";1" and all).
iso_names() {
    xorriso -no_rc -report_about SORRY -read_fs ecma119 -ecma119_map unmapped \
        -indev "$1" -find / 2>/dev/null | sed "s/^'//; s/'\$//" | LC_ALL=C sort
}

# The names of the Joliet tree.  Were it missing, xorriso would fall back on
# the ISO 9660 tree, which is asked to read in lower case to show that.
joliet_names() {
    xorriso -no_rc -report_about SORRY -read_fs norock -ecma119_map lowercase -joliet_map unmapped \
        -indev "$1" -find / 2>/dev/null | sed "s/^'//; s/'\$//" | LC_ALL=C sort
}

# extract IMAGE DIR: the image's files, as a Windows machine would see them.
extract() {
    xorriso -no_rc -report_about SORRY -osirrox on -indev "$1" -extract / "$2" >/dev/null 2>&1 ||
        fail "cannot extract $1"
}

# A temporary directory, removed on exit even though extracted trees are read-only.
make_temp() {
    TMP=$(mktemp -d)
    trap 'chmod -R u+w "$TMP"; rm -rf "$TMP"' EXIT
}

# expect_same WHAT WANTED GOT: two texts, shown side by side when they differ.
expect_same() {
    [ "$2" = "$3" ] || fail "$1:
$(diff <(echo "$2") <(echo "$3") | sed 's/^/  /')"
    echo "ok $1"
}
