#!/usr/bin/python3
"""The contact sheet of the effects: each template movie of the build played in Debian's Chromium
with a small bakery's texts, one still of each, side by side in one PNG.

    scripts/contact_sheet.py [--build DIR] [--out FILE] [--seconds N]

The program publishes each effect from a data folder of its own; of the screenshots of its first
seconds the still is the one on which tesseract reads the most words of the texts, so that each
picture shows the effect with its text readable. Writes docs/pictures/effects.png and the
tutorial's copy (data/drive_c/lumen quill/tutorial/pictures/effects.png) unless --out says else.
"""
import argparse
import io
import os
import sys

from PIL import Image, ImageDraw, ImageFont

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "bench", "support"))
import movie_stage  # noqa: E402

COLUMNS = 4
THUMB = (330, 240)  # a still, 0.6 of the stage
GAP = 12
LABEL = 28
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
ENOUGH_WORDS = 10
OUTPUTS = [os.path.join(ROOT, "docs", "pictures", "effects.png"),
           os.path.join(ROOT, "data", "drive_c", "lumen quill", "tutorial", "pictures",
                        "effects.png")]


def best_still(site, browser, effect, tables, seconds):
    texts = {movie_stage.section_of(f): movie_stage.BAKERY.get(movie_stage.section_of(f), "")
             for f in movie_stage.template_of(tables, effect)["files"]}
    wanted = set()
    for text in texts.values():
        wanted.update(movie_stage.words_of(text))
    judge = movie_stage.Judge({}, set())
    best = (-1, None)

    def keep(png, text):
        nonlocal best
        found = len(wanted & set(movie_stage.words_of(text)))
        if found > best[0]:
            best = (found, png)
    browser.open(site.publish(effect, texts))
    # Until a still shows a section whole, or the time is up: a title alone has few words.
    movie_stage.watch(browser, judge, seconds, interval=0.7, keep=keep,
                      enough=lambda _: best[0] >= ENOUGH_WORDS)
    box = browser.stage()
    return movie_stage.stage_image(best[1], box), best[0]


def compose(stills):
    rows = (len(stills) + COLUMNS - 1) // COLUMNS
    width = COLUMNS * THUMB[0] + (COLUMNS + 1) * GAP
    height = rows * (THUMB[1] + LABEL) + (rows + 1) * GAP
    sheet = Image.new("RGB", (width, height), (245, 242, 236))
    draw = ImageDraw.Draw(sheet)
    font = ImageFont.truetype(FONT, 17)
    for i, (name, image) in enumerate(stills):
        x = GAP + (i % COLUMNS) * (THUMB[0] + GAP)
        y = GAP + (i // COLUMNS) * (THUMB[1] + LABEL + GAP)
        sheet.paste(image.resize(THUMB, Image.LANCZOS), (x, y))
        draw.text((x + THUMB[0] / 2, y + THUMB[1] + LABEL / 2), name, fill=(40, 40, 40),
                  font=font, anchor="mm")
    return sheet


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=os.path.join(ROOT, "build"))
    parser.add_argument("--out", action="append")
    parser.add_argument("--seconds", type=float, default=30)
    options = parser.parse_args()
    tables = movie_stage.load_tables(os.path.join(options.build, "tools/tables/tables.json"))
    site = movie_stage.Site(os.path.join(options.build, "lumenquill"), tables)
    browser = movie_stage.Chromium()
    stills = []
    try:
        for effect in movie_stage.effect_names(tables):
            image, words = best_still(site, browser, effect, tables, options.seconds)
            print(f"{effect}: {words} words of its texts readable on the still", flush=True)
            stills.append((effect, image))
    finally:
        browser.close()
        site.close()
    sheet = compose(stills)
    for path in options.out or OUTPUTS:
        os.makedirs(os.path.dirname(path), exist_ok=True)
        data = io.BytesIO()
        sheet.save(data, format="PNG", optimize=True)
        with open(path, "wb") as file:
            file.write(data.getvalue())
        print(f"wrote {path}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
