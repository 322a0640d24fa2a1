# expect_lines.sh - the line checks the end-to-end scripts share. A script sets $output and $status
# from the program it ran, calls expect (fixed text) or expect_match (extended regular expression)
# once per line it wants, then expect_verdict, which fails with the whole output when a line is
# missing or the program failed.
failures=0
expect_with() { # expect_with GREP-KIND(F|E) TEXT
    if grep -q"$1" -- "$2" <<<"$output"; then
        echo "ok: $2"
    else
        echo "missing: $2"
        failures=$((failures + 1))
    fi
}
expect() { expect_with F "$1"; }
expect_match() { expect_with E "$1"; }
expect_verdict() { # expect_verdict WHAT-RAN
    if [[ $status -ne 0 || $failures -ne 0 ]]; then
        echo "$1 exit status $status, $failures missing lines; its output:"
        echo "$output"
        exit 1
    fi
}
