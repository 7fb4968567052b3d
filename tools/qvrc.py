#!/usr/bin/env python3
"""The resource compiler: turns a readable resource source (.qvrc) into a C++
file that a resource library builds, holding every resource in the layout the
platform's resource functions read (platform/kernel/Resource.h).

Source format, one statement a line ("#" starts a comment outside quotes):

  STRING <id> "<text>"
  MENU <id>
    POPUP "<text>"
      ITEM <id> "<text>" [GRAYED] [CHECKED]
      SEPARATOR
    END
  END
  ACCELERATORS <id>
    <key> <id> [VIRTKEY] [SHIFT] [CONTROL] [ALT]      key: VK_* name, or "c"
  END
  DIALOG <id> <x> <y> <cx> <cy> "<caption>" [style=A|B] [exstyle=A|B] [font=<pt>,"<face>"]
    CONTROL <id> "<class>" "<text>" <x> <y> <cx> <cy> [style=A|B] [exstyle=A|B]
  END
  BITMAP <id> <width> <height> <#rrggbb background>
    RECT <x> <y> <cx> <cy> <#rrggbb>
    FRAME <x> <y> <cx> <cy> <#rrggbb>
    ELLIPSE <x> <y> <cx> <cy> <#rrggbb>
    POLY <#rrggbb> <x1> <y1> <x2> <y2> <x3> <y3> ...    filled, the pixels whose centres lie inside
    LINE <x1> <y1> <x2> <y2> <width> <#rrggbb>          the pixels within width/2 of the segment
    TEXT <size> <#rrggbb> "<text>" [left=<x>]           centred (or from x), <size> pixels high, in gothic
  END
  ICON <id> <width> <height> <#rrggbb background, or "clear">
    (the shapes of a bitmap; an icon keeps alpha: shapes are opaque)
  END

Ids are decimal or 0x hex numbers, or names defined by "DEFINE <name> <value>".
Texts take the escapes \\n, \\t, \\", \\\\ and \\uXXXX.
"""
import ctypes
import ctypes.util
import os
import re
import struct
import sys

RT = {'BITMAP': 2, 'ICON': 3, 'MENU': 4, 'DIALOG': 5, 'STRING': 6, 'ACCELERATORS': 9}

# Documented values of the style and key names the sources use.
CONSTANTS = {
    'WS_OVERLAPPED': 0x00000000, 'WS_POPUP': 0x80000000, 'WS_CHILD': 0x40000000, 'WS_VISIBLE': 0x10000000,
    'WS_DISABLED': 0x08000000, 'WS_CLIPSIBLINGS': 0x04000000, 'WS_CLIPCHILDREN': 0x02000000,
    'WS_CAPTION': 0x00C00000, 'WS_BORDER': 0x00800000, 'WS_DLGFRAME': 0x00400000, 'WS_VSCROLL': 0x00200000,
    'WS_HSCROLL': 0x00100000, 'WS_SYSMENU': 0x00080000, 'WS_GROUP': 0x00020000, 'WS_TABSTOP': 0x00010000,
    'WS_EX_DLGMODALFRAME': 0x1, 'WS_EX_TOPMOST': 0x8, 'WS_EX_CLIENTEDGE': 0x200, 'WS_EX_CAPTIONOKBTN': 0x80000000,
    'DS_ABSALIGN': 0x1, 'DS_SETFONT': 0x40, 'DS_MODALFRAME': 0x80, 'DS_SETFOREGROUND': 0x200, 'DS_CONTROL': 0x400,
    'DS_CENTER': 0x800,
    'BS_PUSHBUTTON': 0x0, 'BS_DEFPUSHBUTTON': 0x1, 'BS_CHECKBOX': 0x2, 'BS_AUTOCHECKBOX': 0x3,
    'BS_RADIOBUTTON': 0x4, 'BS_AUTORADIOBUTTON': 0x9, 'BS_GROUPBOX': 0x7, 'BS_OWNERDRAW': 0xB,
    'BS_LEFT': 0x100, 'BS_RIGHT': 0x200, 'BS_CENTER': 0x300, 'BS_NOTIFY': 0x4000, 'BS_MULTILINE': 0x2000,
    'SS_LEFT': 0x0, 'SS_CENTER': 0x1, 'SS_RIGHT': 0x2, 'SS_BITMAP': 0xE, 'SS_NOPREFIX': 0x80, 'SS_NOTIFY': 0x100,
    'ES_LEFT': 0x0, 'ES_MULTILINE': 0x4, 'ES_PASSWORD': 0x20, 'ES_AUTOVSCROLL': 0x40, 'ES_AUTOHSCROLL': 0x80,
    'ES_READONLY': 0x800, 'ES_NUMBER': 0x2000, 'ES_WANTRETURN': 0x1000,
    'LBS_NOTIFY': 0x1, 'CBS_DROPDOWNLIST': 0x3, 'LVS_REPORT': 0x1, 'LVS_SINGLESEL': 0x4,
    'LVS_SHOWSELALWAYS': 0x8, 'LVS_OWNERDRAWFIXED': 0x400, 'LVS_OWNERDATA': 0x1000, 'LVS_NOCOLUMNHEADER': 0x4000,
    'VK_BACK': 0x08, 'VK_TAB': 0x09, 'VK_RETURN': 0x0D, 'VK_ESCAPE': 0x1B, 'VK_SPACE': 0x20, 'VK_PRIOR': 0x21,
    'VK_NEXT': 0x22, 'VK_END': 0x23, 'VK_HOME': 0x24, 'VK_LEFT': 0x25, 'VK_UP': 0x26, 'VK_RIGHT': 0x27,
    'VK_DOWN': 0x28, 'VK_DELETE': 0x2E, 'VK_F1': 0x70, 'VK_F2': 0x71, 'VK_F3': 0x72, 'VK_F4': 0x73,
    'IDOK': 1, 'IDCANCEL': 2, 'IDABORT': 3, 'IDRETRY': 4, 'IDIGNORE': 5, 'IDYES': 6, 'IDNO': 7, 'IDC_STATIC': -1,
}
for c in '0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ':
    CONSTANTS['VK_' + c] = ord(c)

