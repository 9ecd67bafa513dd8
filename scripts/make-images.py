#!/usr/bin/env python3
"""Draw SONOVERT's own pictures and write them as PNG files into res/images/.

Only the Python standard library is used, so the pictures can be remade on
any machine: a tiny supersampling rasteriser draws the shapes and a small
PNG writer (zlib + struct) stores them.  The output is deterministic (fixed
seeds, no timestamps), so running the script again reproduces the committed
files byte for byte.

Usage: python3 scripts/make-images.py [output-directory]
"""

import math
import os
import random
import struct
import sys
import zlib

# ---------------------------------------------------------------------------
# PNG writer
# ---------------------------------------------------------------------------


def _chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_png(path, width, height, rows, alpha):
    """rows: list of rows, each a list of (r, g, b[, a]) integer tuples."""
    colour_type = 6 if alpha else 2
    raw = bytearray()
    for row in rows:
        raw.append(0)  # filter "none": simple, and the images are tiny
        for px in row:
            raw.extend(px[:4] if alpha else px[:3])
    png = b"\x89PNG\r\n\x1a\n"
    png += _chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0))
    png += _chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += _chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


# ---------------------------------------------------------------------------
# Shapes: an inside test plus a bounding box (x0, y0, x1, y1) to limit work
# ---------------------------------------------------------------------------


class Shape:
    def __init__(self, inside, bbox):
        self.inside = inside
        self.bbox = bbox

    def __or__(self, other):
        a, b = self.bbox, other.bbox
        return Shape(lambda x, y: self.inside(x, y) or other.inside(x, y),
                     (min(a[0], b[0]), min(a[1], b[1]), max(a[2], b[2]), max(a[3], b[3])))


def circle(cx, cy, r):
    r2 = r * r
    return Shape(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r2,
                 (cx - r, cy - r, cx + r, cy + r))


def ellipse(cx, cy, rx, ry, angle=0.0):
    c, s = math.cos(angle), math.sin(angle)
    m = max(rx, ry)

    def inside(x, y):
        dx, dy = x - cx, y - cy
        u = dx * c + dy * s
        v = -dx * s + dy * c
        return (u / rx) ** 2 + (v / ry) ** 2 <= 1.0

    return Shape(inside, (cx - m, cy - m, cx + m, cy + m))


def polygon(points):
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    n = len(points)

    def inside(x, y):
        hit = False
        j = n - 1
        for i in range(n):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                hit = not hit
            j = i
        return hit

    return Shape(inside, (min(xs), min(ys), max(xs), max(ys)))


def inset(points, d):
    """Move every edge of a simple polygon inwards by d (for outlines of even width)."""
    n = len(points)
    area = sum(points[i][0] * points[(i + 1) % n][1] - points[(i + 1) % n][0] * points[i][1]
               for i in range(n))
    sign = 1.0 if area > 0 else -1.0
    lines_ = []
    for i in range(n):
        (ax, ay), (bx, by) = points[i], points[(i + 1) % n]
        length = math.hypot(bx - ax, by - ay)
        nx, ny = -(by - ay) / length * sign, (bx - ax) / length * sign
        lines_.append((ax + nx * d, ay + ny * d, bx - ax, by - ay))
    out = []
    for i in range(n):
        px, py, dx, dy = lines_[i - 1]
        qx, qy, ex, ey = lines_[i]
        den = dx * ey - dy * ex
        t = ((qx - px) * ey - (qy - py) * ex) / den
        out.append((px + t * dx, py + t * dy))
    return out


def rect(x0, y0, x1, y1):
    return Shape(lambda x, y: x0 <= x <= x1 and y0 <= y <= y1, (x0, y0, x1, y1))


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        dx = max(x0 + r - x, 0.0, x - (x1 - r))
        dy = max(y0 + r - y, 0.0, y - (y1 - r))
        return dx * dx + dy * dy <= r * r

    return Shape(inside, (x0, y0, x1, y1))


def _seg_dist2(x, y, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    l2 = dx * dx + dy * dy
    t = 0.0 if l2 == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / l2))
    px, py = ax + t * dx - x, ay + t * dy - y
    return px * px + py * py


def polyline(points, width, closed=False):
    """A stroke with round joins and caps."""
    pts = list(points) + ([points[0]] if closed else [])
    segs = list(zip(pts, pts[1:]))
    h = width / 2.0
    h2 = h * h
    xs = [p[0] for p in pts]
    ys = [p[1] for p in pts]

    def inside(x, y):
        for (a, b) in segs:
            if _seg_dist2(x, y, a[0], a[1], b[0], b[1]) <= h2:
                return True
        return False

    return Shape(inside, (min(xs) - h, min(ys) - h, max(xs) + h, max(ys) + h))


