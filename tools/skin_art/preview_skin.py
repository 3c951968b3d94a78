#!/usr/bin/env python3
"""Paints what the installer's windows will look like, from the layouts and the images
alone, so the skin can be judged before (and compared with) real screenshots.

    preview_skin.py SKIN_DIR ART_DIR OUT_DIR

SKIN_DIR holds InstallPackages.xml and MessageBox.xml, ART_DIR the images. OUT_DIR gets:
  install_start.png, install_folder.png, install_progress.png   the three pages
  msgbox_quit.png, msgbox_retry.png, msgbox_existing.png        three message boxes
  states.png                                                    every image strip, doubled
  overview.png                                                  all of it on one sheet

The painter follows the skin's rules where they shape the picture (floating "pos", flowing
horizontal and vertical layouts, tab pages, image strings with "file", "source", "dest",
"corner", "stretch" and "center", label alignment words, fonts by index, selected options);
text is set with ImageMagick in the CJK face that Wine uses for Microsoft YaHei, so glyph
widths differ from the real window by a pixel here and there."""
import os
import re
import sys
import tempfile
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from magick import cjk_font, composite, convert, fail, image_size, layer, MagickError  # noqa: E402

# Text style bits of the platform's text drawing.
DT_CENTER, DT_RIGHT, DT_VCENTER, DT_BOTTOM, DT_SINGLELINE = 0x1, 0x2, 0x4, 0x8, 0x20
DEFAULT_STYLE = {'Button': 0x25, 'Option': 0x25, 'Progress': 0x21}
CONTAINERS = ('Container', 'VerticalLayout', 'HorizontalLayout', 'TabLayout')
RESOURCE_ELEMENTS = ('Font', 'Image', 'Default')


def numbers(text, count):
    values = [int(v) for v in re.findall(r'-?\d+', text or '')]
    return (values + [0] * count)[:count]


def argb(text, fallback):
    """A markup colour "#AARRGGBB" as an ImageMagick colour; text drops the alpha, as the
    platform's text drawing does."""
    if not text:
        return fallback
    v = int(text.lstrip('#'), 16)
    return 'rgb(%d,%d,%d)' % ((v >> 16) & 255, (v >> 8) & 255, v & 255)


def align_style(style, value):
    """Applies the "align" words in the skin's order; "vcenter" also holds "center" and
    "vleft" also holds "left", so both of their rules apply."""
    for word in ('left', 'center', 'right', 'top', 'vcenter', 'bottom', 'vleft'):
        if word not in value:
            continue
        if word == 'left':
            style &= ~(DT_CENTER | DT_RIGHT | DT_VCENTER | DT_SINGLELINE)
        elif word == 'center':
            style = (style & ~DT_RIGHT) | DT_CENTER
        elif word == 'right':
            style = (style & ~(DT_CENTER | DT_VCENTER | DT_SINGLELINE)) | DT_RIGHT
        elif word == 'top':
            style = (style & ~(DT_VCENTER | DT_BOTTOM)) | DT_SINGLELINE
        elif word == 'vcenter':
            style = (style & ~DT_BOTTOM) | DT_CENTER | DT_VCENTER | DT_SINGLELINE
        elif word == 'bottom':
            style = (style & ~DT_VCENTER) | DT_BOTTOM | DT_SINGLELINE
        elif word == 'vleft':
            style = (style & ~(DT_CENTER | DT_RIGHT | DT_SINGLELINE)) | DT_VCENTER
    return style


class Control:
    def __init__(self, element, overrides):
        self.kind = element.tag
        self.attrs = dict(element.attrib)
        self.attrs.update(overrides.get(self.attrs.get('name'), {}))
        self.children = [Control(c, overrides) for c in element if c.tag not in RESOURCE_ELEMENTS]
        self.rect = (0, 0, 0, 0)

    def get(self, key, default=''):
        return self.attrs.get(key, default)

    @property
    def visible(self):
        return self.get('visible') != 'false'

    @property
    def floating(self):
        return self.get('float') == 'true'

    def fixed_size(self):
        l, t, r, b = numbers(self.get('pos'), 4)
        w = int(self.get('width', r - l if r - l > 0 else 0))
        h = int(self.get('height', b - t if b - t > 0 else 0))
        return w, h