MF_GRAYED, MF_CHECKED, MF_POPUP, MF_END = 0x1, 0x8, 0x10, 0x80
FVIRTKEY, FSHIFT, FCONTROL, FALT, ACCEL_END = 0x1, 0x4, 0x8, 0x10, 0x80
TOKEN = re.compile(r'"((?:[^"\\]|\\.)*)"|([^\s"]+)')


class SourceError(Exception):
    pass


def unescape(text):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == '\\' and i + 1 < len(text):
            n = text[i + 1]
            if n == 'u':
                out.append(chr(int(text[i + 2:i + 6], 16)))
                i += 6
                continue
            out.append({'n': '\n', 't': '\t', '"': '"', '\\': '\\'}.get(n, n))
            i += 2
            continue
        out.append(c)
        i += 1
    return ''.join(out)


def tokens(line):
    """Splits a line into (is_text, value) pairs; stops at a comment."""
    out = []
    for m in TOKEN.finditer(line):
        if m.group(1) is not None:
            out.append((True, unescape(m.group(1))))
        elif m.group(2).startswith('#') and not re.fullmatch(r'#[0-9a-fA-F]{6}', m.group(2)):
            break
        else:
            out.append((False, m.group(2)))
    return out


class Compiler:
    def __init__(self):
        self.defines = dict(CONSTANTS)
        self.strings = {}
        self.resources = []  # (type, id, bytes)
        self.ids = set()

    def number(self, word, where):
        try:
            value = int(word, 0)
        except ValueError:
            if word not in self.defines:
                raise SourceError(f'{where}: unknown name {word}')
            value = self.defines[word]
        return value

    def flags(self, expr, where):
        value = 0
        for part in expr.split('|'):
            value |= self.number(part, where) & 0xFFFFFFFF
        return value

    def add(self, rtype, rid, data, where):
        if (rtype, rid) in self.ids:
            raise SourceError(f'{where}: resource {rid} of type {rtype} defined twice')
        self.ids.add((rtype, rid))
        self.resources.append((rtype, rid, data))

    def compile(self, lines):
        it = iter(enumerate(lines, 1))
        for number, line in it:
            toks = tokens(line)
            if not toks:
                continue
            where = f'line {number}'
            kind = toks[0][1]
            if kind == 'DEFINE':
                self.defines[toks[1][1]] = self.number(toks[2][1], where)
            elif kind == 'STRING':
                sid = self.number(toks[1][1], where)
                if not (0 <= sid <= 0xFFFF) or sid in self.strings:
                    raise SourceError(f'{where}: string id {sid} out of range or defined twice')
                self.strings[sid] = toks[2][1]
            elif kind in ('MENU', 'ACCELERATORS', 'DIALOG', 'BITMAP', 'ICON'):
                body = self.block(it)
                build = {'MENU': self.menu, 'ACCELERATORS': self.accelerators, 'DIALOG': self.dialog,
                         'BITMAP': self.bitmap, 'ICON': self.icon}[kind]
                self.add(RT[kind], self.number(toks[1][1], where), build(toks, body, where), where)
            else:
                raise SourceError(f'{where}: unknown statement {kind}')
        self.string_blocks()

    @staticmethod
    def block(it):
        """The statements up to the END that closes this block, nested blocks kept."""
        body, depth = [], 1
        for number, line in it:
            toks = tokens(line)
            if not toks:
                continue
            if toks[0][1] == 'END':
                depth -= 1
                if depth == 0:
                    return body
                body.append((number, [(False, 'POPEND')]))  # closes a nested popup
                continue
            elif toks[0][1] == 'POPUP':
                depth += 1
            body.append((number, toks))
        raise SourceError('a block has no END')

    # Texts are stored in wide units (wchar_t, 4 bytes here), null-terminated.
    @staticmethod
    def units(values):
        return b''.join(struct.pack('<I', v & 0xFFFFFFFF) for v in values)

    @staticmethod
    def text(s):
        return [ord(c) for c in s] + [0]

    def string_blocks(self):
        """Strings in blocks of 16 (block id = id / 16 + 1): each a count unit then its units."""
        for block in sorted({sid >> 4 for sid in self.strings}):
            values = []
            for i in range(16):
                s = self.strings.get((block << 4) | i, '')
                values += [len(s)] + [ord(c) for c in s]
            self.resources.append((RT['STRING'], block + 1, self.units(values)))

    def menu(self, head, body, where):
        """Header (version, offset), then items: flags, id (not for popups), text;
        a popup's items follow it, the last item of each level flagged MF_END."""
        values = [0, 0]

        def emit(items):
            for i, item in enumerate(items):
                flags = item['flags'] | (MF_END if i == len(items) - 1 else 0)
                values.append(flags)
                if not flags & MF_POPUP:
                    values.append(item['id'])
                values.extend(self.text(item['text']))
                if flags & MF_POPUP:
                    emit(item['children'])
        emit(self.menu_tree(body))
        return self.units(values)

    def menu_tree(self, body):
        root, stack = [], []
        current = root
        for number, toks in body:
            kind = toks[0][1]
            w = f'line {number}'
            if kind == 'POPUP':
                item = {'flags': MF_POPUP, 'text': toks[1][1], 'children': []}
                current.append(item)
                stack.append(current)
                current = item['children']
            elif kind == 'ITEM':
                flags = 0
                for _, word in toks[3:]:
                    flags |= {'GRAYED': MF_GRAYED, 'CHECKED': MF_CHECKED}[word]
                current.append({'flags': flags, 'id': self.number(toks[1][1], w), 'text': toks[2][1]})
            elif kind == 'SEPARATOR':
                current.append({'flags': 0, 'id': 0, 'text': ''})
            elif kind == 'POPEND':
                current = stack.pop()
            else:
                raise SourceError(f'{w}: {kind} inside a menu')
        return root

    def accelerators(self, head, body, where):
        """Entries of four 16-bit words: flags, key, command, padding; the last flagged 0x80."""
        out = b''
        for i, (number, toks) in enumerate(body):
            w = f'line {number}'
            is_text, key = toks[0]
            flags = 0
            for _, word in toks[2:]:
                flags |= {'VIRTKEY': FVIRTKEY, 'SHIFT': FSHIFT, 'CONTROL': FCONTROL, 'ALT': FALT}[word]
            code = ord(key) if is_text else self.number(key, w)
            if i == len(body) - 1:
                flags |= ACCEL_END
            out += struct.pack('<HHHH', flags, code, self.number(toks[1][1], w) & 0xFFFF, 0)
        if not out:
            raise SourceError(f'{where}: an empty accelerator table')
        return out

    def options(self, toks, where):
        opts = {}
        for is_text, word in toks:
            if is_text or '=' not in word:
                continue
            name, _, value = word.partition('=')
            opts[name] = value
        return opts

    def dialog(self, head, body, where):
        """Our template: a header of units, its texts, then one record a control.

        Header: 'QVDL', style, exstyle, x, y, cx, cy, point size, weight, count,
        then the caption and the font face. Control: style, exstyle, x, y, cx,
        cy, id, then the class name and the text.
        """
        x, y, cx, cy = (self.number(t[1], where) for t in head[2:6])
        caption = head[6][1]
        opts = self.options(head[7:], where)
        style = self.flags(opts.get('style', 'WS_POPUP|WS_CAPTION|DS_MODALFRAME'), where)
        exstyle = self.flags(opts.get('exstyle', '0'), where)
        point, face = 9, 'ＭＳ Ｐゴシック'
        rest = head[7:]
        for i, (is_text, word) in enumerate(rest):
            if not is_text and word.startswith('font='):
                point = self.number(word[5:].rstrip(','), where)
                if i + 1 < len(rest) and rest[i + 1][0]:
                    face = rest[i + 1][1]
                style |= CONSTANTS['DS_SETFONT']
        controls = []
        for number, toks in body:
            w = f'line {number}'
            if toks[0][1] != 'CONTROL':
                raise SourceError(f'{w}: {toks[0][1]} inside a dialog')
            cid = self.number(toks[1][1], w)
            klass, title = toks[2][1], toks[3][1]
            cx0, cy0, cw, ch = (self.number(t[1], w) for t in toks[4:8])
            copts = self.options(toks[8:], w)
            cstyle = CONSTANTS['WS_CHILD'] | CONSTANTS['WS_VISIBLE'] | self.flags(copts.get('style', '0'), w)
            controls.append([cstyle, self.flags(copts.get('exstyle', '0'), w), cx0, cy0, cw, ch, cid]
                            + self.text(klass) + self.text(title))
        values = [0x4C445651, style, exstyle, x, y, cx, cy, point, 400, len(controls)]
        values += self.text(caption) + self.text(face)
        for c in controls:
            values += c
        return self.units(values)

    def icon(self, head, body, where):
        return self.bitmap(head, body, where, alpha=True)

    def bitmap(self, head, body, where, alpha=False):
        """A 32-bit DIB, bottom-up: BITMAPINFOHEADER, then BGRA rows (alpha 255
        for what is drawn; an icon's "clear" background has alpha 0)."""
        width, height = self.number(head[2][1], where), self.number(head[3][1], where)
        if not (0 < width <= 1024 and 0 < height <= 1024):
            raise SourceError(f'{where}: bitmap size out of range')
        opaque = 0xFF000000
        background = 0 if alpha and head[4][1] == 'clear' else self.colour(head[4][1], where) | opaque
        pixels = [[background] * width for _ in range(height)]
        for number, toks in body:
            w = f'line {number}'
            kind = toks[0][1]
            if kind in ('POLY', 'LINE'):
                self.shape(pixels, kind, toks, w)
                continue
            if kind == 'TEXT':
                size, colour = self.number(toks[1][1], w), self.colour(toks[2][1], w)
                left = None
                if len(toks) == 5 and not toks[4][0] and toks[4][1].startswith('left='):
                    left = self.number(toks[4][1][5:], w)
                elif len(toks) != 4 or not toks[3][0]:
                    raise SourceError(f'{w}: TEXT takes a size, a colour, a text and maybe left=<x>')
                draw_text(pixels, size, colour, toks[3][1], w, left)
                continue
            x, y, cx, cy = (self.number(t[1], w) for t in toks[1:5])
            colour = self.colour(toks[5][1], w) | opaque
            for row in range(max(0, y), min(height, y + cy)):
                for col in range(max(0, x), min(width, x + cx)):
                    if kind == 'RECT':
                        inside = True
                    elif kind == 'FRAME':
                        inside = row in (y, y + cy - 1) or col in (x, x + cx - 1)
                    elif kind == 'ELLIPSE':
                        # The pixel centre within the ellipse inscribed in the box.
                        dx = (col + 0.5 - (x + cx / 2)) / (cx / 2)
                        dy = (row + 0.5 - (y + cy / 2)) / (cy / 2)
                        inside = dx * dx + dy * dy <= 1.0
                    else:
                        raise SourceError(f'{w}: {kind} inside a bitmap')
                    if inside:
                        pixels[row][col] = colour
        header = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 32, 0, width * height * 4, 7559, 7559, 0, 0)
        rows = b''.join(b''.join(struct.pack('<I', p) for p in pixels[r]) for r in reversed(range(height)))
        return header + rows

    def shape(self, pixels, kind, toks, where):
        """A filled polygon or a thick line, tested at each pixel's centre."""
        height, width = len(pixels), len(pixels[0])
        if kind == 'POLY':
            colour = self.colour(toks[1][1], where) | 0xFF000000
            coords = [self.number(t[1], where) for t in toks[2:]]
            if len(coords) < 6 or len(coords) % 2:
                raise SourceError(f'{where}: POLY takes three points or more')
            points = list(zip(coords[0::2], coords[1::2]))

            def inside(px, py):
                hit = False
                for (ax, ay), (bx, by) in zip(points, points[1:] + points[:1]):
                    if (ay > py) != (by > py) and px < ax + (py - ay) * (bx - ax) / (by - ay):
                        hit = not hit
                return hit
        else:
            ax, ay, bx, by, thick = (self.number(t[1], where) for t in toks[1:6])
            colour = self.colour(toks[6][1], where) | 0xFF000000
            length2 = (bx - ax) ** 2 + (by - ay) ** 2

            def inside(px, py):
                t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((px - ax) * (bx - ax) + (py - ay) * (by - ay)) / length2))
                dx, dy = px - (ax + t * (bx - ax)), py - (ay + t * (by - ay))
                return dx * dx + dy * dy <= (thick / 2) ** 2
        for row in range(height):
            for col in range(width):
                if inside(col + 0.5, row + 0.5):
                    pixels[row][col] = colour

    @staticmethod
    def colour(word, where):
        if not re.fullmatch(r'#[0-9a-fA-F]{6}', word):
            raise SourceError(f'{where}: colour #rrggbb expected, not {word}')
        return int(word[1:], 16)  # 0xAARRGGBB is BGRA in little-endian bytes


