#!/usr/bin/env python3
"""tarvek-cli through its executable, on temporary data folders only.

Usage: cli_test.py TARVEK_CLI MAKE_TREE_PY [unittest arguments, such as a class name]
"""
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unicodedata
import unittest

CLI = None
MAKE_TREE = None

# Names a disc may hold that a line-based output could mistake: Hangul composed and decomposed,
# spaces, brackets, quotes, a backslash, a tab and a line feed (stored as spaces), a long name.
HOSTILE_FILES = [
    '사진/가족 2004/바다.jpg',
    '사진/' + unicodedata.normalize('NFD', '한글') + '.png',
    'docs/[old] "quoted" name.txt',
    'docs/back\\slash.txt',
    'docs/tab\there.txt',
    'docs/line\nbreak.txt',
    'docs/' + 'l' * 200 + '.txt',
    'empty.txt',
]


def run(*args, data=None, stdin=None, check_status=None, env=None):
    command = [CLI] + (['--data', data] if data else []) + list(args)
    done = subprocess.run(command, input=stdin, capture_output=True, env=env, timeout=120)
    if check_status is not None and done.returncode != check_status:
        raise AssertionError('%s gave %d, not %d\n%s' % (
            command, done.returncode, check_status, done.stderr.decode('utf-8', 'replace')))
    return done


def json_lines(done):
    return [json.loads(line) for line in done.stdout.decode('utf-8').splitlines()]


def make_disc(root, files=HOSTILE_FILES, size=3):
    for relative in files:
        path = os.path.join(root, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, 'wb') as out:
            out.write(b'x' * (0 if relative == 'empty.txt' else size))
    return root


def age_files(folder, seconds=7200):
    """Dates every catalogue file back, past the index's window for times too recent to trust."""
    then = time.time() - seconds
    for name in os.listdir(folder):
        if name.startswith('cd_'):
            os.utime(os.path.join(folder, name), (then, then))


