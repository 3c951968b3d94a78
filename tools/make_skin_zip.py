#!/usr/bin/env python3
"""Packs the skin folder into the archive that the installer carries as its "ZIPRES"
resource: layouts deflated, images stored (they are compressed already), names sorted so the
archive is the same from build to build."""
import os
import sys
import zipfile


def main(skin_dir, out):
    # Before any layout exists the folder may be missing: the archive is then empty.
    present = os.listdir(skin_dir) if os.path.isdir(skin_dir) else []
    names = sorted(n for n in present if n.lower().endswith(('.xml', '.png', '.jpg', '.bmp')))
    tmp = out + '.tmp'
    with zipfile.ZipFile(tmp, 'w') as z:
        for n in names:
            info = zipfile.ZipInfo(n, date_time=(2017, 3, 9, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED if n.lower().endswith('.xml') else zipfile.ZIP_STORED
            with open(os.path.join(skin_dir, n), 'rb') as f:
                z.writestr(info, f.read())
    os.replace(tmp, out)


if __name__ == '__main__':
    main(sys.argv[1], sys.argv[2])
