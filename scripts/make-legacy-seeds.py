#!/usr/bin/env python3
"""Writes the seeds of legacy_diff_fuzz (tests/fuzz/corpus/legacy_diff_fuzz/)
from data whose bytes the unit tests know: tests/fixtures/sample.txt, and a
40000-byte text of 64 letters from a linear congruential generator (the
"lcg" text; tests/unit/legacy_decoder_test.cpp makes the same).

-lh1-, -lzs- and -lz5- are compressed by the encoders of Debian's jlha library
(libjlha-java, which jlha-utils installs), through a few lines of Java; -pm1-
and -pm2- by the small writers below, which follow the formats as the
decoders read them (no PMarc encoder is at hand; lhasa judges the result in
the fuzzer); -lz4- and -pm0- are stored.

A seed is a method byte (its index in legacy::kMethods), the original size in
3 bytes (little-endian) and the compressed stream; its name says what it
decodes to: ORIGIN-METHOD-sample (the first bytes of sample.txt, as many as
the seed's size) or ORIGIN-METHOD-lcg.

    scripts/make-legacy-seeds.py
    scripts/make-legacy-seeds.py --encode METHOD IN OUT   (one stream, for the benchmark)
"""
import os
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
OUT = os.path.join(ROOT, "tests", "fuzz", "corpus", "legacy_diff_fuzz")
METHODS = ["-lh1-", "-lzs-", "-lz5-", "-lz4-", "-pm0-", "-pm1-", "-pm2-"]
JLHA_JAR = "/usr/share/java/jlha.jar"


def lcg_text(size):
    x, out = 1, bytearray()
    for _ in range(size):
        x = (x * 1103515245 + 12345) & 0xFFFFFFFF
        out.append(0x30 + ((x >> 16) & 63))
    return bytes(out)


# ---- Bits, codes, and the list of recent bytes ------------------------------

class BitWriter:
    def __init__(self):
        self.bits = []

    def put(self, value, width):
        for i in range(width - 1, -1, -1):
            self.bits.append((value >> i) & 1)

    def code(self, bits):
        self.bits.extend(int(b) for b in bits)

    def bytes(self):
        padded = self.bits + [0] * (-len(self.bits) % 8)
        return bytes(int("".join(map(str, padded[i:i + 8])), 2) for i in range(0, len(padded), 8))


def canonical(lengths):
    """Symbol -> code as a bit string: shorter first, then by symbol."""
    codes, code, prev = {}, 0, 0
    for length, sym in sorted((l, s) for s, l in enumerate(lengths) if l):
        code <<= length - prev
        prev = length
        codes[sym] = format(code, "0%db" % length)
        code += 1
    return codes


class Recent:
    def __init__(self):
        self.order = (list(range(0x20, 0x80)) + list(range(0x00, 0x20)) + list(range(0xA0, 0xE0)) +
                      list(range(0x80, 0xA0)) + list(range(0xE0, 0x100)))

    def use(self, b):
        self.order.remove(b)
        self.order.insert(0, b)


class Matcher:
    """The longest earlier match at a position, among the last few places
    where its first two bytes stood."""

    def __init__(self, data):
        self.data, self.places = data, {}

    def at(self, pos, limit, longest):
        data, best = self.data, (0, 0)
        for start in reversed(self.places.get(data[pos:pos + 2], [])[-64:]):
            if pos - start > limit:
                break
            n = 0
            while n < longest and pos + n < len(data) and data[start + n] == data[pos + n]:
                n += 1
            if n > best[0]:
                best = (n, pos - start)
        return best

    def advance(self, pos, count):
        for p in range(pos, pos + count):
            self.places.setdefault(self.data[p:p + 2], []).append(p)


# ---- -pm2- --------------------------------------------------------------------

PM2_PLACES = [(0, 3), (8, 3), (16, 4), (32, 5), (64, 5), (96, 5), (128, 6), (192, 6)]
PM2_COUNTS = [(17, 3), (25, 3), (33, 5), (65, 6), (129, 7)]
# Two complete symbol codes over the 29 symbols, the second for the change at
# 4 KiB; distance codes for 5 to 8 symbols.
PM2_SYMBOL_LENGTHS = [[4] * 3 + [5] * 26, [5] * 26 + [4] * 3]
PM2_DISTANCE_LENGTHS = {5: [2, 2, 2, 3, 3], 6: [2, 2, 3, 3, 3, 3], 7: [2] + [3] * 6, 8: [3] * 8}


