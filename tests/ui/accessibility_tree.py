#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The window as a screen reader and a keyboard user meet it.

Starts the demo with the accessibility bus on (QT_ACCESSIBILITY=1) on an X
display, walks its tree through AT-SPI in each of the three languages,
switching language from the keyboard, and runs the operations and the file
dialogs by their keys. Run by accessibility-tree.sh, which supplies the X
display and the session bus.
"""
import os
import subprocess
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

FIELDS = ("DBEdit", "RSTBox", "NeuIEdit", "SRUEdit", "NeuEdit", "SRLEdit")
# What a screen reader says for each field, the arrows and the picture.
LANGUAGES = {
    "English": {
        "fields": ["Dead Band", "Lock", "Signal", "Pulse Upper", "Neutral", "Pulse Lower"],
        "increase": "Increase {}", "decrease": "Decrease {}",
        "picture": "Picture of a digital servo", "read": "Read Config", "success": "Read Config:Succeed!",
    },
    "Simplified": {
        "fields": ["死区", "锁舵", "中点信号", "脉冲上限", "中点位置", "脉冲下限"],
        "increase": "增大{}", "decrease": "减小{}",
        "picture": "数字舵机图片", "read": "读配置", "success": "读配置:成功！",
    },
    "Traditional": {
        "fields": ["死區", "鎖舵", "中點信號", "脈衝上限", "中點位置", "脈衝下限"],
        "increase": "增大{}", "decrease": "減小{}",
        "picture": "數位舵機圖片", "read": "讀配置", "success": "讀配置:成功！",
        "write": "寫配置",
    },
}
MEANINGFUL = {"text", "spin button", "combo box", "push button", "image", "check box"}
failures = []


def fail(message):
    failures.append(message)
    print("FAIL:", message)


# What a screen reader is told as it happens: (event type, role, name) of
# the description changes and alerts.
heard = []


def hear(event):
    source = event.source
    if event.type.startswith("object:state-changed:showing") and not event.detail1:
        return  # only what comes into view
    heard.append((event.type, source.get_role_name() if source else "", source.get_name() if source else ""))


LISTENER = Atspi.EventListener.new(hear)


def pump(seconds):
    """Lets the events that came reach hear() while time passes."""
    deadline = time.monotonic() + seconds
    context = GLib.MainContext.default()
    while time.monotonic() < deadline:
        for _ in range(200):
            if not context.iteration(False):
                break
        time.sleep(0.02)


def wait_for(what, probe, seconds=20.0):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = probe()
        if found:
            return found
        pump(0.1)
    raise SystemExit(f"FAIL: timed out waiting for {what}")


def nodes(node):
    if node is None:
        return
    yield node
    for i in range(node.get_child_count()):
        yield from nodes(node.get_child_at_index(i))


def showing(node):
    return node.get_state_set().contains(Atspi.StateType.SHOWING)


def labels_of(node):
    for relation in node.get_relation_set() or []:
        if relation.get_relation_type() == Atspi.RelationType.LABELLED_BY:
            return [relation.get_target(i).get_name() for i in range(relation.get_n_targets())]
    return []


def application():
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_name() == "Rivivev Uvezi":
            return app
    return None


def main_window(app):
    return next((n for n in nodes(app) if n.get_role_name() == "frame" and n.get_name() == "Rivivev Uvezi"), None)


def dialogs(app):
    return [n for n in nodes(app) if n.get_role_name() in ("dialog", "alert", "file chooser") and showing(n)]


def press(keys):
    subprocess.run(["xdotool", "key", "--clearmodifiers", keys], check=True)
    pump(0.3)


def check_language(app, language):
    words = LANGUAGES[language]
    window = wait_for("the main window", lambda: main_window(app))
    # Wait until the switch has reached the tree.
    wait_for(f"the {language} captions", lambda: any(
        n.get_role_name() == "push button" and n.get_name() == words["read"] for n in nodes(window)))
    spoken = []
    for node in nodes(window):
        role, name = node.get_role_name(), node.get_name()
        if showing(node) and role in MEANINGFUL:
            spoken.append((role, name, node.get_description(), labels_of(node)))
            if not name.strip():
                fail(f"{language}: a {role} without a name")
    texts = [s for s in spoken if s[0] in ("spin button", "combo box")]
    if len(texts) != len(FIELDS):
        fail(f"{language}: {len(texts)} fields on screen, not {len(FIELDS)}")
    for expected in words["fields"]:
        # A combo box speaks its value and takes its name from its label.
        field = next((s for s in texts if s[1] == expected or
                      any(label.rstrip(":：") == expected for label in s[3])), None)
        if field is None:
            fail(f"{language}: no field named {expected!r}")
        elif not field[3]:
            fail(f"{language}: field {expected!r} is tied to no label")
        for arrow in ("increase", "decrease"):
            if field and field[0] == "spin button" and not any(s[1] == words[arrow].format(expected) for s in spoken):
                fail(f"{language}: no arrow {words[arrow].format(expected)!r}")
    if not any(s[0] == "image" and s[1] == words["picture"] for s in spoken):
        fail(f"{language}: the picture is not named {words['picture']!r}")
    read = next((s for s in spoken if s[0] == "push button" and s[1] == words["read"]), None)
    if not read or "(Alt+R)" not in read[2]:
        fail(f"{language}: Read Config does not name its key: {read}")
    print(f"{language}: {len(spoken)} controls, all named")
    for role, name, description, labels in spoken:
        print(f"  {role:12} {name!r:36} {description!r:30} labelled by {labels}")


def check_values(app):
    # Up in a field steps it, and a screen reader is told the new value.
    for _ in range(12):
        focused = [n for n in nodes(app) if n.get_state_set().contains(Atspi.StateType.FOCUSED)]
        if focused and focused[-1].get_role_name() == "spin button":
            break
        press("Tab")
    else:
        fail("Tab never reached a field")
        return
    field = focused[-1]
    before = field.get_current_value()
    heard.clear()
    press("Up")
    pump(0.5)
    now = field.get_current_value()
    if now == before:
        fail(f"Up did not step {field.get_name()!r} from {before}")
    if not any(kind == "object:property-change:accessible-value" and name == field.get_name()
               for kind, role, name in heard):
        fail(f"stepping {field.get_name()!r} to {now} told a screen reader nothing: {heard}")
    print(f"values: Up stepped {field.get_name()!r} from {before} to {now}, and a screen reader was told")
    press("Down")  # back as it was
    # Up in Lock changes it from Y to N, and a screen reader is told the new choice.
    for _ in range(12):
        focused = [n for n in nodes(app) if n.get_state_set().contains(Atspi.StateType.FOCUSED)]
        if any(n.get_role_name() == "combo box" for n in focused):
            break
        press("Tab")
    else:
        fail("Tab never reached Lock")
    combo = next(n for n in focused if n.get_role_name() == "combo box")
    # Orca reads a focused combo box's choice from its text.
    shown = Atspi.Text.get_text(combo, 0, -1) if "Text" in combo.get_interfaces() else None
    if shown != "Y":
        fail(f"Lock, focused, gives a screen reader the text {shown!r}, not its choice 'Y'")
    heard.clear()
    press("Up")
    pump(0.5)
    # Orca takes a closed combo box's new choice from its list's selection:
    # told that it changed, it reads the item selected there.
    chosen = [n.get_name() for n in nodes(combo) if n is not combo and
              n.get_state_set().contains(Atspi.StateType.SELECTED)]
    if not any(kind == "object:selection-changed" for kind, role, name in heard) or "N" not in chosen:
        fail(f"changing Lock told a screen reader nothing it can read: {heard}, selected {chosen}")
    press("Down")


def check_keys(app):
    # Read Config by its key: the result dialog comes, and Enter closes it.
    press("alt+r")
    dialog = wait_for("the result dialog", lambda: dialogs(app))
    message = [n.get_name() for n in nodes(dialog[0]) if n.get_role_name() == "label"]
    if LANGUAGES["Traditional"]["success"] not in message:
        fail(f"Alt+R: the result dialog said {message}")
    # A screen reader reads an alert in full as it comes, its message among its labels.
    if dialog[0].get_role_name() != "alert":
        fail(f"Alt+R: the result is a {dialog[0].get_role_name()}, not an alert")
    press("Return")
    wait_for("the result dialog to close", lambda: not dialogs(app))
    # Both file dialogs by their keys, and away with Escape.
    for keys in ("ctrl+o", "ctrl+s"):
        press(keys)
        wait_for(f"the file dialog of {keys}", lambda: dialogs(app))
        press("Escape")
        wait_for(f"the file dialog of {keys} to close", lambda: not dialogs(app))
    print("keys: Alt+R, Ctrl+O and Ctrl+S open what they name, Enter and Escape close it")


def check_held_key(app):
    # Enter held on Write Config repeats; the repeats neither write again
    # nor close the result, so one alert shows and stays.
    write = LANGUAGES["Traditional"]["write"]
    for _ in range(12):
        focused = [n for n in nodes(app) if n.get_state_set().contains(Atspi.StateType.FOCUSED)]
        if any(n.get_role_name() == "push button" and n.get_name() == write for n in focused):
            break
        press("Tab")
    else:
        fail(f"Tab never reached {write}")
        return
    heard.clear()
    subprocess.run(["xdotool", "keydown", "Return"], check=True)
    pump(1.5)
    subprocess.run(["xdotool", "keyup", "Return"], check=True)
    wait_for("the result of the held key", lambda: dialogs(app), seconds=10)
    pump(1.0)
    shown = [name for kind, role, name in heard if kind.startswith("object:state-changed:showing") and role == "alert"]
    if len(shown) != 1 or not dialogs(app):
        fail(f"Enter held on {write}: {len(shown)} results shown, {len(dialogs(app))} open after the key came up")
    press("Return")  # a fresh press closes it
    wait_for("the result dialog to close", lambda: not dialogs(app))
    print(f"held key: Enter held 1.5 s on {write} gave one result, still open after the key came up")


def main():
    demo = sys.argv[1]
    environment = dict(os.environ, QT_ACCESSIBILITY="1", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                       QT_QPA_PLATFORM="xcb", ASAN_OPTIONS="detect_leaks=0")
    program = subprocess.Popen([demo], env=environment)
    try:
        app = wait_for("the demo on the accessibility bus", application)
        check_language(app, "English")
        # The language menu from the keyboard: it opens on the language in
        # use, English, the last item; one up is Simplified Chinese.
        press("alt+l")
        press("Up")
        press("Return")
        check_language(app, "Simplified")
        LISTENER.register("object:property-change:accessible-description")
        LISTENER.register("object:property-change:accessible-value")
        LISTENER.register("object:selection-changed")
        LISTENER.register("object:state-changed:showing")
        press("F10")
        press("Up")
        press("Return")
        check_language(app, "Traditional")
        # A reader that keeps what it was told hears the descriptions change.
        told = {name for kind, role, name in heard if kind == "object:property-change:accessible-description"}
        if LANGUAGES["Traditional"]["read"] not in told:
            fail(f"the language switch told nothing of Read Config's description (told: {sorted(told)})")
        check_values(app)
        check_keys(app)
        check_held_key(app)
    finally:
        program.terminate()
        program.wait(timeout=30)
    if failures:
        print(f"{len(failures)} failures")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
