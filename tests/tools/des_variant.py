#!/usr/bin/env python3
"""Independent model of the version file's cipher, for known-answer tests.

The cipher is DES with three twists: the 64 bits of a block (and of a key) are numbered from the
least significant bit of each byte, each S-box output is stored least significant bit first, and
the halves are not exchanged after the sixteenth round. It is used as two-key triple DES (EDE) in
ECB mode with zero padding, keyed by the first 16 characters of the key text.

With all three twists switched off the same code is plain DES; `self_check` verifies that against
published DES vectors, so the tables below are known to be right.

    python3 des_variant.py            # self-check, then print the C++ known-answer table
"""
import sys

KEY_TEXT = b"Rk8wTqZ3nLpV7cXa2M"

IP = [58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
      62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
      57, 49, 41, 33, 25, 17, 9, 1, 59, 51, 43, 35, 27, 19, 11, 3,
      61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7]
FP = [40, 8, 48, 16, 56, 24, 64, 32, 39, 7, 47, 15, 55, 23, 63, 31,
      38, 6, 46, 14, 54, 22, 62, 30, 37, 5, 45, 13, 53, 21, 61, 29,
      36, 4, 44, 12, 52, 20, 60, 28, 35, 3, 43, 11, 51, 19, 59, 27,
      34, 2, 42, 10, 50, 18, 58, 26, 33, 1, 41, 9, 49, 17, 57, 25]
E = [32, 1, 2, 3, 4, 5, 4, 5, 6, 7, 8, 9, 8, 9, 10, 11, 12, 13, 12, 13, 14, 15, 16, 17,
     16, 17, 18, 19, 20, 21, 20, 21, 22, 23, 24, 25, 24, 25, 26, 27, 28, 29, 28, 29, 30, 31, 32, 1]
P = [16, 7, 20, 21, 29, 12, 28, 17, 1, 15, 23, 26, 5, 18, 31, 10,
     2, 8, 24, 14, 32, 27, 3, 9, 19, 13, 30, 6, 22, 11, 4, 25]
PC1 = [57, 49, 41, 33, 25, 17, 9, 1, 58, 50, 42, 34, 26, 18,
       10, 2, 59, 51, 43, 35, 27, 19, 11, 3, 60, 52, 44, 36,
       63, 55, 47, 39, 31, 23, 15, 7, 62, 54, 46, 38, 30, 22,
       14, 6, 61, 53, 45, 37, 29, 21, 13, 5, 28, 20, 12, 4]
PC2 = [14, 17, 11, 24, 1, 5, 3, 28, 15, 6, 21, 10,
       23, 19, 12, 4, 26, 8, 16, 7, 27, 20, 13, 2,
       41, 52, 31, 37, 47, 55, 30, 40, 51, 45, 33, 48,
       44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32]
