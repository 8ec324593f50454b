#!/usr/bin/env bash
# Counts the lines of code (comments left out) that name a modem dialect's
# flag, codes or commands, file by file, in the product, its JSON contract and
# its packaging: the places a new dialect would have to read and most likely
# change. Run from the top of the tree.
set -euo pipefail
pattern='use_gci|\bgci\b|\.gci\b|CMD_LIST_GCI|CMD_LIST_NC|"AT\+GCI|AT\*nc%|AT\+GCI[=?]'
pattern+='|expand_gci_ranges|gci_present_code|standard_rows|save_gci_choice|standard_only|\bnc\b'
git grep -nE "$pattern" -- app cli common dialog modem procedures profile serial docs/json \
    packaging ':!*.png' ':!profile/TOLVEX.INI' ':!packaging/linux/*.1' |
    grep -vE '^[^:]+:[0-9]+:\s*(//|#|\*|-)' | cut -d: -f1 | sort | uniq -c
