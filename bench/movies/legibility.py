#!/usr/bin/python3
"""Legibility of the template movies: the share of each section's words that appear on the stage
during one loop, read by tesseract from screenshots in Debian's Chromium.

Each effect is published by the program (from a data folder of its own) and played twice:
  long     its first section 2,000 characters, the title (where it has one) short, the rest empty;
  lengths  its sections 1, 12, 60, 200, 600 and 1,200 characters, in the table's order.
Every word of a run is a different word, so a word seen belongs to one place of one section. A run
ends after one loop (the reading times the movies promise: 200 words a minute, at least 2.5 s a
section, plus a margin for the effect), or as soon as every word has been seen. Variable, file and
template names seen on the stage are listed: a visitor must never see one.

    legibility.py [--build DIR] [--effects NAME,...] [--long N] [--screenshots DIR]

Prints a Markdown table; exits 1 when an effect misses 95% in some section or shows a name.
"""
import argparse
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import movie_stage  # noqa: E402

GOAL = 0.95
LENGTHS = [1, 12, 60, 200, 600, 1200]
TITLE = "Northgate Bakehouse"
# Per section, what an effect spends beyond the reading time (turning in, turning out), and what
# it spends before the first section: generous, so that a loop is never cut short.
TRANSITION_SECONDS = 4
OPENING_SECONDS = 8


def runs_for(template, long_characters):
    """The two runs of an effect: name -> texts by section heading."""
    files = template["files"]
    headings = [movie_stage.section_of(f) for f in files]
    body = [h for h in headings if h != "title"]
    long_run = {h: "" for h in headings}
    long_run[body[0]] = movie_stage.text_of_length(long_characters)
    lengths_run, offset = {}, 0
    for heading, length in zip(body, LENGTHS):
        text = movie_stage.text_of_length(length, offset)
        offset += len(text.split())
        lengths_run[heading] = text
    for run in (long_run, lengths_run):
        if "title" in headings:
            run["title"] = TITLE
    return [("long", long_run), ("lengths", lengths_run)]


def loop_seconds(texts):
    """One loop, and a quarter more for the pages a long section is cut into, each of which
    comes and goes: never less than a loop, so a run never ends before the last page."""
    shown = [t for t in texts.values() if t.strip()]
    return 1.25 * (OPENING_SECONDS + sum(movie_stage.reading_seconds(t) + TRANSITION_SECONDS
                                         for t in shown))


def measure(site, browser, effect, run_name, texts, never_shown, screenshots):
    url = site.publish(effect, texts)
    judge = movie_stage.Judge({h: t for h, t in texts.items() if t.strip()}, never_shown)
    keep = None
    if screenshots:
        folder = os.path.join(screenshots, f"{effect}-{run_name}")
        os.makedirs(folder, exist_ok=True)
        count = [0]

        def keep(png, text):
            count[0] += 1
            with open(os.path.join(folder, f"{count[0]:03d}.png"), "wb") as file:
                file.write(png)
    started = time.time()
    browser.open(url)
    shots = movie_stage.watch(browser, judge, loop_seconds(texts), keep=keep,
                              enough=lambda j: j.lowest() >= 1.0)
    return judge, shots, time.time() - started


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--effects", default="")
    parser.add_argument("--long", type=int, default=2000)
    parser.add_argument("--screenshots", default="")
    options = parser.parse_args()
    tables = movie_stage.load_tables(os.path.join(options.build, "tools/tables/tables.json"))
    effects = options.effects.split(",") if options.effects else movie_stage.effect_names(tables)
    never_shown = movie_stage.names_never_shown(tables)
    site = movie_stage.Site(os.path.join(options.build, "lumenquill"), tables)
    browser = movie_stage.Chromium()
    print("| effect | run | lowest share of a section's words seen | sections under 95% "
          "| names seen | screenshots | seconds |")
    print("|---|---|---|---|---|---|---|")
    failed = False
    try:
        for effect in effects:
            template = movie_stage.template_of(tables, effect)
            for run_name, texts in runs_for(template, options.long):
                judge, shots, seconds = measure(site, browser, effect, run_name, texts,
                                                never_shown, options.screenshots)
                under = [f"{h} {judge.share(h):.0%} (missing {', '.join(judge.missing(h)[:6])})"
                         for h in judge.sections if judge.share(h) < GOAL]
                failed |= bool(under or judge.names_seen)
                print(f"| {effect} | {run_name} | {judge.lowest():.1%} | {'; '.join(under) or '-'}"
                      f" | {', '.join(sorted(judge.names_seen)) or '-'} | {shots} | "
                      f"{seconds:.0f} |", flush=True)
    finally:
        browser.close()
        site.close()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
