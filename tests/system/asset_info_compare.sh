# Another build's asset_info against the Linux build's, file by file: stdout,
# stderr, exit status and the decoded picture, byte for byte. Sourced after
# tests/system/report.sh from the source root; the caller sets $linux (the
# Linux build folder), $testdata and $work (a scratch folder) and defines
#   other_asset_info MODE NAME [--ppm OUT]   runs the other build with these
#   other_text                               filters its stdout and stderr
#                                            (stdin to stdout) before comparing

# compare_asset_info FOLDER NAME: both builds run from FOLDER on NAME, a
# relative name, so the names they print agree; `model` for *.3ds in any
# case, `texture --ppm` for the rest. On a difference it says what differs in
# asset_info_failures and shows the start of the diff on stderr.
compare_asset_info() {
    local folder=$1 name=$2 mode=texture
    case "${name,,}" in *.3ds) mode=model ;; esac
    local out=$work/info ppm_args=()
    rm -f "$out".*
    [ "$mode" = texture ] && ppm_args=(--ppm "$out.linux.ppm")
    (cd "$folder" && "$linux/tools/asset_info" "$mode" "$name" "${ppm_args[@]}") \
        >"$out.linux.out" 2>"$out.linux.err"
    local linux_status=$?
    [ "$mode" = texture ] && ppm_args=(--ppm "$out.other.ppm")
    (cd "$folder" && other_asset_info "$mode" "$name" "${ppm_args[@]}") \
        >"$out.other.out" 2>"$out.other.err"
    local other_status=$?
    local differs=""
    [ "$linux_status" -eq "$other_status" ] || differs+=" status $other_status, not $linux_status;"
    cmp -s "$out.linux.out" <(other_text <"$out.other.out") || differs+=" stdout;"
    cmp -s "$out.linux.err" <(other_text <"$out.other.err") || differs+=" stderr;"
    if [ -f "$out.linux.ppm" ] || [ -f "$out.other.ppm" ]; then
        cmp -s "$out.linux.ppm" "$out.other.ppm" || differs+=" picture;"
    fi
    if [ -n "$differs" ]; then
        asset_info_failures+=("$folder/$name:$differs")
        diff <(cat "$out.linux.out" "$out.linux.err") \
             <(other_text <"$out.other.out"; other_text <"$out.other.err") | head -n 6 >&2
        return 1
    fi
}

# compare_asset_info_on_test_files WHAT: compare_asset_info on every file of
# $testdata, fuzz/regressions/ and the seeds the Linux build's make_seeds
# writes: a file of every kind the writer makes, models whose coordinates
# are NaN, infinite, huge or subnormal, and textures at the decoders' limits
# (a missing folder is skipped, with a line saying so); then one pass or
# fail line for WHAT; no file compared fails.
compare_asset_info_on_test_files() {
    local what=$1 folder name files=0 seeds=$work/seeds
    asset_info_failures=()
    mkdir -p "$seeds/3ds" "$seeds/bmp" "$seeds/tga" "$seeds/extremes"
    "$linux/fuzz/make_seeds" "$seeds/3ds" "$seeds/bmp" "$seeds/tga" "$seeds/extremes" ||
        fail "make_seeds wrote no seeds"
    for folder in "$testdata" "$PWD/fuzz/regressions" "$seeds"; do
        if [ ! -d "$folder" ]; then
            echo "skipped: $folder is missing"
            continue
        fi
        while IFS= read -r -d '' name; do
            compare_asset_info "$folder" "${name#./}"
            files=$((files + 1))
        done < <(cd "$folder" && find . -type f -print0 | sort -z)
    done
    if [ "${#asset_info_failures[@]}" -eq 0 ] && [ "$files" -gt 0 ]; then
        pass "$what matches the Linux build on $files files"
    else
        fail "$what differs from the Linux build on ${#asset_info_failures[@]} of $files files"
        printf '    %s\n' "${asset_info_failures[@]}"
    fi
}

# compare_asset_info_past_2gib WHAT: a model whose mesh lies past 2 GiB into
# its file (written sparse by the Linux build's test_files), where offsets
# that fit a 32-bit long would lose it.
compare_asset_info_past_2gib() {
    local what=$1 big=$work/big/mesh-past-2gib.3ds
    asset_info_failures=()
    mkdir -p "$work/big"
    if ! "$linux/tests/system/test_files" sparse-model "$big" || [ "$(stat -c %s "$big")" -le $((1 << 31)) ]; then
        fail "cannot write a sparse model past 2 GiB"
    elif compare_asset_info "$work/big" "$(basename "$big")" &&
         [ "$(grep -c '^Koordynaty: ' "$work/info.linux.out")" -eq 3 ]; then
        pass "$what reads a mesh lying past 2 GiB into its file as the Linux build does"
    else
        fail "$what on a mesh past 2 GiB: ${asset_info_failures[-1]:-the Linux build read no mesh}"
    fi
    rm -f "$big"
}
