#!/usr/bin/python3
"""A published page in Debian's Chromium and Firefox ESR, as a visitor meets it.

The program publishes the Vector template twice, with two sets of saved texts (a line with
"Café €" in one section, nothing in the other, then the other way round): as a web folder served
over HTTP from a sub-path, and as one page opened from file://. Each browser must show the movie
presenting the section that holds text, its letters light over the movie's dark scene; a black
page, the player's error screen or the plain-text fallback cannot pass. Without
WebAssembly the page shows the texts as plain text, and a movie's javascript: URL never runs.

The page carries the site (check_site): its title, the texts under their headings in Chromium's
accessibility tree while the movie plays, a Pause button reached by the keyboard that stops the
picture, the texts as a still page when the visitor asks for reduced motion, and one line saying
how to watch a web folder opened from disk.

Firefox runs with the preferences a visitor has (remote.prefs.recommended off, so that file://
pages keep their strict origin), driven through Marionette directly. Chromium through chromedriver.
"""
import base64
import functools
import http.server
import io
import json
import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

from PIL import Image
from selenium import webdriver
from selenium.webdriver.chrome.service import Service

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench",
                                "support"))
import movie_stage  # noqa: E402

PROGRAM = os.path.abspath(sys.argv[1])
STAGE = (550, 400)
TEXT = "Caf\u00e9 \u20ac " * 6
WAIT_SECONDS = 60


def stage_shares(png, viewport):
    """The shares of the stage's pixels that are light (letters) and dark (the scene behind)."""
    image = Image.open(io.BytesIO(png)).convert("RGB")
    width, height = viewport
    scale = min(width / STAGE[0], height / STAGE[1])
    left, top = (width - STAGE[0] * scale) / 2, (height - STAGE[1] * scale) / 2
    ratio = image.size[0] / width
    box = tuple(int(v * ratio) for v in (left, top, left + STAGE[0] * scale,
                                          top + STAGE[1] * scale))
    pixels = list(image.crop(box).getdata())
    light = sum(1 for p in pixels if sum(p) > 600) / max(1, len(pixels))
    dark = sum(1 for p in pixels if sum(p) < 200) / max(1, len(pixels))
    return light, dark


def shows(png, viewport, text_row, empty_row):
    """True when the movie shows a section's letters over its dark scene: light pixels of text,
    neither none (a black page, nothing loaded) nor a light page (an error screen, plain text)."""
    light, dark = stage_shares(png, viewport)
    return 0.005 < light < 0.3 and dark > 0.5


class Chromium:
    def __init__(self):
        options = webdriver.ChromeOptions()
        options.binary_location = "/usr/bin/chromium"
        for argument in ["--headless=new", "--no-sandbox", "--window-size=700,560",
                         "--disable-gpu", "--no-first-run"]:
            options.add_argument(argument)
        self.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        # A busy machine may hold the page's thread for a while as the player compiles.
        self.driver.set_script_timeout(WAIT_SECONDS)

    def open(self, url):
        self.driver.get(url)

    def viewport(self):
        return tuple(self.driver.execute_script("return [innerWidth, innerHeight]"))

    def screenshot(self):
        return self.driver.get_screenshot_as_png()

    def script(self, source):
        return self.driver.execute_script(source)

    def close(self):
        self.driver.quit()


