"""The page in a real browser (headless Chromium through Selenium), against the engine's own
figures: after each action the page's data-values must equal, bit for bit, the figures the page's
engine run natively gives for the same actions (web-replay, which the native tests hold to the
desktop window), and where the tool can state the same request, its CSV (cpu-widget-cli search).
No console errors in any of them.

    browser_test.py PAGE_DIR WEB_REPLAY CPU_WIDGET_CLI MODELS_DIR
"""
import csv
import io
import json
import os
import random
import subprocess
import sys
import tempfile
import time
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select

PAGE_DIR, REPLAY, CLI, MODELS = sys.argv[1:5]
FIELDS = ['speedup', 'cores', 'cache_mb', 'scale', 'vdd_v', 'freq_ghz', 'area_mm2', 'power_w',
          'bandwidth_gbps', 'tsv_bandwidth_gbps', 'feasible']
LABELS = ['0', '1', '11', '12', '13', '14', '15', '16']
SEED = int(os.environ.get('WEB_TEST_SEED', '19'))


def chromium_options():
    options = webdriver.ChromeOptions()
    options.binary_location = '/usr/bin/chromium'
    # Without network on this machine: nothing may try to connect anywhere.
    for flag in ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                 '--disable-background-networking', '--disable-component-update',
                 '--disable-sync', '--disable-dev-shm-usage',
                 '--user-data-dir=' + tempfile.mkdtemp(prefix='cpu-widget-chromium-'),
                 '--window-size=1400,1000']:
        options.add_argument(flag)
    options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
    return options


def replay(lines):
    """The states web-replay gives for the page's action log, one per action."""
    script = []
    for line in lines:
        if line.startswith('#model '):
            line = '#model ' + os.path.join(MODEL_FILES, line[len('#model '):])
        script.append(line)
    out = subprocess.run([REPLAY], input='\n'.join(script) + '\n', capture_output=True,
                         text=True, check=True).stdout.splitlines()
    return [json.loads(o) for o in out]


def cli_search(*args):
    out = subprocess.run([CLI, 'search', '--format', 'csv', *args], capture_output=True,
                         text=True, check=True).stdout
    return next(csv.DictReader(io.StringIO(out)))


MODEL_FILES = tempfile.mkdtemp(prefix='cpu-widget-models-')


