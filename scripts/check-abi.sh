#!/usr/bin/env bash
# Holds the README's compatibility promise for a built library:
#  1. abidiff against the committed baseline of the library's own minor version, both read through
#     the installed public headers only (so the private classes may change freely). Additions pass;
#     every other change fails: a removed or changed symbol, a changed size or layout of an exported
#     type, a changed vtable.
#  2. Every symbol the library exports is a member of one of its exported classes (their
#     Qt meta-object code included), or the linker's own section markers.
#
#   scripts/check-abi.sh [BUILD_DIR [LIBRARY [BASELINE]]]
#   scripts/check-abi.sh --update [BUILD_DIR [LIBRARY [BASELINE]]]   writes the baseline instead
#
# BUILD_DIR defaults to build (a RelWithDebInfo build: the comparison needs its debug information),
# LIBRARY to libItemViews.so inside it, BASELINE to abi/NAME-MAJOR.MINOR.abi from the library's
# SONAME (libItemViews.so.0.1 -> abi/ItemViews-0.1.abi).
set -euo pipefail
cd "$(dirname "$0")/.."

update=false
if [[ "${1:-}" == --update ]]; then
    update=true
    shift
fi
build_dir=${1:-build}
library=$build_dir/${2:-libItemViews.so}
soname=$(readelf -d "$library" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
name=${soname%%.so.*}
baseline=${3:-abi/${name#lib}-${soname##*.so.}.abi}

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build_dir" --prefix "$prefix" > /dev/null
headers=$(find "$prefix/include" -name zTreeItemModel.h -printf '%h\n' | head -n 1)

if $update; then
    mkdir -p "$(dirname "$baseline")"
    abidw --headers-dir "$headers" --drop-private-types --no-corpus-path --short-locs --out-file "$baseline" "$library"
    echo "wrote $baseline from $library"
    exit 0
fi

# abidiff marks only removed symbols incompatible (exit bit 8); a grown or rearranged exported type
# or a changed vtable is a plain change (bit 4), as an addition is. So additions are left out of
# the comparison, and any change that remains (bit 4 or 8), or an error (bits 1, 2), fails.
status=0
abidiff --no-added-syms --hd1 "$headers" --hd2 "$headers" "$baseline" "$library" || status=$?
if (( status != 0 )); then
    echo "check-abi: $library breaks the interface of $baseline (abidiff exit $status)" >&2
    exit 1
fi

# Symbols of the exported classes: members, vtables, type information and thunks.
classes=$(grep -rhoE 'class ITEMVIEWS_EXPORT \w+' "$headers" | awk '{ print $3 }' | paste -sd '|')
own="^(((typeinfo|typeinfo name|vtable) for |(non-)?virtual thunk to )?($classes)(::.*)?|__bss_start|_edata|_end|_init|_fini)$"
exported=$(nm -D --defined-only -C "$library" | cut -d ' ' -f 3-)
stray=$(grep -vE "$own" <<< "$exported" || true)
if [[ -n "$stray" ]]; then
    echo "check-abi: $library exports symbols outside its exported classes:" >&2
    echo "$stray" >&2
    exit 1
fi
echo "check-abi: $library keeps the interface of $baseline, additions aside;" \
    "its $(wc -l <<< "$exported") exported symbols all belong to: ${classes//|/, }"
