#!/bin/sh
# Every text the code passes through tr(), and every text the picture
# generator letters its pictures with, has its Czech translation, and the
# committed catalogue is what the translation tool makes of the code today.
set -u
src=${QUILLNET_SOURCE_DIR:?}
lupdate=${1:?the lupdate program}
[ -x "$lupdate" ] || { echo "SKIP: lupdate missing"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

committed=$src/resources/translations/quillnet_cz.ts
cp "$committed" "$work/quillnet_cz.ts"
sources=src
[ -d "$src/resources/forms" ] && sources="$sources resources/forms"
[ -d "$src/tools/pictures" ] && sources="$sources tools/pictures"
# shellcheck disable=SC2086
(cd "$src" && "$lupdate" -silent -no-obsolete -locations none -extensions cpp,h,ui \
    $sources -ts "$work/quillnet_cz.ts") || exit 1

failed=0
if ! diff -u "$committed" "$work/quillnet_cz.ts"; then
    echo "FAIL: the catalogue is out of date: run scripts/update-translations"
    failed=1
fi
untranslated=$(grep -c 'type="unfinished"' "$work/quillnet_cz.ts")
if [ "$untranslated" -ne 0 ]; then
    echo "FAIL: $untranslated texts have no Czech translation:"
    grep -B2 'type="unfinished"' "$work/quillnet_cz.ts" | grep '<source>'
    failed=1
fi
[ $failed -eq 0 ] && echo "PASS: catalogue complete and in sync"
exit $failed
