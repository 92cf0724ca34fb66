#!/usr/bin/env python3
"""Walks Lumen Quill with the keyboard alone and reads it through AT-SPI, as a screen reader does.

usage: screen_reader_walk.py <program> <scratch folder>
Runs inside a session bus (dbus-run-session) on an X display with a window manager. Every fault
found is printed; the exit status says whether there was any.
"""
import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

program, work = sys.argv[1], sys.argv[2]
faults = []
TEXT_ROLES = (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_PASSWORD_TEXT)
VECTOR_BOXES = ["About us text", "Clients text", "Contact text", "Our vision text",
                "Products text", "Services text"]
# A list is heard by its label, colon and all; the colons are left out here.
PUBLISH_TAB_ORDER = ["Template", "Page title", "On your web host, uploaded now", "Protocol",
                     "Host", "Port", "User", "Password", "Keep it in the desktop's password store",
                     "Remote folder", "Publish", "Cancel"]
WIZARD_PAGES = ["Enter Text for fireworks effect", "Ourvision text for fireworks", "services",
                "Clients", "website title"]


def check(ok, what):
    if not ok:
        faults.append(what)
        print("FAULT:", what, flush=True)
    return ok


def wait_for(condition, seconds=15):
    """The condition's first true value, or None once the time is up."""
    end = time.monotonic() + seconds
    while True:
        # Hand the events the program sent to their listeners.
        while GLib.MainContext.default().pending():
            GLib.MainContext.default().iteration(False)
        try:
            value = condition()
        except Exception:  # an object that went away while it was read
            value = None
        if value or time.monotonic() > end:
            return value
        time.sleep(0.1)


def key(*keys):
    subprocess.run(["xdotool", "key", "--delay", "60", *keys], check=True)
    time.sleep(0.3)


def type_text(text):
    subprocess.run(["xdotool", "type", "--delay", "30", text], check=True)


def has_state(acc, state):
    return acc.getState().contains(state)


def walk(acc, depth=0):
    """Every object under acc, acc included, with its depth."""
    yield acc, depth
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None:
            yield from walk(child, depth + 1)


def heard_name(acc):
    """The name a reader gives an object. A combo box's own name is the text in its field: a
    reader names it after the label that says it labels it."""
    if acc.getRole() != pyatspi.ROLE_COMBO_BOX:
        return acc.name
    for relation in acc.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY and relation.getNTargets():
            return relation.getTarget(0).name
    return acc.name


def speak(acc):
    """What a reader says of an object: its name, role and description."""
    return f"{heard_name(acc)!r} {acc.getRoleName()}" + (
        f" ({acc.description})" if acc.description else "")


def the_program():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == "Lumen Quill":
            return app
    return None


def windows(app):
    return [app.getChildAtIndex(i) for i in range(app.childCount)]


def showing_window(app, name):
    for window in windows(app):
        if window.name == name and has_state(window, pyatspi.STATE_SHOWING):
            return window
    return None


def active_window(app):
    for window in windows(app):
        if has_state(window, pyatspi.STATE_ACTIVE):
            return window
    return None


def focused(app):
    """What has the keyboard focus in the active window."""
    window = active_window(app)
    if window is None:
        return None
    for acc, _ in walk(window):
        if has_state(acc, pyatspi.STATE_FOCUSED):
            return acc
    return None


def focus_named(app, name, seconds=5):
    return wait_for(lambda: (f := focused(app)) is not None and heard_name(f) == name and f, seconds)


def tab_to(app, wanted, backwards=False):
    """Presses Tab (or shift+Tab) until a control that wanted(control) accepts has the focus."""
    for _ in range(8):
        f = focused(app)
        if f is not None and wanted(f):
            return True
        key("shift+Tab" if backwards else "Tab")
    return False


def read_back(app):
    """Prints the program's windows as a reader would go through them."""
    for window in windows(app):
        for acc, depth in walk(window):
            if acc.getRole() == pyatspi.ROLE_LIST_ITEM:
                continue
            if acc.name or acc.description or acc.getRole() in TEXT_ROLES:
                print("  " * depth + speak(acc))


def main_window_reads_right(app, main):
    check(main.getRole() == pyatspi.ROLE_FRAME, f"the main window reads as {speak(main)}")
    named = {acc.name: acc for acc, _ in walk(main)}
    toolbar = [a for a, _ in walk(main) if a.getRole() == pyatspi.ROLE_TOOL_BAR]
    check(toolbar and all(t.name for t in toolbar), "the toolbar has no name")
    lists = [heard_name(a) for a, _ in walk(main) if a.getRole() == pyatspi.ROLE_COMBO_BOX]
    check(lists == ["Effect list", "Website kind list"], f"the drop-down lists are heard as {lists}")
    fields = [a for a, _ in walk(main) if a.getRole() in TEXT_ROLES]
    check(len(fields) == 2 and all(f.name for f in fields),
          "the drop-down lists' text fields have no names: " + ", ".join(map(speak, fields)))
    preview = named.get("Movie preview")
    check(preview is not None and preview.description == "No movie",
          "no object \"Movie preview\" that says \"No movie\" at start")
    return preview


