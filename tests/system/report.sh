# The system checks' report: one line per check, the closing "N passed,
# M failed" line that CI reads, and what more than one check looks at.
# Sourced, after scripts/lib.sh.

passed=0
failed=0

pass() {
    passed=$((passed + 1))
    echo "ok - $1"
}

fail() {
    failed=$((failed + 1))
    echo "FAIL - $1"
}

# Prints the closing line and returns non-zero on any failure.
report() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}

# check_readme_links FOLDER WHAT: every picture README.md in FOLDER links
# (docs/...) lies beside it, as a reader without the source tree needs.
check_readme_links() {
    local folder=$1 what=$2 links missing="" link
    links=$(grep -o '](docs/[^)]*)' "$folder/README.md" 2>/dev/null | sed 's/^](//; s/)$//' | sort -u)
    for link in $links; do
        [ -f "$folder/$link" ] || missing+=" $link"
    done
    if [ -n "$links" ] && [ -z "$missing" ]; then
        pass "$what README finds the $(wc -w <<<"$links") files it links beside it"
    else
        fail "$what README links files that are not beside it:${missing:- no links found}"
    fi
}