class Folder(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.mkdtemp(prefix='tarvek-cli-test-')
        self.data = os.path.join(self.scratch, 'data')

    def tearDown(self):
        shutil.rmtree(self.scratch, ignore_errors=True)

    def disc(self, name, files=HOSTILE_FILES):
        return make_disc(os.path.join(self.scratch, name), files)

    def cli(self, *args, **kwargs):
        return run(*args, data=self.data, **kwargs)


class EveryCommand(Folder):
    """Each subcommand once, on one catalogue, checked against what the disc holds."""

    def test_a_catalogue_from_scan_to_rm(self):
        disc = self.disc('DISC_01')
        saved = json_lines(self.cli('--json', 'scan', disc, '--label', ' 사진 2004 ', '--desc', '가족 "여행"',
                                    '--category', '사진', check_status=0))
        # The label is trimmed as the save dialog trims it; one row for the disc, each folder and file.
        folders = {os.path.dirname(f) for f in HOSTILE_FILES} - {''} | {'사진'}
        self.assertEqual(saved, [{'label': '사진 2004', 'category': '04', 'description': '가족 "여행"',
                                  'file': 'cd_사진 2004.dat', 'rows': 1 + len(folders) + len(HOSTILE_FILES)}])

        listed = self.cli('list', check_status=0).stdout.decode('utf-8')
        self.assertEqual(listed, '사진 2004\t04\t가족 "여행"\tcd_사진 2004.dat\n')

        tree = json_lines(self.cli('--json', 'show', '사진 2004', '--tree', check_status=0))
        self.assertEqual([row['row'] for row in tree], list(range(1, len(tree) + 1)))
        self.assertEqual(tree[0]['path'], disc + '/')
        files = {row['path'][len(disc) + 1:]: row for row in tree if row['type'] == 'file'}
        # Control characters of a name become spaces, as the catalogue files keep them.
        expected = {f.replace('\t', ' ').replace('\n', ' ') for f in HOSTILE_FILES}
        self.assertEqual(set(files), expected)
        self.assertEqual(files['docs/back\\slash.txt']['size'], 3)
        self.assertEqual(files['empty.txt']['size'], 0)
        self.assertRegex(files['empty.txt']['modified'], r'^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d')

        facts = json_lines(self.cli('--json', 'show', '사진 2004', check_status=0))[0]
        self.assertEqual((facts['files'], facts['bytes'], facts['category_name']),
                         (len(HOSTILE_FILES), 3 * (len(HOSTILE_FILES) - 1), '사진'))

        # The disc search matches whole lines; the row search paths and names.
        self.assertEqual(self.cli('search', '바다', check_status=0).stdout.decode(), listed)
        rows = json_lines(self.cli('--json', 'search', '--files', '가족', check_status=0))
        self.assertEqual([r['name'] for r in rows], ['가족 2004', '바다.jpg'])

        self.cli('rename', '사진 2004', 'PHOTOS', '--desc', '새 설명', check_status=0)
        self.assertEqual(self.cli('--null', 'list', check_status=0).stdout, b'PHOTOS\0')
        self.assertTrue(os.path.exists(os.path.join(self.data, 'cd_PHOTOS.dat')))
        self.assertFalse(os.path.exists(os.path.join(self.data, 'cd_사진 2004.dat')))

        csv_path = os.path.join(self.scratch, 'tree.csv')
        self.cli('export', 'PHOTOS', '--csv', csv_path, check_status=0)
        with open(csv_path, encoding='utf-8-sig') as exported:
            self.assertEqual(len(exported.read().splitlines()), 1 + len(tree))
        self.cli('export', '--results', '바다', '--csv', csv_path, check_status=0)
        with open(csv_path, encoding='utf-8-sig') as exported:
            self.assertIn('바다.jpg', exported.read())
        self.cli('export', '--list', '--csv', csv_path, check_status=0)
        with open(csv_path, encoding='utf-8-sig') as exported:
            self.assertIn('PHOTOS,새 설명,사진', exported.read())

        self.cli('rm', 'photos', check_status=0)  # labels are compared without case
        self.assertEqual(self.cli('list').returncode, 1)
        self.assertEqual([n for n in os.listdir(self.data) if n.startswith('cd_')], [])
        self.assertEqual([n for n in os.listdir(os.path.join(self.data, '.tarvek')) if n.startswith('cd_')], [])

    def test_scan_images_reports_each_image_and_skips_saved_labels(self):
        images = os.path.join(self.scratch, 'images')
        os.makedirs(images)
        for label in ('FIRST', 'SECOND'):
            subprocess.run(['genisoimage', '-quiet', '-J', '-R', '-V', label, '-o',
                            os.path.join(images, label.lower() + '.iso'), self.disc(label)], check=True)
        with open(os.path.join(images, 'broken.iso'), 'wb') as out:
            out.write(b'\0' * 70000)
        with open(os.path.join(images, 'notes.txt'), 'w') as out:
            out.write('not an image')
        # A disc saved under the first image's volume label already.
        self.cli('scan', self.disc('x'), '--label', 'first', check_status=0)
        done = self.cli('--json', 'scan-images', images, '--category', '02')
        lines = json_lines(done)
        self.assertEqual([(l['status'], l['label'], os.path.basename(l['image'])) for l in lines],
                         [('failed', 'broken', 'broken.iso'), ('skipped', 'FIRST', 'first.iso'),
                          ('saved', 'SECOND', 'second.iso')])
        # A broken image is reported and the batch goes on; the sound one is read as its disc.
        self.assertIn('이미지 파일을 읽을 수 없습니다', lines[0]['message'])
        self.assertEqual(done.returncode, 3)
        self.assertIn('이미지 3개: 저장 1, 건너뜀 1, 오류 1', done.stderr.decode())
        self.assertEqual(sorted(self.cli('--null', 'list').stdout.split(b'\0')), [b'', b'SECOND', b'first'])
        names = {row['name'] for row in json_lines(self.cli('--json', 'show', 'SECOND', '--tree'))}
        self.assertTrue({'바다.jpg', '가족 2004', 'empty.txt'} <= names, names)


class ExitStatus(Folder):
    def test_each_outcome_has_its_status(self):
        disc = self.disc('D')
        empty = os.path.join(self.scratch, 'empty')
        os.makedirs(empty)
        self.cli('scan', disc, '--label', 'USED', check_status=0)
        self.cli('scan', disc, '--label', 'OTHER', check_status=0)
        cases = [
            # usage
            (['frobnicate'], 2, '알 수 없는 명령'),
            (['scan', disc], 2, '--label'),
            (['scan', os.path.join(self.scratch, 'gone'), '--label', 'X'], 2, '없습니다'),
            (['scan', disc, '--label', 'X', '--category', '9'], 2, '구분'),
            (['search', 'x', '--type', '사진'], 2, '--files'),
            (['--json', '--null', 'list'], 2, '함께'),
            (['list', '--sort', 'size'], 2, '--sort'),
            (['list', '--bogus'], 2, '알 수 없는 옵션'),
            (['show'], 2, '인자'),
            (['export', 'USED'], 2, '--csv'),
            # nothing found
            (['search', '없는단어'], 1, ''),
            (['search', '--files', '없는단어'], 1, ''),
            (['show', 'NOPE'], 1, "'NOPE' 라벨로 저장된 디스크가 없습니다"),
            (['rm', 'NOPE'], 1, 'NOPE'),
            (['rename', 'NOPE', 'X'], 1, 'NOPE'),
            (['scan-images', empty], 1, '이미지 파일'),
            # refused, with the save dialog's words
            (['scan', disc, '--label', 'used'], 4, "'used' 라벨로 저장된 디스크가 이미 있습니다"),
            (['scan', disc, '--label', '   '], 4, 'CD 라벨을 입력하여 주세요'),
            (['scan', disc, '--label', 'a:b'], 4, '쓸 수 없는 글자'),
            (['scan', disc, '--label', 'X', '--desc', '설' * 256], 4, '설명이 너무 깁니다'),
            (['rename', 'OTHER', 'used'], 4, '다른 디스크가 쓰고 있습니다'),
            (['--interactive', 'rm', 'USED'], 4, '해당 폴더 정보를 삭제하시겠습니까?'),
            # success
            (['--version'], 0, ''),
            (['search', '--help'], 0, ''),
            (['scan', disc, '--label', 'USED', '--replace'], 0, ''),
        ]
        for args, status, message in cases:
            with self.subTest(args=args):
                done = self.cli(*args, stdin=b'n\n')
                self.assertEqual(done.returncode, status, done.stderr.decode())
                self.assertIn(message, done.stderr.decode())
        # The refusals changed nothing.
        self.assertEqual(self.cli('--null', 'list').stdout, b'USED\0OTHER\0')

    def test_an_index_that_cannot_be_read_is_a_data_problem(self):
        os.makedirs(self.data)
        os.mkfifo(os.path.join(self.data, 'cdinfo.dat'))
        for args in (['list'], ['search', 'x'], ['scan', self.disc('D'), '--label', 'N']):
            with self.subTest(args=args):
                done = self.cli(*args)
                self.assertEqual(done.returncode, 3)
                self.assertIn('cdinfo.dat', done.stderr.decode())
        self.assertFalse(os.path.exists(os.path.join(self.data, 'cd_N.dat')))

    def test_an_image_that_cannot_be_read_is_a_data_problem(self):
        image = os.path.join(self.scratch, 'x.iso')
        with open(image, 'wb') as out:
            out.write(b'\0' * 4096)
        done = self.cli('scan', image, '--label', 'X')
        self.assertEqual(done.returncode, 3)
        self.assertIn('이미지 파일을 읽을 수 없습니다', done.stderr.decode())


class Json(Folder):
    def test_every_row_of_a_large_catalogue_reads_back(self):
        # Thousands of rows over two discs, dated past the index's window, so that the search
        # index answers from what it stored.
        big = os.path.join(self.scratch, 'big')
        subprocess.run([sys.executable, MAKE_TREE, big, '--entries', '4000', '--seed', '3'], check=True,
                       capture_output=True)
        self.cli('scan', big, '--label', 'BIG', check_status=0)
        self.cli('scan', self.disc('small'), '--label', 'SMALL', check_status=0)
        age_files(self.data)
        tree = json_lines(self.cli('--json', 'show', 'BIG', '--tree', check_status=0))
        self.assertEqual(len(tree), 4000)
        walked = sum(len(d) + len(f) for _, d, f in os.walk(big)) + 1
        hidden = sum(1 for _, d, f in os.walk(big) for n in d + f if n.startswith('.'))
        self.assertEqual(len(tree), walked - hidden)
        for word in ('사진', 'docs'):
            rows = json_lines(self.cli('--json', 'search', '--files', word, check_status=0))
            expected = [r for r in tree if word in r['folder'] or word in r['name']]
            self.assertEqual([(r['path'], r['size']) for r in rows if r['label'] == 'BIG'],
                             [(r['path'], r['size']) for r in expected])
            nul = self.cli('--null', 'search', '--files', word).stdout.split(b'\0')
            self.assertEqual([p.decode() for p in nul[:-1]], [r['path'] for r in rows])

    def test_a_file_changed_behind_the_programs_back_is_searched_as_it_is(self):
        self.cli('scan', self.disc('A'), '--label', 'A', check_status=0)
        self.cli('scan', self.disc('B'), '--label', 'B', check_status=0)
        age_files(self.data)
        self.assertEqual(self.cli('search', 'zebra').returncode, 1)  # builds the index
        path = os.path.join(self.data, 'cd_B.dat')
        stat = os.stat(path)
        with open(path, 'rb') as original:
            content = original.read()
        changed = content.replace(b'empty.txt', b'zebra.txt', 1)
        self.assertEqual(len(changed), len(content))
        with open(path, 'r+b') as out:
            out.write(changed)
        os.utime(path, ns=(stat.st_atime_ns, stat.st_mtime_ns))
        self.assertEqual(self.cli('--null', 'search', 'zebra', check_status=0).stdout, b'B\0')
        rows = json_lines(self.cli('--json', 'search', '--files', 'zebra', check_status=0))
        self.assertEqual([(r['label'], r['name']) for r in rows], [('B', 'zebra.txt')])


class Interrupt(Folder):
    def test_ctrl_c_stops_a_scan_and_saves_nothing(self):
        big = os.path.join(self.scratch, 'big')
        subprocess.run([sys.executable, MAKE_TREE, big, '--entries', '20000', '--seed', '5'], check=True,
                       capture_output=True)
        self.cli('scan', self.disc('keep'), '--label', 'KEEP', check_status=0)
        before = sorted(os.listdir(self.data))
        scan = subprocess.Popen([CLI, '--data', self.data, 'scan', big, '--label', 'BIG'],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        # Stopped while it has a folder of the tree open, it is in the walk for certain: the signal
        # then reaches the scan, not the start-up or the save.
        while True:
            self.assertIsNone(scan.poll(), 'the scan ended before it could be stopped')
            if not self._in_walk(scan.pid, big):
                continue
            os.kill(scan.pid, signal.SIGSTOP)
            if self._in_walk(scan.pid, big):
                break
            os.kill(scan.pid, signal.SIGCONT)
        os.kill(scan.pid, signal.SIGINT)
        os.kill(scan.pid, signal.SIGCONT)
        out, err = scan.communicate(timeout=60)
        self.assertEqual(scan.returncode, 130, err.decode())
        self.assertIn('아무것도 저장하지 않았습니다', err.decode())
        self.assertEqual(out, b'')
        self.assertEqual(sorted(os.listdir(self.data)), before)
        self.assertEqual(self.cli('--null', 'list').stdout, b'KEEP\0')

    @staticmethod
    def _in_walk(pid, tree):
        try:
            for fd in os.listdir('/proc/%d/fd' % pid):
                if os.readlink('/proc/%d/fd/%s' % (pid, fd)).startswith(tree + '/'):
                    return True
        except OSError:
            pass
        return False


if __name__ == '__main__':
    CLI, MAKE_TREE = sys.argv[1], sys.argv[2]
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:], verbosity=2)
