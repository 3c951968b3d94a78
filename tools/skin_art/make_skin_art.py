#!/usr/bin/env python3
"""Draws every image of the installer's skin into one folder; the build packs them with the
layouts into the "ZIPRES" archive.

    make_skin_art.py OUT_DIR

The art is made here, from this file alone: gradients, stars, glows and the title set in
WenQuanYi Micro Hei, drawn by ImageMagick. Nothing is fetched. The same sources give the
same bytes (see magick.py), and the star field comes from a fixed seed.

Button images are horizontal strips of four equal states, left to right: normal, hot,
pushed, disabled. The layouts pick a state with "source". The check box strip holds
unticked, unticked hot, ticked, ticked hot; the edit frame strip normal, hot, focused,
disabled."""
import math
import os
import random
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from magick import cjk_font, composite, convert, fail, layer, MagickError, rgba, scaled  # noqa: E402

# One palette for every image: a deep starry night for the banner, a light cool panel for
# the pages, orange for the action that installs, blue for choices and progress.
SPACE_TOP = '#050919'
SPACE_BOTTOM = '#1A2763'
NEBULA_VIOLET = '#7B4DFF'
NEBULA_MAGENTA = '#D24BE8'
NEBULA_CYAN = '#21CFFF'
GOLD_LIGHT = '#FFF7D6'
GOLD = '#FFD25C'
GOLD_DEEP = '#F08A1E'
GOLD_OUTLINE = '#3B1D05'
PANEL_TOP = '#F7F9FE'
PANEL_BOTTOM = '#E6EDF8'
FRAME = '#0C1430'
ACCENT_LIGHT = '#5FD2FF'
ACCENT = '#2F86F6'
ACCENT_DEEP = '#2A5FD8'
LINE = '#BAC5D9'
CTA = {  # top, bottom, border; deep enough for white text
    'normal': ('#FFA23A', '#EE620B', '#C9530A'),
    'hot': ('#FFB452', '#F87418', '#D65E0E'),
    'pushed': ('#E98A2C', '#D45607', '#B04606'),
    'disabled': ('#B5BDCB', '#9DA6B6', '#8C95A6'),
}
SECONDARY = {
    'normal': ('#FFFFFF', '#EFF3F9', '#B6C2D7'),
    'hot': ('#FFFFFF', '#E6F2FF', '#4A9BF0'),
    'pushed': ('#DFE9F6', '#D5E2F3', '#3A86DC'),
    'disabled': ('#F3F5F8', '#EEF1F5', '#D6DBE4'),
}
STATES = ('normal', 'hot', 'pushed', 'disabled')

WINDOW_W, WINDOW_H = 540, 355
BANNER_H = 190
FRAME_RADIUS = 4  # the window region's corners ("roundcorner" 8,8) have this radius
MSG_W, MSG_H, MSG_CAPTION = 280, 115, 35
PROGRESS_W, PROGRESS_H = 500, 30


def gradient(w, h, top, bottom):
    """A w x h vertical gradient with an alpha channel, ready to be cut to a shape."""
    return ['-size', '%dx%d' % (w, h), 'gradient:%s-%s' % (top, bottom), '-alpha', 'set']


def rounded_mask(w, h, r):
    """A white rounded rectangle on transparency, the shape that button faces are cut to."""
    return layer('-size', '%dx%d' % (w, h), 'xc:none', '-fill', 'white',
                 '-draw', 'roundrectangle 0,0 %d,%d %d,%d' % (w - 1, h - 1, r, r))


