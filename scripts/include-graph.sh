#!/bin/sh
# Prints which folders of src/ include which others, one "from -> to (#include lines)" line
# per pair, and fails when an include runs against the layering, top to bottom:
#   app
#   elements, params, bases   (the panes: none includes another, none includes app)
#   panes                     (what the panes share: the host interface, layout helpers)
#   widgets, dbaware          (dbaware may include widgets)
#   metafile, platform
#   storage
# Usage: scripts/include-graph.sh [SRC_DIR]
src=${1:-$(dirname "$0")/../src}
cd "$src" || exit 2

grep -rHo '^#include "[a-z_]*/' --include='*.h' --include='*.cpp' . |
    sed -E 's#^\./([a-z_]+)/.*:\#include "([a-z_]+)/$#\1 \2#' |
    awk '$1 != $2' | sort | uniq -c |
    awk '
    BEGIN {
        layer["app"] = 6
        layer["elements"] = 5; layer["params"] = 5; layer["bases"] = 5
        layer["panes"] = 4
        layer["widgets"] = 3; layer["dbaware"] = 3
        layer["metafile"] = 2; layer["platform"] = 2
        layer["storage"] = 1
    }
    {
        count = $1; from = $2; to = $3
        ok = layer[to] < layer[from] || (from == "dbaware" && to == "widgets")
        printf "%s -> %s (%d)%s\n", from, to, count, ok ? "" : "   <-- against the layering"
        if (!ok)
            bad = 1
    }
    END { exit bad }'
