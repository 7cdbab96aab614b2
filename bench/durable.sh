#!/bin/sh
# Times the command-line tool's durable writes against the system's tools, in
# alternation, and prints the median wall time of ROUNDS runs per command and
# the ratios the goals are stated in:
#
#   one big file (BIG_MIB, default 256, in the page cache): ours encrypt and
#   decrypt beside and in place, gpg --symmetric with Twofish (compression
#   off) and gpg -d, `dd bs=1M conv=fsync` of the same size, and in-memory
#   CBC encryption and decryption of that size (ciphra_bench_crypto);
#
#   many small files (COUNT files of SMALL_KIB KiB, default 2000 x 4): one call
#   of ours encrypt beside, decrypt beside and encrypt --in-place over all of
#   them, against `cp` of the same files into an empty folder + `sync -f`.
#
#   bench/durable.sh BUILD_DIR [ROUNDS]
#   BIG_MIB=256 COUNT=2000 SMALL_KIB=4 bench/durable.sh build-test-release 5
#
# Files live under $TMPDIR (default /tmp) and are removed at the end.
set -eu

build=${1:?build folder holding ciphra2k-cli}
rounds=${2:-5}
big=${BIG_MIB:-256}
count=${COUNT:-2000}
small=${SMALL_KIB:-4}
cli=$(cd "$build" && pwd)/ciphra2k-cli
crypto=$(cd "$build" && pwd)/ciphra_bench_crypto
scratch=ciphra-durable
. "$(dirname "$0")/timing.sh"
mkdir "$work/big" "$work/small" "$work/copy"

# --- One big file ---
f=$work/big/plain
head -c "${big}M" /dev/urandom > "$f"
"$cli" encrypt --password-file "$work/pw" "$f" > /dev/null
mv "$f.CPH" "$work/enc.cph"
"$gpg_run" --symmetric --cipher-algo TWOFISH --compress-algo none -o "$work/enc.gpg" "$f"
for r in $(seq "$rounds"); do
    cbc_times "$crypto" "$big"
    # Each writer runs right after a file of the same size was removed, so
    # that all of them write into pages freed alike.
    timed dd_fsync dd if="$f" of="$work/big/dd" bs=1M conv=fsync
    rm -f "$work/big/dd"
    timed ours_encrypt "$cli" encrypt --password-file "$work/pw" "$f"
    rm -f "$f.CPH"
    timed gpg_encrypt "$gpg_run" --symmetric --cipher-algo TWOFISH --compress-algo none \
        -o "$work/big/g.gpg" "$f"
    cp "$work/enc.cph" "$work/big/d.cph"
    rm -f "$work/big/g.gpg"
    timed ours_decrypt "$cli" decrypt --password-file "$work/pw" "$work/big/d.cph"
    rm -f "$work/big/d.dec"
    timed gpg_decrypt "$gpg_run" -o "$work/big/g.out" -d "$work/enc.gpg"
    rm -f "$work/big/g.out"
    cp "$f" "$work/big/inplace"
    timed ours_encrypt_in_place "$cli" encrypt --in-place --password-file "$work/pw" \
        "$work/big/inplace"
    timed ours_decrypt_in_place "$cli" decrypt --in-place --password-file "$work/pw" \
        "$work/big/inplace"
    rm -f "$work/big/inplace" "$work/big/d.cph"
done
rm -f "$f" "$work/enc.cph" "$work/enc.gpg"

# --- Many small files ---
i=0
while [ "$i" -lt "$count" ]; do
    head -c "${small}K" /dev/urandom > "$work/small/f$i"
    i=$((i + 1))
done
cd "$work/small"
for r in $(seq "$rounds"); do
    timed cp_sync sh -c 'cp -- "$1"/f* "$2"/ && sync -f "$2"' sh "$work/small" "$work/copy"
    rm -f "$work/copy/"*
    timed ours_many_encrypt "$cli" encrypt --password-file "$work/pw" f*
    timed ours_many_decrypt "$cli" decrypt --password-file "$work/pw" f*.CPH
    rm -f "$work/small/"*.CPH "$work/small/"*.dec
    timed ours_many_in_place "$cli" encrypt --in-place --password-file "$work/pw" f*
    "$cli" decrypt --in-place --password-file "$work/pw" f* > /dev/null
done
cd "$work"

echo "== medians of $rounds rounds (s); load: $(cut -d' ' -f1-3 /proc/loadavg)"
for name in dd_fsync cbc_encrypt cbc_decrypt gpg_encrypt gpg_decrypt ours_encrypt ours_decrypt \
    ours_encrypt_in_place ours_decrypt_in_place cp_sync ours_many_encrypt ours_many_decrypt \
    ours_many_in_place; do
    if [ -f "$work/$name.times" ]; then printf '%-22s %s\n' "$name" "$(median $name)"; fi
done
ratio() { # name: $1 / $2
    if [ -f "$work/$2.times" ] && [ -f "$work/$3.times" ]; then
        printf '%-44s %.2f\n' "$1" "$(echo "$(median "$2") / $(median "$3")" | bc -l)"
    fi
}
bigger() { # the larger of two medians, as a times file of one line
    a=$(median "$1"); b=$(median "$2")
    echo "$a $b" | awk '{print ($1 > $2) ? $1 : $2}' > "$work/$3.times"
}
echo "== ratios (goal)"
ratio "gpg encrypt / ours encrypt (>= 1.6)" gpg_encrypt ours_encrypt
ratio "gpg decrypt / ours decrypt (>= 2)" gpg_decrypt ours_decrypt
if [ -f "$work/cbc_encrypt.times" ]; then
    bigger cbc_encrypt dd_fsync floor_encrypt
    bigger cbc_decrypt dd_fsync floor_decrypt
    ratio "ours encrypt / max(cbc, dd fsync) (<= 1.15)" ours_encrypt floor_encrypt
    ratio "ours decrypt / max(cbc, dd fsync) (<= 1.15)" ours_decrypt floor_decrypt
fi
ratio "many encrypt / cp + sync -f (<= 2)" ours_many_encrypt cp_sync
ratio "many decrypt / cp + sync -f (<= 2)" ours_many_decrypt cp_sync
ratio "many in place / cp + sync -f (<= 2)" ours_many_in_place cp_sync
