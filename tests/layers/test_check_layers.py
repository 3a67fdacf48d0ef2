"""The include check finds each kind of wrong include, and only those."""
import pathlib
import subprocess
import sys
import tempfile
import unittest

SCRIPT = pathlib.Path(__file__).resolve().parents[2] / "scripts" / "check_layers.py"


def run(files):
    with tempfile.TemporaryDirectory() as root:
        for name, text in files.items():
            path = pathlib.Path(root, name)
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_text(text)
        done = subprocess.run([sys.executable, str(SCRIPT), root], capture_output=True, text=True)
        return done.returncode, done.stdout


class CheckLayers(unittest.TestCase):
    def test_arrows_that_point_down_pass(self):
        code, out = run({
            "app/Main.cpp": '#include "ui/Settings.h"\n',
            "ui/Settings.cpp": '#include "settings/SettingsStore.h"\n#include "whitelist/W.h"\n',
            "settings/SettingsStore_win.cpp": '#include "toolkit/Registry.h"\n'
                                              '#include "component/Contract.h"\n#include <windows.h>\n',
            "tools/Tool.cpp": '#include "whitelist/WhiteListTable.h"\n',
        })
        self.assertEqual(code, 0, out)

    def test_subsystem_reaching_up_into_the_window_fails(self):
        code, out = run({"whitelist/P_win.cpp": '#include "ui/Settings.h"\n'})
        self.assertEqual(code, 1)
        self.assertIn('whitelist/P_win.cpp:1: whitelist must not include "ui/Settings.h"', out)

    def test_subsystem_reaching_sideways_fails_except_for_the_contract(self):
        code, out = run({
            "settings/S.cpp": '#include "component/Contract.h"\n#include "notify/SoundFiles.h"\n',
        })
        self.assertEqual(code, 1)
        self.assertIn('settings/S.cpp:2: settings must not include "notify/SoundFiles.h"', out)
        self.assertNotIn("Contract.h", out)

    def test_toolkit_reaching_up_and_programs_reaching_the_window_fail(self):
        code, out = run({
            "toolkit/Form_win.cpp": '#include "settings/SettingsStore.h"\n',
            "component/standin/olvrex.cpp": '#include "ui/Settings.h"\n',
            "component/host/Bridge.cpp": '#include "app/Splashform.h"\n',
            # The component and the bridge are programs: any subsystem's header.
            "component/olvrex/olvrex.cpp": '#include "whitelist/WhiteListTable.h"\n',
        })
        self.assertEqual(code, 1)
        self.assertIn("toolkit/Form_win.cpp:1", out)
        self.assertIn("component/standin/olvrex.cpp:1", out)
        self.assertIn("component/host/Bridge.cpp:1", out)
        self.assertNotIn("component/olvrex/olvrex.cpp", out)

    def test_portable_source_including_windows_fails(self):
        code, out = run({"notify/SoundFiles.cpp": "#include <windows.h>\n"})
        self.assertEqual(code, 1)
        self.assertIn("portable source includes <windows.h>", out)


if __name__ == "__main__":
    unittest.main()
