# Shell helpers for the check scripts: one line per check, the closing
# "N passed, M failed" line that CI reads, and what more than one check
# waits for or looks at. Sourced.

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

# ended_within PID SECONDS: waits for the process to end, at most SECONDS;
# true if it did.
ended_within() {
    local pid=$1 deadline=$((SECONDS + $2))
    while kill -0 "$pid" 2>/dev/null; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.05
    done
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