def no_hidden_windows(app):
    for window in windows(app):
        check(window.name != "Offscreen", "a window nobody sees is offered: " + speak(window))
        check(window.getRole() in (pyatspi.ROLE_FRAME, pyatspi.ROLE_DIALOG),
              "a window is not announced as a window: " + speak(window))


def tab_order(app):
    """Tab goes toolbar, effect list, Launch Effect, Enter Text, website-kind list, preview."""
    want = ["Main toolbar", "Effect list", "Launch Effect", "Enter Text", "Website kind list",
            "Movie preview"]
    seen = []
    for _ in range(len(want)):
        key("Tab")
        f = focused(app)
        seen.append(heard_name(f) if f is not None else None)
    # Round and round: wherever the focus started, the stops come in this order.
    start = seen.index(want[0]) if want[0] in seen else 0
    check(seen[start:] + seen[:start] == want, f"the main window's tab order: {seen}")


def edit_and_save(app, data):
    """Enter Text for Vector, type into the first box, save it, dismiss the confirmation."""
    # The first list after the toolbar, found by what it is: its name is checked on its own.
    is_list = lambda f: f.getRole() == pyatspi.ROLE_COMBO_BOX
    check(tab_to(app, is_list), "Tab does not reach the effect list")
    key("ctrl+a")
    type_text("Vector")
    key("Tab", "Tab")
    check(focus_named(app, "Enter Text"), "Tab from the effect list does not reach Enter Text")
    key("space")
    editor = wait_for(lambda: showing_window(app, "vector intro options"))
    if not check(editor is not None, "Enter Text does not open the Vector editor"):
        return
    check(editor.getRole() == pyatspi.ROLE_FRAME, f"the Vector editor reads as {speak(editor)}")
    boxes = [a for a, _ in walk(editor) if a.getRole() in TEXT_ROLES]
    check([b.name for b in boxes] == VECTOR_BOXES,
          "the Vector editor's boxes read as " + ", ".join(map(speak, boxes)))
    buttons = [a for a, _ in walk(editor) if a.getRole() == pyatspi.ROLE_PUSH_BUTTON]
    check(buttons and "C:\\lumenquill\\vector\\aboutus.txt" in buttons[0].description,
          "the first save button does not say which file it writes: " + speak(buttons[0]))
    check(wait_for(lambda: has_state(boxes[0], pyatspi.STATE_FOCUSED), 5),
          "the first box has no focus when the editor opens")
    key("ctrl+a")
    type_text("aboutus=typed by keyboard")
    key("Tab", "space")
    box = wait_for(lambda: active_window(app).getRole() == pyatspi.ROLE_DIALOG and active_window(app))
    check(box is not None, "no confirmation dialog after the save")
    key("Escape")
    check(wait_for(lambda: active_window(app) is not None and active_window(app).name ==
                   "vector intro options"), "Escape does not close the confirmation")
    path = os.path.join(data, "lumenquill", "vector", "aboutus.txt")
    written = open(path, "rb").read() if os.path.exists(path) else None
    check(written == b"aboutus=typed by keyboard\r\n", f"the saved file holds {written!r}")
    key("alt+F4")


def preview_says(app, preview, data):
    """Launch Effect says what plays, or why it cannot, and tells the reader as it changes."""
    told = []
    def on_description(event):
        if event.source is not None and event.source.name == "Movie preview":
            told.append(event.source.description)
    pyatspi.Registry.registerEventListener(on_description,
                                           "object:property-change:accessible-description")
    main = wait_for(lambda: active_window(app) if active_window(app).name == "LUMEN QUILL " else None)
    check(main is not None, "the main window is not active after the editor closed")
    key("shift+Tab")
    check(focus_named(app, "Launch Effect"), "shift+Tab does not reach Launch Effect")
    key("space")
    check(wait_for(lambda: "Vector" in preview.description, 5),
          f"the preview does not say that Vector plays: {preview.description!r}")
    os.remove(os.path.join(data, "lumenquill", "3d", "3d.swf"))
    key("shift+Tab", "ctrl+a")
    type_text("3d")
    key("Tab", "space")
    said = wait_for(lambda: "3d.swf" in preview.description and
                    not preview.description.startswith("Plays") and preview.description, 20)
    check(said, f"the preview does not say why 3d cannot play: {preview.description!r}")
    check(wait_for(lambda: said in told and any("Vector" in t for t in told), 5),
          f"the reader was not told of the changes: {told}")
    pyatspi.Registry.deregisterEventListener(on_description,
                                             "object:property-change:accessible-description")
    print("preview says:", said)


