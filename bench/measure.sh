# Shared by the benchmark scripts, sourced after WORK (their scratch folder) is set.
# measure NAME COMMAND...: user+sys seconds, wall seconds, peak KiB into $WORK/NAME.
measure() {
    local name=$1; shift
    sync
    /usr/bin/time -v -o "$WORK/$name.time" "$@" >/dev/null 2>&1
    local user sys wall rss
    user=$(awk -F': ' '/User time/{print $2}' "$WORK/$name.time")
    sys=$(awk -F': ' '/System time/{print $2}' "$WORK/$name.time")
    wall=$(awk -F': ' '/Elapsed \(wall clock\)/{print $2}' "$WORK/$name.time" |
           awk -F: '{ if (NF==3) print $1*3600+$2*60+$3; else print $1*60+$2 }')
    rss=$(awk -F': ' '/Maximum resident/{print $2}' "$WORK/$name.time")
    echo "$(echo "$user + $sys" | bc -l) $wall $rss" >"$WORK/$name"
    printf '%-13s cpu %7.2f s  wall %7.2f s  peak %8.1f MiB\n' "$name" \
        "$(echo "$user + $sys" | bc -l)" "$wall" "$(echo "$rss / 1024" | bc -l)"
}
field() { awk -v k="$2" '{print $k}' "$WORK/$1"; }
