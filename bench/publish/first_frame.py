#!/usr/bin/python3
"""Times a published page to its movie's first frame in Chromium on the X display of DISPLAY (a
window as a visitor's, not headless: headless Chromium draws WebGL in software, which a desktop
browser without a graphics card does not offer, and that alone added a second), each run in a fresh
browser: from the start of the navigation to the animation frame after the player's
"loadeddata" (when the preview also counts its first frame). Prints one line per run: the time
in ms, and the bytes the page had downloaded by then (the bodies of the page and of everything it
fetched, as sent: what a host without compression transfers).

    first_frame.py URL RUNS
"""
import sys
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

DOWNLOADED = """
var entries = performance.getEntriesByType("navigation").concat(
  performance.getEntriesByType("resource"));
return entries.reduce(function (sum, entry) { return sum + (entry.encodedBodySize || 0); }, 0);
"""

WATCH = """
window.__firstFrame = null;
window.addEventListener("loadeddata", function (event) {
  var target = event.target;
  if (window.__firstFrame === null && target && target.localName === "ruffle-player")
    requestAnimationFrame(function () { window.__firstFrame = performance.now(); });
}, true);
"""


def one_run(url):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ["--no-sandbox", "--window-size=800,600", "--no-first-run"]:
        options.add_argument(argument)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    try:
        driver.set_script_timeout(120)
        driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": WATCH})
        driver.get(url)
        deadline = time.time() + 60
        while time.time() < deadline:
            frame = driver.execute_script("return window.__firstFrame")
            if frame is not None:
                return frame, driver.execute_script(DOWNLOADED)
            time.sleep(0.05)
        return None
    finally:
        driver.quit()


def main():
    url, runs = sys.argv[1], int(sys.argv[2])
    for _ in range(runs):
        result = one_run(url)
        print("failed" if result is None else f"{result[0]:.0f} {result[1]}", flush=True)


if __name__ == "__main__":
    main()