def pm2_encode(data):
    w, recent = BitWriter(), Recent()
    state = {"symbols": None, "distances": None, "far": 0, "stage": 0, "next": 0}

    def symbol_code(lengths):
        shortest = min(l for l in lengths if l)
        w.put(len(lengths), 5)
        w.put(shortest, 3)
        w.put(2, 3)
        for l in lengths:
            w.put(l - shortest + 1, 2)
        state["symbols"] = canonical(lengths)

    def distance_code(count):
        for l in PM2_DISTANCE_LENGTHS[count]:
            w.put(l, 3)
        state["distances"] = canonical(PM2_DISTANCE_LENGTHS[count])
        state["far"] = 1 << (count + 5)  # distance - 1 below it

    def codes(produced):
        if produced < state["next"]:
            return
        stage = state["stage"]
        if stage == 0:
            w.put(0, 1)
            symbol_code(PM2_SYMBOL_LENGTHS[0])
            distance_code(5)
            state["next"] = 1024
        elif stage in (1, 2):
            distance_code(5 + stage)
            state["next"] = 1024 << stage
        elif stage == 3:
            w.put(1, 1)
            symbol_code(PM2_SYMBOL_LENGTHS[1])
            distance_code(8)
            state["next"] = 8192
        else:
            change = stage == 4
            w.put(int(change), 1)
            if change:
                symbol_code(PM2_SYMBOL_LENGTHS[0])
                distance_code(8)
            state["next"] += 4096
        state["stage"] += 1

    pos, matcher = 0, Matcher(data)
    while pos < len(data):
        codes(pos)
        length, distance = matcher.at(pos, min(state["far"], 8192), 256)
        if length >= 2 and (length != 2 or distance <= 64):
            if length >= 17:
                c = 15 + max(i for i, (base, _) in enumerate(PM2_COUNTS) if base <= length)
            else:
                c = length - 2
            w.code(state["symbols"][8 + c])
            if c >= 15:
                base, bits = PM2_COUNTS[c - 15]
                w.put(length - base, bits)
            d = distance - 1
            if c == 0:
                w.put(d, 6)
            else:
                v = 0 if d < 64 else d.bit_length() - 6
                w.code(state["distances"][v])
                w.put(d if v == 0 else d - (1 << (v + 5)), 6 if v == 0 else v + 5)
            for b in data[pos:pos + length]:
                recent.use(b)
            matcher.advance(pos, length)
            pos += length
            continue
        place = recent.order.index(data[pos])
        s = max(i for i, (base, _) in enumerate(PM2_PLACES) if base <= place)
        w.code(state["symbols"][s])
        w.put(place - PM2_PLACES[s][0], PM2_PLACES[s][1])
        recent.use(data[pos])
        matcher.advance(pos, 1)
        pos += 1
    return w.bytes()


# ---- -pm1- --------------------------------------------------------------------

PM1_PLACES = [(0, 4), (16, 4), (32, 5), (64, 6), (128, 6), (192, 6)]
PM1_SHAPE = "((((ab)c)d)(ef))"  # shape 0
PM1_DISTANCES = [(0, 6), (64, 8), (0, 6), (64, 9), (576, 11), (2624, 13)]
RUN_STEPS = [(2, 3, []), (3, 7, []), (4, 14, [6, 7])]
COPY_STEPS = [(2, 3, []), (3, 5, [2, 3]), (6, 62, [5, 7])]


def shape_codes(text):
    codes = {}

    def walk(i, prefix):
        if text[i] != "(":
            codes[ord(text[i]) - ord("a")] = prefix
            return i + 1
        i = walk(i + 1, prefix + "0")
        i = walk(i, prefix + "1")
        return i + 1
    walk(0, "")
    return codes


def put_count(w, value, smallest, steps):
    base = smallest
    for bits, direct, fields in steps:
        if value < base + direct:
            return w.put(value - base, bits)
        base += direct
        for f, width in enumerate(fields):
            if value < base + (1 << width):
                w.put(direct + f, bits)
                return w.put(value - base, width)
            base += 1 << width
        w.put((1 << bits) - 1, bits)
    raise ValueError(value)


def pm1_tokens(data):
    """Literals (pos, None) and copies (pos, (length, distance)), greedily."""
    tokens, pos, matcher = [], 0, Matcher(data)
    while pos < len(data):
        length, distance = matcher.at(pos, min(pos, 10816), 244)
        d = distance - 1
        if length > 2 or (length == 2 and (d < 64 or (pos >= 64 and d < 320))):
            tokens.append((pos, (length, distance)))
        else:
            tokens.append((pos, None))
            length = 1
        matcher.advance(pos, length)
        pos += length
    return tokens


