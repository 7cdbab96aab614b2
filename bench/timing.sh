# Sourced by the whole-file benchmarks (files.sh, durable.sh): a scratch
# folder $work removed at exit, the password file $work/pw, a gpg
# wrapper $gpg_run keyed by it, and the timing helpers.
# Set $scratch (the folder name's prefix) before sourcing it.
work=$(mktemp -d "${TMPDIR:-/tmp}/$scratch.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

printf 'bench-passphrase\n' > "$work/pw"
mkdir -m 700 "$work/gnupg"
gpg_run=$work/gpg.sh
cat > "$gpg_run" <<GPG
#!/bin/sh
exec gpg --homedir "$work/gnupg" --batch --yes --quiet --pinentry-mode loopback \\
    --passphrase-file "$work/pw" "\$@"
GPG
chmod +x "$gpg_run"

# Runs a command, its output discarded, and appends "wall cpu" seconds to
# $work/NAME.times. The disk first writes out what earlier commands left in
# the page cache, so that no command waits for another's writing.
timed() {
    name=$1
    shift
    sync
    /usr/bin/time -f '%e %U %S' -o "$work/t" "$@" > /dev/null 2>&1
    awk '{printf "%s %.2f\n", $1, $2 + $3}' "$work/t" >> "$work/$name.times"
}

# The median of column COLUMN (1 wall, 2 cpu; default 1) of NAME's runs.
median() {
    cut -d' ' -f"${2:-1}" "$work/$1.times" | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'
}

# In-memory CBC encryption and decryption with BENCH_CRYPTO (a
# ciphra_bench_crypto), CPU time scaled to MIB MiB, appended as "wall cpu"
# to cbc_encrypt.times and cbc_decrypt.times. Does nothing without it.
cbc_times() {
    [ -x "$1" ] || return 0
    "$1" --benchmark_filter='BM_TwofishCBC(En|De)crypt$' --benchmark_min_time=0.3 \
        --benchmark_format=csv 2>/dev/null |
        awk -F, -v mib="$2" -v dir="$work" '
            /BM_TwofishCBCEncrypt/ { n = "cbc_encrypt" }
            /BM_TwofishCBCDecrypt/ { n = "cbc_decrypt" }
            /BM_TwofishCBC/ { t = mib * 1048576 / $6
                printf "%.3f %.3f\n", t, t >> (dir "/" n ".times") }'
}
