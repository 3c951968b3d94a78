#!/usr/bin/env python3
"""Packs the demo game that qvinstaller.exe unpacks: the launcher, the file that marks a game
folder, a settings file and a block of game data (pseudo-random, so that it does not compress
and the download has a size worth watching). Deterministic: the same inputs give the same
archive, so the package's MD5 is stable from build to build."""
import random
import sys
import zipfile


def main(launcher, out, data_mib):
    rng = random.Random(20170309)
    data = rng.randbytes(int(data_mib * 1024 * 1024))
    files = [
        ('KeltoLauncher.exe', open(launcher, 'rb').read(), zipfile.ZIP_DEFLATED),
        ('qvmain.dll', b'demo game module\r\n', zipfile.ZIP_DEFLATED),
        ('Launcher.ini', '[Launcher]\r\nGame=凯途星联\r\n'.encode('utf-8'), zipfile.ZIP_DEFLATED),
        ('bin/game.dat', data, zipfile.ZIP_STORED),
    ]
    with zipfile.ZipFile(out, 'w') as z:
        for name, content, method in files:
            info = zipfile.ZipInfo(name, date_time=(2017, 3, 9, 0, 0, 0))
            info.compress_type = method
            z.writestr(info, content)


if __name__ == '__main__':
    main(sys.argv[1], sys.argv[2], float(sys.argv[3]))