SHIFTS = [1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1]
S = [
    [[14, 4, 13, 1, 2, 15, 11, 8, 3, 10, 6, 12, 5, 9, 0, 7],
     [0, 15, 7, 4, 14, 2, 13, 1, 10, 6, 12, 11, 9, 5, 3, 8],
     [4, 1, 14, 8, 13, 6, 2, 11, 15, 12, 9, 7, 3, 10, 5, 0],
     [15, 12, 8, 2, 4, 9, 1, 7, 5, 11, 3, 14, 10, 0, 6, 13]],
    [[15, 1, 8, 14, 6, 11, 3, 4, 9, 7, 2, 13, 12, 0, 5, 10],
     [3, 13, 4, 7, 15, 2, 8, 14, 12, 0, 1, 10, 6, 9, 11, 5],
     [0, 14, 7, 11, 10, 4, 13, 1, 5, 8, 12, 6, 9, 3, 2, 15],
     [13, 8, 10, 1, 3, 15, 4, 2, 11, 6, 7, 12, 0, 5, 14, 9]],
    [[10, 0, 9, 14, 6, 3, 15, 5, 1, 13, 12, 7, 11, 4, 2, 8],
     [13, 7, 0, 9, 3, 4, 6, 10, 2, 8, 5, 14, 12, 11, 15, 1],
     [13, 6, 4, 9, 8, 15, 3, 0, 11, 1, 2, 12, 5, 10, 14, 7],
     [1, 10, 13, 0, 6, 9, 8, 7, 4, 15, 14, 3, 11, 5, 2, 12]],
    [[7, 13, 14, 3, 0, 6, 9, 10, 1, 2, 8, 5, 11, 12, 4, 15],
     [13, 8, 11, 5, 6, 15, 0, 3, 4, 7, 2, 12, 1, 10, 14, 9],
     [10, 6, 9, 0, 12, 11, 7, 13, 15, 1, 3, 14, 5, 2, 8, 4],
     [3, 15, 0, 6, 10, 1, 13, 8, 9, 4, 5, 11, 12, 7, 2, 14]],
    [[2, 12, 4, 1, 7, 10, 11, 6, 8, 5, 3, 15, 13, 0, 14, 9],
     [14, 11, 2, 12, 4, 7, 13, 1, 5, 0, 15, 10, 3, 9, 8, 6],
     [4, 2, 1, 11, 10, 13, 7, 8, 15, 9, 12, 5, 6, 3, 0, 14],
     [11, 8, 12, 7, 1, 14, 2, 13, 6, 15, 0, 9, 10, 4, 5, 3]],
    [[12, 1, 10, 15, 9, 2, 6, 8, 0, 13, 3, 4, 14, 7, 5, 11],
     [10, 15, 4, 2, 7, 12, 9, 5, 6, 1, 13, 14, 0, 11, 3, 8],
     [9, 14, 15, 5, 2, 8, 12, 3, 7, 0, 4, 10, 1, 13, 11, 6],
     [4, 3, 2, 12, 9, 5, 15, 10, 11, 14, 1, 7, 6, 0, 8, 13]],
    [[4, 11, 2, 14, 15, 0, 8, 13, 3, 12, 9, 7, 5, 10, 6, 1],
     [13, 0, 11, 7, 4, 9, 1, 10, 14, 3, 5, 12, 2, 15, 8, 6],
     [1, 4, 11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5, 9, 2],
     [6, 11, 13, 8, 1, 4, 10, 7, 9, 5, 0, 15, 14, 2, 3, 12]],
    [[13, 2, 8, 4, 6, 15, 11, 1, 10, 9, 3, 14, 5, 0, 12, 7],
     [1, 15, 13, 8, 10, 3, 7, 4, 12, 5, 6, 11, 0, 14, 9, 2],
     [7, 11, 4, 1, 9, 12, 14, 2, 0, 6, 10, 13, 15, 3, 5, 8],
     [2, 1, 14, 7, 4, 10, 8, 13, 15, 12, 9, 0, 3, 5, 6, 11]],
]


