#!/usr/bin/python3
"""Writes the sample compiled programs (.KXB) used by the demo and by hand.

A .KXB file is a headerless run of 16-bit program words, low byte first.
These samples come from no compiler: their words are made up, but always the
same, so that a download can be checked word for word against the file.

    /usr/bin/python3 examples/make_samples.py    # rewrites examples/*.KXB
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def words_of(seed, count):
    """A deterministic run of `count` words (a small linear congruential walk)."""
    value = seed
    words = []
    for _ in range(count):
        value = (value * 25173 + 13849) & 0xFFFF
        words.append(value)
    return words


SAMPLES = {
    # Short: two blocks, so the progress shows "Sending 2051..2150" and then 2151..2170.
    "blink.KXB": words_of(0x0B11, 120),
    # Most of one channel: fifty progress steps.
    "counter.KXB": words_of(0xC0C0, 4900),
    # Longer than one channel: needs -C2.
    "long.KXB": words_of(0x1006, 6000),
}

for name, words in SAMPLES.items():
    with open(os.path.join(HERE, name), "wb") as out:
        out.write(struct.pack("<%dH" % len(words), *words))
    print("%s: %d words" % (name, len(words)))
