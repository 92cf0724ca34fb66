"""The template movies as a visitor's browser plays them, and what their stage shows.

Shared by the legibility benchmark (bench/movies/legibility.py), the real-browser test
(tests/publish/browsers.py) and the contact sheet (scripts/contact_sheet.py):

- Site: a data folder of its own in which texts are saved into an effect's content files and the
  program publishes the effect as a web folder, served over HTTP on 127.0.0.1;
- Chromium: Debian's Chromium (headless, through chromedriver) with the stage at twice its size,
  so that 12 px text is 24 px on the screenshot;
- read_stage: the words tesseract finds on the stage of a screenshot;
- Judge: which words of each section were seen, and which names of the program's tables were
  seen that a visitor must never see.

What an effect reads comes from the program's own tables (build/tools/tables/tables.json).
"""
import concurrent.futures
import functools
import http.server
import io
import json
import os
import re
import shutil
import subprocess
import tempfile
import threading
import time
import unicodedata

from PIL import Image, ImageOps

STAGE = (550, 400)
SCALE = 2  # the stage on screen at twice its size: small text stays legible to the OCR

# Texts a small bakery would type, by the section headings of the content-file table; "title" is
# the site's title (Fireworks, Matrix, cube).
BAKERY = {
    "title": "Crumb & Co. Bakery",
    "Intro": "Fresh bread every morning since 1998.",
    "About us": "A family bakery in the old town. We bake with stone-ground flour and time.",
    "Our vision": "Good bread for everyone, baked by hand, a short walk from home.",
    "Services": "Cakes to order, breakfast baskets and catering for parties.",
    "Clients": "Caf\u00e9s, schools and the market hall buy our loaves every day.",
    "Products": "Sourdough, rye, croissants, apple tarts and our famous cinnamon rolls.",
    "Contact": "12 Mill Lane, open 7 to 6, phone 555 0142.",
    "Contact us": "12 Mill Lane, open 7 to 6, phone 555 0142.",
    "Preloader": "Warming up the ovens: fresh bread in a moment.",
}

# Characters of Windows-1252 beyond ASCII in words a reader knows, for the accented sections.
ACCENTED = ("Caf\u00e9 cr\u00e8me Stra\u00dfe \u0152uvre \u201cFresh\u201d "
            "Crumb\u2122 \u20ac5 na\u00efve")

# Real words, each used once in a section, so that a word found on the stage belongs to one place
# of the text: a long section shows every word only if it is paged to the end.
VOCABULARY = """
bread flour water salt yeast oven crust crumb dough knead shape proof bake cool slice butter sugar
honey apple pear plum cherry lemon orange almond walnut hazelnut raisin cinnamon ginger vanilla
chocolate cream cheese milk eggs seeds sesame poppy pumpkin sunflower barley wheat spelt oats rye
corn rice market morning evening daily weekly monthly family friends neighbours children school
office garden village town city harbour river bridge station street corner square window table
chair basket paper ribbon box tray shelf counter kitchen recipe grandmother tradition craft
patience careful gentle golden brown crisp tender light dark sweet sour salty warm fresh simple
honest local organic seasonal festive summer winter spring autumn holiday birthday wedding party
picnic breakfast lunch dinner coffee tea juice cocoa sandwich pastry tart cake cookie biscuit muffin
scone bagel pretzel baguette brioche focaccia loaf roll bun pie crumble strudel waffle pancake
donut eclair meringue macaroon truffle praline fudge caramel toffee jam marmalade syrup glaze icing
sprinkle decorate wrap deliver order collect visit welcome thank smile laugh share enjoy taste
smell listen watch learn teach help build grow plant harvest carry open close early late quiet busy
happy kind proud humble bright clever quick slow steady strong soft round flat long short tall
wide narrow deep high blue green yellow purple silver copper iron stone wood glass clay wool cotton
linen leather candle lantern clock bell drum flute violin piano song dance story poem letter
postcard stamp ticket map compass journey travel ferry train bicycle wagon horse sheep goat cow
hen duck goose robin sparrow swallow owl fox badger hedgehog rabbit squirrel meadow forest hill
valley lake pond stream fountain field hedge path gate fence barn mill well cottage chimney roof
door floor wall stairs attic cellar pantry larder cupboard drawer spoon fork knife plate bowl cup
jug kettle pot pan whisk sieve rolling scales timer apron towel napkin cloth lamp mirror picture
frame button thread needle pocket""".split()


