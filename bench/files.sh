#!/bin/sh
# Times the command-line tool's encrypt, decrypt and hash on whole files in
# the page cache against cp, openssl sha1, sha1sum and gpg, in alternation,
# and prints the median of ROUNDS runs per command. Then records peak RSS of
# our commands for a small and a large file.
#
#   bench/files.sh BUILD_DIR [SIZES_MIB] [ROUNDS] [RSS_SIZES_MIB]
#   bench/files.sh build-bench "512 1024" 5 "16 1024"
#
# Files live under $TMPDIR (default /tmp) and are removed at the end.
set -eu

build=${1:?build folder holding ciphra2k-cli}
sizes=${2:-512 1024}
rounds=${3:-5}
rss_sizes=${4:-16 1024}
cli=$(cd "$build" && pwd)/ciphra2k-cli
work=$(mktemp -d "${TMPDIR:-/tmp}/ciphra-files.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

printf 'bench-passphrase\n' > "$work/pw"
mkdir -m 700 "$work/gnupg" "$work/plain" "$work/enc" "$work/dec"
gpg_run=$work/gpg.sh
cat > "$gpg_run" <<GPG
#!/bin/sh
exec gpg --homedir "$work/gnupg" --batch --yes --quiet --pinentry-mode loopback \\
    --passphrase-file "$work/pw" "\$@"
GPG
chmod +x "$gpg_run"

# Wall seconds of one command, its output discarded.
seconds() {
    /usr/bin/time -f %e -o "$work/t" "$@" > /dev/null 2>&1
    cat "$work/t"
}

median() {
    tr ' ' '\n' | grep . | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'
}

for mib in $sizes; do
    f=$work/plain/f$mib
    head -c "${mib}M" /dev/urandom > "$f"
    cat "$f" > /dev/null
    # Our encryption beside the file names its output; find it once.
    enc=$("$cli" encrypt --password-file "$work/pw" "$f")
    mv "$enc" "$work/enc/"
    enc=$work/enc/$(basename "$enc")
    "$gpg_run" --symmetric --cipher-algo TWOFISH --compress-algo none -o "$work/f.gpg" "$f"

    cp_t="" ossl_t="" sum_t="" gpge_t="" gpgd_t="" ours_e="" ours_d="" ours_h=""
    for r in $(seq "$rounds"); do
        cp_t="$cp_t $(seconds cp "$f" "$work/copy")"; rm -f "$work/copy"
        ossl_t="$ossl_t $(seconds openssl sha1 "$f")"
        sum_t="$sum_t $(seconds sha1sum "$f")"
        ours_h="$ours_h $(seconds "$cli" hash "$f")"
        ours_e="$ours_e $(seconds "$cli" encrypt --password-file "$work/pw" "$f")"
        mv "$work/plain/$(basename "$enc")" "$work/enc/again"; rm -f "$work/enc/again"
        gpge_t="$gpge_t $(seconds "$gpg_run" --symmetric --cipher-algo TWOFISH --compress-algo none -o "$work/g.gpg" "$f")"
        rm -f "$work/g.gpg"
        cp "$enc" "$work/dec/"
        ours_d="$ours_d $(seconds "$cli" decrypt --password-file "$work/pw" "$work/dec/$(basename "$enc")")"
        rm -f "$work/dec/"*
        gpgd_t="$gpgd_t $(seconds "$gpg_run" -o "$work/g.out" -d "$work/f.gpg")"
        rm -f "$work/g.out"
    done
    echo "== $mib MiB, medians of $rounds rounds (s); load: $(cut -d' ' -f1-3 /proc/loadavg)"
    echo "cp              $(echo "$cp_t" | median)"
    echo "openssl sha1    $(echo "$ossl_t" | median)"
    echo "sha1sum         $(echo "$sum_t" | median)"
    echo "gpg encrypt     $(echo "$gpge_t" | median)"
    echo "gpg decrypt     $(echo "$gpgd_t" | median)"
    echo "ours hash       $(echo "$ours_h" | median)"
    echo "ours encrypt    $(echo "$ours_e" | median)"
    echo "ours decrypt    $(echo "$ours_d" | median)"
    rm -f "$f" "$enc" "$work/f.gpg"
done

# Peak resident set size (KiB) of each command on each size.
for mib in $rss_sizes; do
    f=$work/plain/r$mib
    head -c "${mib}M" /dev/urandom > "$f"
    rss() {
        /usr/bin/time -f %M -o "$work/t" "$@" > "$work/out" 2>/dev/null
        cat "$work/t"
    }
    h=$(rss "$cli" hash "$f")
    e=$(rss "$cli" encrypt --password-file "$work/pw" "$f")
    enc=$(cat "$work/out")
    mv "$enc" "$work/enc/"
    d=$(rss "$cli" decrypt --password-file "$work/pw" "$work/enc/$(basename "$enc")")
    echo "== peak RSS (KiB), $mib MiB: hash $h, encrypt $e, decrypt $d"
    rm -f "$f" "$work/enc/"* "$work/dec/"*
done
