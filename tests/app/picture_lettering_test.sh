#!/bin/sh
# The picture generator letters every picture from the Czech catalogue, and
# in English, without a text that the catalogue lacks or that leaves its
# box; and it does name such texts, when a translation is too long for its
# button or missing.
set -u
src=${QUILLNET_SOURCE_DIR:?}
generator=${1:?the picture generator}
lrelease=${2:?the lrelease program}
[ -x "$lrelease" ] || { echo "SKIP: lrelease missing"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# As in the build: under the sanitizers, Qt's and fontconfig's caches that
# live as long as the process are no fault of the generator's.
export QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0

"$lrelease" -silent "$src/resources/translations/quillnet_cz.ts" -qm "$work/cz.qm" || exit 1

failed=0
# letter NAME CATALOGUE [--english]: draws every picture strictly.
letter() {
    name=$1 catalogue=$2
    shift 2
    "$generator" --strict --catalogue "$catalogue" "$@" "$work/$name" 2>"$work/$name.log"
}

for language in czech english; do
    option=
    [ $language = english ] && option=--english
    # shellcheck disable=SC2086
    if ! letter $language "$work/cz.qm" $option; then
        echo "FAIL: the $language lettering:"
        cat "$work/$language.log"
        failed=1
    fi
done

# A translation far too long for the web filter's button, and the exit
# button's title without one.
long="Kliknutím zapnete filtrování reklam, cookies, hlaviček, sledovacích skriptů, vyskakovacích oken a všeho ostatního, co vás sleduje při prohlížení webových stránek, a zase jej vypnete"
sed -e "/<source>Click to filter ads, cookies and headers<\/source>/{n;s|<translation>.*</translation>|<translation>$long</translation>|}" \
    -e '/<source>Exit Quillnet<\/source>/{n;s|<translation>.*</translation>|<translation type="unfinished"></translation>|}' \
    "$src/resources/translations/quillnet_cz.ts" >"$work/doctored.ts"
"$lrelease" -silent "$work/doctored.ts" -qm "$work/doctored.qm" || exit 1
if letter doctored "$work/doctored.qm"; then
    echo "FAIL: a doctored catalogue was lettered without complaint"
    failed=1
fi
for expected in "\"$long\" at 8 px does not fit" 'not in the catalogue: "Exit Quillnet"'; do
    if ! grep -qF "$expected" "$work/doctored.log"; then
        echo "FAIL: the generator did not say: $expected"
        cat "$work/doctored.log"
        failed=1
    fi
done

[ $failed -eq 0 ] && echo "PASS: every picture lettered, in Czech and in English"
exit $failed