def load_tables(path):
    """The effects and the content files each reads, from the tables' JSON."""
    with open(path, encoding="utf-8") as file:
        return json.load(file)["templates"]


def effect_names(tables):
    return [row["effect"] for row in tables]


def template_of(tables, effect):
    return next(row for row in tables if row["effect"] == effect)


def section_of(content_file):
    """The heading a reader sees above a file's text; the title has none of its own."""
    return "title" if content_file["variable"].startswith("title") else content_file["section"]


def names_never_shown(tables):
    """What only the program and its files know a template by: its variables and file names
    (where they are no heading: "Clients" heads a section, and is a file's name too) and, always,
    its effect name. Compared with letter case, as a reader's words differ in case ("Products" is
    a heading, "products" a variable), except where only the first letter's case differs and that
    letter has one shape in both cases: tesseract reads a heading "Services" as "services" now and
    then, and no screenshot can tell the two apart."""
    names, headings = set(), set()
    for row in tables:
        names.add(windows_parts(row["movie"])[-1].rsplit(".", 1)[0])
        for content_file in row["files"]:
            names.add(content_file["variable"])
            names.add(windows_parts(content_file["path"])[-1].rsplit(".", 1)[0])
            headings.update(raw_tokens(content_file["section"]))
    unreadable = {h[0].lower() + h[1:] for h in headings if h[0].lower() in ONE_SHAPE_LETTERS}
    return (names - headings - unreadable) | {row["effect"] for row in tables}


# Letters whose capital is the small letter drawn larger, so that OCR guesses their case.
ONE_SHAPE_LETTERS = "cosuvwxz"


def windows_parts(path):
    """'C:\\lumenquill\\vector\\aboutus.txt' -> ['c', 'lumenquill', 'vector', 'aboutus.txt']"""
    drive, rest = path.split(":", 1)
    return [drive.lower()] + [part for part in rest.split("\\") if part]


def text_of_words(count, offset=0, sentence=9):
    """`count` distinct words of the vocabulary from `offset`, as capitalised sentences."""
    words = VOCABULARY[offset:offset + count]
    if len(words) < count:
        raise ValueError(f"the vocabulary has {len(VOCABULARY)} words, {offset + count} asked")
    out = []
    for i, word in enumerate(words):
        last = i == len(words) - 1 or i % sentence == sentence - 1
        first = i % sentence == 0
        out.append((word.capitalize() if first else word) + ("." if last else ""))
    return " ".join(out)


def text_of_length(characters, offset=0):
    """Distinct words, with their blanks, up to `characters` (at least one character)."""
    if characters <= 2:
        return "K" if characters == 1 else "OK"
    words = 0
    while len(text_of_words(words + 1, offset)) <= characters:
        words += 1
    return text_of_words(words, offset)


# --- Words -------------------------------------------------------------------------------------

def fold(token):
    """A word as compared: letters and digits only, no case, no accents (OCR is unsure of them),
    so that a word shown as something else (U+FFFD, two bytes as two letters) still does not
    match."""
    token = token.casefold().replace("\u0153", "oe").replace("\u00e6", "ae")
    token = unicodedata.normalize("NFKD", token)
    token = "".join(c for c in token if c.isalnum() and not unicodedata.combining(c))
    # Tesseract reads a capital Œ as "CE" as often as not: a word's "ce" and "oe" are one.
    return "oe" + token[2:] if token.startswith("ce") else token