class Firefox:
    """Firefox ESR through its Marionette protocol: length-prefixed JSON over a socket."""

    def __init__(self, home):
        profile = os.path.join(home, "profile")
        os.makedirs(profile)
        with socket.socket() as probe:
            probe.bind(("127.0.0.1", 0))
            port = probe.getsockname()[1]
        prefs = {
            "marionette.port": port,
            "remote.prefs.recommended": False,
            "browser.shell.checkDefaultBrowser": False,
            "browser.aboutwelcome.enabled": False,
            "datareporting.policy.dataSubmissionEnabled": False,
            "toolkit.telemetry.reportingpolicy.firstRun": False,
            "browser.startup.homepage_override.mstone": "ignore",
            "browser.startup.page": 0,
        }
        with open(os.path.join(profile, "user.js"), "w") as user:
            for name, value in prefs.items():
                user.write(f"user_pref({json.dumps(name)}, {json.dumps(value)});\n")
        env = dict(os.environ, HOME=home, MOZ_HEADLESS="1")
        self.process = subprocess.Popen(
            ["firefox-esr", "--headless", "--marionette", "--no-remote", "--profile", profile,
             "--window-size=700,560", "about:blank"],
            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + WAIT_SECONDS
        while True:
            try:
                self.socket = socket.create_connection(("127.0.0.1", port))
                break
            except OSError:
                if time.time() > deadline or self.process.poll() is not None:
                    raise RuntimeError("Firefox did not open its Marionette port")
                time.sleep(0.2)
        self.id = 0
        self._read()
        self._call("WebDriver:NewSession", {"capabilities": {"alwaysMatch": {}}})

    def _read(self):
        length = b""
        while not length.endswith(b":"):
            byte = self.socket.recv(1)
            if not byte:
                raise RuntimeError("Firefox closed the connection")
            length += byte
        size, data = int(length[:-1]), b""
        while len(data) < size:
            data += self.socket.recv(size - len(data))
        return json.loads(data)

    def _call(self, name, parameters):
        self.id += 1
        message = json.dumps([0, self.id, name, parameters]).encode()
        self.socket.sendall(str(len(message)).encode() + b":" + message)
        while True:
            answer = self._read()
            if answer[0] == 1 and answer[1] == self.id:
                if answer[2]:
                    raise RuntimeError(f"{name}: {answer[2]}")
                return answer[3]

    def open(self, url):
        self._call("WebDriver:Navigate", {"url": url})

    def viewport(self):
        return tuple(self._call("WebDriver:ExecuteScript",
                                {"script": "return [innerWidth, innerHeight]", "args": []})["value"])

    def screenshot(self):
        return base64.b64decode(self._call("WebDriver:TakeScreenshot", {})["value"])

    def close(self):
        try:
            self._call("Marionette:Quit", {})
        except (RuntimeError, OSError):
            pass
        try:
            self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.process.kill()


def publish(option, target, env):
    result = subprocess.run([PROGRAM, option, "Vector", target], env=env,
                            capture_output=True, text=True, timeout=120)
    if result.returncode != 0:
        raise RuntimeError(f"publishing failed: {result.stderr.strip()}")


def save_texts(drive, text_row):
    """The Vector movie's first two sections: one with text, the other empty."""
    folder = os.path.join(drive, "lumenquill", "vector")
    for row, name in enumerate(["aboutus", "clients"]):
        value = TEXT if row == text_row else ""
        with open(os.path.join(folder, name + ".txt"), "wb") as file:
            file.write((name + "=" + value + "\r\n").encode("cp1252"))


def check(browser, url, text_row, name, screenshots):
    browser.open(url)
    deadline = time.time() + WAIT_SECONDS
    while True:
        png = browser.screenshot()
        if shows(png, browser.viewport(), text_row, 1 - text_row):
            print(f"ok: {name}")
            return True
        if time.time() > deadline:
            path = os.path.join(screenshots, name.replace(" ", "_") + ".png")
            with open(path, "wb") as file:
                file.write(png)
            print(f"FAILED: {name}: the saved text is not on screen (last screenshot: {path})")
            return False
        time.sleep(0.5)


def check_fallback(url):
    """Without WebAssembly the page shows the saved texts as plain text, and no player."""
    browser = Chromium()
    try:
        # As in a browser that has none (V8's own switch for it is overridden by Chromium).
        browser.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument",
                                       {"source": "delete window.WebAssembly;"})
        browser.open(url)
        shown = browser.script(
            "var t = document.getElementById('texts');"
            "return [t.offsetHeight > 0 ? t.innerText : '',"
            " document.getElementById('movie').offsetHeight];")
    finally:
        browser.close()
    expected = " ".join(TEXT.split())
    if expected in " ".join(shown[0].split()) and shown[1] == 0:
        print("ok: chromium without WebAssembly shows the texts")
        return True
    print(f"FAILED: chromium without WebAssembly: shown {shown!r}, expected {expected!r}")
    return False


def script_link_movie():
    """An SWF 5 movie, 550 by 400, background #204060, that asks in every frame for a
    javascript: URL in the page's own window (getURL), as a movie made to attack its page would."""
    def tag(code, body):
        return struct.pack("<H", (code << 6) | 0x3f) + struct.pack("<I", len(body)) + body
    url = b"javascript:document.title='the movie ran a script'"
    get_url = b"\x83" + struct.pack("<H", len(url) + 7) + url + b"\0_self\0"
    bits, values = 15, [0, 550 * 20, 0, 400 * 20]
    stream = format(bits, "05b") + "".join(format(v, f"0{bits}b") for v in values)
    stream += "0" * (-len(stream) % 8)
    rect = bytes(int(stream[i:i + 8], 2) for i in range(0, len(stream), 8))
    tags = tag(9, b"\x20\x40\x60") + tag(12, get_url + b"\0") + tag(1, b"") + tag(1, b"") + tag(0, b"")
    body = rect + struct.pack("<HH", 12 << 8, 2) + tags
    return b"FWS\x05" + struct.pack("<I", 8 + len(body)) + body


