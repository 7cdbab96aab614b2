#!/usr/bin/env python3
"""Writes the age vector files of tests/core/age/vectors from files the age
tool makes, and changes made to them by hand, in the form the vector driver
reads. Each vector is checked against `age -d` as it is written: a vector that
should decrypt must decrypt there to the same bytes, any other must fail
there too. Run it again only to replace the vectors; the files differ at
every run (keys, salts and nonces are random).

    python3 tests/core/age/make_vectors.py tests/core/age/vectors
"""
import base64
import hashlib
import os
import pty
import re
import subprocess
import sys
import tempfile

OUT = sys.argv[1]
WORK = tempfile.mkdtemp()
PASSPHRASE = "correct horse battery staple"
TEXT = b"A short plain text, encrypted by the age tool.\n"


def run(*args, stdin=None):
    return subprocess.run(args, input=stdin, capture_output=True, check=True).stdout


def keygen(name):
    path = os.path.join(WORK, name)
    run("age-keygen", "-o", path)
    secret = [l for l in open(path).read().splitlines() if l.startswith("AGE-SECRET-KEY-1")][0]
    public = run("age-keygen", "-y", path).decode().strip()
    return path, secret, public


def on_terminal(args, answers):
    """Runs args on a pseudo-terminal, typing each answer after a prompt."""
    pid, fd = pty.fork()
    if pid == 0:
        os.execvp(args[0], args)
    seen = b""
    for answer in answers:
        while b"passphrase" not in seen.lower():
            try:
                chunk = os.read(fd, 1024)
            except OSError:  # the program ended without asking
                chunk = b""
            if not chunk:
                break
            seen += chunk
        seen = b""
        os.write(fd, answer.encode() + b"\n")
    try:
        while os.read(fd, 1024):
            pass
    except OSError:
        pass
    _, status = os.waitpid(pid, 0)
    return os.waitstatus_to_exitcode(status)


def encrypt(payload, *flags):
    src = os.path.join(WORK, "plain")
    open(src, "wb").write(payload)
    return run("age", *flags, "-o", "-", src)


def age_decrypts(data, identity_file=None, passphrase=None):
    """What `age -d` gives for the file, or None when it fails."""
    src = os.path.join(WORK, "check.age")
    dst = os.path.join(WORK, "check.out")
    open(src, "wb").write(data)
    if os.path.exists(dst):
        os.remove(dst)
    if passphrase is None:
        result = subprocess.run(["age", "-d", "-i", identity_file, "-o", dst, src],
                                capture_output=True)
        ok = result.returncode == 0
    else:
        ok = on_terminal(["age", "-d", "-o", dst, src], [passphrase]) == 0
    if not ok:
        return None
    # age makes its output file only when it writes a first byte.
    return open(dst, "rb").read() if os.path.exists(dst) else b""


def write(name, expect, payload, data, comment, identity=None, identity_file=None,
          passphrase=None, armored=False):
    got = age_decrypts(data, identity_file, passphrase)
    agrees = (got == payload) if expect == "success" else got is None
    if not agrees:
        print(f"{name}: age -d does not agree with '{expect}'", file=sys.stderr)
        sys.exit(1)
    lines = [f"expect: {expect}"]
    if expect in ("success", "payload failure"):
        lines.append("payload: " + hashlib.sha256(payload).hexdigest())
    if identity:
        lines.append(f"identity: {identity}")
    if passphrase is not None:
        lines.append(f"passphrase: {passphrase}")
    if armored:
        lines.append("armored: yes")
    lines.append(f"comment: {comment}; checked against age -d")
    with open(os.path.join(OUT, name), "wb") as f:
        f.write("\n".join(lines).encode() + b"\n\n" + data)


def split(data):
    """The header (to and with the MAC line), the nonce, and the chunks."""
    end = data.index(b"\n---") + 1
    end = data.index(b"\n", end) + 1
    return data[:end], data[end:end + 16], data[end + 16:]


def flip(data, at):
    return data[:at] + bytes([data[at] ^ 1]) + data[at + 1:]


