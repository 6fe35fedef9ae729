#!/usr/bin/python3
"""Draws the installer skin's pictures (res/skin/RES and its 125/150/200
copies) and the program icon (res/installer.ico). Run by hand when a picture
changes; the results are committed, so a build never needs this script."""
import os
from PIL import Image, ImageDraw

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SKIN = os.path.join(ROOT, "res", "skin")
SCALES = {100: "", 125: "125/", 150: "150/", 200: "200/"}


def px(value, scale):
    return max(1, round(value * scale / 100))


def banner(scale):
    w, h = px(800, scale), px(340, scale)
    img = Image.new("RGB", (w, h))
    top, bottom = (58, 142, 230), (127, 196, 255)
    d = ImageDraw.Draw(img)
    for y in range(h):
        t = y / max(1, h - 1)
        d.line([(0, y), (w, y)], fill=tuple(int(a + (b - a) * t) for a, b in zip(top, bottom)))
    over = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    o = ImageDraw.Draw(over)
    o.ellipse([w * 0.68, -h * 0.25, w * 0.68 + h * 0.9, h * 0.65], fill=(255, 255, 255, 36))
    o.ellipse([-h * 0.2, h * 0.55, h * 0.5, h * 1.25], fill=(255, 255, 255, 28))
    img = Image.alpha_composite(img.convert("RGBA"), over).convert("RGB")
    return img


def box(scale, checked):
    s = px(12, scale)
    big = s * 8
    img = Image.new("RGBA", (big, big), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    if checked:
        d.rounded_rectangle([0, 0, big - 1, big - 1], radius=big // 6, fill=(64, 158, 255, 255))
        d.line([(big * 0.22, big * 0.52), (big * 0.42, big * 0.72), (big * 0.78, big * 0.3)],
               fill=(255, 255, 255, 255), width=max(2, big // 9), joint="curve")
    else:
        d.rounded_rectangle([0, 0, big - 1, big - 1], radius=big // 6, fill=(255, 255, 255, 255),
                            outline=(176, 182, 190, 255), width=max(2, big // 12))
    return img.resize((s, s), Image.LANCZOS)


def star(scale, color):
    s = px(14, scale)
    big = s * 8
    img = Image.new("RGBA", (big, big), (0, 0, 0, 0))
    import math
    points = []
    for i in range(10):
        r = big * (0.5 if i % 2 == 0 else 0.21)
        a = -math.pi / 2 + i * math.pi / 5
        points.append((big / 2 + r * math.cos(a), big * 0.53 + r * math.sin(a)))
    ImageDraw.Draw(img).polygon(points, fill=color)
    return img.resize((s, s), Image.LANCZOS)


def badge(scale, color):
    s = px(16, scale)
    big = s * 8
    img = Image.new("RGBA", (big, big), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    d.ellipse([0, 0, big - 1, big - 1], fill=color)
    d.line([(big * 0.27, big * 0.52), (big * 0.44, big * 0.69), (big * 0.75, big * 0.34)],
           fill=(255, 255, 255, 255), width=max(2, big // 9), joint="curve")
    return img.resize((s, s), Image.LANCZOS)


def icon():
    big = 256
    img = Image.new("RGBA", (big, big), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    d.rounded_rectangle([8, 8, 247, 247], radius=52, fill=(54, 153, 255, 255))
    d.polygon([(128, 48), (200, 126), (154, 126), (154, 204), (102, 204), (102, 126), (56, 126)],
              fill=(255, 255, 255, 255))
    return img


def main():
    for scale, prefix in SCALES.items():
        folder = os.path.join(SKIN, prefix, "RES")
        os.makedirs(folder, exist_ok=True)
        banner(scale).save(os.path.join(folder, "bg.jpg"), quality=88)
        box(scale, False).save(os.path.join(folder, "uncheck.png"))
        box(scale, True).save(os.path.join(folder, "check.png"))
        star(scale, (255, 180, 0, 255)).save(os.path.join(folder, "star.png"))
        star(scale, (216, 220, 226, 255)).save(os.path.join(folder, "star_grey.png"))
        for i, color in enumerate([(0, 178, 122, 255), (64, 158, 255, 255), (255, 138, 0, 255)], 1):
            badge(scale, color).save(os.path.join(folder, "badge%d.png" % i))
    icon().save(os.path.join(ROOT, "res", "installer.ico"), sizes=[(16, 16), (32, 32), (48, 48), (256, 256)])


if __name__ == "__main__":
    main()
