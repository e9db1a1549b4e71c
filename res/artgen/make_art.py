#!/usr/bin/env python3
"""Draws the skin of FastMendLUMAFWU: every PNG of res/png, the scroll-bar bitmap
res/scrollbar.bmp and the icon res/app.ico. The output is committed, so the build
never runs this; run it again (python3 with PIL) after changing the design.

One design for all windows: white bodies, a calm blue accent, soft drop shadows on
the layered backs. Shapes are drawn at SS times the size and scaled down, which gives
clean anti-aliased edges; small texts are drawn at their own size for hinting."""

import os
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import skins  # noqa: E402
from skins import SKINS  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
RES = os.path.dirname(HERE)
PNG_DIR = os.path.join(RES, "png")

SS = 4

CJK_FONT = "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc"
LATIN_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
LATIN_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"

WHITE = (255, 255, 255)
ACCENT = skins.ACCENT
ACCENT_LIGHT = (70, 146, 240)
ACCENT_DARK = (24, 92, 190)
HEAD_TOP = (46, 132, 240)
HEAD_BOTTOM = (26, 98, 208)
INK = (31, 41, 55)
INK_SOFT = (96, 106, 122)
INK_FAINT = (150, 158, 170)
STRIP = (243, 245, 248)
LINE = (222, 227, 234)
DISABLED_FACE = (200, 206, 214)
DISABLED_INK = (245, 247, 250)

TITLE_ZH = "Orvane 2020灯效闪烁修复工具"
TITLE_EN = "Orvane 2020 Lighting Flicker Repair"


def font(size, face="cjk"):
    path = {"cjk": CJK_FONT, "latin": LATIN_FONT, "bold": LATIN_BOLD}[face]
    return ImageFont.truetype(path, size)


def face_for(text):
    return "latin" if all(ord(c) < 128 for c in text) else "cjk"


def mix(a, b, t):
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


def lighter(c, t=0.18):
    return mix(c, WHITE, t)


def darker(c, t=0.16):
    return mix(c, (0, 0, 0), t)


def blank(w, h, color=(0, 0, 0, 0)):
    return Image.new("RGBA", (w, h), color)


def vgradient(w, h, top, bottom, y0=0, y1=None):
    """Vertical gradient over rows y0..y1 of a w x h layer, flat outside."""
    y1 = h if y1 is None else y1
    col = Image.new("RGBA", (1, h))
    for y in range(h):
        t = min(max((y - y0) / max(y1 - y0 - 1, 1), 0.0), 1.0)
        col.putpixel((0, y), mix(top, bottom, t) + (255,))
    return col.resize((w, h), Image.NEAREST)


def rounded_mask(w, h, box, radius):
    """Anti-aliased mask of a rounded rectangle; box may have fractional corners."""
    big = Image.new("L", (w * SS, h * SS), 0)
    x0, y0, x1, y1 = (v * SS for v in box)
    ImageDraw.Draw(big).rounded_rectangle((x0, y0, x1 - 1, y1 - 1), radius * SS, fill=255)
    return big.resize((w, h), Image.LANCZOS)


def ring_mask(w, h, box, radius, width):
    outer = rounded_mask(w, h, box, radius)
    x0, y0, x1, y1 = box
    inner = rounded_mask(w, h, (x0 + width, y0 + width, x1 - width, y1 - width),
                         max(radius - width, 0))
    return ImageChops.subtract(outer, inner)


def paint(img, mask, color, opacity=1.0):
    """Composite a colour (or an RGBA layer) through mask onto img."""
    if isinstance(color, Image.Image):
        layer = color.copy()
    else:
        layer = Image.new("RGBA", img.size, tuple(color[:3]) + (255,))
    alpha = ImageChops.multiply(layer.getchannel("A"), mask)
    if opacity < 1.0:
        alpha = alpha.point(lambda v: int(v * opacity))
    layer.putalpha(alpha)
    img.alpha_composite(layer)


def shadow(w, h, box, radius, blur, strength, dy=0):
    x0, y0, x1, y1 = box
    m = rounded_mask(w, h, (x0, y0 + dy, x1, y1 + dy), radius)
    m = m.filter(ImageFilter.GaussianBlur(blur))
    return m.point(lambda v: int(v * strength))