class Page(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = subprocess.Popen(
            ['/usr/bin/python3', '-m', 'http.server', '0', '--bind', '127.0.0.1'], cwd=PAGE_DIR,
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
            env=dict(os.environ, PYTHONUNBUFFERED='1'))
        # "Serving HTTP on 127.0.0.1 port N ..."
        cls.port = int(cls.server.stdout.readline().split(' port ')[1].split()[0])
        cls.driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'),
                                      options=chromium_options())

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.server.terminate()
        cls.server.wait()

    # -- the page -------------------------------------------------------------------------------

    def open(self, query=''):
        self.driver.get(f'http://127.0.0.1:{self.port}/index.html{query}')
        for _ in range(200):
            if self.driver.execute_script('return !!(window.cpuWidget && window.cpuWidget.ready)'):
                return
            time.sleep(0.05)
        self.fail('the page did not start: ' + self.messages())

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def fields(self):
        return self.js('const o = {}; for (const e of document.querySelectorAll("#figures [data-field]"))'
                       ' o[e.dataset.field] = e.dataset.value; return o;')

    def labels(self):
        # The window's captions as the engine gives them (the page mends two on screen).
        return self.js('const o = {}; for (const s of arguments[0]) '
                       'o[s] = document.getElementById("label-" + s).dataset.value; return o;',
                       LABELS)

    def log(self):
        return self.js('return window.cpuWidget.log')

    def messages(self):
        return '\n'.join(self.js('return [...document.querySelectorAll("#messages p")]'
                                  '.map((p) => p.textContent)'))

    def el(self, id):
        return self.driver.find_element(By.ID, id)

    def slider_to(self, slot, value):
        self.js('const s = document.getElementById("slider-" + arguments[0]); s.value = arguments[1];'
                's.dispatchEvent(new Event("input", {bubbles: true}));', slot, str(value))

    def type_limit(self, slot, text):
        box = self.el(f'limit-{slot}')
        box.send_keys(Keys.CONTROL, 'a')
        box.send_keys(text, Keys.ENTER)
        self.el('best').send_keys(Keys.SHIFT)  # focus moves on: the change is committed

    def assert_no_console_errors(self):
        errors = [e for e in self.driver.get_log('browser') if e['level'] == 'SEVERE']
        self.assertEqual(errors, [])

    def assert_as_replayed(self):
        """The page shows what the engine gives for its actions, figures and captions."""
        states = replay(self.log())
        self.assertTrue(states, 'no action logged')
        state = states[-1]['state']
        self.assertEqual(self.fields(), state['fields'])
        self.assertEqual(self.labels(), {s: state['labels'][s] for s in LABELS})
        # The gauge lights the window's rows: 20 less (int)(20 - percent / 5), saturating.
        percent = min(max(float(state['gauge']), 0.0), 100.0)
        lit = self.js('return document.getElementById("gauge").style.getPropertyValue("--lit")')
        self.assertEqual(lit, str(20 - int(20 - percent / 5)))

    def assert_as_cli(self, row):
        self.assertEqual(row['feasible'], 'true')  # every request here has a best configuration
        page = self.fields()
        for field in FIELDS:
            self.assertEqual(page[field], row[field], field)

    # -- the cases ------------------------------------------------------------------------------

    def test_start_options_limits_best(self):
        self.open()
        self.assert_as_replayed()
        # As opened: the start-up options, the spin buttons' two decimals, "Best Performance".
        self.assert_as_cli(cli_search('--bw', '46.44'))
        for box, item in [('option-1', '3D Memory'), ('option-2', 'HP'), ('option-4', '32nm')]:
            Select(self.el(box)).select_by_visible_text(item)
            self.assert_as_replayed()
        self.el('best').click()
        self.assert_as_replayed()
        self.assert_as_cli(cli_search('--memory', '3d', '--transistor', 'HP', '--node', '32nm'))
        self.type_limit(3, '120')
        self.assert_as_replayed()
        self.el('best').click()
        self.assert_as_cli(cli_search('--memory', '3d', '--transistor', 'HP', '--node', '32nm',
                                      '--power', '120'))
        # explain's table: which limit binds, the relaxed optimum and where the optimum changes.
        for _ in range(100):
            if self.js('return window.cpuWidget.analysedAfter === window.cpuWidget.log.length'):
                break
            time.sleep(0.05)
        rows = self.js('return [...document.querySelectorAll("#explain tbody tr")].map((r) =>'
                       ' [r.dataset.limit, ...[...r.cells].map((c) => c.textContent)])')
        out = subprocess.run([CLI, 'explain', '--format', 'csv', '--memory', '3d', '--transistor',
                              'HP', '--node', '32nm', '--power', '120'], capture_output=True,
                             text=True, check=True).stdout
        tool = list(csv.DictReader(io.StringIO(out)))
        self.assertEqual([r[0] for r in rows], [t['limit'] for t in tool])
        for page, t in zip(rows, tool):
            self.assertEqual(page[5], 'yes' if t['binds'] == 'true' else 'no')
            self.assertEqual(page[7], f"{float(t['relaxed_speedup']):.4f}")
            self.assertEqual(page[9], f"{float(t['changes_at']):.3f}" if t['changes_at'] else 'never')
        self.assert_no_console_errors()

    def test_sliders_and_locks(self):
        self.open('?node=45nm&core=ARM')
        cores = self.js('return window.cpuWidget.model().core_counts').index(64)
        cache = self.js('return window.cpuWidget.model().cache_sizes').index(4)
        self.slider_to(0, cores)  # 64 cores held, the rest searched
        self.assert_as_replayed()
        self.assert_as_cli(cli_search('--node', '45nm', '--core', 'ARM', '--cores', '64'))
        self.el('lock-0').click()
        self.slider_to(1, cache)  # 4 MB with the core count locked
        self.assert_as_replayed()
        self.assert_as_cli(cli_search('--node', '45nm', '--core', 'ARM', '--cores', '64',
                                      '--cache', '4'))
        self.slider_to(0, 5)  # locked: snaps back, nothing searched
        self.assertEqual(self.js('return document.getElementById("slider-0").value'), str(cores))
        self.assert_as_replayed()
        self.el('lock-0').click()
        scale = self.fields()['scale']
        self.slider_to(5, '0.7')  # supply held at the step on show, its frequency with it
        self.assert_as_replayed()
        self.assert_as_cli(cli_search('--node', '45nm', '--core', 'ARM', '--scale', scale,
                                      '--vdd', '0.7'))
        self.slider_to(4, '1.2')
        self.assert_as_replayed()
        self.assert_as_cli(cli_search('--node', '45nm', '--core', 'ARM', '--scale', scale,
                                      '--vdd', '0.7', '--freq', '1.2'))
        # Keyboard: the core-count slider one step up, the Vdd lock by space.
        at = int(self.js('return document.getElementById("slider-0").value'))
        self.el('slider-0').send_keys(Keys.ARROW_UP)
        self.el('lock-2').send_keys(Keys.SPACE)
        self.el('slider-5').send_keys(Keys.ARROW_DOWN)
        self.assertEqual(self.log()[-3:-1], [f'slider 0 {at + 1}', 'lock 2 1'])
        self.assertTrue(self.log()[-1].startswith('slider 5 '))
        self.assert_as_replayed()
        self.assert_no_console_errors()

    def test_link_reproduces_a_view(self):
        query = ('?workload=DB2/TPCH&memory=3d&transistor=HP&core=ARM&node=32nm&power=120'
                 '&cores=64')
        self.open(query)
        self.assertEqual(self.messages(), '')
        self.assert_as_replayed()
        self.assert_as_cli(cli_search('--workload', 'DB2/TPCH', '--memory', '3d', '--transistor',
                                      'HP', '--core', 'ARM', '--node', '32nm', '--power', '120',
                                      '--cores', '64'))
        for part in query[1:].split('&'):
            self.assertIn(part, self.driver.current_url)
        # Held scale steps: at their own supply and frequency, or at a supply given.
        for holds in (['--cores', '64', '--scale', '0.7'],
                      ['--cores', '64', '--cache', '8', '--scale', '0.7'],
                      ['--scale', '0.6', '--vdd', '0.5']):
            link = '&'.join(f'{holds[i][2:]}={holds[i + 1]}' for i in range(0, len(holds), 2))
            self.open('?node=32nm&memory=3d&' + link)
            self.assertEqual(self.messages(), '')
            self.assert_as_replayed()
            self.assert_as_cli(cli_search('--node', '32nm', '--memory', '3d', *holds))
        # The address after a change opens the same view.
        self.slider_to(1, 10)
        self.el('lock-0').click()
        self.slider_to(5, '0.6')
        self.js('window.cpuWidget.flushLink()')
        shown, url = self.fields(), self.driver.current_url
        self.open(url[url.index('?'):])
        self.assertEqual(self.fields(), shown)
        self.assert_no_console_errors()

    def test_option_change_evaluates_the_configuration_on_show(self):
        self.open('?node=32nm')
        Select(self.el('option-3')).select_by_visible_text('FPGA')
        self.assert_as_replayed()
        # Its link opens the same view: the configuration on show at the operating point the
        # search left (a supply at the voltage floor with the step's own frequency).
        self.js('window.cpuWidget.flushLink()')
        shown, url = self.fields(), self.driver.current_url
        self.assertIn('&scale=', url)
        self.open(url[url.index('?'):])
        self.assertEqual(self.fields(), shown, url)
        # The configuration on show held whole at a supply and the frequency it allows: the
        # tool evaluates the same.
        self.slider_to(5, '0.7')
        Select(self.el('option-3')).select_by_visible_text('ASIC')
        self.assert_as_replayed()
        self.js('window.cpuWidget.flushLink()')
        url = self.driver.current_url
        params = dict(p.split('=', 1) for p in url[url.index('?') + 1:].split('&'))
        self.assertEqual(params['vdd'], '0.7')
        args = []
        for name in ['node', 'core', 'cores', 'cache', 'scale', 'vdd', 'freq']:
            args += [f'--{name}', params[name]]
        row = cli_search(*args)
        page = self.fields()
        for field in FIELDS:
            self.assertEqual(page[field], row[field], field)
        self.assert_no_console_errors()

    def test_bad_link_is_named_and_ignored(self):
        self.open('?workload=Nope&cores=7&power=-4&vdd=x&colour=red&node=20nm')
        text = self.messages()
        for name in ['workload: Nope', 'cores: 7', 'power: -4', 'vdd: x', 'colour']:
            self.assertIn(name, text)
        self.assert_as_replayed()
        self.assert_as_cli(cli_search('--node', '20nm'))
        self.assert_no_console_errors()

    def test_model_files(self):
        self.open()
        path = os.path.join(MODEL_FILES, 'parallel-0.95.toml')
        with open(os.path.join(MODELS, 'parallel-0.95.toml')) as source, open(path, 'w') as f:
            f.write(source.read())
        self.el('model-file').send_keys(path)
        for _ in range(100):
            if self.el('model-pf').text == '0.95':
                break
            time.sleep(0.05)
        self.assertEqual(self.el('model-source').text, 'parallel-0.95.toml')
        self.assert_as_replayed()
        self.assert_as_cli(cli_search('--model', path))
        Select(self.el('option-3')).select_by_visible_text('FPGA')
        self.el('best').click()
        self.assert_as_cli(cli_search('--model', path, '--core', 'FPGA'))

        broken = os.path.join(MODEL_FILES, 'broken.toml')
        with open(broken, 'w') as f:
            f.write('format_version = 1\nextends = "built-in"\n[constants]\n'
                    'parallel_fraction = 1.5\nworking_set_growth = "fast"\n')
        shown = self.fields()
        self.el('model-file').send_keys(broken)
        for _ in range(100):
            if 'broken.toml' in self.messages():
                break
            time.sleep(0.05)
        tool = subprocess.run([CLI, 'search', '--model', broken], capture_output=True, text=True)
        self.assertNotEqual(tool.returncode, 0)
        expected = [line.split(': ', 1)[1].replace(broken, 'broken.toml')
                    for line in tool.stderr.splitlines() if 'broken.toml' in line]
        self.assertTrue(expected)
        page = self.messages().splitlines()[1:]
        self.assertEqual(page, expected)
        self.assertEqual(self.fields(), shown)  # nothing changes
        self.assertEqual(self.el('model-pf').text, '0.95')
        self.assert_no_console_errors()

    def test_random_actions(self):
        """A seeded random scenario of 60 actions through the controls, each compared."""
        random.seed(SEED)
        self.open()
        items = [3, 2, 3, 4, 5]
        for step in range(60):
            kind = random.randrange(9)
            if kind <= 1:
                box = random.randrange(5)
                Select(self.el(f'option-{box}')).select_by_index(random.randrange(items[box]))
            elif kind == 2:
                self.type_limit(2 + random.randrange(4), f'{random.uniform(0, 400):.2f}')
            elif kind == 3:
                self.el(f'lock-{random.randrange(3)}').click()
            elif kind == 4:
                self.el('best').click()
            elif kind == 5:
                self.slider_to(0, random.randrange(35))
            elif kind == 6:
                self.slider_to(1, random.randrange(67))
            elif kind == 7:
                self.slider_to(5, f'{random.uniform(0, 1.5):.2f}')
            else:
                key = random.choice([Keys.ARROW_UP, Keys.ARROW_DOWN, Keys.PAGE_DOWN])
                self.el(f'slider-{random.choice([0, 1, 4, 5])}').send_keys(key)
            states = replay(self.log())
            with self.subTest(step=step, action=self.log()[-1:]):
                self.assertEqual(self.fields(), states[-1]['state']['fields'])
                self.assertEqual(self.labels(),
                                 {s: states[-1]['state']['labels'][s] for s in LABELS})
        self.assertGreaterEqual(len(self.log()), 50)
        self.assert_no_console_errors()
        # The address of the view reached opens the same view.
        self.js('window.cpuWidget.flushLink()')
        shown, url = self.fields(), self.driver.current_url
        self.open(url[url.index('?'):])
        self.assertEqual(self.fields(), shown, url)
        self.assertEqual(self.messages(), '')

    def test_map_tooltip(self):
        self.open('?node=32nm&memory=3d')
        canvas = self.el('map')
        # Near the bottom left corner: the cell of 1 or 2 cores and 1 MB shows its figures.
        box = self.js('const r = document.getElementById("map").getBoundingClientRect();'
                      'return [r.width, r.height]')
        ActionChains(self.driver).move_to_element_with_offset(
            canvas, int(-box[0] / 2 + 60), int(box[1] / 2 - 45)).perform()
        tip = self.el('map-tip')
        self.assertTrue(tip.is_displayed())
        self.assertIn('core', tip.text)
        self.assertIn('MB', tip.text)
        self.assert_no_console_errors()


if __name__ == '__main__':
    unittest.main(argv=[sys.argv[0], '-v'])