def emit_cpp(resources, out):
    out.write('// Generated by tools/qvrc.py from the resource source; do not edit.\n')
    out.write('#include <cstddef>\n\n#include "platform/kernel/Resource.h"\n\n')
    out.write('namespace {\n\n')
    for n, (rtype, rid, data) in enumerate(resources):
        out.write(f'alignas(8) const unsigned char kData{n}[] = {{')
        for i, b in enumerate(data):
            if i % 24 == 0:
                out.write('\n   ')
            out.write(f' {b},')
        out.write('\n  0};\n')
    out.write('\nconst QvResourceEntry kEntries[] = {\n')
    for n, (rtype, rid, data) in enumerate(resources):
        out.write(f'    {{{rtype}, {rid}, kData{n}, {len(data)}}},\n')
    out.write('};\n\n}  // namespace\n\n')
    out.write('// What the platform\'s resource functions look up in a resource library.\n')
    out.write('extern "C" __attribute__((visibility("default"))) const QvResourceEntry* '
              'QvResourceDirectory(size_t* count) {\n')
    out.write('  *count = sizeof kEntries / sizeof kEntries[0];\n  return kEntries;\n}\n')



# ---- text in bitmaps: FreeType through ctypes, so that the build needs no
# more than the library and the gothic font the program itself draws with.

