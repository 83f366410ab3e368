#!/usr/bin/env python3
"""Independent model of the library's software digest, kept beside the tests.

It follows the digest's definition step by step (explicit padding, the full
80-word schedule, all four chaining words updated after every step) and
prints the known answers that digest_soft_test.cpp holds as fixtures. Run it
again only to re-derive those fixtures: python3 digest_reference.py
"""

MASK = 0xFFFFFFFF
INITIAL = (0x5A3C9E17, 0x2F81D4B6, 0xC47E0A93, 0x91B6F25D)
CONSTANTS = (0x3E6A1C85, 0x74D2B90F, 0xA81F5E36, 0x0C9B47E2, 0xE5307DA9)


def rotl(x, n):
    return ((x << n) | (x >> (32 - n))) & MASK


def pad(message):
    length = len(message)
    blocks = length // 64 + 1 + (1 if length % 64 > 56 else 0)
    padded = bytearray(message) + b"\x80"
    padded += bytes(64 * blocks - 4 - len(padded))
    padded += ((8 * length) & MASK).to_bytes(4, "big")
    assert len(padded) == 64 * blocks
    return bytes(padded)


def boolean_function(t, big_a, a, b):
    not_a = ~a & MASK
    if t % 4 == 0:
        return big_a ^ a ^ b
    if t % 4 == 1:
        return (big_a & not_a) | (a & b)
    if t % 4 == 2:
        return ((~big_a & MASK) | a) ^ b
    return (big_a & (a | b)) | (a & b)


def chaining_words(message):
    h = list(INITIAL)
    padded = pad(message)
    for start in range(0, len(padded), 64):
        block = padded[start:start + 64]
        w = [int.from_bytes(block[4 * i:4 * i + 4], "big") for i in range(16)]
        for i in range(16, 80):
            w.append(rotl(w[i - 16] ^ w[i - 11] ^ w[i - 6] ^ w[i - 5], 1))
        a, b, c, d = h
        for t in range(80):
            big_a = rotl(c, 3)
            total = (boolean_function(t, big_a, a, b) + w[t] + CONSTANTS[t % 5] + d) & MASK
            a, b, c, d = total, rotl(a, 23), b, c
            h = [(h[0] + a) & MASK, (h[1] + b) & MASK, (h[2] + c) & MASK, (h[3] + d) & MASK]
    return h


def digest(message, size):
    h = chaining_words(message)
    if size == 16:
        words = h
    elif size == 8:
        words = [h[0] ^ h[1], h[2] ^ h[3]]
    else:
        words = [h[0] ^ h[1] ^ h[2] ^ h[3]]
    return b"".join(x.to_bytes(4, "big") for x in words)


def counting_bytes(length):
    """The test message of a given length: byte i is (7 * i + 3) mod 256."""
    return bytes((7 * i + 3) & 0xFF for i in range(length))


def hex_spaced(data):
    return " ".join(f"{x:02X}" for x in data)


if __name__ == "__main__":
    assert pad(b"")[0] == 0x80 and pad(b"")[1:] == bytes(63)
    assert pad(counting_bytes(55))[55:] == bytes.fromhex("80 00000000 000001B8")
    assert pad(counting_bytes(56))[56:] == bytes.fromhex("80 000000 000001C0")
    assert pad(counting_bytes(57))[57:] == b"\x80" + bytes(66) + bytes.fromhex("000001C8")
    assert pad(counting_bytes(63))[63:] == b"\x80" + bytes(60) + bytes.fromhex("000001F8")
    assert pad(counting_bytes(64))[64:] == b"\x80" + bytes(59) + bytes.fromhex("00000200")

    for length in (0, 1, 3, 55, 56, 57, 58, 59, 60, 63, 64, 65, 119, 120, 121, 128, 1000, 65536):
        message = counting_bytes(length)
        print(f'    {{{length}, "{hex_spaced(digest(message, 16))}"}},')
    print()
    text = b"abc"
    for size in (16, 8, 4):
        print(f'    {{{size}, "{hex_spaced(digest(text, size))}"}},')