def pm1_encode(data):
    w, recent, shape = BitWriter(), Recent(), shape_codes(PM1_SHAPE)
    w.put(0, 5)

    def literal(byte):
        place = recent.order.index(byte)
        r = max(i for i, (base, _) in enumerate(PM1_PLACES) if base <= place)
        w.code(shape[r])
        w.put(place - PM1_PLACES[r][0], PM1_PLACES[r][1])
        recent.use(byte)

    def copy(produced, length, distance):
        d = distance - 1
        if length == 2:
            r = 0 if d < 64 else 1
        else:
            r = 2 if d < 64 else 3 if d < 576 else 4 if d < 2624 else 5
        w.code({0: "0" + "0" * (produced >= 576) + "0" * (produced >= 64),
                1: "0" + "0" * (produced >= 576) + "1",
                4: "01",
                3: "10",
                2: "1" + "1" * (produced >= 64) + "1" * (produced >= 2624),
                5: "110"}[r])
        if r >= 2:
            put_count(w, length, 3, COPY_STEPS)
        base, widest = PM1_DISTANCES[r]
        bits = 8
        while bits < widest and base + (1 << bits) <= produced:
            bits += 1
        w.put(d - base, min(bits, widest))

    tokens, i, after_run = pm1_tokens(data), 0, False
    while i < len(tokens):
        pos, match = tokens[i]
        if match:
            if not after_run:
                w.put(0, 1)
            copy(pos, *match)
            for b in data[pos:pos + match[0]]:
                recent.use(b)
            i, after_run = i + 1, False
            continue
        run = 0
        while i + run < len(tokens) and run < 216 and tokens[i + run][1] is None:
            run += 1
        w.put(1, 1)
        put_count(w, run, 1, RUN_STEPS)
        for pos, _ in tokens[i:i + run]:
            literal(data[pos])
        i, after_run = i + run, run < 216
    return w.bytes()


# ---- jlha's encoders ------------------------------------------------------------

JAVA = """
import java.nio.file.*;
import java.io.*;
import jp.gr.java_conf.dangan.util.lha.*;
public class Encode {
  public static void main(String[] a) throws Exception {
    ByteArrayOutputStream out = new ByteArrayOutputStream();
    OutputStream enc = CompressMethod.connectEncoder(out, a[0], LhaProperty.getProperties());
    enc.write(Files.readAllBytes(Paths.get(a[1])));
    enc.close();
    Files.write(Paths.get(a[2]), out.toByteArray());
  }
}
"""


def jlha_encode(method, data, scratch):
    source, target, program = (os.path.join(scratch, n) for n in ("in", "out", "Encode.java"))
    with open(program, "w") as f:
        f.write(JAVA)
    with open(source, "wb") as f:
        f.write(data)
    subprocess.run(["java", "-cp", JLHA_JAR, program, method, source, target], check=True)
    with open(target, "rb") as f:
        return f.read()


def write_seed(name, method, size, stream):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(bytes([METHODS.index(method)]) + struct.pack("<I", size)[:3] + stream)


def encode(method, data):
    if method == "-pm1-":
        return pm1_encode(data)
    if method == "-pm2-":
        return pm2_encode(data)
    if method in ("-lz4-", "-pm0-"):
        return data
    with tempfile.TemporaryDirectory() as scratch:
        return jlha_encode(method, data, scratch)


def main():
    if sys.argv[1:2] == ["--encode"]:
        method, source, target = sys.argv[2:5]
        with open(source, "rb") as f:
            stream = encode(method, f.read())
        with open(target, "wb") as f:
            f.write(stream)
        return 0
    with open(os.path.join(ROOT, "tests", "fixtures", "sample.txt"), "rb") as f:
        sample = f.read()
    os.makedirs(OUT, exist_ok=True)
    # The whole text, and its first 3000 bytes: small seeds keep the
    # fuzzer fast, the whole text reaches the later stages of the methods.
    with tempfile.TemporaryDirectory() as scratch:
        for method in ("-lh1-", "-lzs-", "-lz5-"):
            for size, suffix in ((len(sample), ""), (3000, "-3000")):
                write_seed("jlha-%s-sample%s" % (method.strip("-"), suffix), method, size,
                           jlha_encode(method, sample[:size], scratch))
        # Past 32768 symbols, where -lh1- rebuilds its tree.
        write_seed("jlha-lh1-lcg", "-lh1-", 40000, jlha_encode("-lh1-", lcg_text(40000), scratch))
    for size, suffix in ((len(sample), ""), (3000, "-3000")):
        write_seed("writer-pm1-sample" + suffix, "-pm1-", size, pm1_encode(sample[:size]))
        write_seed("writer-pm2-sample" + suffix, "-pm2-", size, pm2_encode(sample[:size]))
    for method in ("-lz4-", "-pm0-"):
        write_seed("stored-%s-sample-3000" % method.strip("-"), method, 3000, sample[:3000])

if __name__ == "__main__":
    sys.exit(main())