FONT_FILES = ('/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf',
              '/usr/share/fonts/truetype/fonts-japanese-gothic.ttf')


class _Bitmap(ctypes.Structure):
    _fields_ = [('rows', ctypes.c_uint), ('width', ctypes.c_uint), ('pitch', ctypes.c_int),
                ('buffer', ctypes.POINTER(ctypes.c_ubyte)), ('num_grays', ctypes.c_ushort),
                ('pixel_mode', ctypes.c_ubyte), ('palette_mode', ctypes.c_ubyte), ('palette', ctypes.c_void_p)]


class _GlyphSlot(ctypes.Structure):
    _fields_ = [('library', ctypes.c_void_p), ('face', ctypes.c_void_p), ('next', ctypes.c_void_p),
                ('glyph_index', ctypes.c_uint), ('generic', ctypes.c_void_p * 2), ('metrics', ctypes.c_long * 8),
                ('linearHoriAdvance', ctypes.c_long), ('linearVertAdvance', ctypes.c_long),
                ('advance', ctypes.c_long * 2), ('format', ctypes.c_uint), ('bitmap', _Bitmap),
                ('bitmap_left', ctypes.c_int), ('bitmap_top', ctypes.c_int)]


class _Face(ctypes.Structure):
    _fields_ = [('num_faces', ctypes.c_long), ('face_index', ctypes.c_long), ('face_flags', ctypes.c_long),
                ('style_flags', ctypes.c_long), ('num_glyphs', ctypes.c_long), ('family_name', ctypes.c_char_p),
                ('style_name', ctypes.c_char_p), ('num_fixed_sizes', ctypes.c_int),
                ('available_sizes', ctypes.c_void_p), ('num_charmaps', ctypes.c_int), ('charmaps', ctypes.c_void_p),
                ('generic', ctypes.c_void_p * 2), ('bbox', ctypes.c_long * 4), ('units_per_EM', ctypes.c_ushort),
                ('ascender', ctypes.c_short), ('descender', ctypes.c_short), ('height', ctypes.c_short),
                ('max_advance_width', ctypes.c_short), ('max_advance_height', ctypes.c_short),
                ('underline_position', ctypes.c_short), ('underline_thickness', ctypes.c_short),
                ('glyph', ctypes.POINTER(_GlyphSlot))]


