#!/usr/bin/env python3
"""Builds the five character tables of the Unicode text library.

Reads UnicodeData.txt and PropList.txt of the Unicode Character Database
(default folder /usr/share/unicode, as installed by Debian's unicode-data
package) and writes type.bin, case.bin, decompose.bin, combine.bin and
numbers.bin beside this script. The files are committed, so building the
library does not need the database.

    python3 gen_tables.py [UCD folder] [output folder]

Category numbering of type.bin (bit k of the two 32-bit property masks):
   0 Mn   1 Mc   2 Me   3 Nd   4 Nl   5 No   6 Zs   7 Zl   8 Zp   9 Cc
  10 Cf  11 Cs  12 Co  13 (kept empty)    14 Lu  15 Ll  16 Lt  17 Lm
  18 Lo  19 Pc  20 Pd  21 Ps  22 Pe  23 Po  24 Sm  25 Sc  26 Sk  27 So
  bidirectional classes:
  28 L (also LRE, LRO, LRI)   29 R (also AL, RLE, RLO, RLI)
  30 EN  31 ES  32 ET  33 AN  34 CS  35 B  36 S  37 WS
  38 ON (also FSI, PDI, PDF)  -- NSM and BN have no category
  39 composite: canonical decomposition, and the Hangul syllables
  40 non-breaking (<noBreak> decompositions)   41 symmetric (Bidi_Mirrored)
  42 hex digit (Hex_Digit)   43 quotation mark (Quotation_Mark)
  44 mirroring (kept empty)  45 (kept empty)
  46 defined (every code point UnicodeData assigns)   47 Pi   48 Pf
"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
UCD = sys.argv[1] if len(sys.argv) > 1 else "/usr/share/unicode"
OUT = sys.argv[2] if len(sys.argv) > 2 else HERE

GENERAL = ["Mn", "Mc", "Me", "Nd", "Nl", "No", "Zs", "Zl", "Zp", "Cc", "Cf",
           "Cs", "Co", None, "Lu", "Ll", "Lt", "Lm", "Lo", "Pc", "Pd", "Ps",
           "Pe", "Po", "Sm", "Sc", "Sk", "So"]
BIDI = {"L": 28, "LRE": 28, "LRO": 28, "LRI": 28,
        "R": 29, "AL": 29, "RLE": 29, "RLO": 29, "RLI": 29,
        "EN": 30, "ES": 31, "ET": 32, "AN": 33, "CS": 34, "B": 35, "S": 36,
        "WS": 37, "ON": 38, "FSI": 38, "PDI": 38, "PDF": 38}
CAT_COMPOSITE, CAT_NONBREAK, CAT_SYMMETRIC, CAT_HEX, CAT_QUOTE = 39, 40, 41, 42, 43
CAT_DEFINED, CAT_PI, CAT_PF = 46, 47, 48
NUM_CATEGORIES = 49
HANGUL_FIRST, HANGUL_LAST = 0xAC00, 0xD7A3


def read_unicode_data():
    """Yields (first, last, fields) for every entry, ranges joined."""
    pending = None
    with open(os.path.join(UCD, "UnicodeData.txt"), encoding="utf-8") as f:
        for line in f:
            fields = line.rstrip("\n").split(";")
            if len(fields) < 15:
                continue
            code = int(fields[0], 16)
            name = fields[1]
            if name.endswith(", First>"):
                pending = code
                continue
            if name.endswith(", Last>"):
                yield pending, code, fields
                pending = None
                continue
            yield code, code, fields


def read_proplist(prop):
    out = []
    with open(os.path.join(UCD, "PropList.txt"), encoding="utf-8") as f:
        for line in f:
            line = line.split("#")[0].strip()
            if not line:
                continue
            codes, name = [p.strip() for p in line.split(";")]
            if name != prop:
                continue
            if ".." in codes:
                a, b = codes.split("..")
                out.append((int(a, 16), int(b, 16)))
            else:
                out.append((int(codes, 16), int(codes, 16)))
    return out


def unicode_version():
    with open(os.path.join(UCD, "PropList.txt"), encoding="utf-8") as f:
        first = f.readline()
    return first.strip("# \n").replace("PropList-", "").replace(".txt", "")


def merge(ranges):
    ranges = sorted(ranges)
    out = []
    for a, b in ranges:
        if out and a <= out[-1][1] + 1:
            out[-1] = (out[-1][0], max(out[-1][1], b))
        else:
            out.append((a, b))
    return out


def main():
    cats = [[] for _ in range(NUM_CATEGORIES)]
    upper, lower, title = {}, {}, {}
    general = {}
    decomp_raw = {}
    combining = {}
    numbers = {}
    skipped_numbers = []
    for first, last, f in read_unicode_data():
        gc, ccc, bidi, dec, numeric, mirrored = f[2], int(f[3]), f[4], f[5], f[8], f[9]
        cats[CAT_DEFINED].append((first, last))
        if gc in GENERAL:
            cats[GENERAL.index(gc)].append((first, last))
        elif gc == "Pi":
            cats[CAT_PI].append((first, last))
        elif gc == "Pf":
            cats[CAT_PF].append((first, last))
        if bidi in BIDI:
            cats[BIDI[bidi]].append((first, last))
        if mirrored == "Y":
            cats[CAT_SYMMETRIC].append((first, last))
        if dec.startswith("<noBreak>"):
            cats[CAT_NONBREAK].append((first, last))
        if first != last:
            continue
        c = first
        general[c] = gc
        if ccc:
            combining[c] = ccc
        if dec and not dec.startswith("<"):
            decomp_raw[c] = [int(x, 16) for x in dec.split()]
            cats[CAT_COMPOSITE].append((c, c))
        if f[12]:
            upper[c] = int(f[12], 16)
        if f[13]:
            lower[c] = int(f[13], 16)
        if f[14]:
            title[c] = int(f[14], 16)
        elif f[12]:
            title[c] = int(f[12], 16)
        if numeric:
            num, _, den = numeric.partition("/")
            num, den = int(num), int(den or "1")
            if 0 <= num <= 0xFFFF and 0 < den <= 0xFFFF:
                numbers[c] = (num, den)
            else:
                skipped_numbers.append((c, numeric))
    cats[CAT_COMPOSITE].append((HANGUL_FIRST, HANGUL_LAST))
    cats[CAT_HEX] = read_proplist("Hex_Digit")
    cats[CAT_QUOTE] = read_proplist("Quotation_Mark")

    # --- TYPE
    arrays = []
    offsets = []
    pos = 0
    for k in range(NUM_CATEGORIES):
        rs = merge(cats[k])
        if not rs:
            offsets.append(0xFFFF)
            continue
        offsets.append(pos)
        for a, b in rs:
            arrays += [a, b]
        pos += 2 * len(rs)
    offsets.append(pos)
    assert pos < 0xFFFF, "range array too long for 16-bit offsets"
    body = struct.pack("<%dH" % len(offsets), *offsets)
    body += b"\0" * ((-len(body)) % 4)
    body += struct.pack("<%dI" % len(arrays), *arrays)
    write("type.bin", struct.pack("<HHI", 0xFEFF, NUM_CATEGORIES, len(body)) + body)

    # --- CASE
    def cat_of(c):
        return general.get(c, "")
    codes = sorted(set(upper) | set(lower) | set(title))
    sec_upper, sec_lower, sec_title = [], [], []
    for c in codes:
        u, l, t = upper.get(c, c), lower.get(c, c), title.get(c, c)
        if cat_of(c) == "Lu":
            sec_upper.append((c, l, t))
        elif cat_of(c) == "Ll":
            sec_lower.append((c, u, t))
        else:
            sec_title.append((c, u, l))
    recs = sec_upper + sec_lower + sec_title
    assert len(recs) <= 0xFFFF
    body = b"".join(struct.pack("<III", *r) for r in recs)
    write("case.bin", struct.pack("<HHHH", 0xFEFF, len(recs), len(sec_upper), len(sec_lower)) + body)

    # --- DECOMPOSE (full canonical decompositions, applied recursively)
    def full(c):
        if c not in decomp_raw:
            return [c]
        out = []
        for x in decomp_raw[c]:
            out += full(x)
        return out
    pairs, values = [], []
    for c in sorted(decomp_raw):
        pairs += [c, len(values)]
        values += full(c) + [0]
    assert len(decomp_raw) <= 0xFFFF
    body = struct.pack("<%dI" % (len(pairs) + 1), *(pairs + [len(values)]))
    body += struct.pack("<%dI" % len(values), *values)
    write("decompose.bin", struct.pack("<HHI", 0xFEFF, len(decomp_raw), len(body)) + body)

    # --- COMBINE
    ranges = []
    for c in sorted(combining):
        k = combining[c]
        if ranges and ranges[-1][1] + 1 == c and ranges[-1][2] == k:
            ranges[-1][1] = c
        else:
            ranges.append([c, c, k])
    body = b"".join(struct.pack("<III", *r) for r in ranges)
    write("combine.bin", struct.pack("<HHI", 0xFEFF, len(ranges), len(body)) + body)

    # --- NUMBERS (equal fractions share one value slot)
    slots = {}
    vals = []
    nodes = []
    for c in sorted(numbers):
        v = numbers[c]
        if v not in slots:
            slots[v] = len(vals)
            vals += list(v)
        nodes += [c, slots[v]]
    assert len(nodes) <= 0xFFFF
    body = struct.pack("<%dI" % len(nodes), *nodes) + struct.pack("<%dH" % len(vals), *vals)
    write("numbers.bin", struct.pack("<HHI", 0xFEFF, len(nodes), len(body)) + body)

    print("Unicode %s: %d category ranges, %d case records (%d/%d/%d), %d decompositions, "
          "%d combining ranges, %d numbers (%d left out: %s)" % (
              unicode_version(), len(arrays) // 2, len(recs), len(sec_upper), len(sec_lower),
              len(sec_title), len(decomp_raw), len(ranges), len(numbers), len(skipped_numbers),
              " ".join("U+%04X=%s" % s for s in skipped_numbers[:6]) + " ..."))


def write(name, data):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