def face(w, h, r, top, bottom, border, gloss):
    """A rounded button face: a vertical gradient, a gloss on its upper half, a one-pixel
    border and a light inner line under the top edge."""
    args = gradient(w, h, top, bottom)
    if gloss > 0:
        args += layer(*gradient(w, h // 2, rgba('#FFFFFF', gloss), rgba('#FFFFFF', 0)))
        args += composite()
    args += rounded_mask(w, h, r) + composite(mode='DstIn')
    args += ['-fill', 'none', '-stroke', rgba('#FFFFFF', 0.45), '-strokewidth', '1',
             '-draw', 'line %d,1.5 %d,1.5' % (r, w - 1 - r)]
    args += ['-stroke', border, '-draw',
             'roundrectangle 0.5,0.5 %.1f,%.1f %d,%d' % (w - 1.5, h - 1.5, r, r)]
    return layer(*args)


def strip(states):
    """State images appended left to right."""
    args = []
    for s in states:
        args += s
    return args + ['-background', 'none', '+append']


# -- Buttons -------------------------------------------------------------------------------

def cta_button(w, h, shadow):
    """The orange action button. With `shadow`, the face is `shadow` pixels shorter than the
    image and a soft orange glow lies under it (a pushed face sits one pixel lower)."""
    states = []
    fh = h - shadow
    r = min(8, fh // 3)
    for name in STATES:
        top, bottom, border = CTA[name]
        gloss = {'normal': 0.32, 'hot': 0.42, 'pushed': 0.12, 'disabled': 0.25}[name]
        args = ['-size', '%dx%d' % (w, h), 'xc:none']
        dy = 0
        if shadow:
            glow = rgba('#D9620C' if name != 'disabled' else '#6F7890',
                        0.0 if name == 'pushed' else 0.45)
            args += layer('-size', '%dx%d' % (w, h), 'xc:none', '-fill', glow,
                          '-draw', 'roundrectangle %d,%d %d,%d %d,%d'
                          % (4, shadow + 1, w - 5, h - 2, r, r), '-blur', '0x2.2')
            args += composite()
            dy = 1 if name == 'pushed' else 0
        args += face(w, fh, r, top, bottom, border, gloss)
        args += composite(0, dy)
        states.append(layer(*args))
    return strip(states)


def secondary_button(w, h):
    states = []
    for name in STATES:
        top, bottom, border = SECONDARY[name]
        states.append(face(w, h, 4, top, bottom, border, 0.0))
    return strip(states)


def caption_button(glyph, size=(25, 23)):
    """Minimise and close on the dark banner: a light glyph; hovering lights a backdrop, red
    for close."""
    w, h = size
    cx, cy = w // 2, h // 2
    if glyph == 'min':
        shape = ['-draw', 'line %.1f,%.1f %.1f,%.1f' % (cx - 5, cy + 0.5, cx + 5, cy + 0.5)]
        hot_bg, pushed_bg = rgba('#FFFFFF', 0.18), rgba('#FFFFFF', 0.10)
    else:
        shape = ['-draw', 'line %.1f,%.1f %.1f,%.1f' % (cx - 4.5, cy - 4.5, cx + 4.5, cy + 4.5),
                 '-draw', 'line %.1f,%.1f %.1f,%.1f' % (cx + 4.5, cy - 4.5, cx - 4.5, cy + 4.5)]
        hot_bg, pushed_bg = rgba('#E5484D', 0.95), rgba('#B8323A', 0.95)
    states = []
    for name in STATES:
        args = ['-size', '%dx%d' % (w, h), 'xc:none']
        bg = {'hot': hot_bg, 'pushed': pushed_bg}.get(name)
        if bg:
            args += ['-fill', bg, '-draw', 'roundrectangle 0,0 %d,%d 3,3' % (w - 1, h - 1)]
        ink = rgba('#FFFFFF', {'normal': 0.82, 'hot': 1.0, 'pushed': 0.9, 'disabled': 0.3}[name])
        args += ['-fill', 'none', '-stroke', ink, '-strokewidth', '1.6'] + shape
        states.append(layer(*args))
    return strip(states)


def check_box():
    """16 x 16: unticked, unticked hot, ticked, ticked hot."""
    # A mitred corner breaks up when ImageMagick strokes the tick four pixels wide (at 2x).
    tick = 'stroke-linejoin round polyline 4,8.2 7,11.2 12.2,5'
    looks = [
        ('#FFFFFF', '#FFFFFF', '#9AA7C2', False),
        ('#F3F8FF', '#E8F2FF', ACCENT, False),
        (ACCENT_LIGHT, ACCENT, ACCENT_DEEP, True),
        ('#7ADBFF', '#4C9BFA', ACCENT, True),
    ]
    states = []
    for top, bottom, border, ticked in looks:
        args = gradient(16, 16, top, bottom)
        args += rounded_mask(16, 16, 3) + composite(mode='DstIn')
        args += ['-fill', 'none', '-stroke', border, '-strokewidth', '1',
                 '-draw', 'roundrectangle 0.5,0.5 14.5,14.5 3,3']
        if ticked:
            args += ['-stroke', 'white', '-strokewidth', '2', '-draw', tick]
        states.append(layer(*args))
    return strip(states)


def edit_frame():
    """12 x 12 nine-slice frames (corner 4): normal, hot, focused, disabled."""
    looks = [('#FFFFFF', LINE, None), ('#FFFFFF', '#7FB3EE', None),
             ('#FFFFFF', ACCENT, rgba(ACCENT, 0.18)), ('#F2F4F8', '#D6DBE4', None)]
    states = []
    for fill, border, glow in looks:
        args = ['-size', '12x12', 'xc:none', '-fill', fill, '-stroke', border,
                '-strokewidth', '1', '-draw', 'roundrectangle 0.5,0.5 10.5,10.5 3,3']
        if glow:
            args += ['-fill', 'none', '-stroke', glow, '-draw', 'roundrectangle 1.5,1.5 9.5,9.5 2,2']
        states.append(layer(*args))
    return strip(states)


# -- Progress bar --------------------------------------------------------------------------

# The track is a groove across the whole bar; the fill sits inside it, rows FILL_TOP to
# FILL_BOTTOM. The program draws the fill over the first P pixels of the bar with
# corner='0,10,min(P,110),10': the right-hand 110 columns of progress_fore.png (the head)
# land unscaled at the fill's end, and the rest of the image (the body) is stretched or
# squeezed into what remains. So the body is the same in every column, and everything that
# gives the fill its life (the brightening, the glow, the rounded end) lives in the head,
# where any cut still looks whole. The top and bottom ten rows are drawn unscaled.
TRACK_TOP, TRACK_BOTTOM = 6, 23
FILL_TOP, FILL_BOTTOM = 8, 21
HEAD = 110


def progress_track():
    w, h = PROGRESS_W, PROGRESS_H
    th = TRACK_BOTTOM - TRACK_TOP + 1
    groove = layer(*gradient(w, th, '#CBD5E6', '#DFE6F2'),
                   *rounded_mask(w, th, 4), *composite(mode='DstIn'),
                   '-fill', 'none', '-stroke', '#B3BFD4', '-strokewidth', '1',
                   '-draw', 'roundrectangle 0.5,0.5 %.1f,%.1f 4,4' % (w - 1.5, th - 1.5))
    args = ['-size', '%dx%d' % (w, h), 'xc:none']
    # A one-pixel light line under the groove makes it read as cut into the panel.
    args += ['-fill', 'none', '-stroke', rgba('#FFFFFF', 0.9), '-strokewidth', '1',
             '-draw', 'line 4,%.1f %d,%.1f' % (TRACK_BOTTOM + 1.5, w - 5, TRACK_BOTTOM + 1.5)]
    args += groove + composite(0, TRACK_TOP)
    return args


def progress_fill():
    w, h = PROGRESS_W, PROGRESS_H
    fh = FILL_BOTTOM - FILL_TOP + 1
    # Shapes start left of the image so that its left end is a plain cut of the body.
    shape = 'roundrectangle -10,0 %d,%d 3,3' % (w - 1, fh - 1)
    body = layer(*gradient(w, fh, ACCENT_LIGHT, ACCENT_DEEP),
                 *layer(*gradient(w, fh // 2, rgba('#FFFFFF', 0.35), rgba('#FFFFFF', 0))),
                 *composite(),
                 # The head brightens toward the leading edge.
                 *horizontal_gradient(70, fh, rgba('#9DF0FF', 0), rgba('#9DF0FF', 0.55)),
                 *composite(w - 70, 0),
                 *layer('-size', '%dx%d' % (w, fh), 'xc:none', '-fill', 'white', '-draw', shape),
                 *composite(mode='DstIn'),
                 '-fill', 'none', '-stroke', rgba(ACCENT_DEEP, 0.8), '-strokewidth', '1',
                 '-draw', 'roundrectangle -10,0.5 %.1f,%.1f 3,3' % (w - 1.5, fh - 1.5))
    halo = layer('-size', '%dx%d' % (w, h), 'xc:none', '-fill', rgba(NEBULA_CYAN, 0.75),
                 '-draw', 'ellipse %d,%d 14,7 0,360' % (w - 12, (FILL_TOP + FILL_BOTTOM) // 2 + 1),
                 '-blur', '0x3')
    args = ['-size', '%dx%d' % (w, h), 'xc:none']
    args += halo + composite()
    args += body + composite(0, FILL_TOP)
    return args


# -- Window backgrounds --------------------------------------------------------------------

def star_field(rng, w, h, count, bright, clear):
    """Draw commands for `count` small stars and `bright` flared ones in a w x h area. Text
    needs a calm sky: inside the `clear` rectangles small stars are dimmed and no flare
    is placed."""
    def in_clear(x, y, margin=0):
        return any(l - margin <= x <= r + margin and t - margin <= y <= b + margin
                   for l, t, r, b in clear)
    small, flares = [], []
    for _ in range(count):
        x, y = rng.uniform(0, w), rng.uniform(0, h)
        r = rng.choice((0.5, 0.6, 0.7, 0.8, 1.0, 1.2))
        a = rng.uniform(0.35, 0.95) * (0.35 if in_clear(x, y) else 1.0)
        tint = rng.choice(('#FFFFFF', '#FFFFFF', '#CFE3FF', '#FFE9C7'))
        small += ['-fill', rgba(tint, a), '-draw', 'circle %.1f,%.1f %.1f,%.1f' % (x, y, x + r, y)]
    while len(flares) < bright:
        x, y = rng.uniform(10, w - 10), rng.uniform(8, h - 8)
        arm = rng.uniform(4.0, 7.5)
        if not in_clear(x, y, margin=10):
            flares.append((x, y, arm))
    return small, flares


def flare_layer(w, h, flares):
    args = ['-size', '%dx%d' % (w, h), 'xc:none']
    glow = ['-fill', rgba('#BFE6FF', 0.9)]
    for x, y, arm in flares:
        glow += ['-draw', 'circle %.1f,%.1f %.1f,%.1f' % (x, y, x + arm * 0.45, y)]
    args += layer('-size', '%dx%d' % (w, h), 'xc:none', *glow, '-blur', '0x3')
    args += composite(mode='screen')
    args += ['-fill', 'none', '-stroke', rgba('#FFFFFF', 0.85), '-strokewidth', '1']
    for x, y, arm in flares:
        args += ['-draw', 'line %.1f,%.1f %.1f,%.1f' % (x - arm, y, x + arm, y),
                 '-draw', 'line %.1f,%.1f %.1f,%.1f' % (x, y - arm, x, y + arm)]
    args += ['-stroke', 'none', '-fill', 'white']
    for x, y, arm in flares:
        args += ['-draw', 'circle %.1f,%.1f %.1f,%.1f' % (x, y, x + 1.3, y)]
    return layer(*args)


def nebula(w, h, x, y, colour, alpha):
    # The glow fades out exactly at the edge of its w x h box.
    return layer('-size', '%dx%d' % (w, h), '-define', 'gradient:extent=ellipse',
                 'radial-gradient:%s-%s' % (rgba(colour, alpha), rgba(colour, 0))) + \
        composite(x, y, mode='screen')


def night_sky(w, h, seed, stars, flares, nebulae, clear=()):
    rng = random.Random(seed)
    small, bright = star_field(rng, w, h, stars, flares, clear)
    args = gradient(w, h, SPACE_TOP, SPACE_BOTTOM)
    for n in nebulae:
        args += nebula(*n)
    args += ['-stroke', 'none'] + small
    args += flare_layer(w, h, bright) + composite(mode='screen')
    return args


def planet_rim(w, h):
    """A planet's horizon rising from the bottom of the banner, its atmosphere lit cyan."""
    cx, cy, rx, ry = w * 0.62, h + 330, 560, 372
    ellipse = 'ellipse %.1f,%.1f %d,%d 0,360' % (cx, cy, rx, ry)
    surface = layer(*gradient(w, h, '#0E1A4A', '#050A22'),
                    *layer('-size', '%dx%d' % (w, h), 'xc:none', '-fill', 'white', '-draw', ellipse),
                    *composite(mode='DstIn'))
    haze = layer('-size', '%dx%d' % (w, h), 'xc:none', '-fill', 'none',
                 '-stroke', rgba(NEBULA_CYAN, 0.85), '-strokewidth', '7', '-draw', ellipse,
                 '-blur', '0x9')
    rim = layer('-size', '%dx%d' % (w, h), 'xc:none', '-fill', 'none',
                '-stroke', rgba('#BFF3FF', 0.9), '-strokewidth', '1.4', '-draw', ellipse,
                '-blur', '0x0.6')
    return (surface + composite() +
            haze + composite(mode='screen') +
            rim + composite(mode='screen'))


def title_layers(w, h, font, text, size, top):
    """The game's name in gold: a warm glow, a dark outline, a gradient fill."""
    def text_layer(fill, stroke=None, width=0):
        a = ['-size', '%dx%d' % (w, h), 'xc:none', '-font', font, '-pointsize', str(size),
             '-kerning', '10', '-gravity', 'north', '-fill', fill]
        if stroke:
            a += ['-stroke', stroke, '-strokewidth', str(width)]
        return a + ['-annotate', '+0+%d' % top, text, '-gravity', 'northwest']
    glow = layer(*text_layer(rgba('#FF9A2E', 0.85), rgba('#FF9A2E', 0.85), 6), '-blur', '0x9')
    outline = layer(*text_layer(GOLD_OUTLINE, GOLD_OUTLINE, 4), '-blur', '0x0.7')
    # Light at the top of the glyphs, gold in the middle, deep orange at their feet.
    a, b = top + 6, int(top + size * 0.55)
    c = int(top + size * 1.05)
    ramp = (layer('-size', '%dx%d' % (w, a), 'xc:' + GOLD_LIGHT) +
            layer(*gradient(w, b - a, GOLD_LIGHT, GOLD)) +
            layer(*gradient(w, c - b, GOLD, GOLD_DEEP)) +
            layer('-size', '%dx%d' % (w, h - c), 'xc:' + GOLD_DEEP) + ['-append'])
    fill = layer(*ramp, *layer(*text_layer('white', 'white', 1)), *composite(mode='DstIn'))
    return (glow + composite(mode='screen') +
            outline + composite() +
            fill + composite())


def subtitle_layers(w, font, text, y):
    """A spaced-out line under the title between two fading rules."""
    args = layer('-size', '%dx24' % w, 'xc:none', '-font', font, '-pointsize', '13',
                 '-kerning', '5', '-gravity', 'center', '-fill', rgba('#D6E6FF', 0.92),
                 '-annotate', '+0+0', text, '-gravity', 'northwest')
    args += composite(0, y)
    for x0, x1, a0, a1 in ((150, 200, 0.0, 0.75), (340, 390, 0.75, 0.0)):
        args += horizontal_gradient(x1 - x0, 1, rgba('#9FD8FF', a0), rgba('#9FD8FF', a1))
        args += composite(x0, y + 12)
    return args


def horizontal_gradient(w, h, left, right):
    # A vertical gradient turned a quarter to the left: its top row becomes the left column.
    return layer(*gradient(h, w, left, right), '-rotate', '-90')


def frame_border(w, h):
    return ['-fill', 'none', '-stroke', rgba(FRAME, 0.55), '-strokewidth', '1',
            '-draw', 'roundrectangle 0.5,0.5 %.1f,%.1f %d,%d'
            % (w - 1.5, h - 1.5, FRAME_RADIUS, FRAME_RADIUS)]


def accent_rule(w, y):
    """Where the night meets the panel: a thin line glowing cyan and violet at its middle."""
    args = horizontal_gradient(w // 2, 2, rgba(NEBULA_CYAN, 0.0), rgba('#7FD8FF', 1.0))
    args += composite(0, y)
    args += horizontal_gradient(w - w // 2, 2, rgba('#A98BFF', 1.0), rgba(NEBULA_VIOLET, 0.0))
    args += composite(w // 2, y)
    return args


def panel_orbits(w, h):
    """Faint orbits crossing the panel's lower corners, each with a small world on it: the
    banner's theme carried down at a whisper, too light to compete with text."""
    args = ['-size', '%dx%d' % (w, h), 'xc:none', '-fill', 'none', '-strokewidth', '1']
    for cx, cy, rx, ry, alpha, angle in ((w + 70, h + 30, 250, 110, 0.16, 200),
                                         (w + 40, h + 60, 330, 150, 0.10, 215),
                                         (-90, h + 40, 240, 105, 0.12, 330)):
        args += ['-stroke', rgba(ACCENT, alpha),
                 '-draw', 'ellipse %d,%d %d,%d 0,360' % (cx, cy, rx, ry)]
        px = cx + rx * math.cos(math.radians(angle))
        py = cy + ry * math.sin(math.radians(angle))
        args += ['-stroke', 'none', '-fill', rgba(ACCENT, alpha * 1.8),
                 '-draw', 'circle %.1f,%.1f %.1f,%.1f' % (px, py, px + 2.5, py), '-fill', 'none']
    return layer(*args)


def main_background(font):
    w, h = WINDOW_W, WINDOW_H
    args = gradient(w, h, PANEL_TOP, PANEL_BOTTOM)
    args += panel_orbits(w, h - BANNER_H) + composite(0, BANNER_H)
    sky = night_sky(w, BANNER_H, seed=20170309, stars=230, flares=9, nebulae=[
        (460, 300, -150, -120, NEBULA_VIOLET, 0.60),
        (330, 200, 110, 10, NEBULA_MAGENTA, 0.22),
        (380, 260, 300, -40, NEBULA_CYAN, 0.34),
    ], clear=[(120, 24, 420, 136), (470, 0, 540, 30)])
    sky += planet_rim(w, BANNER_H)
    sky += title_layers(w, BANNER_H, font, '凯途星联', 60, 30)
    sky += subtitle_layers(w, font, '星海征途  即刻启程', 112)
    args += layer(*sky) + composite()
    # The banner casts a short shadow on the panel.
    args += layer(*gradient(w, 8, rgba('#0A1438', 0.22), rgba('#0A1438', 0)))
    args += composite(0, BANNER_H)
    args += accent_rule(w, BANNER_H - 1)
    args += frame_border(w, h)
    return args


def message_background():
    w, h, c = MSG_W, MSG_H, MSG_CAPTION
    args = gradient(w, h, PANEL_TOP, PANEL_BOTTOM)
    sky = night_sky(w, c, seed=1150, stars=45, flares=1, nebulae=[
        (260, 120, -90, -50, NEBULA_VIOLET, 0.55),
        (220, 110, 150, -40, NEBULA_CYAN, 0.30),
    ], clear=[(0, 0, 150, c), (240, 0, w, c)])
    args += layer(*sky) + composite()
    args += accent_rule(w, c - 1)
    args += frame_border(w, h)
    return args


def tip_icon():
    """32 x 32: an amber disc with a white exclamation mark, for every question and warning."""
    args = ['-size', '32x32', 'xc:none']
    args += layer('-size', '32x32', 'xc:none', '-fill', rgba('#B85A00', 0.35),
                  '-draw', 'circle 16,17.5 16,3', '-blur', '0x1.2')
    args += composite()
    disc = layer(*gradient(32, 32, '#FFCB5C', '#F07F14'),
                 *layer('-size', '32x32', 'xc:none', '-fill', 'white', '-draw', 'circle 16,16 16,2.5'),
                 *composite(mode='DstIn'),
                 '-fill', 'none', '-stroke', rgba('#C85F06', 0.9), '-strokewidth', '1',
                 '-draw', 'circle 16,16 16,2.8')
    args += disc + composite()
    args += ['-stroke', 'none', '-fill', 'white',
             '-draw', 'roundrectangle 14.2,7.5 17.8,19.5 1.8,1.8',
             '-draw', 'circle 16,23.6 16,21.6']
    return args


# Each image is drawn at 1x for 100 % displays and, from the same drawing twice as large, at
# 2x ("name@2x.png") for the scales above; the program picks the set for the window's scale.
SCALES = ((1, '%s.png'), (2, '%s@2x.png'))


def optimise(path):
    """optipng's search for the smallest encoding; lossless and the same bytes every run."""
    result = subprocess.run(['optipng', '-quiet', '-o2', '-strip', 'all', path],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if result.returncode != 0:
        raise MagickError('optipng failed for %s: %s'
                          % (path, result.stderr.decode(errors='replace')))


def main(out_dir):
    os.makedirs(out_dir, exist_ok=True)
    font = cjk_font()
    if not shutil.which('optipng'):
        raise MagickError('optipng is missing: install optipng (tools/setup.sh does)')
    jobs = [
        ('main_bk', lambda: main_background(font)),
        ('msg_bk', message_background),
        ('btn_install', lambda: cta_button(200, 52, 4)),
        ('btn_ok', lambda: cta_button(68, 26, 0)),
        ('btn_second', lambda: secondary_button(68, 26)),
        ('btn_select', lambda: secondary_button(80, 32)),
        ('btn_min', lambda: caption_button('min')),
        ('btn_close', lambda: caption_button('close')),
        ('check', check_box),
        ('input', edit_frame),
        ('progress_bk', progress_track),
        ('progress_fore', progress_fill),
        ('common_tip_icon', tip_icon),
    ]
    drawn = set()
    for stem, draw in jobs:
        for k, pattern in SCALES:
            name = pattern % stem
            drawn.add(name)
            # Drawn to a temporary name first, so an interrupted run leaves no half-written
            # image behind for the archive.
            target = os.path.join(out_dir, name)
            fd, tmp = tempfile.mkstemp(suffix='.png', dir=out_dir)
            os.close(fd)
            try:
                convert(scaled(draw(), k), tmp)
                optimise(tmp)
                os.chmod(tmp, 0o644)
                os.replace(tmp, target)
            finally:
                if os.path.exists(tmp):
                    os.unlink(tmp)
    # The folder is packed whole: an image this script no longer draws must not linger.
    for name in os.listdir(out_dir):
        if name.lower().endswith('.png') and name not in drawn:
            os.unlink(os.path.join(out_dir, name))


if __name__ == '__main__':
    if len(sys.argv) != 2:
        fail('usage: make_skin_art.py OUT_DIR')
    try:
        main(sys.argv[1])
    except MagickError as e:
        fail('make_skin_art: %s' % e)
