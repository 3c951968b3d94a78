#!/usr/bin/env python3
"""Packs the skin into the archive that the installer carries as its "ZIPRES" resource:
layouts deflated, images stored (they are compressed already), names sorted and time stamps
fixed so the archive is the same from build to build.

    make_skin_zip.py SKIN_DIR OUT [MORE_DIR...]

SKIN_DIR holds the layouts; each MORE_DIR adds its files (the images drawn at build time).
A name found in two folders is an error: one of the two would silently be lost."""
import os
import sys
import zipfile

SKIN_SUFFIXES = ('.xml', '.png', '.jpg', '.bmp')


def skin_files(folder):
    # Before any layout exists the folder may be missing: it then adds nothing.
    present = os.listdir(folder) if os.path.isdir(folder) else []
    return [n for n in present if n.lower().endswith(SKIN_SUFFIXES)]


def main(skin_dir, out, more_dirs):
    sources = {}
    for folder in [skin_dir] + more_dirs:
        for name in skin_files(folder):
            key = name.lower()  # the program finds entries ignoring case
            if key in sources:
                sys.stderr.write('make_skin_zip: %s is in both %s and %s\n'
                                 % (name, os.path.dirname(sources[key]), folder))
                return 1
            sources[key] = os.path.join(folder, name)
    tmp = out + '.tmp'
    with zipfile.ZipFile(tmp, 'w') as z:
        for path in sorted(sources.values(), key=os.path.basename):
            name = os.path.basename(path)
            info = zipfile.ZipInfo(name, date_time=(2017, 3, 9, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED if name.lower().endswith('.xml') else zipfile.ZIP_STORED
            with open(path, 'rb') as f:
                z.writestr(info, f.read())
    os.replace(tmp, out)
    return 0


if __name__ == '__main__':
    if len(sys.argv) < 3:
        sys.stderr.write('usage: make_skin_zip.py SKIN_DIR OUT [MORE_DIR...]\n')
        sys.exit(2)
    sys.exit(main(sys.argv[1], sys.argv[2], sys.argv[3:]))
