#!/usr/bin/env python3
"""The layer script on small made-up trees: what it lets through and what it reports."""
import contextlib
import io
import pathlib
import sys
import tempfile
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).parent))
import include_layers  # noqa: E402


def run(files):
    """Writes `files` ({path: text}) into a fresh tree, runs the script; (code, lines)."""
    with tempfile.TemporaryDirectory() as root:
        for name, text in files.items():
            path = pathlib.Path(root, name)
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(text, encoding="utf-8")
        out = io.StringIO()
        with contextlib.redirect_stdout(out):
            code = include_layers.main(root)
        return code, out.getvalue().splitlines()


UI = "target_sources(nuvtolvek_ui PRIVATE {})\n"


class IncludeLayers(unittest.TestCase):
    def test_cases(self):
        cases = [
            ("one way is allowed",
             {"exchange/a.h": '#include "project/p.h"\n', "project/p.h": "",
              "app/m.cpp": '#include "exchange/a.h"\n'},
             0, []),
            ("a core reaching past its list",
             {"project/p.cpp": '#include "editor/e.h"\n', "editor/e.h": ""},
             1, ["project/p.cpp (core) includes editor/e.h"]),
            ("a window and a core of two folders that meet",
             {"editor/CMakeLists.txt": UI.format("w.cpp"),
              "editor/w.cpp": '#include "project/p.h"\n',
              "project/CMakeLists.txt": UI.format("pw.cpp"), "project/p.h": "",
              "project/pw.cpp": '#include "editor/w.h"\n'},
             1, ["project/pw.cpp (window) includes editor/w.h",
                 "circle editor -> project -> editor: editor/w.cpp includes project/p.h; "
                 "project/pw.cpp includes editor/w.h"]),
            ("a circle through a third folder, its tests not counted",
             {"exchange/x.h": '#include "project/p.h"\n',
              "project/CMakeLists.txt": UI.format("pw.cpp"),
              "project/pw.cpp": '#include "recovery/r.h"\n',
              "recovery/r.h": '#include "exchange/x.h"\n',
              "exchange/tests/t.cpp": '#include "app/a.h"\n'},
             1, ["recovery/r.h (core) includes exchange/x.h",
                 "circle exchange -> project -> recovery -> exchange: exchange/x.h includes "
                 "project/p.h; project/pw.cpp includes recovery/r.h; recovery/r.h includes "
                 "exchange/x.h"]),
        ]
        for name, files, code, lines in cases:
            with self.subTest(name):
                self.assertEqual(run(files), (code, lines))


if __name__ == "__main__":
    unittest.main()