# ---------------------------------------------------------------------------
# Canvas with supersampled anti-aliasing and "over" compositing
# ---------------------------------------------------------------------------


def linear(x0, y0, c0, x1, y1, c1):
    """A linear gradient paint from colour c0 at (x0, y0) to c1 at (x1, y1)."""
    dx, dy = x1 - x0, y1 - y0
    l2 = dx * dx + dy * dy

    def paint(x, y):
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / l2))
        return tuple(a + (b - a) * t for a, b in zip(c0, c1))

    return paint


def radial(cx, cy, r, c0, c1):
    def paint(x, y):
        t = min(1.0, math.hypot(x - cx, y - cy) / r)
        return tuple(a + (b - a) * t for a, b in zip(c0, c1))

    return paint


def rgb(hex_colour, a=255):
    h = hex_colour.lstrip("#")
    return (int(h[0:2], 16), int(h[2:4], 16), int(h[4:6], 16), a)


class Canvas:
    SS = 8  # samples per pixel along each axis

    def __init__(self, w, h, unit=1.0):
        self.w, self.h = w, h
        # Drawing coordinates are in "units" so one design can serve several sizes.
        self.unit = unit
        self.px = [[(0.0, 0.0, 0.0, 0.0)] * w for _ in range(h)]  # premultiplied, 0..1

    def coverage(self, shape, px, py):
        n = self.SS
        u = self.unit
        hits = 0
        for j in range(n):
            y = (py + (j + 0.5) / n) / u
            for i in range(n):
                if shape.inside((px + (i + 0.5) / n) / u, y):
                    hits += 1
        return hits / (n * n)

    def fill(self, shape, paint, opacity=1.0):
        u = self.unit
        x0, y0, x1, y1 = shape.bbox
        for py in range(max(0, int(math.floor(y0 * u)) - 1), min(self.h, int(math.ceil(y1 * u)) + 1)):
            for px in range(max(0, int(math.floor(x0 * u)) - 1), min(self.w, int(math.ceil(x1 * u)) + 1)):
                cov = self.coverage(shape, px, py)
                if cov <= 0.0:
                    continue
                c = paint((px + 0.5) / u, (py + 0.5) / u) if callable(paint) else paint
                a = c[3] / 255.0 * cov * opacity
                r, g, b, da = self.px[py][px]
                k = 1.0 - a
                self.px[py][px] = (c[0] / 255.0 * a + r * k, c[1] / 255.0 * a + g * k,
                                   c[2] / 255.0 * a + b * k, a + da * k)

    def rows(self):
        out = []
        for row in self.px:
            out_row = []
            for (r, g, b, a) in row:
                if a <= 0.0:
                    out_row.append((0, 0, 0, 0))
                    continue
                out_row.append((_byte(r / a), _byte(g / a), _byte(b / a), _byte(a)))
            out.append(out_row)
        return out


def _byte(v):
    return max(0, min(255, int(round(v * 255.0))))


# ---------------------------------------------------------------------------
# Window background tile
# ---------------------------------------------------------------------------


def _wrap_blur(values, weights):
    """Circular convolution, so the result still tiles without a seam."""
    n = len(values)
    half = len(weights) // 2
    total = float(sum(weights))
    return [sum(w * values[(i + k - half) % n] for k, w in enumerate(weights)) / total
            for i in range(n)]


def background_tile(w=14, h=58, lo=194, hi=212):
    rng = random.Random(133)
    # Broad horizontal bands give the brushed look; they are constant along x.
    bands = _wrap_blur([rng.gauss(0, 1) for _ in range(h)], [1, 2, 3, 2, 1])
    # Fibres: noise smeared along x (wide kernel) but barely along y.
    grain = [[rng.gauss(0, 1) for _ in range(w)] for _ in range(h)]
    grain = [_wrap_blur(row, [1, 2, 3, 4, 3, 2, 1]) for row in grain]
    cols = [_wrap_blur([grain[y][x] for y in range(h)], [1, 3, 1]) for x in range(w)]
    fibres = [[cols[x][y] for x in range(w)] for y in range(h)]
    # A little per-pixel grit, like paper, so it does not look synthetic.
    grit = [[rng.gauss(0, 1) for _ in range(w)] for _ in range(h)]

    def spread(field):
        flat = [v for row in field for v in row]
        mean = sum(flat) / len(flat)
        sd = math.sqrt(sum((v - mean) ** 2 for v in flat) / len(flat)) or 1.0
        return [[(v - mean) / sd for v in row] for row in field]

    bands = spread([[v] * w for v in bands])
    fibres = spread(fibres)
    grit = spread(grit)
    mid = (lo + hi) / 2.0
    rows = []
    for y in range(h):
        row = []
        for x in range(w):
            v = mid + 2.2 * bands[y][x] + 1.8 * fibres[y][x] + 0.9 * grit[y][x]
            g = max(lo + 1, min(hi - 1, int(round(v))))
            row.append((g, g, g))
        rows.append(row)
    return rows


