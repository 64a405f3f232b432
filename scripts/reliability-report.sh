#!/usr/bin/env bash
# Runs the reliability tests and the fuzzers and writes docs/reliability.md from their results.
# Usage: scripts/reliability-report.sh [SECONDS_PER_FUZZER]
#        scripts/reliability-report.sh --pages
# Builds what is missing in build-asan (engine-free tests, sanitizers on) and build-fuzz; the page
# tests on the real engine run when build/ holds tst_pageabuse and tst_hostilepages. With --pages
# only the hostile-pages table is renewed, from build/ alone (no sanitizer or fuzz builds).
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-45}
asan=${KOVALIS_ASAN_DIR:-$here/build-asan}
fuzz=${KOVALIS_FUZZ_DIR:-$here/build-fuzz}
engine=${KOVALIS_BUILD_DIR:-$here/build}
out=$here/docs/reliability.md
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
hostile=$engine/tests/reliability/tst_hostilepages

# What each test function of tst_hostilepages has the page do, and what must hold.
describe() {
    case $1 in
        download_staysInTheDownloadFolder) echo "names its download to leave the download folder, unasked | proposed in the download folder under a clean name, asked naming the site, nothing else written" ;;
        popup_needsAClick) echo "opens windows | none without a click; the status bar names the site; one button allows it" ;;
        pageBox_isOurs) echo "puts up alert, confirm or prompt | our box, titled with the host, the page's text plain" ;;
        pageBox_pageThatKeepsAskingCanBeStopped) echo "asks 100 times in a loop | the second box offers to stop the page's boxes" ;;
        pageBox_beforeLeaving) echo "asks before it is left | our box; staying keeps the page" ;;
        pageBox_unattended) echo "puts up a box with nobody at the screen | answered at once, no box shown" ;;
        fullScreen_namesTheSiteAndTheWayOut) echo "goes full screen | a notice names the site and Esc" ;;
        shownAddress_hasNoBidiOrFormatCharacters) echo "hides its address behind a bidi override | the override shown percent-encoded" ;;
        login_showsWhoAsks) echo "asks for a login with a realm that reads like ours | host shown, realm quoted as the site's words; none for another site's frame" ;;
        boxes_showPageTextAsPlainText) echo "has its markup put in one of our boxes | shown as plain text" ;;
        favorite_titledLikeTheHomepage) echo "is titled \"主页\" and added to the favorites | the homepage file is not made" ;;
        localFiles_areOutOfReach) echo "reaches for file:// (held already) | refused" ;;
        permission_isRememberedPerSite) echo "asks for a permission, from two sites (held already) | asked once per site" ;;
        profileFolder_isTheUsersOnly) echo "(held already) | the profile folder has no group or other rights" ;;
        *) echo "$1 | " ;;
    esac
}

hostile_table() {
    echo "## Hostile pages"
    echo
    echo "\`tst_hostilepages\` on the real engine ($(grep -m1 -o 'Qt [0-9.]*' "$work/tst_hostilepages.txt" || echo Qt),"
    echo "offscreen), each page served by the tests' loopback server. A row is one data row; XFAIL is a known"
    echo "fault of that engine, named in the test's output, which fails the test the day it is gone."
    echo
    echo "| The page | Case | What must hold | Result |"
    echo "|---|---|---|---|"
    sed -n -E 's/^(PASS|FAIL!|SKIP|XFAIL|XPASS) *: *[A-Za-z_]+::([A-Za-z_]+)\(([^)]*)\)( .*)?$/\1\t\2\t\3/p' "$work/tst_hostilepages.txt" |
        while IFS=$'\t' read -r result func row; do
            case $func in initTestCase | cleanupTestCase) continue ;; esac
            # An expected failure ends its row; QtTest still reports the row as passed after it.
            [ "$result" = PASS ] && [ "$func($row)" = "${xfailed:-}" ] && continue
            [ "$result" = XFAIL ] && xfailed="$func($row)"
            IFS='|' read -r does holds <<<"$(describe "$func")"
            echo "| ${does% } | ${row:-—} | ${holds# } | $result |"
        done
}

export QT_QPA_PLATFORM=offscreen KOVALIS_UNATTENDED=1 LC_ALL=C.UTF-8 QTWEBENGINE_DISABLE_SANDBOX=1
export QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu

if [ "${1:-}" = "--pages" ]; then
    [ -x "$hostile" ] || { echo "no $hostile: build first" >&2; exit 1; }
    "$hostile" >"$work/tst_hostilepages.txt" 2>&1
    failed=$?
    hostile_table >"$work/table.md"
    # The section is replaced in place, or put before "Not covered here".
    awk -v table="$work/table.md" '
        function put() { while ((getline line < table) > 0) print line; print ""; done = 1 }
        /^## Hostile pages/ { put(); skip = 1; next }
        skip && /^## / { skip = 0 }
        !done && /^## Not covered here/ { put() }
        !skip { print }
    ' "$out" >"$work/out.md" && mv "$work/out.md" "$out"
    grep -h -E '^(Totals|FAIL)' "$work/tst_hostilepages.txt"
    echo "wrote $out"
    exit $failed
fi

