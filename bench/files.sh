#!/bin/sh
# Times the command-line tool's encrypt, decrypt, hash and shred on whole
# files in the page cache against cp, openssl sha1, sha1sum, gpg and shred, in
# alternation, and prints the median wall time and the median CPU time (user +
# system) of ROUNDS runs per command. Then records peak RSS of our commands
# for a small and a large file.
#
# When BUILD_DIR holds ciphra_bench_crypto, each round also measures in-memory
# CBC encryption and decryption (CPU time per byte) and prints them as the
# time for the file's size (cbc_encrypt, cbc_decrypt): the encrypt goal is
# 1.1 x (cbc_encrypt + cp).
#
# Shredding: ours with its default 3 passes (three overwrites each, each
# flushed) against `shred -n 9 -u` (nine overwrites, each flushed), each on a
# fresh copy of the file whose pages were flushed before the clock starts.
#
#   bench/files.sh BUILD_DIR [SIZES_MIB] [ROUNDS] [RSS_SIZES_MIB]
#   bench/files.sh build-bench "512 1024" 5 "16 1024"
#   SHRED_SIZES="512 1024" bench/files.sh ...   (sizes shredded; default 512)
#
# Files live under $TMPDIR (default /tmp) and are removed at the end.
set -eu

build=${1:?build folder holding ciphra2k-cli}
sizes=${2:-512 1024}
rounds=${3:-5}
rss_sizes=${4:-16 1024}
shred_sizes=${SHRED_SIZES:-512} # shredding writes each file to the disk nine times
cli=$(cd "$build" && pwd)/ciphra2k-cli
scratch=ciphra-files
. "$(dirname "$0")/timing.sh"
mkdir "$work/plain" "$work/enc" "$work/dec"

for mib in $sizes; do
    f=$work/plain/f$mib
    head -c "${mib}M" /dev/urandom > "$f"
    cat "$f" > /dev/null
    # Our encryption beside the file names its output; find it once.
    enc=$("$cli" encrypt --password-file "$work/pw" "$f")
    mv "$enc" "$work/enc/"
    enc=$work/enc/$(basename "$enc")
    "$gpg_run" --symmetric --cipher-algo TWOFISH --compress-algo none -o "$work/f.gpg" "$f"

    rm -f "$work/"*.times
    for r in $(seq "$rounds"); do
        cbc_times "$build/ciphra_bench_crypto" "$mib"
        timed cp cp "$f" "$work/copy"; rm -f "$work/copy"
        timed openssl openssl sha1 "$f"
        timed sha1sum sha1sum "$f"
        timed ours_hash "$cli" hash "$f"
        timed ours_encrypt "$cli" encrypt --password-file "$work/pw" "$f"
        rm -f "$work/plain/$(basename "$enc")"
        timed gpg_encrypt "$gpg_run" --symmetric --cipher-algo TWOFISH --compress-algo none -o "$work/g.gpg" "$f"
        # Every command that writes a file runs right after a file of the
        # same size was removed: the pages it then writes into were just
        # freed. Pages freed long before cost this virtual machine up to five
        # times as much to write (0.2 s against 1 s per 512 MiB), so the copy
        # our decryption reads is made before gpg's output goes.
        cp "$enc" "$work/dec/"
        rm -f "$work/g.gpg"
        timed ours_decrypt "$cli" decrypt --password-file "$work/pw" "$work/dec/$(basename "$enc")"
        rm -f "$work/dec/"*
        timed gpg_decrypt "$gpg_run" -o "$work/g.out" -d "$work/f.gpg"
        rm -f "$work/g.out"
        case " $shred_sizes " in *" $mib "*)
            cp "$f" "$work/s1"; sync
            timed ours_shred "$cli" shred --yes "$work/s1"
            cp "$f" "$work/s2"; sync
            timed shred shred -n 9 -u "$work/s2"
        esac
    done
    echo "== $mib MiB, medians of $rounds rounds (s); load: $(cut -d' ' -f1-3 /proc/loadavg)"
    for name in cp openssl sha1sum gpg_encrypt gpg_decrypt shred cbc_encrypt cbc_decrypt \
        ours_hash ours_encrypt ours_decrypt ours_shred; do
        [ -f "$work/$name.times" ] || continue
        printf '%-14s wall %s  cpu %s\n' "$name" "$(median $name 1)" "$(median $name 2)"
    done
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