def wizard(app):
    """Fireworks: all five pages by keyboard, then "end wizard"."""
    key("shift+Tab", "ctrl+a")
    type_text("Fireworks")
    key("Tab", "Tab", "space")
    for number, caption in enumerate(WIZARD_PAGES, start=1):
        page = wait_for(lambda: showing_window(app, caption))
        if not check(page is not None, f"wizard page {number} does not open"):
            return
        check(page.getRole() == pyatspi.ROLE_FRAME, f"wizard page {number} reads as {speak(page)}")
        check(page.description == f"Step {number} of 5",
              f"wizard page {number} does not say its step: {speak(page)}")
        wait_for(lambda: active_window(app) is not None and active_window(app).name == caption)
        # Page 1 opens on its save button, the others on their box; the forward button is last.
        key("Tab", "Tab", "space")
    check(wait_for(lambda: not any(showing_window(app, c) for c in WIZARD_PAGES)),
          "\"end wizard\" leaves pages on screen")


def publish_dialog(app):
    """File > Publish for the Web… by keyboard, the host chosen by its mnemonic: Tab reaches every
    field of the host form, each heard by its name, the password as a password; Escape closes."""
    subprocess.run(["xdotool", "search", "--name", "^LUMEN QUILL $", "windowactivate", "--sync"],
                   check=False)
    time.sleep(0.5)
    key("F10")
    key("Up", "Up", "Return")  # the item above Exit
    dialog = wait_for(lambda: (w := active_window(app)) is not None and
                      w.getRole() == pyatspi.ROLE_DIALOG and w)
    if not check(dialog is not None, "File > Publish for the Web\u2026 opens no dialog"):
        return
    key("alt+h")
    heard = []
    for _ in range(16):
        f = focused(app)
        if f is not None:
            heard.append((heard_name(f), f.getRole()))
        key("Tab")
    check(all(n for n, _ in heard), f"the Publish dialog has a control without a name: {heard}")
    # One round, from the top; the key file left out: it shows for SFTP only.
    order = [n.rstrip(":") for n, _ in heard if n != "Key file"]
    round_ = order[:order.index(order[0], 1)] if order and order.count(order[0]) > 1 else order
    start = round_.index("Template") if "Template" in round_ else 0
    check(round_[start:] + round_[:start] == PUBLISH_TAB_ORDER,
          f"the Publish dialog's tab order does not go down the form: {order}")
    check(("Password", pyatspi.ROLE_PASSWORD_TEXT) in heard,
          "the password field is not announced as one")
    key("Escape")
    check(wait_for(lambda: active_window(app) is not None and
                   active_window(app).name == "LUMEN QUILL "), "Escape does not close the dialog")


def menus_and_exit(process):
    """F10 opens the File menu; Up goes round to its last item, Exit."""
    subprocess.run(["xdotool", "search", "--name", "^LUMEN QUILL $", "windowactivate", "--sync"],
                   check=False)
    time.sleep(0.5)
    key("F10")
    key("Up", "Return")
    try:
        process.wait(timeout=15)
        check(process.returncode == 0, f"Exit ended the program with {process.returncode}")
    except subprocess.TimeoutExpired:
        check(False, "File > Exit by keyboard does not end the program")


def run():
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    log = open(os.path.join(work, "program.log"), "w")
    process = subprocess.Popen([program], env=env, stdout=log, stderr=subprocess.STDOUT)
    try:
        app = wait_for(the_program, 30)
        if not check(app is not None, "the program does not appear on the accessibility bus"):
            return
        main = wait_for(lambda: showing_window(app, "LUMEN QUILL "), 20)
        if not check(main is not None, "no main window on the bus"):
            return
        data = os.path.join(os.environ["XDG_DATA_HOME"], "lumen-quill", "drive_c")
        # The player has made its web view (and with it the engine's windows).
        wait_for(lambda: "New Ruffle instance created" in open(log.name).read(), 60)
        time.sleep(1)
        no_hidden_windows(app)
        preview = main_window_reads_right(app, main)
        print("--- what a reader finds at start")
        read_back(app)
        tab_order(app)
        edit_and_save(app, data)
        if preview is not None:
            preview_says(app, preview, data)
        wizard(app)
        no_hidden_windows(app)
        publish_dialog(app)
        menus_and_exit(process)
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()


run()
print(f"{len(faults)} faults" if faults else "PASS: the program reads and works by keyboard alone")
sys.exit(1 if faults else 0)