cmake -S "$here" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKOVALIS_WITH_ENGINE=OFF -DKOVALIS_SANITIZE=ON >/dev/null
cmake --build "$asan" --target tst_fulldisk tst_datafiles tst_handoffload -j"$(nproc)" >/dev/null || exit 1
cmake -S "$here" -B "$fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DKOVALIS_WITH_ENGINE=OFF -DKOVALIS_BUILD_TESTS=OFF -DKOVALIS_FUZZ=ON >/dev/null
cmake --build "$fuzz" --target fuzzers -j"$(nproc)" >/dev/null || exit 1

tests=("$asan/tests/reliability/tst_fulldisk" "$asan/tests/reliability/tst_datafiles"
       "$asan/tests/reliability/tst_handoffload")
[ -x "$engine/tests/reliability/tst_pageabuse" ] && tests+=("$engine/tests/reliability/tst_pageabuse")
failed=0
for t in "${tests[@]}"; do
    "$t" >"$work/$(basename "$t").txt" 2>&1 || failed=1
done
[ -x "$hostile" ] && { "$hostile" >"$work/tst_hostilepages.txt" 2>&1 || failed=1; }
"$here/scripts/fuzz.sh" "$fuzz" "$seconds" "$work/fuzz" >"$work/fuzz.txt" || failed=1

{
    echo "# Reliability"
    echo
    echo "What was tried against Kovalis's readers of outside input, its data files and its hand-off"
    echo "channel, and what held. Written by \`scripts/reliability-report.sh\` on $(date -u '+%Y-%m-%d %H:%M UTC');"
    echo "run it again to renew every number below."
    echo
    echo "## Faults and hostile input"
    echo
    echo "Engine-free tests ran under AddressSanitizer and UndefinedBehaviorSanitizer (\`build-asan\`)."
    echo "A row is one data row of a QtTest function; PASS means the program held (clear Failure or passed"
    echo "over, no file changed, no stray temporary file, event loop responsive)."
    echo
    echo "| Test | Case | Result |"
    echo "|---|---|---|"
    for t in "${tests[@]}"; do
        name=$(basename "$t")
        sed -n -E 's/^(PASS|FAIL!|SKIP|XFAIL|XPASS) *: *[A-Za-z_]+::([A-Za-z_]+)\(([^)]*)\)( .*)?$/\1\t\2\t\3/p' "$work/$name.txt" |
            grep -v -E '\t(initTestCase|cleanupTestCase)\t' |
            while IFS=$'\t' read -r result func row; do
                [ -n "$row" ] && row=" — $row"
                echo "| $name | $func$row | $result |"
            done
    done
    echo
    if [ -x "$hostile" ]; then
        hostile_table
        echo
    fi
    echo "## Fuzzers"
    echo
    echo "libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer, ${seconds} s each, starting from"
    echo "the seeds in \`fuzz/corpus/<name>/\`. Each checks invariants besides crashes (see the source)."
    echo
    echo "| Fuzzer | Reads | Seeds | Runs | Seconds | New inputs kept | Result |"
    echo "|---|---|---|---|---|---|---|"
    while read -r _ name runs secs fresh result; do
        case $name in
            linkfile) reads="LinkFile::read on a file of the bytes; write/read round trip" ;;
            searchengines) reads="SearchEngineFile::parse of decoded bytes; append/load round trip" ;;
            textcodec) reads="TextCodec::decode, Lines::split, GB18030 round trip" ;;
            favoritename) reads="FavoritesStore::cleanName and addFavorite with the bytes as caption" ;;
            handoff) reads="SingleInstance's reading of one client's bytes over a local socket" ;;
            commandline) reads="CommandLine::withoutQuotes, makeAbsoluteIfExistingFile, AddressFixup::toUrl" ;;
            *) reads="" ;;
        esac
        nseeds=$(ls "$here/fuzz/corpus/$name" | wc -l)
        result=${result#result=}
        echo "| fuzz_$name | $reads | $nseeds | ${runs#runs=} | ${secs#seconds=} | ${fresh#new_inputs=} | ${result%% *} |"
    done < <(grep '^fuzz ' "$work/fuzz.txt")
    if grep -q 'result=CRASH' "$work/fuzz.txt"; then
        echo
        echo "What the fuzzers that stopped found (\`scripts/fuzz.sh BUILD_DIR\` keeps the crashing input):"
        echo
        awk '/^fuzz /{name=$2} /^    /{sub(/^ +/, ""); print "- fuzz_" name ": `" $0 "`"}' "$work/fuzz.txt"
    fi
    echo
    echo "## Not covered here"
    echo
    echo "- Pages on the real engine (\`tst_pageabuse\`, \`tst_hostilepages\`) appear above only when \`build/\`"
    echo "  holds the engine build."
    echo "- A file from elsewhere whose GB18030 bytes also happen to be valid UTF-8 is read as UTF-8: the"
    echo "  encoding rule cannot tell the two apart. Kovalis writes such text as UTF-8 so its own files read"
    echo "  back as written; the round-trip fuzzers pass such inputs over."
} >"$out"
cat "$work/fuzz.txt"
grep -h -E '^(Totals|FAIL)' "$work"/tst_*.txt
echo "wrote $out"
exit $failed