# ---------------------------------------------------------------------------
# Icons (designed on a 32-unit grid; the 16 px versions get bolder strokes)
# ---------------------------------------------------------------------------


def icon_app(size):
    small = size <= 16
    c = Canvas(size, size, size / 32.0)
    px = 32.0 / size  # one device pixel in design units: keeps edges crisp at 16 px
    # Rounded tile: a deep blue so white and amber marks stand out on any theme.
    m = 0.0 if small else 1.0
    c.fill(rounded_rect(m, m, 32 - m, 32 - m, 6), rgb("#1d3f72"))
    c.fill(rounded_rect(m + px, m + px, 32 - m - px, 32 - m - px, 6 - px),
           linear(0, 2, rgb("#4a90dc"), 0, 30, rgb("#1f4f9a")))
    white = rgb("#ffffff")
    amber = rgb("#ffc43d")
    # The note: head lower left and a stem whose flag runs on into a sound wave.
    hr = 4.4 if small else 3.6
    head_x, head_y = (9.0, 23.0) if small else (9.0, 22.5)
    stem_r = 14.0 if small else 13.5  # right edge of the stem
    stem_w = 2 * px if small else 2.0
    top = 4.0 if small else 6.0
    amp = 5.0 if small else 4.2
    cycles = 1.25 if small else 1.75  # fewer turns at 16 px so they stay apart
    x0, x1 = stem_r - stem_w / 2, 29.5 if small else 29.0
    pts = []
    steps = 48
    for i in range(steps + 1):
        t = i / steps
        # Starts at the stem top heading down, like a flag, then keeps waving.
        pts.append((x0 + t * (x1 - x0), top + amp - amp * math.cos(t * 2.0 * math.pi * cycles)))
    # White at the stem fading to amber: the note turns into sound.
    c.fill(polyline(pts, 3.6 if small else 2.4),
           linear(x0, 0, white, x0 + (5 if small else 8), 0, amber))
    c.fill(ellipse(head_x, head_y, hr * 1.3, hr * 0.95, -0.45), white)
    c.fill(rect(stem_r - stem_w, top, stem_r, head_y - 0.5), white)
    return c.rows()


def icon_open(size):
    small = size <= 16
    c = Canvas(size, size, size / 32.0)
    px = 32.0 / size
    outline = rgb("#8a5a0c")
    # Back of the folder with its tab; corners on whole pixels at either size.
    back = [(2, 6), (12, 6), (14, 10), (28, 10), (28, 28), (2, 28)] if small else \
           [(2, 7), (11, 7), (13.5, 10), (27, 10), (27, 27), (2, 27)]
    c.fill(polygon(back), outline)
    c.fill(polygon(inset(back, px)), linear(0, 8, rgb("#f0c659"), 0, 26, rgb("#d79f2a")))
    if not small:
        # A sheet of paper sticking out, hinting at the file about to be chosen.
        c.fill(polygon([(6.5, 13), (23, 13), (23, 24), (6.5, 24)]), rgb("#9a9a9a"))
        c.fill(polygon([(7.3, 13.8), (22.2, 13.8), (22.2, 24), (7.3, 24)]), rgb("#ffffff"))
        for yy in (16.5, 19.0):
            c.fill(rect(9.5, yy, 20, yy + 0.9), rgb("#b8c4d4"))
    # Front flap swung open: a slanted, lighter panel.
    flap = [(8, 14), (32, 14), (26, 28), (2, 28)] if small else \
           [(6.5, 15), (31, 15), (26.5, 27.5), (1.5, 27.5)]
    c.fill(polygon(flap), outline)
    c.fill(polygon(inset(flap, px)), linear(0, 16, rgb("#ffe38a"), 0, 26, rgb("#f2b936")))
    if not small:
        c.fill(polygon([(7.6, 16.5), (29.0, 16.5), (28.7, 17.4), (7.3, 17.4)]), rgb("#fff6cf"))
    return c.rows()