class Des:
    """One DES engine; `variant` selects the version file's twists, else plain DES."""

    def __init__(self, variant=True):
        self.variant = variant

    def to_bits(self, data):
        bits = []
        for byte in data:
            order = range(8) if self.variant else range(7, -1, -1)
            bits.extend((byte >> k) & 1 for k in order)
        return bits

    def from_bits(self, bits):
        out = bytearray()
        for i in range(0, len(bits), 8):
            chunk = bits[i:i + 8]
            value = 0
            for pos, bit in enumerate(chunk):
                shift = pos if self.variant else 7 - pos
                value |= bit << shift
            out.append(value)
        return bytes(out)

    def schedule(self, key8):
        bits = self.to_bits(key8)
        cd = [bits[p - 1] for p in PC1]
        c, d = cd[:28], cd[28:]
        keys = []
        for s in SHIFTS:
            c = c[s:] + c[:s]
            d = d[s:] + d[:s]
            keys.append([(c + d)[p - 1] for p in PC2])
        return keys

    def f(self, r, k):
        x = [r[p - 1] ^ kb for p, kb in zip(E, k)]
        out = []
        for g in range(8):
            six = x[6 * g:6 * g + 6]
            row = 2 * six[0] + six[5]
            col = 8 * six[1] + 4 * six[2] + 2 * six[3] + six[4]
            v = S[g][row][col]
            if self.variant:
                out.extend([v & 1, (v >> 1) & 1, (v >> 2) & 1, (v >> 3) & 1])
            else:
                out.extend([(v >> 3) & 1, (v >> 2) & 1, (v >> 1) & 1, v & 1])
        return [out[p - 1] for p in P]

    def block(self, data8, keys, decrypt):
        bits = self.to_bits(data8)
        ip = [bits[p - 1] for p in IP]
        left, right = ip[:32], ip[32:]
        if self.variant:
            if not decrypt:
                for k in keys:
                    left, right = right, [a ^ b for a, b in zip(left, self.f(right, k))]
            else:
                for k in reversed(keys):
                    right, left = left, [a ^ b for a, b in zip(right, self.f(left, k))]
            joined = left + right
        else:
            order = reversed(keys) if decrypt else keys
            for k in order:
                left, right = right, [a ^ b for a, b in zip(left, self.f(right, k))]
            joined = right + left  # the standard's final exchange
        return self.from_bits([joined[p - 1] for p in FP])


def triple(data, decrypt, key_text=KEY_TEXT):
    """Two-key EDE over ECB with zero padding; returns every padded block."""
    des = Des(True)
    k1, k2 = des.schedule(key_text[:8]), des.schedule(key_text[8:16])
    padded = data + b"\0" * (-len(data) % 8)
    out = bytearray()
    for i in range(0, len(padded), 8):
        b = padded[i:i + 8]
        if not decrypt:
            b = des.block(des.block(des.block(b, k1, False), k2, True), k1, False)
        else:
            b = des.block(des.block(des.block(b, k1, True), k2, False), k1, True)
        out += b
    return bytes(out)


def self_check():
    plain = Des(False)
    vectors = [
        ("133457799BBCDFF1", "0123456789ABCDEF", "85E813540F0AB405"),
        ("0E329232EA6D0D73", "8787878787878787", "0000000000000000"),
        ("0101010101010101", "95F8A5E5DD31D900", "8000000000000000"),
        ("7CA110454A1A6E57", "01A1D6D039776742", "690F5B0D9A26939B"),
    ]
    for key, pt, ct in vectors:
        keys = plain.schedule(bytes.fromhex(key))
        got = plain.block(bytes.fromhex(pt), keys, False)
        assert got.hex().upper() == ct, (key, pt, got.hex())
        assert plain.block(got, keys, True) == bytes.fromhex(pt)
    # The variant inverts itself too.
    v = Des(True)
    keys = v.schedule(KEY_TEXT[:8])
    sample = bytes(range(8))
    assert v.block(v.block(sample, keys, False), keys, True) == sample
    assert triple(triple(b"abc", False), True)[:3] == b"abc"


def vectors():
    gbk = "版本号中文测试@".encode("gbk")
    texts = [
        b"A",
        b"1.0.0@100",                      # 9 bytes: two blocks
        b"ABCDEFGH",                       # one whole block
        b"3.2.1.4@20240115",
        "网吧版 V2.3@".encode("gbk") + b"231",
        gbk * 3,
        bytes((i * 37 + 11) % 255 + 1 for i in range(64)),
        ("升级" * 31).encode("gbk") + b"@1234567",          # 124 + 8 bytes
        (b"x" * 200 + "终".encode("gbk") * 20 + b"@9" * 5)[:251],
        bytes((i * 7 + 3) % 254 + 1 for i in range(252)),    # the longest plain text
    ]
    return texts


def cpp_table():
    lines = []
    for t in vectors():
        c = triple(t, False)
        lines.append('    {"%s",\n     "%s"},' % (t.hex(), c.hex()))
    return "\n".join(lines)


if __name__ == "__main__":
    self_check()
    if len(sys.argv) > 1 and sys.argv[1] == "--check":
        print("ok")
    else:
        print(cpp_table())