def words_of(text):
    """The words a reader would look for: what stands between blanks, folded; symbols alone
    (€, ™, –) are no words."""
    return [w for w in (fold(t) for t in text.split()) if w]


def raw_tokens(text):
    """Every run of letters, digits and underscores as written: names are looked for in these."""
    return set(re.findall(r"\w+", text))


# --- The site and the browser ------------------------------------------------------------------

class Site:
    """A data folder of its own, the effect's texts saved in it, published and served."""

    def __init__(self, program, tables):
        self.program = program
        self.tables = tables
        self.work = tempfile.mkdtemp(prefix="lq-movie-stage-")
        self.env = dict(os.environ, XDG_DATA_HOME=os.path.join(self.work, "data"))
        self.env.pop("DISPLAY", None)  # publishing needs none
        self.drive = os.path.join(self.work, "data", "lumen-quill")
        self.root = os.path.join(self.work, "site")
        os.makedirs(self.root)
        self.count = 0

        class Quiet(http.server.SimpleHTTPRequestHandler):
            def log_message(self, *args):
                pass

        handler = functools.partial(Quiet, directory=self.root)
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def local_path(self, windows_path):
        parts = windows_parts(windows_path)
        return os.path.join(self.drive, "drive_" + parts[0], *parts[1:])

    def save(self, effect, texts):
        """texts: section heading (or "title") -> the value typed after "=", None for no file."""
        for content_file in template_of(self.tables, effect)["files"]:
            path = self.local_path(content_file["path"])
            value = texts.get(section_of(content_file))
            if value is None:
                if os.path.exists(path):
                    os.remove(path)
                continue
            with open(path, "wb") as file:
                file.write((content_file["variable"] + "=" + value + "\r\n").encode("cp1252"))

    def publish(self, effect, texts):
        """Publishes the effect with these texts as a fresh web folder; its URL."""
        self.count += 1
        name = f"site-{self.count}"
        if self.count == 1:  # the first start lays out the drive's folders
            self._run(effect, os.path.join(self.work, "first"))
        self.save(effect, texts)
        self._run(effect, os.path.join(self.root, name))
        return f"http://127.0.0.1:{self.server.server_address[1]}/{name}/index.html"

    def _run(self, effect, target):
        result = subprocess.run([self.program, "--publish", effect, target], env=self.env,
                                capture_output=True, text=True, timeout=120)
        if result.returncode != 0:
            raise RuntimeError(f"publishing {effect} failed: {result.stderr.strip()}")

    def close(self):
        self.server.shutdown()
        shutil.rmtree(self.work, ignore_errors=True)


class Chromium:
    """Headless Chromium with a viewport of exactly the stage at SCALE."""

    def __init__(self):
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        width, height = STAGE[0] * SCALE, STAGE[1] * SCALE
        for argument in ["--headless=new", "--no-sandbox", f"--window-size={width},{height}",
                         "--disable-gpu", "--no-first-run", "--hide-scrollbars",
                         "--autoplay-policy=no-user-gesture-required"]:
            options.add_argument(argument)
        self.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        self.driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": width, "height": height, "deviceScaleFactor": 1, "mobile": False})

    def open(self, url):
        self.driver.get(url)

    def stage(self):
        """The stage's box on the screenshot: the player's box, letterboxed to 11:8."""
        box = self.driver.execute_script(
            "var p = document.querySelector('ruffle-player, ruffle-object, ruffle-embed');"
            "if (!p) return null; var r = p.getBoundingClientRect();"
            "return [r.left, r.top, r.width, r.height, devicePixelRatio];")
        if not box or box[2] <= 0 or box[3] <= 0:
            return None
        left, top, width, height, ratio = box
        scale = min(width / STAGE[0], height / STAGE[1])
        x = left + (width - STAGE[0] * scale) / 2
        y = top + (height - STAGE[1] * scale) / 2
        return tuple(int(round(v * ratio)) for v in
                     (x, y, x + STAGE[0] * scale, y + STAGE[1] * scale))

    def screenshot(self):
        return self.driver.get_screenshot_as_png()

    def close(self):
        self.driver.quit()


