#!/usr/bin/env python3
"""Contact sheet of the skin: mock-ups of every window put together the way the
program lays them out at 96 DPI, then every PNG labelled with its id, alpha pictures
on a checkerboard. Writes <build>/screens/contact-sheet.png (build defaults to
./build)."""

import os
import sys

from PIL import Image, ImageDraw, ImageFont

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "res", "artgen"))
import skins  # noqa: E402

PNG_DIR = os.path.join(ROOT, "res", "png")
CJK = "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc"
DESK = (120, 128, 140, 255)


def png(pid):
    return Image.open(os.path.join(PNG_DIR, "%d.png" % pid)).convert("RGBA")


def label_font(size=12):
    return ImageFont.truetype(CJK, size)


def checker(w, h, step=8):
    img = Image.new("RGBA", (w, h), (255, 255, 255, 255))
    d = ImageDraw.Draw(img)
    for y in range(0, h, step):
        for x in range(0, w, step):
            if (x // step + y // step) % 2:
                d.rectangle((x, y, x + step - 1, y + step - 1), fill=(214, 214, 214, 255))
    return img


def place(canvas, pid, rect, offset):
    """Draws a picture stretched into rect (left, top, right, bottom) + offset."""
    l, t, r, b = rect
    pic = png(pid).resize((r - l, b - t), Image.LANCZOS)
    canvas.alpha_composite(pic, (offset[0] + l, offset[1] + t))


def pair(back_id, child_id, back_size, inset, child_size=None):
    bw, bh = back_size
    canvas = Image.new("RGBA", (bw + 40, bh + 40), DESK)
    canvas.alpha_composite(png(back_id).resize((bw, bh), Image.LANCZOS), (20, 20))
    l, t, r, b = inset
    cw, ch = child_size or (bw - l - r, bh - t - b)
    child = png(child_id).resize((cw, ch), Image.LANCZOS)
    canvas.alpha_composite(child, (20 + l, 20 + t))
    return canvas, (20 + l, 20 + t)


def text(canvas, xy, s, color, size=12, anchor="la"):
    ImageDraw.Draw(canvas).text(xy, s, font=label_font(size), fill=color, anchor=anchor)


def mock_main(lang):
    zh = lang == "zh"
    canvas, o = pair(148 if zh else 206, 149 if zh else 207, (410, 611), skins.INSET_MAIN)
    place(canvas, 151, skins.MAIN_CLOSE, o)
    place(canvas, 157, skins.MAIN_MINIMISE, o)
    place(canvas, 192 if zh else 208, skins.MAIN_REPAIR, o)
    vx0, vy0, vx1, vy1 = skins.MAIN_VERSION
    text(canvas, (o[0] + (vx0 + vx1) // 2, o[1] + (vy0 + vy1) // 2), "1.0.0", (255, 255, 255),
         anchor="mm")
    if zh:
        place(canvas, 165, skins.MAIN_MORE_TOOLS, o)
        cells = png(150)
        canvas.alpha_composite(cells.crop((16, 0, 32, 16)), (o[0] + 8, o[1] + 577))
        text(canvas, (o[0] + 28, o[1] + 585), "同意", (0, 0, 0), anchor="lm")
        text(canvas, (o[0] + 56, o[1] + 585), "《Corvel服务工具使用许可协议》", (92, 92, 255),
             anchor="lm")
        text(canvas, (o[0] + 388, o[1] + 585), "反馈问题", (92, 92, 255), anchor="rm")
    return canvas


def mock_prompt(lang):
    zh = lang == "zh"
    canvas, o = pair(169 if zh else 212, 170 if zh else 213, (336, 156), skins.INSET_PROMPT,
                     (326, 146))
    place(canvas, 174, (300, 8, 312, 20), o)
    first, second = (180, 171) if zh else (220, 214)
    place(canvas, first, (96, 107, 151, 131), o)
    place(canvas, second, (175, 107, 230, 131), o)
    msg = "修复成功" if zh else "Repair succeeded."
    text(canvas, (o[0] + 10, o[1] + 75), msg, (0, 0, 0), size=13, anchor="lm")
    return canvas


def mock_feedback():
    canvas, o = pair(186, 187, (410, 479), skins.INSET_FEEDBACK)
    place(canvas, 188, skins.FEEDBACK_CLOSE, o)
    for pid, rect in zip((197, 202, 161), skins.FEEDBACK_BUTTONS):
        place(canvas, pid, rect, o)
    return canvas


def mock_progress():
    canvas, o = pair(155, 156, (232, 132), skins.INSET_PROGRESS)
    l, t, r, b = skins.PROGRESS_TEXT
    text(canvas, (o[0] + (l + r) // 2, o[1] + (t + b) // 2), "正在修复，请稍等...",
         (255, 255, 255), size=13, anchor="mm")
    return canvas


def mock_viewer():
    bw, bh = 398, 472
    canvas, o = pair(201, 201, (bw, bh), skins.INSET_VIEWER)
    # The child shows the picture less its bottom 18 rows.
    l, t, r, b = skins.INSET_VIEWER
    src = png(201)
    child = src.crop((0, 0, src.width - 1, src.height - 18)).resize((bw - l - r, bh - t - b))
    canvas.alpha_composite(child, o)
    edit = (o[0] + 8, o[1] + 8, o[0] + bw - l - r - 8, o[1] + bh - t - b - 8)
    ImageDraw.Draw(canvas).rectangle(edit, fill=(255, 255, 255, 255), outline=(130, 135, 144))
    bar = Image.open(os.path.join(ROOT, "res", "scrollbar.bmp")).convert("RGBA")
    x = edit[2] - 13
    canvas.alpha_composite(bar.crop((0, 0, 13, 13)), (x, edit[1] + 1))
    canvas.alpha_composite(bar.crop((13, 0, 26, 13)), (x, edit[3] - 13))
    track = bar.crop((39, 0, 52, 13))
    for y in range(edit[1] + 14, edit[3] - 13, 13):
        canvas.alpha_composite(track.crop((0, 0, 13, min(13, edit[3] - 13 - y))), (x, y))
    thumb = bar.crop((26, 0, 39, 13))
    ty0, ty1 = edit[1] + 40, edit[1] + 140
    canvas.alpha_composite(thumb.crop((0, 0, 13, 3)), (x, ty0))
    for y in range(ty0 + 3, ty1 - 3, 7):
        canvas.alpha_composite(thumb.crop((0, 3, 13, 3 + min(7, ty1 - 3 - y))), (x, y))
    canvas.alpha_composite(thumb.crop((0, 10, 13, 13)), (x, ty1 - 3))
    lines = ["Corvel服务工具使用许可协议", "", "重要须知", "    1. ……"]
    for k, s in enumerate(lines):
        text(canvas, (edit[0] + 6, edit[1] + 6 + k * 16), s, (0, 0, 0))
    return canvas


def tile(pid):
    w, h, alpha, role = skins.SKINS[pid]
    pic = png(pid)
    zoom = 3 if max(w, h) <= 60 else 1
    pic = pic.resize((w * zoom, h * zoom), Image.NEAREST)
    ground = checker(pic.width, pic.height) if alpha else Image.new("RGBA", pic.size, DESK)
    ground.alpha_composite(pic)
    cap = "%d  %dx%d %s" % (pid, w, h, "RGBA" if alpha else "RGB")
    out = Image.new("RGBA", (max(pic.width, 150), pic.height + 34), (255, 255, 255, 255))
    out.alpha_composite(ground, (0, 0))
    text(out, (0, pic.height + 2), cap, (0, 0, 0))
    text(out, (0, pic.height + 17), role, (90, 90, 90), size=11)
    return out


def flow(items, width, gap=14):
    rows, row, x, rh = [], [], 0, 0
    for it in items:
        if row and x + it.width > width:
            rows.append((row, rh))
            row, x, rh = [], 0, 0
        row.append((x, it))
        x += it.width + gap
        rh = max(rh, it.height)
    if row:
        rows.append((row, rh))
    h = sum(rh + gap for _, rh in rows)
    img = Image.new("RGBA", (width, h), (255, 255, 255, 255))
    y = 0
    for row, rh in rows:
        for x, it in row:
            img.alpha_composite(it, (x, y))
        y += rh + gap
    return img


def scrollbar_tile():
    bar = Image.open(os.path.join(ROOT, "res", "scrollbar.bmp"))
    info = "196  117x39 %s bitmap" % bar.mode
    big = bar.convert("RGBA").resize((bar.width * 4, bar.height * 4), Image.NEAREST)
    out = Image.new("RGBA", (big.width, big.height + 20), (255, 255, 255, 255))
    out.alpha_composite(big)
    text(out, (0, big.height + 2), info, (0, 0, 0))
    return out


def icon_tile():
    out = Image.new("RGBA", (150, 82), (255, 255, 255, 255))
    x = 0
    for size in (16, 32, 48):
        ico = Image.open(os.path.join(ROOT, "res", "app.ico"))
        ico.size = (size, size)
        out.alpha_composite(ico.convert("RGBA"), (x, 48 - size))
        x += size + 12
    text(out, (0, 52), "128  app.ico 16/32/48", (0, 0, 0))
    return out


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build")
    out_dir = os.path.join(build, "screens")
    os.makedirs(out_dir, exist_ok=True)
    width = 1900
    mocks = flow([mock_main("zh"), mock_main("en"), mock_feedback(), mock_viewer()], width)
    small = flow([mock_prompt("zh"), mock_prompt("en"), mock_progress(), scrollbar_tile(),
                  icon_tile()],
                 width)
    tiles = flow([tile(i) for i in sorted(skins.SKINS)], width)
    sheet = Image.new("RGBA", (width, mocks.height + small.height + tiles.height + 20),
                      (255, 255, 255, 255))
    sheet.alpha_composite(mocks, (0, 0))
    sheet.alpha_composite(small, (0, mocks.height))
    sheet.alpha_composite(tiles, (0, mocks.height + small.height + 20))
    path = os.path.join(out_dir, "contact-sheet.png")
    sheet.convert("RGB").save(path, optimize=True)
    for name, img in (("mock-main-zh", mocks), ("mock-small", small), ("tiles", tiles)):
        img.convert("RGB").save(os.path.join(out_dir, name + ".png"))
    print(path)


if __name__ == "__main__":
    main()
