#!/usr/bin/env python3
"""Draws the sample sprite sheets of Morvheld into Graphics/.

Every sheet is a grid of 32 x 32 cells, eight to a row, numbered row by row from
the top-left corner; a cell's number is the picindex that the definition tables
give. Cells of the keyed sheets are painted on magenta (255, 0, 255), which the
game turns transparent when it loads them. Sheet sizes are powers of two, so no
driver rescales them.

Standard library only; the output is the same on every run (no clock, no
random module: the speckles come from an integer hash).

    python3 scripts/make-graphics.py [output folder, default Graphics/]
"""
import os
import struct
import sys
import zlib

CELL = 32
PER_ROW = 8
KEY = (255, 0, 255)


def noise(x, y, seed):
    """Integer hash of a position: 0..255, stable everywhere."""
    h = (x * 374761393 + y * 668265263 + seed * 2246822519) & 0xFFFFFFFF
    h = ((h ^ (h >> 13)) * 1274126177) & 0xFFFFFFFF
    return (h ^ (h >> 16)) & 0xFF


def shade(col, k):
    return tuple(max(0, min(255, int(round(c * k)))) for c in col)


def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


class Sheet:
    def __init__(self, rows, background):
        self.w = CELL * PER_ROW
        self.h = CELL * rows
        self.pix = [background] * (self.w * self.h)

    def cell(self, index):
        return Cell(self, (index % PER_ROW) * CELL, (index // PER_ROW) * CELL)

    def png(self):
        raw = bytearray()
        for y in range(self.h):
            raw.append(0)  # filter: none
            for x in range(self.w):
                raw.extend(self.pix[y * self.w + x])

        def chunk(tag, data):
            body = tag + data
            return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

        header = struct.pack(">IIBBBBB", self.w, self.h, 8, 2, 0, 0, 0)
        return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


class Cell:
    """Drawing inside one 32 x 32 cell; coordinates are local and clipped."""

    def __init__(self, sheet, ox, oy):
        self.s, self.ox, self.oy = sheet, ox, oy

    def px(self, x, y, col):
        if 0 <= x < CELL and 0 <= y < CELL:
            self.s.pix[(self.oy + y) * self.s.w + self.ox + x] = col

    def get(self, x, y):
        return self.s.pix[(self.oy + y) * self.s.w + self.ox + x]

    def rect(self, x, y, w, h, col):
        for j in range(y, y + h):
            for i in range(x, x + w):
                self.px(i, j, col)

    def frame(self, x, y, w, h, col):
        for i in range(x, x + w):
            self.px(i, y, col)
            self.px(i, y + h - 1, col)
        for j in range(y, y + h):
            self.px(x, j, col)
            self.px(x + w - 1, j, col)

    def ellipse(self, cx, cy, rx, ry, col, lit=None):
        """Filled ellipse; with lit, lighter towards the upper left."""
        for j in range(int(cy - ry) - 1, int(cy + ry) + 2):
            for i in range(int(cx - rx) - 1, int(cx + rx) + 2):
                dx, dy = (i + 0.5 - cx) / rx, (j + 0.5 - cy) / ry
                d = dx * dx + dy * dy
                if d <= 1.0:
                    c = col
                    if lit is not None:
                        c = shade(col, 1.0 + lit * (-0.6 * dx - 0.6 * dy) - 0.25 * d * lit)
                    self.px(i, j, c)

    def line(self, x0, y0, x1, y1, col, width=1):
        n = max(abs(x1 - x0), abs(y1 - y0), 1)
        for k in range(n + 1):
            x = x0 + (x1 - x0) * k / n
            y = y0 + (y1 - y0) * k / n
            for a in range(width):
                for b in range(width):
                    self.px(int(round(x)) + a - width // 2, int(round(y)) + b - width // 2, col)

    def outline(self, col, background=KEY):
        """Darkens the edge of everything drawn on the key colour."""
        edge = []
        for y in range(CELL):
            for x in range(CELL):
                if self.get(x, y) == background:
                    continue
                for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                    nx, ny = x + dx, y + dy
                    if not (0 <= nx < CELL and 0 <= ny < CELL) or self.get(nx, ny) == background:
                        edge.append((x, y))
                        break
        for x, y in edge:
            self.px(x, y, shade(self.get(x, y), 0.55) if col is None else col)

    def tint(self, col, t, background=KEY):
        for y in range(CELL):
            for x in range(CELL):
                c = self.get(x, y)
                if c != background:
                    self.px(x, y, mix(c, col, t))

    def speckle(self, base, seed, amount, spread):
        for y in range(CELL):
            for x in range(CELL):
                n = noise(x, y, seed)
                k = 1.0 + (n - 128) / 128.0 * spread
                c = shade(base, k)
                if noise(x, y, seed + 7) < amount:
                    c = shade(base, 1.25 if n & 1 else 0.75)
                self.px(x, y, c)


# --- terrain -----------------------------------------------------------------

def grass(c, seed, flowers):
    c.speckle((72, 138, 58), seed, 18, 0.10)
    for k in range(14):
        x, y = noise(k, 1, seed) % 30 + 1, noise(k, 2, seed) % 28 + 3
        c.line(x, y, x + (noise(k, 3, seed) % 3) - 1, y - 3, (48, 104, 40))
    if flowers:
        for k in range(5):
            x, y = noise(k, 4, seed) % 28 + 2, noise(k, 5, seed) % 28 + 2
            c.px(x, y, (236, 222, 92))
            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                c.px(x + dx, y + dy, (250, 250, 240))


def sand(c, seed, pebbles):
    c.speckle((212, 190, 128), seed, 24, 0.06)
    for k in range(6):
        x, y = noise(k, 6, seed) % 26 + 2, noise(k, 7, seed) % 26 + 2
        c.line(x, y, x + 4, y, (222, 204, 148))
    if pebbles:
        for k in range(4):
            c.ellipse(noise(k, 8, seed) % 24 + 4, noise(k, 9, seed) % 24 + 4, 2, 1.5, (150, 140, 120), 0.5)


def water(c):
    c.speckle((42, 92, 168), 31, 6, 0.05)
    for row in range(4, 32, 8):
        for x in range(32):
            y = row + (1 if (x // 4) % 2 else 0) + (x // 16)
            c.px(x, y, (92, 146, 214) if x % 8 < 5 else (60, 112, 190))


def stone_floor(c):
    c.speckle((128, 124, 118), 41, 20, 0.07)
    for i in range(32):
        c.px(i, 0, (84, 80, 76))
        c.px(i, 16, (84, 80, 76))
        c.px(0 if i < 16 else 16, i, (84, 80, 76))
    for j in range(1, 16):
        c.px(8, j + 16, (84, 80, 76))
        c.px(24, j + 16, (84, 80, 76))


GLYPH_Q = ["01110", "10001", "00001", "00110", "00100", "00000", "00100"]


def placeholder(c):
    c.rect(0, 0, 32, 32, (52, 52, 60))
    c.frame(0, 0, 32, 32, (90, 90, 100))
    for gx in (1, 11, 21):
        for j, row in enumerate(GLYPH_Q):
            for i, bit in enumerate(row):
                if bit == "1":
                    c.rect(gx + i * 2, 9 + j * 2, 2, 2, (200, 200, 90))


def terrain_sheet():
    s = Sheet(2, KEY)
    grass(s.cell(0), 1, False)
    grass(s.cell(1), 2, False)
    grass(s.cell(2), 3, True)
    sand(s.cell(3), 4, False)
    sand(s.cell(4), 5, False)
    sand(s.cell(5), 6, True)
    water(s.cell(6))
    stone_floor(s.cell(7))
    placeholder(s.cell(8))
    return s


# --- map objects ---------------------------------------------------------------

def tree(c):
    c.rect(14, 20, 5, 11, (110, 74, 40))
    c.line(15, 21, 15, 30, (138, 96, 56))
    c.ellipse(16, 12, 12, 10, (46, 112, 44), 0.6)
    for k in range(9):
        c.ellipse(noise(k, 1, 77) % 16 + 8, noise(k, 2, 77) % 12 + 6, 2.5, 2, (64, 140, 58), 0.4)
    c.outline(None)


def bush(c):
    c.ellipse(16, 22, 13, 8, (58, 124, 50), 0.6)
    c.ellipse(10, 19, 6, 5, (66, 136, 56), 0.5)
    c.ellipse(22, 19, 6, 5, (62, 130, 54), 0.5)
    for k in range(6):
        c.rect(noise(k, 3, 78) % 20 + 6, noise(k, 4, 78) % 8 + 17, 2, 2, (178, 40, 52))
    c.outline(None)


def rock(c):
    c.ellipse(16, 19, 14, 11, (120, 116, 110), 0.7)
    c.ellipse(11, 14, 5, 3, (150, 146, 140), 0.3)
    c.line(18, 13, 22, 22, (92, 88, 84))
    c.outline(None)


def door(c, leaf, dark, open_):
    c.rect(2, 1, 28, 31, (88, 84, 80))
    c.frame(2, 1, 28, 31, (60, 56, 52))
    if open_:
        c.rect(5, 4, 22, 28, (24, 20, 18))
        c.rect(5, 4, 5, 28, leaf)
        c.line(9, 4, 9, 31, dark)
        return
    c.rect(5, 4, 22, 28, leaf)
    for x in range(10, 27, 5):
        c.line(x, 4, x, 31, dark)
    if leaf[0] < 140:
        for y in (8, 26):
            c.rect(6, y, 20, 2, shade(dark, 0.8))
    else:
        for y in (7, 16, 25):
            for x in (7, 15, 23):
                c.rect(x, y, 2, 2, (210, 210, 214))
    c.rect(22, 17, 3, 3, (200, 170, 60))


def stairs(c, down):
    c.rect(1, 1, 30, 30, (70, 66, 62))
    for k in range(6):
        y = 3 + k * 5
        t = k / 5.0 if down else 1.0 - k / 5.0
        c.rect(4, y, 24, 4, mix((170, 164, 156), (26, 24, 22), t))
        c.line(4, y + 4, 27, y + 4, (40, 38, 36))
    c.frame(1, 1, 30, 30, (44, 42, 40))
    arrow = [(16, 27), (12, 23), (20, 23)] if down else [(16, 5), (12, 9), (20, 9)]
    c.line(arrow[0][0], arrow[0][1], arrow[1][0], arrow[1][1], (230, 210, 90))
    c.line(arrow[0][0], arrow[0][1], arrow[2][0], arrow[2][1], (230, 210, 90))


def object_sheet():
    s = Sheet(2, KEY)
    tree(s.cell(0))
    bush(s.cell(1))
    rock(s.cell(2))
    door(s.cell(3), (132, 88, 46), (92, 60, 30), False)
    door(s.cell(4), (150, 154, 160), (104, 106, 112), False)
    door(s.cell(5), (132, 88, 46), (92, 60, 30), True)
    door(s.cell(6), (150, 154, 160), (104, 106, 112), True)
    stairs(s.cell(7), True)
    stairs(s.cell(8), False)
    return s


# --- creatures -------------------------------------------------------------------

def humanoid(c, body, legs, skin, head_extra=None, arms=None):
    c.rect(11, 22, 4, 8, legs)
    c.rect(17, 22, 4, 8, legs)
    c.rect(9, 12, 14, 11, body)
    c.rect(6, 13, 3, 9, arms or body)
    c.rect(23, 13, 3, 9, arms or body)
    c.rect(6, 21, 3, 2, skin)
    c.rect(23, 21, 3, 2, skin)
    c.ellipse(16, 7, 5, 5, skin, 0.4)
    c.px(14, 7, (30, 30, 30))
    c.px(18, 7, (30, 30, 30))
    if head_extra:
        head_extra(c)


def rat(c):
    c.line(6, 24, 1, 28, (214, 150, 150))
    c.ellipse(14, 22, 9, 6, (118, 110, 104), 0.5)
    c.ellipse(24, 20, 5, 4, (128, 120, 114), 0.5)
    c.ellipse(22, 15, 2, 2, (190, 150, 150))
    c.px(26, 19, (20, 20, 20))
    c.px(29, 21, (230, 160, 160))
    c.rect(9, 27, 2, 2, (90, 84, 80))
    c.rect(18, 27, 2, 2, (90, 84, 80))
    c.outline(None)


def wolf(c):
    fur = (122, 114, 104)
    c.line(5, 14, 1, 20, fur, 3)
    c.ellipse(14, 16, 10, 6, fur, 0.5)
    for x in (7, 11, 18, 21):
        c.rect(x, 20, 3, 9, shade(fur, 0.85))
    c.ellipse(25, 11, 5, 4, fur, 0.5)
    c.rect(27, 12, 5, 3, shade(fur, 0.9))
    c.line(23, 7, 24, 4, fur, 2)
    c.px(26, 10, (230, 200, 60))
    c.px(31, 13, (20, 20, 20))
    c.outline(None)


def bog_imp(c):
    skin = (96, 150, 70)
    humanoid(c, (84, 70, 50), (70, 58, 40), skin)
    c.line(10, 6, 5, 2, skin, 2)
    c.line(22, 6, 27, 2, skin, 2)
    c.px(14, 7, (240, 220, 40))
    c.px(18, 7, (240, 220, 40))
    c.line(14, 10, 18, 10, (40, 60, 30))
    c.outline(None)


def skeleton(c):
    bone = (226, 222, 206)
    c.ellipse(16, 7, 5, 5, bone, 0.3)
    c.rect(13, 6, 2, 2, (20, 20, 20))
    c.rect(17, 6, 2, 2, (20, 20, 20))
    c.line(14, 11, 18, 11, (60, 60, 60))
    c.line(16, 12, 16, 21, bone, 2)
    for y in (14, 17, 20):
        c.line(11, y, 21, y, bone)
    c.line(10, 13, 6, 22, bone, 2)
    c.line(22, 13, 26, 22, bone, 2)
    c.line(15, 22, 12, 30, bone, 2)
    c.line(17, 22, 20, 30, bone, 2)
    c.outline((90, 86, 76))


def witch(c):
    robe = (46, 80, 56)
    for y in range(12, 31):
        w = 4 + (y - 12) // 2
        c.rect(16 - w, y, 2 * w, 1, robe)
    c.ellipse(16, 9, 4, 4, (200, 180, 150), 0.4)
    c.px(14, 9, (20, 20, 20))
    c.px(18, 9, (20, 20, 20))
    for y in range(0, 6):
        c.rect(16 - y // 2 - 1, y, y + 2, 1, (36, 40, 44))
    c.rect(8, 6, 16, 2, (36, 40, 44))
    c.line(11, 11, 9, 20, (140, 140, 150))
    c.line(26, 8, 26, 30, (110, 78, 46), 2)
    c.ellipse(26, 7, 2, 2, (120, 220, 120))
    c.outline(None)


def bandit(c):
    def hood(cc):
        for y in range(1, 6):
            cc.rect(10, y, 12, 1, (150, 40, 36))
        cc.rect(10, 1, 2, 10, (150, 40, 36))
        cc.rect(20, 1, 2, 10, (150, 40, 36))
    humanoid(c, (110, 84, 56), (64, 56, 48), (210, 170, 130), hood)
    c.rect(9, 18, 14, 2, (60, 40, 24))
    c.line(27, 14, 27, 23, (200, 200, 206))
    c.rect(26, 22, 3, 2, (90, 60, 30))
    c.outline(None)


def bear(c):
    fur = (104, 72, 44)
    c.ellipse(15, 19, 12, 8, fur, 0.5)
    for x in (5, 10, 18, 23):
        c.rect(x, 24, 4, 6, shade(fur, 0.8))
    c.ellipse(25, 13, 6, 5, fur, 0.5)
    c.ellipse(21, 8, 2, 2, shade(fur, 0.9))
    c.ellipse(28, 8, 2, 2, shade(fur, 0.9))
    c.ellipse(29, 15, 3, 2, (150, 116, 84))
    c.px(31, 14, (20, 20, 20))
    c.px(24, 11, (20, 20, 20))
    c.px(27, 11, (20, 20, 20))
    c.outline(None)


def wraith(c):
    pale = (196, 206, 214)
    mail = (120, 96, 72)
    for y in range(10, 31):
        w = 5 + (y - 10) // 3
        for x in range(16 - w, 16 + w):
            if y < 29 or (x + y) % 4 < 2:
                c.px(x, y, mail if (x + y) % 3 else shade(mail, 0.8))
    c.ellipse(16, 7, 5, 6, pale, 0.3)
    c.rect(13, 6, 2, 2, (80, 200, 230))
    c.rect(17, 6, 2, 2, (80, 200, 230))
    c.line(9, 13, 4, 22, pale, 2)
    c.line(23, 13, 28, 22, pale, 2)
    c.outline(None)


def monster_sheet():
    s = Sheet(1, KEY)
    rat(s.cell(0))
    wolf(s.cell(1))
    bog_imp(s.cell(2))
    skeleton(s.cell(3))
    witch(s.cell(4))
    bandit(s.cell(5))
    bear(s.cell(6))
    wraith(s.cell(7))
    return s


# --- heroes ----------------------------------------------------------------------

def hero_man(c):
    def hair(cc):
        cc.rect(11, 1, 10, 3, (90, 60, 30))
    humanoid(c, (56, 92, 160), (70, 60, 50), (222, 184, 146), hair)
    c.rect(9, 19, 14, 2, (80, 50, 26))
    c.outline(None)


def hero_woman(c):
    def hair(cc):
        cc.rect(10, 1, 12, 3, (170, 110, 40))
        cc.rect(10, 3, 2, 10, (170, 110, 40))
        cc.rect(20, 3, 2, 10, (170, 110, 40))
    humanoid(c, (70, 130, 80), (70, 130, 80), (226, 190, 156), hair)
    for y in range(20, 30):
        w = 7 + (y - 20) // 3
        c.rect(16 - w, y, 2 * w, 1, (70, 130, 80))
    c.outline(None)


def lying(c, draw):
    """The hero drawn turned on the side, with a pool of blood."""
    tmp = Sheet(1, KEY)
    draw(tmp.cell(0))
    c.ellipse(16, 22, 12, 5, (130, 20, 20))
    for y in range(CELL):
        for x in range(CELL):
            col = tmp.cell(0).get(x, y)
            if col != KEY:
                c.px(31 - y, 10 + x // 2, shade(col, 0.8))


def frozen(c, draw):
    draw(c)
    c.tint((180, 220, 255), 0.55)
    c.outline((230, 245, 255))
    for k in range(5):
        c.px(noise(k, 1, 9) % 20 + 6, noise(k, 2, 9) % 26 + 3, (255, 255, 255))


def hero_sheet():
    s = Sheet(1, KEY)
    hero_man(s.cell(0))
    lying(s.cell(1), hero_man)
    frozen(s.cell(2), hero_man)
    hero_woman(s.cell(3))
    lying(s.cell(4), hero_woman)
    frozen(s.cell(5), hero_woman)
    return s


# --- items -------------------------------------------------------------------------

def key_item(c):
    brass = (214, 176, 64)
    c.ellipse(9, 9, 6, 6, brass, 0.5)
    c.ellipse(9, 9, 3, 3, KEY)
    c.line(13, 13, 26, 26, brass, 3)
    c.line(22, 26, 25, 23, brass, 2)
    c.line(19, 23, 22, 20, brass, 2)
    c.outline(None)


def sword(c):
    c.line(6, 26, 24, 8, (196, 200, 210), 3)
    c.line(7, 24, 23, 8, (236, 238, 244))
    c.line(4, 21, 11, 28, (150, 120, 40), 2)
    c.line(3, 29, 7, 25, (100, 66, 36), 3)
    c.outline(None)


def bread(c):
    c.ellipse(16, 19, 13, 8, (196, 140, 70), 0.6)
    for x in (9, 15, 21):
        c.line(x, 15, x + 3, 20, (150, 96, 44))
    c.outline(None)


def book(c):
    c.rect(7, 5, 19, 24, (150, 36, 40))
    c.rect(24, 6, 3, 22, (236, 230, 210))
    c.rect(7, 5, 3, 24, (110, 24, 28))
    c.ellipse(17, 16, 4, 4, (220, 190, 80))
    c.ellipse(17, 16, 2, 2, (150, 36, 40))
    c.outline(None)


def jerkin(c):
    leather = (136, 92, 52)
    c.rect(9, 6, 14, 22, leather)
    c.rect(4, 7, 5, 12, leather)
    c.rect(23, 7, 5, 12, leather)
    c.ellipse(16, 6, 4, 3, KEY)
    c.line(16, 9, 16, 27, (96, 62, 34))
    for y in (12, 16, 20, 24):
        c.px(17, y, (220, 200, 150))
    c.outline(None)


def arrow(c):
    c.line(5, 27, 25, 7, (160, 120, 70), 2)
    c.line(25, 7, 29, 3, (180, 184, 190), 3)
    c.line(3, 25, 7, 29, (200, 50, 40), 2)
    c.line(6, 26, 8, 30, (200, 50, 40))
    c.outline(None)


def bow(c):
    wood = (130, 86, 40)
    for k in range(0, 27):
        y = 3 + k
        x = 9 + int(round(10 * (1 - ((k - 13) / 13.0) ** 2)))
        c.rect(x, y, 2, 1, wood)
    c.line(10, 3, 10, 29, (230, 226, 210))
    c.rect(17, 14, 3, 4, (80, 50, 26))
    c.outline(None)


def herb(c):
    for k in range(5):
        x = 7 + k * 4
        top = 10 + noise(k, 1, 5) % 8
        c.line(x, 29, x + 1, top, (60, 130, 50))
        c.ellipse(x + 1, top - 1, 2.5, 2.5, (240, 200, 40), 0.4)
        c.px(x - 1, top + 6, (80, 150, 60))
        c.px(x + 3, top + 8, (80, 150, 60))
    c.outline(None)


def nugget(c, col, seed):
    c.ellipse(16, 19, 10, 8, col, 0.9)
    for k in range(7):
        x, y = noise(k, 1, seed) % 14 + 9, noise(k, 2, seed) % 10 + 14
        c.px(x, y, shade(col, 0.7 if k % 2 else 1.3))
    c.outline(None)


def coins(c):
    gold = (236, 196, 60)
    for k, (x, y) in enumerate(((11, 24), (21, 25), (16, 21), (16, 17), (16, 13))):
        c.ellipse(x, y, 7, 3.5, shade(gold, 0.8))
        c.ellipse(x, y - 1, 7, 3.5, gold, 0.4)
    c.outline(None)


def item_sheet():
    s = Sheet(2, KEY)
    key_item(s.cell(0))
    sword(s.cell(1))
    bread(s.cell(2))
    book(s.cell(3))
    jerkin(s.cell(4))
    arrow(s.cell(5))
    bow(s.cell(6))
    herb(s.cell(7))
    nugget(s.cell(8), (96, 92, 90), 11)
    coins(s.cell(9))
    nugget(s.cell(10), (186, 104, 58), 12)
    nugget(s.cell(11), (200, 204, 212), 13)
    return s


# --- spells ------------------------------------------------------------------------

def spark(c, r):
    for k in range(8):
        dx, dy = ((1, 0), (1, 1), (0, 1), (-1, 1), (-1, 0), (-1, -1), (0, -1), (1, -1))[k]
        length = r if k % 2 == 0 else r * 0.6
        c.line(16, 16, int(16 + dx * length), int(16 + dy * length), (250, 220, 80), 2)
    c.ellipse(16, 16, r / 3 + 1, r / 3 + 1, (255, 255, 220))


def healing(c, r):
    c.ellipse(16, 16, r, r, (120, 220, 130))
    c.ellipse(16, 16, r * 0.7, r * 0.7, (190, 250, 190))
    c.rect(14, 16 - r // 2, 4, r, (255, 255, 255))
    c.rect(16 - r // 2, 14, r, 4, (255, 255, 255))


def light(c, r):
    for k in range(int(r), 0, -1):
        c.ellipse(16, 16, k, k, mix((255, 255, 240), (240, 200, 90), k / r))


def icon(c, draw, r):
    c.rect(1, 1, 30, 30, (30, 36, 70))
    c.frame(1, 1, 30, 30, (150, 140, 90))
    draw(c, r)


def spell_sheet():
    s = Sheet(2, KEY)
    for i, r in enumerate((5, 9, 13)):
        spark(s.cell(i), r)
    for i, r in enumerate((6, 9, 12)):
        healing(s.cell(3 + i), r)
    for i, r in enumerate((8, 14)):
        light(s.cell(6 + i), r)
    icon(s.cell(8), spark, 11)
    icon(s.cell(9), healing, 10)
    icon(s.cell(10), light, 11)
    return s


SHEETS = (
    ("terrain.png", terrain_sheet),
    ("objects.png", object_sheet),
    ("monsters.png", monster_sheet),
    ("items.png", item_sheet),
    ("heroes.png", hero_sheet),
    ("spells.png", spell_sheet),
)


def main():
    top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(top, "Graphics")
    os.makedirs(out, exist_ok=True)
    for name, build in SHEETS:
        data = build().png()
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
        print("%-14s %6d bytes" % (name, len(data)))


if __name__ == "__main__":
    main()
