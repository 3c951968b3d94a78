"""ImageMagick plumbing shared by the skin's art and preview scripts.

Every PNG leaves here as 8-bit RGBA with no time stamps and no metadata, so two builds of
the same sources give the same bytes (the skin archive, and with it the executable, stays
reproducible). ImageMagick runs on one thread: the build machines are shared, and one thread
also keeps blur and resampling results independent of the core count."""
import os
import re
import shutil
import subprocess
import sys

# The skin's text is Chinese: its art and previews are set in WenQuanYi Micro Hei, the face
# that Wine substitutes for Microsoft YaHei.
CJK_FONT_CANDIDATES = (
    '/usr/share/fonts/truetype/wqy/wqy-microhei.ttc',
    '/usr/share/fonts/wqy-microhei/wqy-microhei.ttc',
)

# Quality 95: zlib level 9 with adaptive row filters, the smallest lossless PNG.
_PNG_OUTPUT = ['-strip', '-define', 'png:exclude-chunks=date,time', '-depth', '8', '-quality', '95']


class MagickError(RuntimeError):
    pass


def cjk_font():
    for path in CJK_FONT_CANDIDATES:
        if os.path.isfile(path):
            return path
    raise MagickError('no CJK font: install fonts-wqy-microhei (tools/setup.sh does)')


def _convert_binary():
    found = shutil.which('convert')
    if not found:
        raise MagickError("ImageMagick's convert is missing: install imagemagick "
                          '(tools/setup.sh does)')
    return found


def _environment():
    env = dict(os.environ)
    env['MAGICK_THREAD_LIMIT'] = '1'
    env['OMP_NUM_THREADS'] = '1'
    return env


def convert(args, out):
    """Runs `convert args... PNG32:out` and fails loudly with ImageMagick's own message."""
    # Settings made inside parentheses stay there, so layers do not leak strokes and fills.
    command = [_convert_binary(), '-respect-parentheses'] + [str(a) for a in args] + _PNG_OUTPUT + ['PNG32:' + out]
    result = subprocess.run(command, env=_environment(), stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)
    if result.returncode != 0 or not os.path.isfile(out):
        raise MagickError('convert failed for %s:\n%s' % (out, result.stderr.decode(errors='replace')))


_NUMBER = re.compile(r'-?\d+(?:\.\d+)?')


def _scaled_numbers(text, k, keep_last=0):
    """`text` with each of its numbers times k, except the last `keep_last` of them."""
    numbers = _NUMBER.findall(text)
    scale_count = len(numbers) - keep_last
    index = [0]

    def one(match):
        i = index[0]
        index[0] += 1
        if i >= scale_count:
            return match.group(0)
        return ('%.4f' % (float(match.group(0)) * k)).rstrip('0').rstrip('.')
    return _NUMBER.sub(one, text)


def _scaled_draw(primitive, k):
    # Settings such as "stroke-linejoin round" may come before the shape; they hold no length.
    names = [w for w in primitive.split() if w in _DRAW_PRIMITIVES]
    if not names:
        raise MagickError('cannot scale the drawing %r' % primitive)
    name = names[0]
    # An ellipse ends in its start and end angles, which stay.
    return _scaled_numbers(primitive, k, keep_last=2 if name == 'ellipse' else 0)


_DRAW_PRIMITIVES = ('line', 'roundrectangle', 'circle', 'ellipse', 'polyline')
# The options whose value holds lengths ("-blur 0x3" a radius, "-geometry +4-2" an offset),
# and how each is rewritten at scale k.
_LENGTH_OPTIONS = {option: _scaled_numbers for option in (
    '-size', '-strokewidth', '-pointsize', '-kerning', '-blur', '-geometry', '-annotate')}
_LENGTH_OPTIONS['-draw'] = _scaled_draw


def scaled(args, k):
    """The same drawing `k` times as large: every length of the convert arguments (canvas
    sizes, coordinates, radii, stroke widths, blurs, type sizes, offsets) times k, angles and
    colours as they are. Pixel edges stay on pixel edges, so a crisp line stays crisp."""
    if k == 1:
        return list(args)
    out = []
    rewrite = None
    for a in args:
        a = str(a)
        if rewrite:
            a = rewrite(a, k)
            rewrite = None
        elif a in _LENGTH_OPTIONS:
            rewrite = _LENGTH_OPTIONS[a]
        out.append(a)
    return out


def image_size(path):
    """(width, height) of a PNG, read from its header."""
    with open(path, 'rb') as f:
        head = f.read(24)
    if head[:8] != b'\x89PNG\r\n\x1a\n' or head[12:16] != b'IHDR':
        raise MagickError('%s is not a PNG' % path)
    return int.from_bytes(head[16:20], 'big'), int.from_bytes(head[20:24], 'big')


def layer(*args):
    """A sub-image for the stack: ( args ... ); settings made inside stay inside."""
    return ['('] + list(args) + [')']


def composite(x=0, y=0, mode='over'):
    """Lays the last image of the stack onto the one before it, its top left at (x, y)."""
    return ['-compose', mode, '-geometry', '%+d%+d' % (x, y), '-composite']


def rgba(hex_colour, alpha=1.0):
    """'#RRGGBB' and an opacity from 0 to 1 as an ImageMagick colour."""
    h = hex_colour.lstrip('#')
    r, g, b = int(h[0:2], 16), int(h[2:4], 16), int(h[4:6], 16)
    return 'rgba(%d,%d,%d,%.4f)' % (r, g, b, alpha)


def fail(message):
    sys.stderr.write(message + '\n')
    sys.exit(1)
