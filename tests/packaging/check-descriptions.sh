#!/bin/sh
# Checks that the package's descriptions (the Debian description in cmake/Package.cmake, the
# AppStream metadata) tell the same number of move notations as the README, which follows the
# program.
# Usage: check-descriptions.sh SOURCE_DIR
set -u
src=$1
failed=0

# The word before "notations" (the descriptions wrap their lines, so the text is joined first).
count_in() {
    tr '\n' ' ' <"$1" | grep -o '[A-Za-z]* *notations' | head -1 | sed 's/ *notations//'
}

expected=$(count_in "$src/README.md")
if [ -z "$expected" ]; then
    echo "FAILED: the README names no number of notations"
    exit 1
fi
for file in cmake/Package.cmake resources/io.github.wintermoot.Wintermoot.metainfo.xml; do
    found=$(count_in "$src/$file")
    if [ "$found" != "$expected" ]; then
        echo "FAILED: $file says \"$found notations\", the README \"$expected notations\""
        failed=1
    fi
done
[ "$failed" -ne 0 ] && exit 1
echo "all descriptions name $expected notations"
exit 0
