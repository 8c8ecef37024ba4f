# SPDX-License-Identifier: GPL-3.0-or-later
"""The extension of Files, loaded with stand-ins for Nautilus and GObject: the items it offers for
a selection, and what choosing one starts. Its template is the first argument."""

import sys
import types
import unittest
from pathlib import Path
from unittest import mock

PROGRAM = "/opt/ferrocase/bin/ferrocase"


class MenuItem:
    def __init__(self, **properties):
        self.label = properties["label"]
        self.activated = []

    def connect(self, signal, handler, *data):
        self.activated.append(lambda: handler(self, *data))


class FileInfo:
    def __init__(self, uri, folder=False):
        self.get_uri = lambda: uri
        self.is_directory = lambda: folder


def load_extension(template):
    repository = types.ModuleType("gi.repository")
    repository.GObject = types.SimpleNamespace(GObject=type("GObject", (), {}))
    repository.Nautilus = types.SimpleNamespace(
        MenuProvider=type("MenuProvider", (), {}), MenuItem=MenuItem
    )
    gi = types.ModuleType("gi")
    gi.require_version = lambda name, version: None
    gi.repository = repository
    sys.modules.update({"gi": gi, "gi.repository": repository})
    extension = types.ModuleType("ferrocase_menu")
    source = Path(template).read_text().replace("@FERROCASE_EXECUTABLE@", PROGRAM)
    exec(compile(source, template, "exec"), extension.__dict__)
    return extension


class NautilusMenuTest(unittest.TestCase):
    def test_the_label_says_what_the_window_will_do(self):
        plain = FileInfo("file:///d/report.txt")
        encrypted = FileInfo("file:///d/Report.FXE")
        folder = FileInfo("file:///d/photos.fxs", folder=True)
        cases = {
            "a plain file": ([plain], ["Encrypt with Ferrocase"]),
            "a folder, whatever its name": ([folder], ["Encrypt with Ferrocase"]),
            "a plain file and a folder": ([plain, folder], ["Encrypt with Ferrocase"]),
            ".fxe and .fxs files, in any letter case": (
                [encrypted, FileInfo("file:///d/a.fxs")],
                ["Decrypt with Ferrocase"],
            ),
            "plain and encrypted files together": ([plain, encrypted], []),
            "a file on another machine": ([FileInfo("sftp://host/d/report.txt")], []),
        }
        for case, (files, labels) in cases.items():
            with self.subTest(case):
                items = menu.get_file_items(files)
                self.assertEqual([item.label for item in items], labels)

    def test_choosing_an_item_queues_the_files_by_their_exact_names(self):
        files = [FileInfo("file:///d/lat%E9%20%22x%22.txt"), FileInfo("file:///d/-r", folder=True)]
        # Before Nautilus 43 the window came first.
        (item,) = menu.get_file_items("window", files)
        with mock.patch.object(extension.subprocess, "Popen") as popen:
            item.activated[0]()
        self.assertEqual(
            popen.call_args.args[0], [PROGRAM.encode(), b"--", b'/d/lat\xe9 "x".txt', b"/d/-r"]
        )


if __name__ == "__main__":
    extension = load_extension(sys.argv.pop(1))
    menu = extension.FerrocaseMenu()
    unittest.main()