def check_javascript_urls(work, drive, env):
    """A movie's javascript: URL never runs in the page, while the movie itself plays."""
    with open(os.path.join(drive, "lumenquill", "vector", "vector.swf"), "wb") as movie:
        movie.write(script_link_movie())
    page = os.path.join(work, "script.html")
    publish("--publish-file", page, env)
    browser = Chromium()
    try:
        browser.open("file://" + page)
        own_title = browser.script("return document.title")
        deadline = time.time() + WAIT_SECONDS
        played = False
        while not played and time.time() < deadline:
            image = Image.open(io.BytesIO(browser.screenshot())).convert("RGB")
            centre = image.getpixel((image.size[0] // 2, image.size[1] // 2))
            played = all(abs(a - b) < 8 for a, b in zip(centre, (0x20, 0x40, 0x60)))
            time.sleep(0.3)
        time.sleep(2)  # dozens of frames, each asking for the script
        title = browser.script("return document.title")
    finally:
        browser.close()
    if played and title == own_title:
        print("ok: chromium runs no javascript: URL of the movie")
        return True
    print(f"FAILED: javascript: URL of the movie: played {played}, title {title!r}")
    return False


SITE = {"aboutus": "Crumb & Co. + 100%25 fresh", "clients": "Caf\u00e9 owners \u20ac",
        "contact": "", "ourvision": "Bread for all", "products1": "", "services": "Baking"}
SECTIONS = {"aboutus": "About us", "clients": "Clients", "ourvision": "Our vision",
            "services": "Services"}


def save_site(drive):
    folder = os.path.join(drive, "lumenquill", "vector")
    for name, value in SITE.items():
        with open(os.path.join(folder, name + ".txt"), "wb") as file:
            file.write((name + "=" + value + "\r\n").encode("cp1252"))


def wait_until(condition, seconds=WAIT_SECONDS):
    deadline = time.time() + seconds
    while time.time() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.3)
    return None


def report(ok, name, detail=""):
    print(f"ok: {name}" if ok else f"FAILED: {name}: {detail}")
    return ok


def accessible_tree(browser):
    """(role, name) of every node of the page's accessibility tree that is not ignored."""
    nodes = browser.driver.execute_cdp_cmd("Accessibility.getFullAXTree", {})["nodes"]
    return [(n.get("role", {}).get("value"), n.get("name", {}).get("value", ""))
            for n in nodes if not n.get("ignored")]


def check_site_while_playing(browser, url, form):
    """The title, and the texts under their headings in the accessibility tree, while the movie
    plays with the texts out of sight."""
    browser.open(url)
    playing = wait_until(lambda: browser.script(
        "var p = document.querySelector('ruffle-player');"
        "return p && p.ruffle().isPlaying && document.documentElement.className === 'playing'"))
    title = browser.script("return document.title")
    tree = accessible_tree(browser)
    headings = [name for role, name in tree if role == "heading"]
    words = " ".join(name for role, name in tree if role == "StaticText")
    ok = report(bool(playing), f"chromium {form}: the movie plays", "it never played")
    ok &= report(title == "Crumb & Co. + 100%25 fresh", f"chromium {form}: the page's title",
                 repr(title))
    ok &= report(headings == list(SECTIONS.values()), f"chromium {form}: headings read",
                 repr(headings))
    missing = [v for v in SITE.values() if v and v not in words]
    ok &= report(not missing, f"chromium {form}: texts read while the movie plays", repr(missing))
    return ok


def check_pause_button(browser, url):
    """The Pause button is the first stop of the keyboard, named, and stops the movie."""
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.keys import Keys
    browser.open(url)
    if not wait_until(lambda: browser.script(
            "var p = document.querySelector('ruffle-player'); return p && p.ruffle().isPlaying")):
        return report(False, "chromium pause button", "the movie never played")
    ActionChains(browser.driver).send_keys(Keys.TAB).perform()
    focused = browser.script("var e = document.activeElement; return [e.id, e.textContent]")
    buttons = [name for role, name in accessible_tree(browser) if role == "button"]
    ActionChains(browser.driver).send_keys(Keys.ENTER).perform()
    time.sleep(0.5)
    paused = browser.script("return document.querySelector('ruffle-player').ruffle().suspended")
    still = browser.screenshot() == (time.sleep(1.0) or browser.screenshot())
    label = browser.script("return document.getElementById('motion').textContent")
    ActionChains(browser.driver).send_keys(Keys.ENTER).perform()
    resumed = wait_until(lambda: browser.script(
        "return document.querySelector('ruffle-player').ruffle().isPlaying"), 5)
    ok = focused == ["motion", "Pause"] and "Pause" in buttons and paused and still
    ok = ok and label == "Play" and bool(resumed)
    return report(ok, "chromium pause button by keyboard",
                  f"focused {focused}, buttons {buttons}, paused {paused}, still picture {still}, "
                  f"label {label!r}, resumed {resumed}")


def check_reduced_motion(browser, url, screenshots):
    """Asking for reduced motion gives the texts as a still page, and a button plays the movie."""
    browser.driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {
        "features": [{"name": "prefers-reduced-motion", "value": "reduce"}]})
    try:
        browser.open(url)
        time.sleep(1)
        shown = browser.script(
            "var t = document.getElementById('texts');"
            "return [t.offsetHeight > 20 ? t.innerText : '', !!document.querySelector('ruffle-player'),"
            " document.getElementById('play-movie') ? document.getElementById('play-movie').offsetHeight : 0]")
        with open(os.path.join(screenshots, "reduced_motion.png"), "wb") as file:
            file.write(browser.screenshot())
        browser.script("document.getElementById('play-movie').click()")
        played = wait_until(lambda: browser.script(
            "var p = document.querySelector('ruffle-player'); return p && p.ruffle().isPlaying"))
    finally:
        browser.driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {"features": []})
    text = " ".join(shown[0].split())
    ok = all(v in text for v in SITE.values() if v) and not shown[1] and shown[2] > 0
    return report(ok and bool(played), "chromium reduced motion: still texts, movie on request",
                  f"shown {shown!r}, played {played}")


