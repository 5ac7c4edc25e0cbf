#!/usr/bin/env python3
"""Reads the CSV exports csv_sample writes with Python's csv module, as a spreadsheet would.

Usage: check_csv.py CSV_SAMPLE
"""
import csv
import subprocess
import sys
import tempfile

NAME = 'a,b "똠"\tc.txt'

with tempfile.TemporaryDirectory() as folder:
    subprocess.run([sys.argv[1], folder], check=True)

    def rows(name):
        with open(f'{folder}/{name}', 'rb') as f:
            data = f.read()
        assert data.startswith(b'\xef\xbb\xbf'), f'{name}: no byte-order mark'
        if not name.startswith('hostile'):
            assert data.count(b'\n') == data.count(b'\r\n'), f'{name}: a line does not end in CR LF'
        assert data.endswith(b'\r\n'), f'{name}: the last record does not end in CR LF'
        with open(f'{folder}/{name}', encoding='utf-8-sig', newline='') as f:
            return list(csv.reader(f))

    # What a picture or a song is follows the columns the exports always had, in their order.
    media = ['촬영 날짜', '카메라 제조사', '카메라 모델', '너비', '높이', '아티스트', '앨범', '제목', '트랙',
             '연도', '길이']
    none = [''] * len(media)
    tree = rows('tree.csv')
    assert tree == [['폴더 경로', '이름', '종류', '크기', '날짜'] + media,
                    ['E:\\', 'E:', '폴더', '', ''] + none,
                    ['E:\\', NAME, '파일', '', ''] + none], tree
    results = rows('results.csv')
    assert results == [['라벨', '설명', '구분', '폴더 경로', '이름', '종류', '크기', '날짜'] + media,
                       ['똠,1', '"설명", 둘', '사진', '\\', NAME.replace('\t', ' '), '파일', '', ''] + none], results
    hostile = ['cr\rinside', 'lf\ninside', 'crlf\r\ninside', '"quoted"', 'ends in cr\r', '\ufeffmark first',
               'comma,"and"\r\n']
    tree = rows('hostile-tree.csv')
    assert tree[1:] == [[text, text, '파일', '', ''] + none for text in hostile], tree
    discs = rows('hostile-list.csv')
    assert discs[1:] == [[text, text, '', '', '', ''] for text in hostile], discs
    discs = rows('list.csv')
    assert discs == [['라벨', '설명', '구분', '파일 수', '전체 크기', '스캔 날짜'],
                     ['똠,1', '"설명", 둘', '사진', '', '', '']], discs
print('ok')
