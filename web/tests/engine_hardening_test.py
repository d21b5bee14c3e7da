"""The page's engine under hostile input, in headless Chromium: model files read as the program
reads them (its size limit, its reader, its messages, its warnings), text of any length handed
to the engine without a trap, and a trap, forced, caught and reported once, with the engine
restarted on the state on show.

    engine_hardening_test.py PAGE_DIR WEB_REPLAY CPU_WIDGET_CLI MODELS_DIR
"""
import math
import os
import random
import struct
import subprocess
import sys
import time
import unittest

from selenium.webdriver.support.ui import Select

import browser_test as page_test

CLI, MODEL_FILES, SEED = page_test.CLI, page_test.MODEL_FILES, page_test.SEED
LIMIT = 1 << 20  # the program's largest model file, in bytes
HEADER = b'format_version = 1\nextends = "built-in"\n'


class EngineHardening(unittest.TestCase):
    """Driven through browser_test.Page's helpers (its tests are not run again here)."""

    def wait_for(self, condition, what):
        for _ in range(400):
            if condition():
                return
            time.sleep(0.05)
        self.fail(f'{what}; messages: {self.messages()}')

    def write(self, name, data):
        path = os.path.join(MODEL_FILES, name)
        with open(path, 'wb') as f:
            f.write(data)
        return path

    def load(self, path):
        """Opens a model file in the page; its messages once the page has answered."""
        loads = len([line for line in self.log() if line.startswith('#model ')])
        self.js('window.cpuWidget.errors.length = 0')
        self.el('model-file').send_keys(path)
        name = os.path.basename(path)
        self.wait_for(lambda: self.js('return window.cpuWidget.errors.length') > 0 or
                      len([line for line in self.log() if line.startswith('#model ')]) > loads,
                      f'{name} was not answered')
        # The notice of figures that are not finite follows the first result.
        self.wait_for(lambda: not self.js('return window.cpuWidget.scanning'),
                      f'{name}: the option sets were not gone through')
        return self.messages().splitlines()

    def program(self, path):
        """What the program says on opening the file: its exit status and its messages, named as
        the page names the file. A sweep goes through every option set, as the window does."""
        run = subprocess.run([CLI, 'sweep', '--model', path, '--format', 'csv'],
                             capture_output=True)
        err = run.stderr.decode('utf-8', 'replace').replace(path, os.path.basename(path))
        said = [line.split(': ', 1)[1] for line in err.splitlines()]
        return run.returncode, [line for line in said if not line.startswith('note: ')]

    def assert_read_as_the_program(self, name, data):
        path = self.write(name, data)
        source = self.el('model-source').text
        shown = self.fields()
        page = self.load(path)
        status, said = self.program(path)
        if status != 0:
            self.assertEqual(page[0], f'{name} is not used; the model stays {source}:')
            self.assertEqual(page[1:], said)
            self.assertEqual(self.el('model-source').text, source)
            self.assertEqual(self.fields(), shown)  # nothing changes
        else:
            self.assertEqual(self.el('model-source').text, name)
            self.assertEqual(page, said)
            self.assert_as_replayed()
            row = page_test.cli_search('--model', path)
            if row['feasible'] == 'true':
                self.assert_as_cli(row)
            self.assertEqual(self.fields()['feasible'], row['feasible'])

    # -- model files ----------------------------------------------------------------------------

    def test_files_are_read_as_the_program_reads_them(self):
        self.open()
        pf = b'[constants]\nparallel_fraction = '
        cases = [
            ('nul.toml', HEADER + b'[constants]\n\x00parallel_fraction = 2\n'),
            ('nul-after.toml', HEADER + b'\x00\n[constants]\nparallel_fraction = 2\n'),
            ('utf8-comment.toml', HEADER + b'# caf\xe9 \xff\xfe\n' + pf + b'0.97\n'),
            ('utf8-string.toml', HEADER + b'[[workload]]\nname = "W\xe9"\n'),
            ('subnormal.toml', HEADER + pf + b'1e-310\n'),
            ('underflow.toml', HEADER + pf + b'1e-400\n'),
            ('overflow.toml', HEADER + pf + b'1e400\n'),
            ('workload-subnormal.toml', HEADER + b'[[workload]]\nname = "DB2/TPCC"\n'
                                                 b'parallel_fraction = 1e-320\n'),
            ('implausible.toml', HEADER + b'[[core_kind]]\nname = "Niagara"\nref_Vdd = 3\n'),
            ('not-finite.toml', HEADER + b'[[core_kind]]\nname = "Niagara"\ncore_power = 0\n'
                                         b'uncore_power = 0\nref_Vdd = 1e-30\n'),
        ]
        for name, data in cases:
            with self.subTest(file=name):
                self.assert_read_as_the_program(name, data)
        self.assert_no_console_errors()

    def test_the_programs_size_limit(self):
        self.open('?node=32nm')
        filler = b'\n' + b'#' * LIMIT
        content = HEADER + b'[constants]\nparallel_fraction = 0.98\n'
        for name, size in [('at-limit.toml', LIMIT), ('over-limit.toml', LIMIT + 1),
                           ('1.3MiB.toml', 13 * LIMIT // 10), ('4MiB.toml', 4 * LIMIT),
                           ('5MiB.toml', 5 * LIMIT)]:
            data = (content + filler * 6)[:size]
            with self.subTest(file=name):
                self.assert_read_as_the_program(name, data)
        self.assertEqual(self.el('model-source').text, 'at-limit.toml')
        # The page still answers every action.
        Select(self.el('option-4')).select_by_visible_text('20nm')
        self.assert_as_replayed()
        self.assert_no_console_errors()

    # -- number text ------------------------------------------------------------------------------

    def test_number_text_with_the_browsers_digits_is_the_c_librarys(self):
        """The engine writes its numbers with the browser's shortest digits; the text must be the
        one the C library's digits give (held natively to the tool's std::to_chars): for the
        model's kinds of figures, whole numbers, powers of two and their neighbours (where the
        spacing of doubles changes), subnormals and random doubles."""
        self.open()
        rng = random.Random(SEED)
        values = [0.0, -0.0, 0.1, 0.3, 0.95, 46.44288, 221.88, 1e-5, 1e-7, 1.5e-7, 1e21, 1e22,
                  123456789012345680000.0, 5e-324, 1.7976931348623157e308, 0.30000000000000004,
                  100.0, 1e15, 1e16, 1e17, 2.0 ** 53, 2.0 ** 53 + 2, 9007199254740991.0,
                  123456.0, 0.5599999999999999, 31.41706250938214]
        for k in range(-1074, 1024, 7):
            p = math.ldexp(1.0, k)
            values += [p, math.nextafter(p, 0.0), math.nextafter(p, math.inf)]
        for _ in range(20000):
            any_double = struct.unpack('<d', struct.pack('<Q', rng.getrandbits(64)))[0]
            if math.isfinite(any_double):
                values.append(any_double)
            values += [rng.uniform(0, 1000), round(rng.uniform(0, 1000), 2),
                       float(rng.randrange(1, 10 ** rng.randrange(1, 17)))]
        values += [-v for v in values]
        for at in range(0, len(values), 5000):
            chunk = values[at:at + 5000]
            self.assertEqual(self.js('return window.cpuWidget.engine.numberText(arguments[0])',
                                     chunk), '')

    # -- text of any length ---------------------------------------------------------------------

    def test_a_number_of_a_million_digits_in_a_limit(self):
        self.open('?node=32nm')
        digits = '100.' + '0' * 1_500_000
        self.js('const box = document.getElementById("limit-3"); box.value = arguments[0];'
                'box.dispatchEvent(new Event("change", {bubbles: true}));', digits)
        self.assertEqual(self.js('return document.getElementById("limit-3").dataset.value'),
                         '100')
        self.assertNotIn('engine stopped', self.messages())
        self.el('best').click()
        self.assert_as_cli(page_test.cli_search('--node', '32nm', '--power', '100'))
        self.assert_as_replayed()
        self.assert_no_console_errors()

    # -- a trap ---------------------------------------------------------------------------------

    def test_a_trap_is_reported_once_and_the_engine_restarted_on_the_state_on_show(self):
        self.open()
        path = self.write('pf.toml', HEADER + b'[constants]\nparallel_fraction = 0.95\n')
        self.load(path)
        for box, item in [('option-1', '3D Memory'), ('option-3', 'ARM'), ('option-4', '32nm')]:
            Select(self.el(box)).select_by_visible_text(item)
        self.el('best').click()
        shown = self.fields()
        self.js('window.cpuWidget.engine.trapOnNextAction()')
        Select(self.el('option-4')).select_by_visible_text('20nm')
        said = self.messages()
        self.assertEqual(said.count('The engine stopped'), 1, said)
        self.assertIn('That action is not done', said)
        # What was on show stays, the option box with it.
        self.assertEqual(self.fields(), shown)
        self.assertEqual(Select(self.el('option-4')).first_selected_option.text, '32nm')
        # The fresh engine takes the next action from the state on show, model file included.
        self.wait_for(lambda: 'being restarted' not in self.click_best_and_say(),
                      'the engine was not restarted')
        self.assertEqual(self.fields(), shown)
        Select(self.el('option-4')).select_by_visible_text('20nm')
        self.el('best').click()
        self.assertEqual(self.messages(), '')
        self.assert_as_replayed()
        self.assert_as_cli(page_test.cli_search('--model', path, '--node', '20nm', '--memory',
                                                '3d', '--core', 'ARM'))
        self.assertEqual(self.el('model-pf').text, '0.95')
        self.assert_no_console_errors()

    def click_best_and_say(self):
        self.el('best').click()
        return self.messages()


# browser_test.Page's set-up and helpers, without its tests.
for _name, _value in vars(page_test.Page).items():
    if not _name.startswith(('test_', '__')):
        setattr(EngineHardening, _name, _value)

if __name__ == '__main__':
    unittest.main(argv=[sys.argv[0], '-v'])
