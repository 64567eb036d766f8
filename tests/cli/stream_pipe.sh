#!/bin/sh
# pxs733-cli stream piped into a CSV reader: rows, columns, a forced gap, the exit codes of a
# run with lost samples and of one stopped by SIGTERM.
set -u
cli="$1"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$cli" --simulate --sim-rate 1000 --sim-drop 0.05 stream --seconds 2 --format csv \
    2>"$out/err" | awk -F, -v report="$out/report" '
    /^#/ { next }
    header == "" { header = $0; columns = NF; next }
    { rows++; if (NF != columns) bad++; if ($17 == "1") gaps++ }
    END { printf "%d %d %d %d %s\n", columns, rows, bad + 0, gaps + 0, header > report }'
read -r columns rows bad gaps header <<EOF2
$(cat "$out/report")
EOF2
case "$header" in time_ms,counter,count,lta,delta,*,missed,raw,marker) ;; *) fail "header: $header" ;; esac
[ "$columns" -eq 19 ] || fail "columns: $columns"
[ "$rows" -gt 1000 ] || fail "rows: $rows"
[ "$bad" -eq 0 ] || fail "$bad rows with another number of columns"
[ "$gaps" -gt 0 ] || fail "no row marks a gap"
grep -q "samples were missed" "$out/err" || fail "no message about missed samples"

"$cli" --simulate --sim-rate 1000 --sim-drop 0.05 stream --seconds 1 >/dev/null 2>&1
[ $? -eq 4 ] || fail "exit code with missed samples is not 4"

"$cli" --simulate stream --output "$out/term.csv" 2>/dev/null &
pid=$!
sleep 1
kill -TERM $pid
wait $pid
[ $? -eq 0 ] || fail "exit code after SIGTERM is not 0"
tail -c 1 "$out/term.csv" | od -c | grep -q '\\n' || fail "the last row after SIGTERM is cut"
[ "$(grep -vc '^#' "$out/term.csv")" -gt 50 ] || fail "too few rows after SIGTERM"
echo "stream pipe: $rows rows, $gaps gaps"