_freetype = {}


def _face(where):
    if 'face' not in _freetype:
        path = next((f for f in FONT_FILES if os.path.exists(f)), None)
        name = ctypes.util.find_library('freetype') or 'libfreetype.so.6'
        if path is None:
            raise SourceError(f'{where}: TEXT needs the gothic font (Debian package fonts-ipafont-gothic)')
        lib = ctypes.CDLL(name)
        handle, face = ctypes.c_void_p(), ctypes.POINTER(_Face)()
        if lib.FT_Init_FreeType(ctypes.byref(handle)) or \
                lib.FT_New_Face(handle, path.encode(), ctypes.c_long(0), ctypes.byref(face)):
            raise SourceError(f'{where}: FreeType cannot open {path}')
        _freetype.update(lib=lib, face=face)
    return _freetype['lib'], _freetype['face']


def _glyphs(text, size, where):
    """Each character's coverage rows, left and top offsets and advance, at `size` pixels."""
    lib, face = _face(where)
    if lib.FT_Set_Pixel_Sizes(face, ctypes.c_uint(0), ctypes.c_uint(size)):
        raise SourceError(f'{where}: no {size}-pixel size in the font')
    out = []
    for ch in text:
        if lib.FT_Load_Char(face, ctypes.c_ulong(ord(ch)), ctypes.c_int(4)):  # FT_LOAD_RENDER
            raise SourceError(f'{where}: the font cannot draw {ch!r}')
        slot = face.contents.glyph.contents
        bm = slot.bitmap
        rows = [[bm.buffer[r * bm.pitch + c] for c in range(bm.width)] for r in range(bm.rows)]
        out.append((rows, slot.bitmap_left, slot.bitmap_top, slot.advance[0] >> 6))
    return out