def text_box(text, fnt):
    d = ImageDraw.Draw(Image.new("L", (1, 1)))
    return d.textbbox((0, 0), text, font=fnt, anchor="ls")


def text_width(text, fnt):
    l, _, r, _ = text_box(text, fnt)
    return r - l


def draw_text(img, center, text, size, color, face=None, bold=0, align="center",
              opacity=1.0):
    """Draws text with its caps/ideographs centred on center (x is the left edge for
    align='left'). bold > 0 draws it supersampled with a stroke of that many
    supersampled pixels, a faux semi-bold for captions."""
    face = face or face_for(text)
    scale = SS if bold else 1
    fnt = font(size * scale, face)
    ref = "H国" if face == "cjk" else "H"
    _, rt, _, rb = text_box(ref, fnt)
    l, _, r, _ = text_box(text, fnt)
    cx, cy = center[0] * scale, center[1] * scale
    x = cx - (l + r) / 2 if align == "center" else cx - l
    y = cy - (rt + rb) / 2
    w, h = img.size
    mask = Image.new("L", (w * scale, h * scale), 0)
    ImageDraw.Draw(mask).text((x, y), text, font=fnt, fill=255, anchor="ls",
                              stroke_width=bold, stroke_fill=255)
    if scale > 1:
        mask = mask.resize((w, h), Image.LANCZOS)
    paint(img, mask, color, opacity)


def save(img, pid):
    w, h, alpha, _ = SKINS[pid]
    assert img.size == (w, h), (pid, img.size)
    out = img.convert("RGBA" if alpha else "RGB")
    out.save(os.path.join(PNG_DIR, "%d.png" % pid), optimize=True)


def save_states(images, first):
    for k, img in enumerate(images):
        save(img, first + k)


# ---------------------------------------------------------------------------------
# Backs: a soft drop shadow around the child's rectangle, filled inside with the
# colours of the child's edges, row by row. The child covers that fill; where rounding
# at other DPIs leaves a pixel of it showing, it matches. Uniform rows keep it small.

def back(w, h, inset, child, blur, strength, dy, radius=0):
    l, t, r, b = inset
    box = (l, t, w - r, h - b)
    img = blank(w, h)
    sh = shadow(w, h, box, radius + 2, blur, strength, dy)
    paint(img, sh, (16, 30, 56))
    img.alpha_composite(edge_fill(child.convert("RGB")), (l, t))
    fade_edges(img)
    return img


def edge_fill(child):
    cw, ch = child.size
    column = Image.new("RGBA", (1, ch))
    for y in range(ch):
        a, b = child.getpixel((0, y)), child.getpixel((cw - 1, y))
        column.putpixel((0, y), mix(a, b, 0.5) + (255,))
    return column.resize((cw, ch), Image.NEAREST)


def fade_edges(img):
    """Forces the outermost pixel ring fully transparent so that no shadow is cut."""
    a = img.getchannel("A")
    d = ImageDraw.Draw(a)
    w, h = img.size
    d.rectangle((0, 0, w - 1, h - 1), outline=0)
    img.putalpha(a)


# ---------------------------------------------------------------------------------
# Main panel

