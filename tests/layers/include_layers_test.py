#!/usr/bin/env python3
"""The layer check on a small tree: each kind of forbidden include is named, the allowed ones are not."""
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import include_layers  # noqa: E402


def tree(root, files):
    for path, text in files.items():
        full = os.path.join(root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w", encoding="utf-8") as f:
            f.write(text)


class IncludeLayers(unittest.TestCase):
    def check(self, files):
        with tempfile.TemporaryDirectory() as root:
            tree(root, files)
            return include_layers.violations(root)[1]

    def test_includes_down_the_map_and_within_a_folder_pass(self):
        found = self.check({
            "serial/engine.h": "",
            "serial/posix/port.cpp": '#include "serial/engine.h"\n#include "../engine.h"\n',
            "framework/dialog.h": '#include "serial/engine.h"\n',
            "framework/win32/host.cpp": '#include "host.h"\n#include "framework/dialog.h"\n',
            "framework/win32/host.h": "",
            "controls/button.cpp": '#include "framework/dialog.h"\n#include <vector>\n',
            "updater/app/dlg.cpp": '#include "controls/button.h"\n#include "serial/engine.h"\n',
            "packaging/pack.cpp": '#include "updater/bank.h"\n',
            "tests/any_test.cpp": '#include "updater/app/dlg.h"\n#include "simulator/model/m.h"\n',
        })
        self.assertEqual(found, [])

    def test_each_forbidden_edge_is_named(self):
        found = self.check({
            "serial/engine.h": '#include "framework/dialog.h"\n',
            "framework/dialog.h": '#include "controls/button.h"\n',
            "controls/button.h": "",
            "updater/app/dlg.cpp": '#include "configurator/app/torvik_dlg.h"\n#include "support/temp_dir.h"\n',
            "configurator/app/torvik_dlg.h": "",
            "simulator/model/m.h": '#include "serial/engine.h"\n',
        })
        self.assertEqual(sorted(found), sorted([
            "serial/engine.h: serial/ may not include framework/ (framework/dialog.h)",
            "framework/dialog.h: framework/ may not include controls/ (controls/button.h)",
            "updater/app/dlg.cpp: updater/ may not include configurator/ (configurator/app/torvik_dlg.h)",
            "updater/app/dlg.cpp: includes support/temp_dir.h, outside the product's layers",
            "simulator/model/m.h: simulator/ may not include serial/ (serial/engine.h)",
        ]))

    def test_the_loopback_bridge_to_the_model_is_for_tests_only(self):
        found = self.check({
            "simulator/model/m.h": "",
            "serial/loopback/model_far_end.h": '#include "simulator/model/m.h"\n',
            "serial/loopback/other.cpp": '#include "serial/loopback/model_far_end.h"\n',
            "serial/engine.cpp": '#include "simulator/model/m.h"\n',
            "framework/headless/host.cpp": '#include "serial/loopback/model_far_end.h"\n',
            "tests/t.cpp": '#include "serial/loopback/model_far_end.h"\n',
        })
        self.assertEqual(sorted(found), sorted([
            "serial/engine.cpp: serial/ may not include simulator/ (simulator/model/m.h)",
            "framework/headless/host.cpp: includes serial/loopback/model_far_end.h, which is for tests only",
        ]))


if __name__ == "__main__":
    unittest.main()
