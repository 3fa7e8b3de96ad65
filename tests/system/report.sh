# Shell helpers for the check scripts: one line per check, and the closing
# "N passed, M failed" line that CI reads. Sourced.

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