def check_folder_from_disk(browser, folder):
    """A web folder opened from disk says in one line how to watch it there."""
    browser.open("file://" + os.path.join(folder, "index.html"))
    notice = wait_until(lambda: browser.script(
        "var n = document.getElementById('notice'); return n && n.offsetHeight > 0 && n.innerText"), 10)
    texts = browser.script("return document.getElementById('texts').offsetHeight > 20")
    ok = bool(notice) and "One page" in notice and "\n" not in notice.strip() and texts
    return report(ok, "chromium web folder from disk: says how to watch it",
                  f"notice {notice!r}, texts shown {texts}")


def check_site(work, drive, env, base, site, screenshots):
    """The page carries the site: its title, its texts for screen readers, its Pause button, and
    a still page for a visitor who asks for reduced motion."""
    save_site(drive)
    folder = os.path.join(site, "bakery")
    publish("--publish", folder, env)
    page = os.path.join(work, "bakery.html")
    publish("--publish-file", page, env)
    browser = Chromium()
    try:
        ok = check_site_while_playing(browser, base + "/bakery/index.html", "folder over http")
        ok &= check_site_while_playing(browser, "file://" + page, "one page from file")
        ok &= check_pause_button(browser, "file://" + page)
        ok &= check_reduced_motion(browser, base + "/bakery/index.html", screenshots)
        ok &= check_folder_from_disk(browser, folder)
    finally:
        browser.close()
    return ok


