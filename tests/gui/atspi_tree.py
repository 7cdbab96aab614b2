#!/usr/bin/python3
"""Reads the running program through AT-SPI, as a screen reader does, and
drives it from the keyboard: the toolbar buttons' names, the file list's rows
after a folder is typed into the path box, and the password dialog's fields
once Ctrl+E asks for a password. Prints what it read; exits 1 on a mismatch.

Usage: atspi_tree.py <program's pid> <folder to list>"""

import subprocess
import sys
import time

import pyatspi

PID = int(sys.argv[1])
FOLDER = sys.argv[2]
TITLE = "Ciphra 2K V2.0 Beta1"

TOOLBAR = ["Encrypt file", "Decrypt file", "Hash file", "Shred file", "Choose folder",
           "Up one level", "Refresh list", "Large icons", "Small icons", "List", "Details",
           "Help", "Exit"]
ROWS = [("Photos", "Folder"), ("backup", "shell script"), ("notes.txt", "plain text document"),
        ("report.CPH", "Ciphra2K encrypted file")]
PASSWORD_FIELDS = [("password text", "Password"), ("check box", "Use Hash of password"),
                   ("check box", "Show password"), ("push button", "OK"),
                   ("push button", "Cancel")]

failures = []


def check(condition, message):
    print(("ok    " if condition else "FAIL  ") + message)
    if not condition:
        failures.append(message)


def wait_for(what, find, seconds=20):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = find()
        if found:
            return found
        time.sleep(0.1)
    print("FAIL  no " + what + " within %d s" % seconds)
    sys.exit(1)


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def descendants(node, wanted, depth=0):
    """The showing nodes below node for which wanted(node) holds. Views are
    not entered: their cells are read through the table interface."""
    found = []
    for child in node:
        if child is None or not showing(child):
            continue
        if wanted(child):
            found.append(child)
        if child.getRoleName() not in ("tree", "tree table", "table", "list") and depth < 12:
            found += descendants(child, wanted, depth + 1)
    return found


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.get_process_id() == PID:
            return app
    return None


def window(app, title):
    for child in app:
        if child is not None and child.name == title and showing(child):
            return child
    return None


def x_window(title):
    out = subprocess.run(["xdotool", "search", "--all", "--onlyvisible", "--pid", str(PID), "--name",
                          "^" + title + "$"], capture_output=True, text=True).stdout.split()
    return out[0] if out else None


def keys(title, *args):
    """Types into the program's window of that title, which gets the focus
    first (there is no window manager to give it)."""
    target = wait_for("X window " + title, lambda: x_window(title))
    subprocess.run(["xdotool", "windowfocus", "--sync", target], check=True)
    subprocess.run(["xdotool"] + list(args), check=True)


app = wait_for("accessible application", application)
main = wait_for("main window", lambda: window(app, TITLE))
print("application %r, window %r" % (app.name, main.name))

# The toolbar: every button by its name, each with a description.
bar = wait_for("toolbar", lambda: descendants(main, lambda n: n.getRoleName() == "tool bar"))[0]
buttons = [n for n in bar if n is not None and showing(n)
           and n.getRoleName() in ("push button", "check box", "toggle button")]
check([b.name for b in buttons] == TOOLBAR,
      "toolbar buttons read %s" % [b.name for b in buttons])
check(all(b.description for b in buttons), "every toolbar button has a description")

# The path box has the focus at the start: type a folder, Enter lists it.
keys(TITLE, "type", "--delay", "5", FOLDER)
keys(TITLE, "key", "Return")


def file_rows():
    views = descendants(main, lambda n: n.getRoleName() in ("tree", "tree table", "table")
                        and n.name == "Files")
    if not views:
        return None
    table = views[0].queryTable()
    rows = [(table.getAccessibleAt(r, 0).name, table.getAccessibleAt(r, 2).name)
            for r in range(table.nRows)]
    return rows if rows == ROWS else None


rows = wait_for("file list rows %s" % ROWS, file_rows)
for name, kind in rows:
    print("      row %r, type %r" % (name, kind))
check(True, "the file list reads its rows with their names and types")

# Tab to the tree, Tab to the list, Down twice to a file (the list judges the
# file commands before it moves, and the commit left nothing selected), then
# Ctrl+E asks for the password.
keys(TITLE, "key", "--delay", "150", "Tab", "Tab", "Down", "Down", "ctrl+e")
dialog = wait_for("password dialog", lambda: window(app, "Enter password:"))
fields = descendants(dialog, lambda n: n.getRoleName() in
                     ("password text", "text", "check box", "push button"))
read = [(f.getRoleName(), f.name) for f in fields]
check(read == PASSWORD_FIELDS, "password dialog fields read %s" % read)
check(all(f.description for f in fields), "every field of the password dialog has a description")
check(fields and fields[0].getState().contains(pyatspi.STATE_FOCUSED),
      "the password field has the focus")

# Escape cancels the dialog; nothing is encrypted.
keys("Enter password:", "key", "Escape")
wait_for("the password dialog to close", lambda: window(app, "Enter password:") is None)
check(True, "Escape closed the password dialog")

sys.exit(1 if failures else 0)