def draw_text(pixels, size, colour, text, where, left=None):
    """Anti-aliased text centred in the bitmap (or from `left` across), centred
    down: the ink is blended over what is there."""
    glyphs = _glyphs(text, size, where)
    height, width = len(pixels), len(pixels[0])
    advance = sum(g[3] for g in glyphs)
    top = max((g[2] for g in glyphs), default=0)
    bottom = max((len(g[0]) - g[2] for g in glyphs), default=0)
    x = (width - advance) // 2 if left is None else left
    baseline = (height - (top + bottom)) // 2 + top
    for rows, left, gtop, adv in glyphs:
        for r, row in enumerate(rows):
            py = baseline - gtop + r
            for c, cover in enumerate(row):
                px = x + left + c
                if cover and 0 <= py < height and 0 <= px < width:
                    under = pixels[py][px]
                    mixed = 0
                    for shift in (0, 8, 16):
                        a, b = (colour >> shift) & 0xFF, (under >> shift) & 0xFF
                        mixed |= ((a * cover + b * (255 - cover)) // 255) << shift
                    pixels[py][px] = mixed | 0xFF000000
        x += adv

def main():
    if len(sys.argv) != 3:
        sys.exit('usage: qvrc.py <source.qvrc> <output.cpp>')
    with open(sys.argv[1], encoding='utf-8') as f:
        lines = f.read().splitlines()
    compiler = Compiler()
    try:
        compiler.compile(lines)
    except (SourceError, IndexError, KeyError) as e:
        sys.exit(f'{sys.argv[1]}: {e}')
    resources = sorted(compiler.resources)
    with open(sys.argv[2], 'w', encoding='utf-8') as out:
        emit_cpp(resources, out)


if __name__ == '__main__':
    main()
