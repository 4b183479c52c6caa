#!/bin/sh
# Checks the desktop entry, the AppStream metadata and the file type definition with the
# freedesktop validators that are installed, and that the file type's magic matches the first
# bytes of a game saved by the program. Exits 77 (skipped) when no validator is installed.
# Usage: validate-desktop-files.sh SOURCE_DIR WINTERMOOT_CLI
set -u
src=$1
cli=$2
ran=0
failed=0

check() {
    tool=$1
    shift
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "skipped: $tool is not installed"
        return
    fi
    ran=1
    echo "$ $tool $*"
    if ! "$tool" "$@"; then
        echo "FAILED: $tool $*"
        failed=1
    fi
}

check desktop-file-validate "$src/resources/wintermoot.desktop"
check appstreamcli validate --no-net "$src/resources/io.github.wintermoot.Wintermoot.metainfo.xml"
check xmllint --noout "$src/resources/wintermoot-mime.xml"

# The magic of the file type is the saved game's header: the length 14 as four little-endian
# bytes, then "WintermootGame".
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
if "$cli" selfplay --depth 1 --max-moves 6 --seed 1 --save-after 2 "$tmp/game.wtg" >/dev/null 2>&1 \
    && [ -f "$tmp/game.wtg" ]; then
    printf '\016\000\000\000WintermootGame' >"$tmp/magic"
    if ! head -c 18 "$tmp/game.wtg" | cmp -s - "$tmp/magic"; then
        echo "FAILED: a saved game does not start with the file type's magic"
        failed=1
    fi
    if ! grep -q 'value="\\x0e\\x00\\x00\\x00WintermootGame"' "$src/resources/wintermoot-mime.xml"; then
        echo "FAILED: the file type's magic is not the saved game's header"
        failed=1
    fi
else
    echo "FAILED: could not save a game with $cli"
    failed=1
fi

[ "$failed" -ne 0 ] && exit 1
[ "$ran" -eq 0 ] && exit 77
echo "all checks passed"
exit 0