# --- Reading the stage -------------------------------------------------------------------------

def stage_image(png, box):
    image = Image.open(io.BytesIO(png)).convert("RGB")
    return image.crop(box) if box else image


# English, and German and French for the letters of Windows-1252 that English lacks (ß, Œ, è):
# with English alone "Straße" reads "Strafgse" and "Œuvre" "CEuvre".
LANGUAGES = "eng+deu+fra"


def read_stage(image):
    """The text tesseract finds on a stage image, made black on white first: on a dark stage the
    text is what is brightest, on a light one what is darkest. (Left to itself, tesseract makes
    one threshold for the whole image, and light text on a mid-tone panel over a dark ground sinks
    into the panel.)"""
    grey = ImageOps.autocontrast(image.convert("L"))
    if sum(grey.getdata()) < 128 * grey.size[0] * grey.size[1]:
        ink = grey.point(lambda v: 0 if v > 170 else 255)
    else:
        ink = grey.point(lambda v: 0 if v < 110 else 255)
    data = io.BytesIO()
    ink.save(data, format="PNG")
    result = subprocess.run(["tesseract", "stdin", "stdout", "-l", LANGUAGES, "--psm", "11"],
                            input=data.getvalue(), capture_output=True, timeout=60)
    return result.stdout.decode("utf-8", "replace")


class Judge:
    """What a loop of screenshots showed of the sections that were saved."""

    def __init__(self, sections, never_shown):
        # sections: heading -> text; the words to find are the text's and the heading's.
        self.sections = {name: set(words_of(text)) for name, text in sections.items()}
        # A heading may not be a name either: "Preloader" over a section is the template's name.
        self.expected_raw = set()
        for text in sections.values():
            self.expected_raw |= raw_tokens(text)
        self.never_shown = never_shown - self.expected_raw
        self.seen = set()
        self.names_seen = set()

    def add(self, text):
        self.seen.update(words_of(text))
        self.names_seen.update(raw_tokens(text) & self.never_shown)

    def share(self, name):
        wanted = self.sections[name]
        return 1.0 if not wanted else len(wanted & self.seen) / len(wanted)

    def missing(self, name):
        return sorted(self.sections[name] - self.seen)

    def lowest(self):
        return min((self.share(name) for name in self.sections), default=1.0)


def reading_seconds(text):
    """How long a section stands to be read: 200 words a minute, never under 2.5 s."""
    return max(2.5, len(text.split()) * 60 / 200)


def watch(browser, judge, seconds, interval=0.8, enough=None, keep=None, workers=2):
    """Screenshots of the stage for `seconds` (from the first one on which the player stands),
    read by tesseract meanwhile; stops early once enough(judge) holds. keep(png, text) sees every
    screenshot with its reading. Returns the number of screenshots read."""
    box, started, shots = None, None, 0
    deadline_for_player = time.time() + 60
    pending = []
    with concurrent.futures.ThreadPoolExecutor(workers) as pool:
        while True:
            now = time.time()
            if box is None:
                box = browser.stage()
                if box is None:
                    if now > deadline_for_player:
                        raise RuntimeError("the page shows no player")
                    time.sleep(0.2)
                    continue
                started = now
            png = browser.screenshot()
            pending.append((png, pool.submit(read_stage, stage_image(png, box))))
            while pending and (pending[0][1].done() or len(pending) > 2 * workers):
                png_done, future = pending.pop(0)
                text = future.result()
                judge.add(text)
                shots += 1
                if keep:
                    keep(png_done, text)
            if enough and enough(judge):
                break
            if time.time() - started > seconds:
                break
            time.sleep(max(0.0, interval - (time.time() - now)))
        for png_done, future in pending:
            text = future.result()
            judge.add(text)
            shots += 1
            if keep:
                keep(png_done, text)
    return shots