def main():
    os.makedirs(OUT, exist_ok=True)
    key, secret, public = keygen("key")
    other_key, other_secret, other_public = keygen("other")
    ident = dict(identity=secret, identity_file=key)

    small = encrypt(TEXT, "-r", public)
    head, nonce, body = split(small)
    write("x25519", "success", TEXT, small, "one X25519 recipient", **ident)
    write("x25519_two_recipients", "success", TEXT,
          encrypt(TEXT, "-r", other_public, "-r", public),
          "two recipients, the identity opens the second", **ident)
    write("x25519_empty_payload", "success", b"", encrypt(b"", "-r", public),
          "an empty file: one empty last chunk", **ident)
    full = bytes(range(256)) * 256  # exactly one chunk of 64 KiB
    write("x25519_last_chunk_full", "success", full, encrypt(full, "-r", public),
          "64 KiB: one full chunk that is the last", **ident)
    two = full + b"!"
    two_file = encrypt(two, "-r", public)
    write("x25519_two_chunks", "success", two, two_file,
          "64 KiB + 1: a full chunk and a last chunk of one byte", **ident)

    # Headers that break the grammar.
    write("header_version_unknown", "header failure", None,
          small.replace(b"age-encryption.org/v1", b"age-encryption.org/v2", 1),
          "a later version line", **ident)
    write("header_not_age", "header failure", None,
          small.replace(b"age-encryption.org/v1", b"age-encryption.org-v1", 1),
          "no version line", **ident)
    write("header_crlf", "header failure", None, head.replace(b"\n", b"\r\n") + nonce + body,
          "header lines end with CR LF", **ident)
    stanza = re.search(rb"-> X25519 (\S+)\n", head)
    share = stanza.group(1)
    write("stanza_extra_argument", "header failure", None,
          small.replace(b"-> X25519 " + share, b"-> X25519 " + share + b" extra"),
          "an X25519 stanza with three arguments", **ident)
    write("stanza_empty_argument", "header failure", None,
          small.replace(b"-> X25519 ", b"-> X25519  "), "two spaces: an empty argument",
          **ident)
    write("stanza_short_share", "header failure", None,
          small.replace(share, share[:-2]), "an X25519 share of 31 bytes", **ident)
    noncanonical = share[:-1] + (b"B" if share[-1:] == b"A" else b"A")
    if base64.b64decode(share + b"=") == base64.b64decode(noncanonical + b"="):
        write("stanza_share_not_canonical", "header failure", None,
              small.replace(share, noncanonical), "unused bits of the share are set", **ident)
    mac = re.search(rb"\n--- (\S+)\n", head).group(1)
    write("mac_missing", "header failure", None, small.replace(b"--- " + mac, b"---"),
          "the MAC line has no MAC", **ident)
    write("mac_padded", "header failure", None, small.replace(b"--- " + mac, b"--- " + mac + b"="),
          "the MAC is written with padding", **ident)
    write("nonce_short", "header failure", None, head + nonce[:10],
          "the file ends inside the payload's nonce", **ident)
    bad_mac = (b"B" if mac[:1] == b"A" else b"A") + mac[1:]
    write("mac_wrong", "HMAC failure", None, small.replace(mac, bad_mac),
          "the header's MAC does not match", **ident)

    # Keys that do not open the file.
    write("x25519_other_identity", "no match", None, small, "an identity of another recipient",
          identity=other_secret, identity_file=other_key)
    write("unknown_stanza_only", "no match", None,
          small.replace(b"-> X25519 ", b"-> example.com/enigma "),
          "the only stanza is of a type no identity here knows", **ident)

    # Payloads that were changed or cut.
    write("payload_altered", "payload failure", b"", flip(small, len(small) - 20),
          "a byte of the only chunk changed", **ident)
    write("payload_tag_cut", "payload failure", b"", small[:-1],
          "the last byte of the tag is missing", **ident)
    write("payload_trailing_data", "payload failure", b"", small + b"\0",
          "a byte after the last chunk", **ident)
    write("payload_no_chunks", "payload failure", b"", head + nonce,
          "the file ends after the nonce", **ident)
    write("payload_no_last_chunk", "payload failure", full, two_file[:-(1 + 16)],
          "a full chunk, then the last chunk is missing", **ident)
    write("payload_second_chunk_altered", "payload failure", full,
          flip(two_file, len(two_file) - 3), "the last chunk changed after a good one", **ident)

    # Passwords.
    src = os.path.join(WORK, "plain")
    dst = os.path.join(WORK, "pw.age")
    open(src, "wb").write(TEXT)
    if os.path.exists(dst):
        os.remove(dst)
    assert on_terminal(["age", "-p", "-o", dst, src], [PASSPHRASE, PASSPHRASE]) == 0
    scrypt = open(dst, "rb").read()
    pw = dict(passphrase=PASSPHRASE)
    write("scrypt", "success", TEXT, scrypt, "a password, age's own work factor", **pw)
    write("scrypt_wrong_password", "no match", None, scrypt, "another password",
          passphrase="Correct horse battery staple")
    write("scrypt_work_factor_23", "header failure", None,
          re.sub(rb"(-> scrypt \S+) 18\n", rb"\1 23\n", scrypt), "a work factor above 22", **pw)
    write("scrypt_work_factor_leading_zero", "header failure", None,
          re.sub(rb"(-> scrypt \S+) 18\n", rb"\1 018\n", scrypt), "a work factor of 018", **pw)
    s_head, s_nonce, s_body = split(scrypt)
    x_stanza = head[head.index(b"-> X25519"):head.index(b"\n---") + 1]
    write("scrypt_and_x25519", "header failure", None,
          s_head.replace(b"\n---", b"\n" + x_stanza.rstrip(b"\n") + b"\n---", 1) + s_nonce + s_body,
          "a password stanza beside another stanza", **pw)

    # The armor.
    armored = encrypt(TEXT, "-a", "-r", public)
    arm = dict(armored=True, **ident)
    write("armor", "success", TEXT, armored, "ASCII armor", **arm)
    write("armor_crlf", "success", TEXT, armored.replace(b"\n", b"\r\n"), "lines end with CR LF",
          **arm)
    write("armor_whitespace_after", "success", TEXT, armored + b"\n\n  \t\n",
          "whitespace lines after the last line", **arm)
    write("armor_lowercase_label", "armor failure", None,
          armored.replace(b"BEGIN AGE", b"BEGIN age"), "the first line in lower case", **arm)
    write("armor_trailing_garbage", "armor failure", None, armored + b"garbage\n",
          "text after the last line", **arm)
    write("armor_no_end_line", "armor failure", None,
          armored[:armored.index(b"-----END")], "the last line is missing", **arm)
    lines = armored.split(b"\n")
    rewrapped = b"\n".join(lines[:1] + [lines[1][:32], lines[1][32:]] + lines[2:])
    write("armor_short_line", "armor failure", None, rewrapped,
          "a line of 32 columns before the end", **arm)
    write("armor_long_line", "armor failure", None,
          b"\n".join(lines[:1] + [lines[1] + lines[2][:4]] + [lines[2][4:]] + lines[3:]),
          "a line of 68 columns", **arm)
    write("armor_whitespace_in_line", "armor failure", None,
          b"\n".join(lines[:1] + [lines[1] + b" "] + lines[2:]),
          "a space at the end of a line", **arm)


main()
