#!/usr/bin/env bash
# Regenerates the seed corpora in tests/fuzz/corpus with the program's own writers: builds
# fuzz_make_seeds and wintermoot-langtool in the fuzz build folder (BUILD, default build-fuzz,
# configured by `make fuzz`), runs the generator, and compiles the shipped language sources.
# Files already in the corpora (crash inputs kept as regressions) are left alone.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${BUILD:-build-fuzz}
corpus=tests/fuzz/corpus
cmake --build "$build" -j "${JOBS:-2}" --target fuzz_make_seeds wintermoot-langtool >/dev/null
export ASAN_OPTIONS=detect_leaks=0
"$build"/bin/fuzz_make_seeds "$corpus" resources/Themes.ini
mkdir -p "$corpus/language"
for source in resources/lang/*.txt; do
    name=$(basename "$source" .txt)
    "$build"/bin/wintermoot-langtool compile "$source" "$corpus/language/$name.lang"
done
echo "Seeds written to $corpus:"
for dir in "$corpus"/*/; do
    printf '  %-10s %3d files\n' "$(basename "$dir")" "$(find "$dir" -type f | wc -l)"
done