class Layout:
    """Places every control: floating ones by "pos" inside their parent, flowing ones by
    their parent's layout, and only the selected page of a tab layout."""

    def __init__(self, page):
        self.page = page

    def place(self, control, rect):
        control.rect = rect
        if control.kind not in CONTAINERS:
            return
        inner = self.inset(control, rect)
        flowing = [c for c in control.children if c.visible and not c.floating]
        for c in control.children:
            if c.visible and c.floating:
                self.place(c, self.float_rect(c, rect))
        if control.kind == 'TabLayout':
            pages = [c for c in control.children if not c.floating]
            for i, c in enumerate(pages):
                c.attrs['visible'] = 'true' if i == self.page else 'false'
            if 0 <= self.page < len(pages):
                self.place(pages[self.page], inner)
        elif control.kind in ('VerticalLayout', 'HorizontalLayout'):
            self.flow(control, flowing, inner, control.kind == 'VerticalLayout')
        else:
            for c in flowing:
                self.place(c, inner)

    @staticmethod
    def inset(control, rect):
        l, t, r, b = numbers(control.get('inset'), 4)
        return (rect[0] + l, rect[1] + t, rect[2] - r, rect[3] - b)

    @staticmethod
    def float_rect(c, parent):
        l, t, _, _ = numbers(c.get('pos'), 4)
        w, h = c.fixed_size()
        x = parent[0] + l if l >= 0 else parent[2] + l - w
        y = parent[1] + t if t >= 0 else parent[3] + t - h
        return (x, y, x + w, y + h)

    def flow(self, control, children, inner, vertical):
        gap = int(control.get('childpadding', '0'))
        main = (inner[3] - inner[1]) if vertical else (inner[2] - inner[0])
        cross = (inner[2] - inner[0]) if vertical else (inner[3] - inner[1])
        sizes, paddings = [], []
        for c in children:
            w, h = c.fixed_size()
            pl, pt, pr, pb = numbers(c.get('padding'), 4)
            sizes.append(h if vertical else w)
            paddings.append((pt, pb) if vertical else (pl, pr))
        fixed = sum(sizes) + sum(a + b for a, b in paddings) + gap * max(len(children) - 1, 0)
        stretch = [i for i, s in enumerate(sizes) if s == 0]
        share = max((main - fixed) // len(stretch), 0) if stretch else 0
        if stretch:
            sizes[stretch[-1]] = max(main - fixed - share * (len(stretch) - 1), 0)
            for i in stretch[:-1]:
                sizes[i] = share
        pos = inner[1] if vertical else inner[0]
        for c, size, (before, after) in zip(children, sizes, paddings):
            w, h = c.fixed_size()
            other = (w if vertical else h) or cross
            start = pos + before
            if vertical:
                self.place(c, (inner[0], start, inner[0] + other, start + size))
            else:
                self.place(c, (start, inner[1], start + size, inner[1] + other))
            pos = start + size + after + gap


class Painter:
    """Turns the placed tree into one ImageMagick command."""

    def __init__(self, art_dir, fonts, default_text_colour, font_file):
        self.art_dir = art_dir
        self.fonts = fonts
        self.default_text_colour = default_text_colour
        self.font_file = font_file
        self.ops = []

    # Image strings: a bare name, or items key='value' separated by blanks; the state
    # carries from one image to the next.
    def image_string(self, text, item):
        if not text:
            return
        state = {'file': None, 'dest': item, 'source': None, 'corner': (0, 0, 0, 0),
                 'stretch': True, 'center': False}
        if '=' not in text:
            state['file'] = text
            self.draw(state)
            return
        started = False
        for key, value in re.findall(r"(\w+)\s*=\s*'([^']*)'", text):
            if not value:
                continue
            if key == 'file':
                if started:
                    self.draw(state)
                state['file'], started = value, True
            elif key == 'dest':
                l, t, r, b = numbers(value, 4)
                state['dest'] = (item[0] + l, item[1] + t, min(item[0] + r, item[2]),
                                 min(item[1] + b, item[3]))
            elif key == 'source':
                state['source'] = tuple(numbers(value, 4))
            elif key == 'corner':
                state['corner'] = tuple(numbers(value, 4))
            elif key == 'stretch':
                state['stretch'] = value == 'true'
            elif key == 'center':
                state['center'] = value == 'true'
        self.draw(state)

    def draw(self, state):
        path = os.path.join(self.art_dir, state['file'] or '')
        if not state['file'] or not os.path.isfile(path):
            return  # a missing image draws nothing, as in the program
        iw, ih = image_size(path)
        src = state['source'] or (0, 0, iw, ih)
        src = (src[0], src[1], min(src[2], iw), min(src[3], ih))
        dst = state['dest']
        sw, sh = src[2] - src[0], src[3] - src[1]
        dw, dh = dst[2] - dst[0], dst[3] - dst[1]
        if not state['stretch'] and state['center'] and dw >= sw and dh >= sh:
            x, y = dst[0] + (dw - sw) // 2, dst[1] + (dh - sh) // 2
            dst = (x, y, x + sw, y + sh)
        cl, ct, cr, cb = state['corner']
        xs = [(src[0], dst[0], cl), (src[0] + cl, dst[0] + cl, None), (src[2] - cr, dst[2] - cr, cr)]
        ys = [(src[1], dst[1], ct), (src[1] + ct, dst[1] + ct, None), (src[3] - cb, dst[3] - cb, cb)]
        mid_sw, mid_dw = sw - cl - cr, dst[2] - dst[0] - cl - cr
        mid_sh, mid_dh = sh - ct - cb, dst[3] - dst[1] - ct - cb
        for sy, dy, hy in ys:
            for sx, dx, wx in xs:
                pw_s, pw_d = (wx, wx) if wx is not None else (mid_sw, mid_dw)
                ph_s, ph_d = (hy, hy) if hy is not None else (mid_sh, mid_dh)
                if min(pw_s, pw_d, ph_s, ph_d) <= 0:
                    continue
                self.ops += layer(path, '-crop', '%dx%d+%d+%d' % (pw_s, ph_s, sx, sy), '+repage',
                                  '-resize', '%dx%d!' % (pw_d, ph_d)) + composite(dx, dy)

    def text(self, control, text, colour, style_default):
        if not text:
            return
        style = style_default
        if control.get('align'):
            style = align_style(style, control.get('align'))
        index = int(control.get('font', '-1'))
        size, bold = self.fonts[index] if 0 <= index < len(self.fonts) else self.fonts[-1]
        pl, pt, pr, pb = numbers(control.get('textpadding'), 4)
        l, t, r, b = control.rect
        box = (l + pl, t + pt, r - pr, b - pb)
        horizontal = 'Center' if style & DT_CENTER else 'East' if style & DT_RIGHT else 'West'
        vertical = 'Center' if style & DT_VCENTER else 'South' if style & DT_BOTTOM else 'North'
        gravity = {('West', 'North'): 'NorthWest', ('Center', 'North'): 'North',
                   ('East', 'North'): 'NorthEast', ('West', 'Center'): 'West',
                   ('Center', 'Center'): 'Center', ('East', 'Center'): 'East',
                   ('West', 'South'): 'SouthWest', ('Center', 'South'): 'South',
                   ('East', 'South'): 'SouthEast'}[(horizontal, vertical)]
        escaped = text.replace('\\', '\\\\').replace('%', '%%')
        args = ['-size', '%dx%d' % (box[2] - box[0], box[3] - box[1]), 'xc:none',
                '-font', self.font_file, '-pointsize', str(size), '-fill', colour,
                '-gravity', gravity]
        if bold:
            args += ['-stroke', colour, '-strokewidth', '0.35']
        self.ops += layer(*args, '-annotate', '+0+0', escaped) + composite(box[0], box[1])

    def paint(self, control):
        if not control.visible:
            return
        kind, item = control.kind, control.rect
        self.image_string(control.get('bkimage'), item)
        if kind == 'Option' and control.get('selected') == 'true' and control.get('selectedimage'):
            self.image_string(control.get('selectedimage'), item)
        elif kind == 'Button' and control.get('state') == 'disabled':
            self.image_string(control.get('disabledimage'), item)
        elif kind in ('Button', 'Option', 'Edit'):
            self.image_string(control.get('normalimage'), item)
        if kind not in CONTAINERS and kind != 'Control':
            colour = argb(control.get('textcolor'), self.default_text_colour)
            if control.get('state') == 'disabled' and control.get('disabledtextcolor'):
                colour = argb(control.get('disabledtextcolor'), colour)
            self.text(control, control.get('text'), colour, DEFAULT_STYLE.get(kind, DT_VCENTER))
        for c in control.children:
            self.paint(c)


def render_window(layout_path, art_dir, out, page=0, overrides=None):
    tree = ET.parse(layout_path).getroot()
    w, h = numbers(tree.get('size'), 2)
    rx, _ = numbers(tree.get('roundcorner'), 2)
    fonts = []
    for f in tree.findall('Font'):
        entry = (int(f.get('size', '12')), f.get('bold') == 'true')
        fonts.append(entry)
        if f.get('default') == 'true':
            default_font = entry
    fonts.append(default_font)  # beyond the custom fonts: the default font
    roots = [c for c in tree if c.tag not in RESOURCE_ELEMENTS]
    root = Control(roots[0], overrides or {})
    Layout(page).place(root, (0, 0, w, h))
    painter = Painter(art_dir, fonts, argb(tree.get('defaultfontcolor'), 'rgb(0,0,0)'),
                      cjk_font())
    painter.paint(root)
    # The window region: a rectangle with elliptic corners of the "roundcorner" size.
    region = layer('-size', '%dx%d' % (w, h), 'xc:none', '-fill', 'white', '-draw',
                   'roundrectangle 0,0 %d,%d %d,%d' % (w - 1, h - 1, rx // 2, rx // 2))
    region += composite(mode='DstIn')
    convert(['-size', '%dx%d' % (w, h), 'xc:none'] + painter.ops + region, out)


def on_desktop(window, out):
    """The window over a plain desktop with a soft shadow, as the shadow window gives it."""
    convert([window] + layer('+clone', '-background', 'black', '-shadow', '55x7+0+2') + [
             '+swap', '-background', '#5B6B80', '-layers', 'merge', '+repage',
             '-bordercolor', '#5B6B80', '-border', '16'], out)


def states_sheet(art_dir, out):
    strips = sorted(n for n in os.listdir(art_dir)
                    if n.endswith('.png') and n not in ('main_bk.png', 'msg_bk.png'))
    args = ['-background', '#5B6B80']
    for n in strips:
        args += layer(os.path.join(art_dir, n), '-bordercolor', '#5B6B80', '-border', '6')
    convert(args + ['-append', '-scale', '200%'], out)


def progress_image_string(width, filled, shine=0):
    """The image string the install dialog gives its progress bar for a filled width."""
    x = shine
    a = max(x - 80, 0)
    s = a - x + 80
    d = min(filled, x)
    f = max(min(filled, x - 230), 0)
    s2a, s2b = (f - x + 230, d - x + 230) if d > f else (0, 0)
    g = min(filled, 110)
    gap = '\t' * 9 + '   '
    return gap.join([
        "file='progress_bk.png' dest='0,0,%d,30' " % width,
        "file='progress_fore.png' corner='0,10,%d,10' dest='0,0,%d,30' " % (g, filled),
        "file='pro_flash_bk.png' corner='0,0,0,0' dest='%d,0,%d,30' source='%d,0,%d,30' "
        % (a, x, s, 80),
        "file='pro_flash_fore.png' corner='0,0,0,0' dest='%d,0,%d,30' source='%d,0,%d,30' "
        % (f, d, s2a, s2b),
    ]) + gap


def main(skin_dir, art_dir, out_dir):
    os.makedirs(out_dir, exist_ok=True)
    install = os.path.join(skin_dir, 'InstallPackages.xml')
    box = os.path.join(skin_dir, 'MessageBox.xml')
    # The progress page at 60 %: the program fills 90 % of the bar while downloading, so
    # 60 % of the width is two thirds of the download.
    progress = progress_image_string(500, 500 * 6 // 10)
    shots = [
        ('install_start.png', install, 0, {}),
        ('install_folder.png', install, 1, {
            'edit_input': {'text': 'D:\\凯途网络\\凯途星联'},
            'lb_tip': {'text': '所需磁盘空间：150.00MB          可用磁盘空间：35.20GB'}}),
        ('install_progress.png', install, 2, {
            'pro_InstallProgress': {'bkimage': progress},
            'lb_speed': {'text': '剩余512.40MB @ 2.36MB/s'}}),
        ('msgbox_quit.png', box, 0, {}),
        ('msgbox_retry.png', box, 0, {
            'lb_title': {'text': '提示信息'}, 'lb_text': {'text': '连接超时，请检查网络是否正常'},
            'lb_code': {'text': 'code:28 type:5'}, 'btn_ok': {'text': '重试'},
            'hlt_btn_0': {'visible': 'false'}}),
        ('msgbox_existing.png', box, 0, {
            'lb_title': {'text': '提示信息'}, 'lb_text': {'text': '您已经安装了凯途星联，是否覆盖安装？'},
            'btn_ok': {'text': '覆盖安装'}, 'btn_cancel': {'text': '直接启动'},
            'btn_close': {'visible': 'false'}}),
    ]
    with tempfile.TemporaryDirectory() as tmp:
        framed = []
        for name, layout, page, overrides in shots:
            window = os.path.join(tmp, name)
            render_window(layout, art_dir, window, page, overrides)
            convert([window], os.path.join(out_dir, name))
            framed.append(os.path.join(tmp, 'framed-' + name))
            on_desktop(window, framed[-1])
        states_sheet(art_dir, os.path.join(out_dir, 'states.png'))
        pages = layer(*framed[:3], '-append')
        boxes = layer(*framed[3:], os.path.join(out_dir, 'states.png'), '-append')
        convert(['-background', '#5B6B80'] + pages + boxes + ['-gravity', 'north', '+append'],
                os.path.join(out_dir, 'overview.png'))


if __name__ == '__main__':
    if len(sys.argv) != 4:
        fail('usage: preview_skin.py SKIN_DIR ART_DIR OUT_DIR')
    try:
        main(*sys.argv[1:])
    except (MagickError, ET.ParseError, OSError) as e:
        fail('preview_skin: %s' % e)