def icon_convert(size):
    c = Canvas(size, size, size / 32.0)
    # A red "record" dot: recording the sound card is exactly what converting does.
    c.fill(circle(16, 16, 13.5), rgb("#6e0f0f"))
    c.fill(circle(16, 16, 12.5), radial(13, 12, 15, rgb("#ff5a4a"), rgb("#b3130f")))
    # A soft highlight makes it read as a glossy button rather than a flat disc.
    c.fill(ellipse(12.5, 10.5, 6.5, 4.0, -0.6), rgb("#ffffff"), 0.35)
    c.fill(ellipse(11.5, 9.5, 3.0, 1.7, -0.6), rgb("#ffffff"), 0.45)
    return c.rows()


def icon_stop(size):
    small = size <= 16
    c = Canvas(size, size, size / 32.0)
    px = 32.0 / size
    m = 4.0
    r = 4.0 if small else 3.5
    c.fill(rounded_rect(m, m, 32 - m, 32 - m, r), rgb("#3a0b0b"))
    c.fill(rounded_rect(m + px, m + px, 32 - m - px, 32 - m - px, r - px),
           linear(0, m, rgb("#c8453a"), 0, 32 - m, rgb("#7d1510")))
    if not small:
        # A soft sheen on the upper half, matching the glossy record button.
        c.fill(rounded_rect(m + 2.2, m + 2.2, 32 - m - 2.2, 13, 1.6), rgb("#ffffff"), 0.18)
    return c.rows()


# ---------------------------------------------------------------------------
# Pointing hand cursor (monochrome)
# ---------------------------------------------------------------------------

HOT_X, HOT_Y = 5, 0


def _mask(shape, w, h):
    c = Canvas(w, h)
    return [[c.coverage(shape, x, y) >= 0.5 for x in range(w)] for y in range(h)]


def cursor_hand(w=32, h=32):
    # Index finger centred on the hot spot column, the other fingers curled.
    finger = rounded_rect(3, 1, 8, 16, 2.5)
    middle = rounded_rect(7, 7.6, 11, 18, 1.9)
    ring = rounded_rect(10, 8.6, 14, 19, 1.9)
    little = rounded_rect(13, 10.1, 17, 20, 1.9)
    palm = polygon([(3, 13), (17, 14), (17, 21), (15, 25), (6, 25), (3, 21)])
    thumb = polyline([(1.5, 13.5), (4.5, 20.5)], 3.2) | circle(5.5, 20.5, 2.5)
    wrist = rect(6, 23, 15, 28)
    hand = finger | middle | ring | little | palm | thumb | wrist
    inside = _mask(hand, w, h)
    # One pixel on top of the rounded tip makes the hot spot unambiguous.
    inside[HOT_Y][HOT_X] = True

    def at(x, y):
        return 0 <= x < w and 0 <= y < h and inside[y][x]

    black, white, clear = (0, 0, 0, 255), (255, 255, 255, 255), (0, 0, 0, 0)
    rows = []
    for y in range(h):
        row = []
        for x in range(w):
            if not inside[y][x]:
                row.append(clear)
            elif not (at(x - 1, y) and at(x + 1, y) and at(x, y - 1) and at(x, y + 1)):
                row.append(black)
            else:
                row.append(white)
        rows.append(row)
    # Creases: the index finger's edge runs on down, and the curled fingers are
    # split, so the outline reads as a hand rather than a mitten.
    for x, y0, y1 in ((7, 8, 14), (10, 10, 15), (13, 11, 16)):
        for y in range(y0, y1 + 1):
            if inside[y][x]:
                rows[y][x] = black
    # A line across closes the cuff off from the hand.
    for x in range(w):
        if inside[23][x]:
            rows[23][x] = black
    return rows


# ---------------------------------------------------------------------------


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "res", "images")
    os.makedirs(out, exist_ok=True)

    def save(name, rows, alpha=True):
        write_png(os.path.join(out, name), len(rows[0]), len(rows), rows, alpha)

    save("bitmap133.png", background_tile(), alpha=False)
    for size in (32, 16):
        save("icon103-%d.png" % size, icon_app(size))
        save("icon146-%d.png" % size, icon_open(size))
        save("icon143-%d.png" % size, icon_stop(size))
    save("icon141-32.png", icon_convert(32))
    cur = cursor_hand()
    top = next((y, x) for y in range(len(cur)) for x in range(len(cur[0])) if cur[y][x][3])
    # The platform layer assumes this hot spot; stop rather than ship a mismatched cursor.
    if top != (HOT_Y, HOT_X):
        raise SystemExit("cursor fingertip is at %r, expected (%d, %d)" % (top[::-1], HOT_X, HOT_Y))
    save("cursor140.png", cur)
    # The system help viewer's hand (its cursor 106) is the same picture here.
    save("cursor106.png", cur)


if __name__ == "__main__":
    main()
