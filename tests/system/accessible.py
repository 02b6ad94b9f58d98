#!/usr/bin/python3
"""Drives a window through the accessibility bus, as a screen reader sees it.

Usage: accessible.py <application name> <command> [arguments]
  tree                 prints every object: role, name, states and text, indented
  press NAME           presses the button of that name (the first one showing)
  text NAME            prints the text of the object of that name (a label's name, an edit's text)
  status               prints what the status bar says
  shows TEXT           succeeds when an object showing holds TEXT in its name or its text
  items NAME           prints the items of the list or table of that name, one per line
  select NAME ROW      selects row ROW of the list of that name
  edit ROLE TEXT       puts TEXT into the first editable text within the first object of that
                       role ("combo box"), as typing it would
Exits 1 when the application or the object is not there (yet): the caller waits by polling.
"""

import sys

import pyatspi


def application(name):
    desktop = pyatspi.Registry.getDesktop(0)
    for index in range(desktop.childCount):
        app = desktop.getChildAtIndex(index)
        if app is not None and app.name == name:
            return app
    return None


def walk(node, depth=0):
    yield node, depth
    for index in range(node.childCount):
        child = node.getChildAtIndex(index)
        if child is not None:
            yield from walk(child, depth + 1)


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def text_of(node):
    try:
        text = node.queryText()
        return text.getText(0, text.characterCount)
    except NotImplementedError:
        return node.name


def find(app, name, roles=None):
    for node, _ in walk(app):
        if node.name == name and showing(node) and (roles is None or node.getRole() in roles):
            return node
    return None


def main():
    app = application(sys.argv[1])
    if app is None:
        return 1
    command, arguments = sys.argv[2], sys.argv[3:]
    if command == "status":
        for node, _ in walk(app):
            if node.getRole() == pyatspi.ROLE_STATUS_BAR:
                labels = [n for n, d in walk(node) if d > 0 and n.getRole() == pyatspi.ROLE_LABEL]
                print(labels[0].name if labels else "")
                return 0
        return 1
    if command == "shows":
        return 0 if any(showing(node) and (arguments[0] in (node.name or "") or
                                           arguments[0] in (text_of(node) or ""))
                        for node, _ in walk(app)) else 1
    if command == "edit":
        for node, _ in walk(app):
            if node.getRoleName() == arguments[0] and showing(node):
                for child, _ in walk(node):
                    try:
                        child.queryEditableText().setTextContents(arguments[1])
                        return 0
                    except NotImplementedError:
                        continue
        return 1
    if command == "tree":
        for node, depth in walk(app):
            states = ",".join(
                pyatspi.stateToString(s) for s in node.getState().getStates()
                if s in (pyatspi.STATE_ENABLED, pyatspi.STATE_CHECKED, pyatspi.STATE_SELECTED))
            print("  " * depth + f"{node.getRoleName()} '{node.name}' [{states}] {text_of(node)!r}")
        return 0
    node = find(app, arguments[0],
                [pyatspi.ROLE_PUSH_BUTTON] if command == "press" else None)
    if node is None:
        return 1
    if command == "press":
        if not node.getState().contains(pyatspi.STATE_ENABLED):
            return 1
        action = node.queryAction()
        for index in range(action.nActions):
            if action.getName(index) in ("Press", "press", "click"):
                action.doAction(index)
                return 0
        action.doAction(0)
        return 0
    if command == "text":
        print(text_of(node))
        return 0
    if command == "items":
        for child, depth in walk(node):
            if depth > 0 and child.getRole() in (pyatspi.ROLE_LIST_ITEM, pyatspi.ROLE_TABLE_CELL):
                print(child.name)
        return 0
    if command == "select":
        rows = [n for n, d in walk(node) if d > 0 and n.getRole() == pyatspi.ROLE_LIST_ITEM]
        if len(rows) <= int(arguments[1]):
            return 1
        row = rows[int(arguments[1])]
        action = row.queryAction()
        names = [action.getName(i) for i in range(action.nActions)]
        for wanted in ("Toggle", "toggle", "Select", "select", "Press", "press"):
            if wanted in names:
                action.doAction(names.index(wanted))
                return 0
        print("no action to select among", names, file=sys.stderr)
        return 2
    return 2


if __name__ == "__main__":
    sys.exit(main())
