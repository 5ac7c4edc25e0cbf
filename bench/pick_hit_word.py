#!/usr/bin/env python3
"""Prints a Korean word that about a tenth of the catalogues in DATADIR hold.

Usage: pick_hit_word.py DATADIR

The candidates are the numbered Korean names the generator writes ("졸업_1998-07", "사진 37",
"[1998] 학교", "여행 (12)"): the one whose number of holding discs is nearest to a tenth of the
discs is printed, so the search benchmark's hit case reads about a tenth of the discs to their
first match and the rest to their end.
"""
import collections
import os
import re
import sys

folder = sys.argv[1]
files = sorted(f for f in os.listdir(folder) if f.startswith('cd_') and f.endswith('.dat'))
pattern = re.compile(r'[가-힣]+_(?:199\d|200\d)-\d\d|[가-힣]+ \d\d?\b|\[(?:199\d|200\d)\] [가-힣]+|[가-힣]+ \(\d+\)')
discs = collections.Counter()
for name in files:
    with open(os.path.join(folder, name), encoding='cp949', errors='replace') as f:
        discs.update(set(pattern.findall(f.read())))
target = len(files) / 10
word = min(sorted(discs), key=lambda w: abs(discs[w] - target))
print(word)
print(f'{word}: {discs[word]} of {len(files)} discs', file=sys.stderr)