def logo_mark(size, bg=ACCENT, fg=WHITE):
    """The tool's mark: a four-point spark on a rounded square (also the app icon)."""
    big = size * SS
    img = Image.new("RGBA", (big, big), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    if bg is not None:
        grad = vgradient(big, big, lighter(bg, 0.12), darker(bg, 0.12))
        m = Image.new("L", (big, big), 0)
        ImageDraw.Draw(m).rounded_rectangle((0, 0, big - 1, big - 1), big * 0.22, fill=255)
        img.paste(grad, (0, 0), m)

    def spark(cx, cy, r, waist):
        pts = [(cx, cy - r), (cx + waist, cy - waist), (cx + r, cy), (cx + waist, cy + waist),
               (cx, cy + r), (cx - waist, cy + waist), (cx - r, cy), (cx - waist, cy - waist)]
        d.polygon(pts, fill=fg + (255,))

    spark(big * 0.45, big * 0.55, big * 0.30, big * 0.075)
    spark(big * 0.74, big * 0.26, big * 0.13, big * 0.035)
    return img.resize((size, size), Image.LANCZOS)


def header_layer(w, h, y1):
    """Blue header band over rows 0..y1 with a few quiet light discs."""
    layer = vgradient(w, h, HEAD_TOP, HEAD_BOTTOM, 0, y1)
    deco = Image.new("L", (w, h), 0)
    dd = ImageDraw.Draw(deco)
    dd.ellipse((250, -120, 520, 150), fill=22)
    dd.ellipse((300, 40, 470, 210), fill=14)
    dd.ellipse((-90, 90, 120, 300), fill=16)
    deco = deco.filter(ImageFilter.GaussianBlur(1))
    paint(layer, deco, WHITE)
    return layer


def main_panel(lang):
    w, h = 400, 600
    head = 196
    img = blank(w, h, WHITE + (255,))
    band = header_layer(w, h, head)
    m = Image.new("L", (w, h), 0)
    # The band ends in a gentle curve rather than a hard line.
    big = Image.new("L", (w * SS, h * SS), 0)
    bd = ImageDraw.Draw(big)
    bd.rectangle((0, 0, w * SS, (head - 18) * SS), fill=255)
    bd.ellipse((-w * 0.35 * SS, (head - 70) * SS, w * 1.35 * SS, (head + 8) * SS), fill=255)
    m = big.resize((w, h), Image.LANCZOS)
    paint(img, m, band)

    # Title bar: mark and family name at the left, the version badge in the middle.
    img.alpha_composite(logo_mark(18, bg=None), (12, 15))
    draw_text(img, (34, 23.5), "FastMend", 12, WHITE, face="latin", align="left",
              opacity=0.95)
    vx0, vy0, vx1, vy1 = skins.MAIN_VERSION
    paint(img, rounded_mask(w, h, (vx0, vy0, vx1, vy1), 7.5), WHITE, 0.16)

    if lang == "zh":
        draw_text(img, (200, 86), TITLE_ZH, 24, WHITE, bold=2)
        draw_text(img, (200, 122), "一键修复灯效闪烁问题", 14, WHITE, opacity=0.85)
    else:
        draw_text(img, (200, 80), "Orvane 2020", 26, WHITE, face="latin", bold=3)
        draw_text(img, (200, 112), "Lighting Flicker Repair", 17, WHITE, face="latin",
                  bold=1, opacity=0.95)
        draw_text(img, (200, 138), "Fixes flickering lighting effects in one click", 12,
                  WHITE, face="latin", opacity=0.82)

    # Emblem where the band meets the body: a white disc holding a glowing key cap.
    cx, cy, r = 200, 208, 40
    paint(img, shadow(w, h, (cx - r, cy - r, cx + r, cy + r), r, 5, 0.22, 3), (16, 40, 90))
    paint(img, rounded_mask(w, h, (cx - r, cy - r, cx + r, cy + r), r), WHITE)
    emblem(img, cx, cy)

    # Body: a short note under the button and a card of hints.
    if lang == "zh":
        draw_text(img, (200, 352), "点击“修复”，工具将自动更新灯效固件", 13, INK_SOFT)
        hints = ("修复前请连接电源适配器", "修复期间请勿关闭本工具或电脑", "修复完成后建议重新启动电脑")
        head_text = "温馨提示"
    else:
        draw_text(img, (200, 352), "Press \u201cFix it\u201d to update the lighting firmware",
                  12, INK_SOFT, face="latin")
        hints = ("Connect the power adapter first", "Keep this tool and the PC running",
                 "Restart the PC when the repair is done")
        head_text = "Before you start"
    card = (40, 392, 360, 514)
    paint(img, rounded_mask(w, h, card, 8), (246, 249, 253))
    paint(img, ring_mask(w, h, card, 8, 1), (226, 234, 245))
    draw_text(img, (58, 414), head_text, 13, INK, align="left", bold=1 if lang == "zh" else 0,
              face=None if lang == "zh" else "bold")
    for k, line in enumerate(hints):
        y = 442 + k * 24
        paint(img, rounded_mask(w, h, (58, y - 3, 64, y + 3), 3), ACCENT)
        draw_text(img, (74, y), line, 12 if lang == "en" else 13, INK_SOFT, align="left")

    # Footer: a hairline above the white strip where the agreement controls sit.
    ImageDraw.Draw(img).line((0, 566, w, 566), fill=LINE + (255,))
    if lang == "en":
        draw_text(img, (200, 583), "FastMend one-click repair", 11, INK_FAINT, face="latin")
    return img


def emblem(img, cx, cy):
    """A key cap with a rainbow glow beneath it: lighting effects, kept small."""
    w, h = img.size
    glow = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    colors = [(255, 92, 92), (255, 184, 64), (90, 210, 120), (64, 170, 255), (160, 110, 255)]
    for k, c in enumerate(colors):
        x = cx - 20 + k * 10
        gm = Image.new("L", (w, h), 0)
        ImageDraw.Draw(gm).ellipse((x - 7, cy + 4, x + 7, cy + 22), fill=150)
        gm = gm.filter(ImageFilter.GaussianBlur(4))
        paint(glow, gm, c)
    img.alpha_composite(glow)
    cap = (cx - 18, cy - 18, cx + 18, cy + 14)
    paint(img, shadow(w, h, cap, 7, 2, 0.25, 2), (16, 40, 90))
    paint(img, rounded_mask(w, h, cap, 7), vgradient(w, h, ACCENT_LIGHT, ACCENT_DARK,
                                                     cap[1], cap[3]))
    top = (cx - 14, cy - 16, cx + 14, cy + 8)
    paint(img, rounded_mask(w, h, top, 5), vgradient(w, h, (92, 160, 246), ACCENT,
                                                     top[1], top[3]))
    spark = logo_mark(18, bg=None)
    img.alpha_composite(spark, (cx - 9, cy - 13))


def crop(img, rect):
    return img.crop(rect).convert("RGBA")


def caption_button(ground, face_box, radius, fill, caption, size, ink, border=None,
                   shadow_strength=0.0, dy=0, bold=0, face=None):
    """A rounded button face with a caption, composited on a copy of its ground."""
    img = ground.copy()
    w, h = img.size
    x0, y0, x1, y1 = face_box
    box = (x0, y0 + dy, x1, y1 + dy)
    if shadow_strength:
        paint(img, shadow(w, h, box, radius, 1.6, shadow_strength, 1.5), (16, 40, 90))
    if isinstance(fill, tuple) and len(fill) == 2 and isinstance(fill[0], tuple):
        layer = vgradient(w, h, fill[0], fill[1], box[1], box[3])
    else:
        layer = fill
    paint(img, rounded_mask(w, h, box, radius), layer)
    if border:
        paint(img, ring_mask(w, h, box, radius, 1), border)
    cx = (box[0] + box[2]) / 2
    cy = (box[1] + box[3]) / 2
    draw_text(img, (cx, cy), caption, size, ink, bold=bold, face=face)
    return img


def repair_buttons(panel, caption):
    ground = crop(panel, skins.MAIN_REPAIR)
    face = (2, 1, 244, 44)
    face_name = "bold" if caption.isascii() else None
    bold = 0 if caption.isascii() else 2
    return [
        caption_button(ground, face, 21.5, (ACCENT_LIGHT, ACCENT), caption, 19, WHITE,
                       shadow_strength=0.35, bold=bold, face=face_name),
        caption_button(ground, face, 21.5, (lighter(ACCENT_LIGHT, 0.14), lighter(ACCENT, 0.14)),
                       caption, 19, WHITE, shadow_strength=0.45, bold=bold, face=face_name),
        caption_button(ground, face, 21.5, (ACCENT, ACCENT_DARK), caption, 19,
                       (232, 240, 252), shadow_strength=0.15, dy=1, bold=bold, face=face_name),
        caption_button(ground, face, 21.5, DISABLED_FACE, caption, 19, DISABLED_INK,
                       bold=bold, face=face_name),
    ]


def glyph_buttons(ground, draw_glyph, states=4, hover_fill=(WHITE, 0.18),
                  pressed_fill=((0, 0, 0), 0.14), ink=WHITE, ink_hover=None,
                  disabled_opacity=0.4):
    """Square-cornered caption-bar buttons: glyph on the ground, a tint for hover
    and pressed, a faded glyph when disabled."""
    out = []
    w, h = ground.size
    full = Image.new("L", (w, h), 255)
    for state in skins.STATES4[:states]:
        img = ground.copy()
        dx = dy = 0
        opacity = 0.95
        color = ink
        if state == "hover":
            paint(img, full, hover_fill[0], hover_fill[1])
            color = ink_hover or ink
            opacity = 1.0
        elif state == "pressed":
            paint(img, full, pressed_fill[0], pressed_fill[1])
            dy = 1
        elif state == "disabled":
            opacity = disabled_opacity
        draw_glyph(img, dx, dy, color, opacity)
        out.append(img)
    return out


def cross_glyph(cx, cy, r, width):
    def draw(img, dx, dy, color, opacity):
        w, h = img.size
        m = Image.new("L", (w * SS, h * SS), 0)
        d = ImageDraw.Draw(m)
        x, y = (cx + dx) * SS, (cy + dy) * SS
        d.line((x - r * SS, y - r * SS, x + r * SS, y + r * SS), fill=255, width=int(width * SS))
        d.line((x - r * SS, y + r * SS, x + r * SS, y - r * SS), fill=255, width=int(width * SS))
        paint(img, m.resize((w, h), Image.LANCZOS), color, opacity)
    return draw


def bar_glyph(cx, cy, half, width):
    def draw(img, dx, dy, color, opacity):
        w, h = img.size
        m = rounded_mask(w, h, (cx + dx - half, cy + dy - width / 2, cx + dx + half,
                                cy + dy + width / 2), 0)
        paint(img, m, color, opacity)
    return draw


def more_tools_buttons(panel):
    ground = crop(panel, skins.MAIN_MORE_TOOLS)
    out = []
    for state in skins.STATES4:
        img = ground.copy()
        color = {"normal": ACCENT, "hover": ACCENT_LIGHT, "pressed": ACCENT_DARK,
                 "disabled": INK_FAINT}[state]
        dy = 1 if state == "pressed" else 0
        fnt = font(12)
        tw = text_width("更多工具", fnt)
        x = 1
        draw_text(img, (x, 9 + dy), "更多工具", 12, color, align="left")
        chevron(img, x + tw + 6, 9 + dy, color)
        if state == "hover":
            ImageDraw.Draw(img).line((x, 16, x + tw, 16), fill=color + (255,))
        out.append(img)
    return out


def chevron(img, cx, cy, color):
    w, h = img.size
    m = Image.new("L", (w * SS, h * SS), 0)
    d = ImageDraw.Draw(m)
    pts = [((cx - 1.5) * SS, (cy - 3.5) * SS), ((cx + 1.5) * SS, cy * SS),
           ((cx - 1.5) * SS, (cy + 3.5) * SS)]
    d.line(pts, fill=255, width=int(1.3 * SS), joint="curve")
    paint(img, m.resize((w, h), Image.LANCZOS), color)


def checkbox_cells():
    w, h = 48, 16
    img = blank(w, h)
    box0 = (1, 1, 15, 15)
    paint(img, rounded_mask(w, h, box0, 3), WHITE)
    paint(img, ring_mask(w, h, box0, 3, 1), (150, 160, 174))
    box1 = (17, 1, 31, 15)
    paint(img, rounded_mask(w, h, box1, 3), ACCENT)
    m = Image.new("L", (w * SS, h * SS), 0)
    ImageDraw.Draw(m).line([(20.3 * SS, 8.2 * SS), (23 * SS, 11 * SS), (28 * SS, 5.2 * SS)],
                           fill=255, width=int(1.8 * SS), joint="curve")
    paint(img, m.resize((w, h), Image.LANCZOS), WHITE)
    box2 = (33, 1, 47, 15)
    paint(img, rounded_mask(w, h, box2, 3), WHITE)
    paint(img, ring_mask(w, h, box2, 3, 1), ACCENT)
    paint(img, rounded_mask(w, h, (36.5, 4.5, 43.5, 11.5), 1.5), ACCENT)
    return img


# ---------------------------------------------------------------------------------
# Prompt dialog

def prompt_child(lang):
    w, h = 320, 140
    img = blank(w, h, WHITE + (255,))
    paint(img, Image.new("L", (w, 30), 255).crop((0, 0, w, h)), STRIP)
    ImageDraw.Draw(img).line((0, 30, w, 30), fill=LINE + (255,))
    ImageDraw.Draw(img).rectangle((0, 0, w, 1), fill=ACCENT + (255,))
    img.alpha_composite(logo_mark(14), (10, 9))
    if lang == "zh":
        draw_text(img, (30, 16), "提示", 13, INK, align="left")
    else:
        draw_text(img, (30, 16), "Notice", 12, INK, align="left", face="latin")
    return img


def prompt_buttons(ground, caption, primary):
    face = (0, 0, 55, 24)
    size = 13 if not caption.isascii() else 12
    face_name = None if not caption.isascii() else "latin"
    if primary:
        return [
            caption_button(ground, face, 4, ACCENT, caption, size, WHITE, face=face_name),
            caption_button(ground, face, 4, ACCENT_LIGHT, caption, size, WHITE, face=face_name),
            caption_button(ground, face, 4, ACCENT_DARK, caption, size, (226, 236, 250),
                           face=face_name),
        ]
    return [
        caption_button(ground, face, 4, WHITE, caption, size, INK, border=(196, 204, 215),
                       face=face_name),
        caption_button(ground, face, 4, (240, 246, 255), caption, size, ACCENT,
                       border=ACCENT_LIGHT, face=face_name),
        caption_button(ground, face, 4, (222, 233, 250), caption, size, ACCENT_DARK,
                       border=ACCENT, face=face_name),
    ]


# ---------------------------------------------------------------------------------
# Feedback dialog

def feedback_child():
    w, h = 400, 468
    head = 124
    img = blank(w, h, WHITE + (255,))
    paint(img, Image.new("L", (w, head), 255).crop((0, 0, w, h)),
          header_layer(w, h, head))
    img.alpha_composite(logo_mark(14, bg=None), (12, 8))
    draw_text(img, (32, 15.5), TITLE_ZH, 12, WHITE, align="left", opacity=0.95)
    draw_text(img, (200, 68), "您的问题是否已解决？", 22, WHITE, bold=2)
    draw_text(img, (200, 100), "请告诉我们本次修复的结果，帮助我们改进服务", 12, WHITE,
              opacity=0.85)
    draw_text(img, (200, 420), "感谢您的反馈", 12, INK_FAINT)
    return img


def feedback_buttons(caption, kind):
    w, h = 266, 60
    rim = 9
    face = (rim, rim, w - rim, h - rim)
    radius = 8
    styles = {
        "primary": [((ACCENT_LIGHT, ACCENT), WHITE, None),
                    ((lighter(ACCENT_LIGHT, 0.14), lighter(ACCENT, 0.14)), WHITE, None),
                    ((ACCENT, ACCENT_DARK), (230, 238, 252), None)],
        "outline": [(WHITE, ACCENT, ACCENT),
                    ((240, 246, 255), ACCENT, ACCENT_LIGHT),
                    ((221, 232, 250), ACCENT_DARK, ACCENT)],
        "quiet": [(STRIP, INK, (214, 220, 228)),
                  ((250, 251, 253), INK, (196, 204, 215)),
                  ((228, 232, 238), INK, (190, 198, 210))],
    }[kind]
    out = []
    for k, (fill, ink, border) in enumerate(styles):
        pressed = k == 2
        out.append(caption_button(blank(w, h), face, radius, fill, caption, 17, ink,
                                  border=border, shadow_strength=0.18 if pressed else 0.30,
                                  dy=1 if pressed else 0, bold=1))
    out.append(caption_button(blank(w, h), face, radius, (236, 238, 242), caption, 17,
                              (160, 167, 178), border=(222, 226, 232), bold=1))
    for img in out:
        clear_rim(img, face)
    return out


def clear_rim(img, face):
    """Keeps the outermost pixels of the 9-px margin fully transparent."""
    a = img.getchannel("A")
    d = ImageDraw.Draw(a)
    w, h = img.size
    for k in range(2):
        d.rectangle((k, k, w - 1 - k, h - 1 - k), outline=0)
    img.putalpha(a)


# ---------------------------------------------------------------------------------
# Progress prompt and agreement viewer

def progress_child():
    w, h = 204, 104
    img = vgradient(w, h, HEAD_TOP, HEAD_BOTTOM)
    deco = Image.new("L", (w, h), 0)
    ImageDraw.Draw(deco).ellipse((120, -70, 280, 70), fill=20)
    paint(img, deco, WHITE)
    cx, cy, r = 102, 22, 10
    m = Image.new("L", (w * SS, h * SS), 0)
    d = ImageDraw.Draw(m)
    bb = ((cx - r) * SS, (cy - r) * SS, (cx + r) * SS, (cy + r) * SS)
    d.ellipse(bb, outline=255, width=int(2.5 * SS))
    paint(img, m.resize((w, h), Image.LANCZOS), WHITE, 0.28)
    m = Image.new("L", (w * SS, h * SS), 0)
    ImageDraw.Draw(m).arc(bb, -90, 40, fill=255, width=int(2.5 * SS))
    paint(img, m.resize((w, h), Image.LANCZOS), WHITE)
    ImageDraw.Draw(img).line((0, 0, w, 0), fill=lighter(HEAD_TOP, 0.2) + (255,))
    return img


def viewer():
    w, h = 541, 402
    body = (0, 0, w - 2, h - 16)
    img = blank(w, h)
    paint(img, shadow(w, h, body, 3, 4, 0.30, 4), (16, 30, 56))
    paint(img, rounded_mask(w, h, body, 0), (248, 250, 253))
    paint(img, ring_mask(w, h, body, 0, 1), (184, 196, 214))
    paint(img, Image.new("L", (body[2], 3), 255).crop((0, 0, w, h)), ACCENT)
    clear_right_and_bottom(img)
    return img


def clear_right_and_bottom(img):
    """The viewer's frame touches its left and top edges; its shadow must still end
    inside the picture on the other two."""
    a = img.getchannel("A")
    w, h = img.size
    d = ImageDraw.Draw(a)
    d.line((0, h - 1, w, h - 1), fill=0)
    d.line((w - 1, 0, w - 1, h), fill=0)
    img.putalpha(a)


# ---------------------------------------------------------------------------------
# Scroll-bar bitmap: 9 x 3 cells of 13 px, saved as an 8-bit palette BMP.

CELL = 13


def scrollbar_bitmap():
    c = CELL
    img = Image.new("RGB", (9 * c, 3 * c), (241, 243, 246))
    track = [(241, 243, 246), (241, 243, 246), (236, 239, 243)]
    thumb = [(193, 200, 210), (165, 174, 188), ACCENT]
    arrow = [(132, 142, 156), (84, 94, 110), WHITE]
    arrow_bg = [(241, 243, 246), (226, 231, 238), ACCENT]
    for row in range(3):
        for vert in (True, False):
            base = 0 if vert else 4
            for col, direction in ((0, "up"), (1, "down")):
                cell = Image.new("RGB", (c, c), arrow_bg[row])
                draw_arrow(cell, direction, arrow[row])
                if not vert:
                    cell = cell.transpose(Image.TRANSPOSE)
                img.paste(cell, ((base + col) * c, row * c))
            img.paste(thumb_cell(track[row], thumb[row], vert), ((base + 2) * c, row * c))
            img.paste(Image.new("RGB", (c, c), track[row]), ((base + 3) * c, row * c))
        img.paste(grip_cell(track[row], left=(row == 1)), (8 * c, row * c))
    return img.quantize(colors=256, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)


def draw_arrow(cell, direction, color):
    c = CELL
    big = Image.new("L", (c * SS, c * SS), 0)
    d = ImageDraw.Draw(big)
    cx, cy = c / 2 * SS, c / 2 * SS
    half, rise = 3.6 * SS, 2.0 * SS
    if direction == "up":
        pts = [(cx - half, cy + rise), (cx, cy - rise), (cx + half, cy + rise)]
    else:
        pts = [(cx - half, cy - rise), (cx, cy + rise), (cx + half, cy - rise)]
    d.polygon(pts, fill=255)
    m = big.resize((c, c), Image.LANCZOS)
    layer = Image.new("RGB", (c, c), color)
    cell.paste(layer, (0, 0), m)


def thumb_cell(track, color, vert):
    """A rounded bar across the cell (columns 3..9 of 13) whose middle rows are all
    alike, so that 3-px caps plus a tiled middle give one smooth thumb."""
    c = CELL
    cell = Image.new("RGB", (c, c), track)
    big = Image.new("L", (c * SS, c * SS), 0)
    ImageDraw.Draw(big).rounded_rectangle((3 * SS, 1 * SS, 10 * SS - 1, 12 * SS - 1),
                                          3.5 * SS, fill=255)
    m = big.resize((c, c), Image.LANCZOS)
    mid = m.crop((0, 6, c, 7))
    for y in range(3, c - 3):
        m.paste(mid, (0, y))
    cell.paste(Image.new("RGB", (c, c), color), (0, 0), m)
    if not vert:
        cell = cell.transpose(Image.TRANSPOSE)
    return cell


def grip_cell(track, left):
    c = CELL
    cell = Image.new("RGB", (c, c), track)
    d = ImageDraw.Draw(cell)
    for row in range(3):
        for col in range(row + 1):
            x = c - 3 - col * 3
            y = c - 3 - (2 - row) * 3
            x = c - 1 - x - 1 if left else x
            d.rectangle((x - 1, y - 1, x, y), fill=(160, 168, 180))
    return cell


# ---------------------------------------------------------------------------------

def app_icon(path):
    big = logo_mark(256)
    big.save(path, sizes=[(16, 16), (32, 32), (48, 48)])


def main():
    os.makedirs(PNG_DIR, exist_ok=True)

    panels = {"zh": main_panel("zh"), "en": main_panel("en")}
    save(panels["zh"], 149)
    save(panels["en"], 207)
    save(back(410, 611, skins.INSET_MAIN, panels["zh"], 2.2, 0.75, 1.5), 148)
    save(back(410, 611, skins.INSET_MAIN, panels["en"], 2.2, 0.75, 1.5), 206)

    header = panels["zh"]
    save_states(glyph_buttons(crop(header, skins.MAIN_CLOSE), cross_glyph(13, 23.5, 4.5, 1.5)),
                151)
    save_states(glyph_buttons(crop(header, skins.MAIN_MINIMISE), bar_glyph(13, 23.5, 5.5, 1.5)),
                157)
    save_states(repair_buttons(panels["zh"], "修复"), 192)
    save_states(repair_buttons(panels["en"], "Fix it"), 208)
    save_states(more_tools_buttons(panels["zh"]), 165)
    save(checkbox_cells(), 150)

    prompts = {"zh": prompt_child("zh"), "en": prompt_child("en")}
    save(prompts["zh"], 170)
    save(prompts["en"], 213)
    save(back(330, 150, skins.INSET_PROMPT, prompts["zh"], 2.0, 0.6, 1.5), 169)
    save(back(330, 150, skins.INSET_PROMPT, prompts["en"], 2.0, 0.6, 1.5), 212)
    close_ground = Image.new("RGBA", (12, 12), STRIP + (255,))
    save_states(glyph_buttons(close_ground, cross_glyph(6, 6, 3.2, 1.4), states=3,
                              hover_fill=((226, 231, 238), 1.0), pressed_fill=(ACCENT, 0.18),
                              ink=(128, 138, 152), ink_hover=INK), 174)
    ground = crop(prompts["zh"], skins.PROMPT_FIRST)
    for key, caption, primary in (("yes_zh", "是", True), ("no_zh", "否", False),
                                  ("confirm_zh", "确认", True), ("cancel_zh", "取消", False),
                                  ("ok_en", "OK", True), ("no_en", "NO", False),
                                  ("cancel_en", "Cancel", False)):
        save_states(prompt_buttons(ground, caption, primary), skins.BUTTON_SETS[key][0])

    fb = feedback_child()
    save(fb, 187)
    save(back(410, 479, skins.INSET_FEEDBACK, fb, 2.2, 0.75, 1.5), 186)
    fx0, fy0, fx1, fy1 = skins.FEEDBACK_CLOSE
    save_states(glyph_buttons(crop(fb, (fx0, fy0, fx1, fy1)), cross_glyph(6, 6, 3.2, 1.4),
                              hover_fill=(WHITE, 0.22)), 188)
    save_states(feedback_buttons("解决", "primary"), 197)
    save_states(feedback_buttons("未解决", "outline"), 202)
    save_states(feedback_buttons("更多方案", "quiet"), 161)

    pc = progress_child()
    save(pc, 156)
    save(back(232, 132, skins.INSET_PROGRESS, pc, 5.0, 0.5, 3), 155)

    save(viewer(), 201)

    scrollbar_bitmap().save(os.path.join(RES, "scrollbar.bmp"))
    app_icon(os.path.join(RES, "app.ico"))

    missing = [i for i in SKINS if not os.path.exists(os.path.join(PNG_DIR, "%d.png" % i))]
    if missing:
        sys.exit("not drawn: %s" % missing)
    total = sum(os.path.getsize(os.path.join(PNG_DIR, "%d.png" % i)) for i in SKINS)
    print("%d PNGs, %d bytes" % (len(SKINS), total))


if __name__ == "__main__":
    main()