def main():
    work = tempfile.mkdtemp(prefix="lq-browsers-")
    screenshots = os.path.join(os.getcwd(), "publish-screenshots")
    os.makedirs(screenshots, exist_ok=True)
    env = dict(os.environ, XDG_DATA_HOME=os.path.join(work, "data"))
    drive = os.path.join(work, "data", "lumen-quill", "drive_c")
    site = os.path.join(work, "site")
    # Two publications with the texts the other way round; each its own URL, so no cache mixes them.
    pages = []
    for text_row, tag in [(0, "a"), (1, "b")]:
        if tag == "a":
            publish("--publish", os.path.join(work, "first"), env)  # lays out the drive
        save_texts(drive, text_row)
        publish("--publish", os.path.join(site, "intro-" + tag), env)
        publish("--publish-file", os.path.join(work, tag + ".html"), env)
        pages.append((text_row, "folder over http", "/intro-" + tag + "/index.html"))
        pages.append((text_row, "one page from file", "file://" + os.path.join(work, tag + ".html")))

    class QuietHandler(http.server.SimpleHTTPRequestHandler):
        def log_message(self, *args):
            pass

    handler = functools.partial(QuietHandler, directory=site)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = f"http://127.0.0.1:{server.server_address[1]}"

    failures = 0 if check_fallback(pages[-1][2]) else 1
    for browser_name, make in [("chromium", Chromium), ("firefox", lambda: Firefox(work))]:
        browser = make()
        try:
            for text_row, form, where in pages:
                url = base + where if where.startswith("/") else where
                name = f"{browser_name} {form} section {text_row + 1}"
                failures += 0 if check(browser, url, text_row, name, screenshots) else 1
        finally:
            browser.close()
    failures += 0 if check_site(work, drive, env, base, site, screenshots) else 1
    server.shutdown()
    failures += 0 if check_javascript_urls(work, drive, env) else 1
    shutil.rmtree(work, ignore_errors=True)
    return 1 if failures else 0


# --- The template movies: every word on the stage, no name of the program's tables ------------

def movie_test_texts(template):
    """Texts of every kind for an effect's sections in the table's order: a short one, one rich in
    Windows-1252, an empty one and a long one (last, so that the loop reaches it when the others
    have been seen), then no file at all. One section alone holds the accented and the long text."""
    headings = [movie_stage.section_of(f) for f in template["files"]]
    body = [h for h in headings if h != "title"]
    long_text = movie_stage.text_of_length(400, offset=20)
    kinds = [MOVIE_SHORT, movie_stage.ACCENTED, "", long_text]
    texts = {h: None for h in body}
    if len(body) == 1:
        texts[body[0]] = movie_stage.ACCENTED + " " + long_text
    else:
        texts.update(dict(zip(body[:len(kinds) - 1] + body[-1:], kinds)))
    if "title" in headings:
        texts["title"] = MOVIE_TITLE
    return texts


MOVIE_TITLE = "Millstone & Co. 100%25"
MOVIE_SHORT = "Coffee + croissant"


def check_movie(site, browser, template, never_shown, screenshots):
    effect = template["effect"]
    texts = movie_test_texts(template)
    judge = movie_stage.Judge({h: t for h, t in texts.items() if t}, never_shown)
    last = [None]
    browser.open(site.publish(effect, texts))
    # Two loops: on a loaded machine a screenshot can miss a short section held 2.5 s; each effect
    # stops as soon as all was seen.
    seconds = 2 * (10 + sum(movie_stage.reading_seconds(t) + 4 for t in texts.values() if t))
    movie_stage.watch(browser, judge, seconds, keep=lambda png, text: last.__setitem__(0, png),
                      enough=lambda j: j.lowest() >= 0.95)
    under = {h: judge.missing(h) for h in judge.sections if judge.share(h) < 0.95}
    if not under and not judge.names_seen:
        print(f"ok: chromium shows every section of {effect}, and no name of its files")
        return True
    path = os.path.join(screenshots, f"movie-{effect}.png")
    with open(path, "wb") as file:
        file.write(last[0] or b"")
    print(f"FAILED: {effect}: words never on the stage {under}, names on the stage "
          f"{sorted(judge.names_seen)} (last screenshot: {path})")
    return False


def check_movies(program, tables_path):
    """Each template movie, published with short, accented, empty and long texts, in Chromium:
    tesseract reads 95% of every section's words on the stage within one loop, and never a
    variable, file or template name."""
    tables = movie_stage.load_tables(tables_path)
    screenshots = os.path.join(os.getcwd(), "publish-screenshots")
    os.makedirs(screenshots, exist_ok=True)
    never_shown = movie_stage.names_never_shown(tables)
    site = movie_stage.Site(program, tables)
    browser = movie_stage.Chromium()
    try:
        failures = sum(0 if check_movie(site, browser, template, never_shown, screenshots) else 1
                       for template in tables)
    finally:
        browser.close()
        site.close()
    return 1 if failures else 0


if __name__ == "__main__":
    if sys.argv[1] == "--movies":
        sys.exit(check_movies(os.path.abspath(sys.argv[2]), sys.argv[3]))
    sys.exit(main())
