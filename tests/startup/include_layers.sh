#!/usr/bin/env bash
# No file of a layer includes a header of a layer above it. The linker catches calls that reach
# up; this catches what it cannot see: inline code, constants and types taken from above.
# Usage: include_layers.sh <src folder>
set -euo pipefail
src=$1

# The rank of a file, by its path under src/; the frame format's files sit in BusinessLogic/
# but form the layer under the serial link. Folders above the layers (window, tool, start-up)
# have no rank: they may include anything.
rank() {
    case $1 in
    platform/* | journal/*) echo 0 ;;
    BusinessLogic/AnswerOutcome.h | BusinessLogic/ControlCharacters.h | BusinessLogic/LrcChecker.*) echo 1 ;;
    serial/CommDialogue.*) echo "" ;;
    serial/*) echo 2 ;;
    BusinessLogic/*) echo 3 ;;
    GUI/* | pump/*) echo 4 ;;
    recorder/*) echo 5 ;;
    pumpcore/* | program/*) echo 6 ;;
    remote/* | sila/*) echo 7 ;;
    service/*) echo 8 ;;
    *) echo "" ;;
    esac
}

status=0
cd "$src"
while IFS= read -r file; do
    own=$(rank "$file")
    [ -n "$own" ] || continue
    while IFS= read -r included; do
        theirs=$(rank "$included")
        if [ -z "$theirs" ] && [ -e "$included" ]; then
            echo "$file includes $included, which belongs to no layer below the window"
            status=1
        elif [ -n "$theirs" ] && [ "$theirs" -gt "$own" ]; then
            echo "$file (layer $own) includes $included (layer $theirs)"
            status=1
        fi
    done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done < <(find . -name '*.h' -o -name '*.cpp' | sed 's|^\./||' | sort)
[ $status -eq 0 ] && echo "no include reaches up a layer"
exit $status
