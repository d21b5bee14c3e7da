"""The page's class exercise in headless Chromium: the budget table, the comparison of pinned
designs and every file the page saves hold the command-line tool's CSV, bit for bit; links
restore the whole set-up and refuse what the tool refuses; Back, Forward and Undo step through
a session.

    exercise_test.py PAGE_DIR WEB_REPLAY CPU_WIDGET_CLI MODELS_DIR
"""
import csv
import io
import os
import subprocess
import sys
import tempfile
import time
import unittest
import xml.etree.ElementTree as ET
from urllib.parse import parse_qsl, urlsplit

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select

import browser_test as base

CLI = base.CLI


def tool(*args):
    """The tool's standard output for a command that must succeed."""
    return subprocess.run([CLI, *args], capture_output=True, text=True, check=True).stdout


def tool_refusal(*args):
    """The tool's message for a command line it refuses, without the program's name."""
    run = subprocess.run([CLI, *args], capture_output=True, text=True)
    assert run.returncode != 0, args
    return run.stderr.strip().split(': ', 1)[1]


def rows_of(text):
    return list(csv.DictReader(io.StringIO(text)))


class Exercise(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server = subprocess.Popen(
            ['/usr/bin/python3', '-m', 'http.server', '0', '--bind', '127.0.0.1'],
            cwd=base.PAGE_DIR, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
            env=dict(os.environ, PYTHONUNBUFFERED='1'))
        cls.port = int(cls.server.stdout.readline().split(' port ')[1].split()[0])
        cls.driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'),
                                      options=base.chromium_options())
        cls.downloads = tempfile.mkdtemp(prefix='cpu-widget-downloads-')
        cls.driver.execute_cdp_cmd('Page.setDownloadBehavior',
                                   {'behavior': 'allow', 'downloadPath': cls.downloads})

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.server.terminate()
        cls.server.wait()

    # -- the page -------------------------------------------------------------------------------

    def open(self, query=''):
        self.driver.get(f'http://127.0.0.1:{self.port}/index.html{query}')
        self.wait_until('window.cpuWidget && window.cpuWidget.ready && '
                        'window.cpuWidget.analysedAfter === window.cpuWidget.log.length')

    def wait_until(self, condition):
        for _ in range(200):
            if self.js(f'return !!({condition})'):
                return
            time.sleep(0.05)
        self.fail(f'not reached: {condition}; messages: {self.messages()}')

    def analysed(self):
        self.wait_until('window.cpuWidget.analysedAfter === window.cpuWidget.log.length')

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def el(self, id):
        return self.driver.find_element('id', id)

    def messages(self):
        return self.js('return document.getElementById("messages").textContent')

    def fields(self):
        return self.js('const o = {}; for (const e of document.querySelectorAll('
                       '"#figures [data-field]")) o[e.dataset.field] = e.dataset.value; return o;')

    def table(self, id):
        """Each data-row of a table as {data-field: data-value}."""
        return self.js('return [...document.querySelectorAll(`#${arguments[0]} [data-row]`)]'
                       '.map((r) => Object.fromEntries([...r.querySelectorAll("[data-field]")]'
                       '.map((c) => [c.dataset.field, c.dataset.value])))', id)

    def limits(self):
        """The limits in force as the tool's arguments (TSV with 3D memory only)."""
        values = [self.el(f'limit-{slot}').get_attribute('data-value') for slot in range(2, 6)]
        args = ['--area', values[0], '--power', values[1], '--bw', values[2]]
        stacked = Select(self.el('option-1')).first_selected_option.get_attribute('value') != '0'
        return args + (['--tsv', values[3]] if stacked else [])

    def download(self, button, name):
        path = os.path.join(self.downloads, name)
        if os.path.exists(path):
            os.remove(path)
        self.el(button).click()
        for _ in range(100):
            if os.path.exists(path) and os.path.getsize(path) > 0:
                time.sleep(0.1)
                with open(path, 'rb') as f:
                    return f.read()
            time.sleep(0.05)
        self.fail(f'{name} not saved')

    def query(self):
        self.js('window.cpuWidget.flushLink()')
        url = self.driver.current_url
        return url[url.index('?'):]

    def assert_no_console_errors(self):
        errors = [e for e in self.driver.get_log('browser') if e['level'] == 'SEVERE']
        self.assertEqual(errors, [])

    def set_budget(self, start, end, step):
        for name, text in (('start', start), ('end', end), ('step', step)):
            box = self.el(f'budget-{name}')
            box.clear()
            box.send_keys(text)
        self.el('budget-run').click()
        self.analysed()

    # -- the cases ------------------------------------------------------------------------------

    def test_budget_table_and_its_csv_are_the_tools(self):
        cases = [('?node=32nm&memory=3d', 'power', ('50', '200', '12.5')),
                 ('?core=ARM&node=20nm&power=80', 'area', ('40', '400', '30')),
                 ('?workload=Apache/Web&memory=3d&transistor=HP&node=45nm', 'tsv', ('0', '60', '4')),
                 ('?node=90nm', 'bandwidth', ('0', '30', '2.5'))]
        for query, limit, (start, end, step) in cases:
            with self.subTest(query=query, limit=limit):
                self.open(query)
                Select(self.el('budget-limit')).select_by_visible_text(
                    {'bandwidth': 'off-chip bandwidth', 'tsv': 'TSV bandwidth'}.get(limit, limit))
                self.analysed()
                self.set_budget(start, end, step)
                options = [a for pair in parse_qsl(query[1:]) if pair[0] not in ('power',)
                           for a in (f'--{pair[0]}', pair[1])]
                expected = tool('budget', *options, *self.limits(), '--vary',
                                f'{limit}={start}:{end}:{step}', '--binding', '--format', 'csv')
                rows = rows_of(expected)
                page = self.table('budget-table')
                self.assertEqual(len(page), len(rows))
                self.assertGreater(len(rows), 5)
                for shown, row in zip(page, rows):
                    self.assertIn('speedup', shown)
                    self.assertIn('binding', shown)
                    for field, value in shown.items():
                        self.assertEqual(value, row[field], field)
                saved = self.download('download-budget-csv', 'budget.csv')
                self.assertEqual(saved.decode(), expected)
        self.assert_no_console_errors()

    def test_pinned_designs_are_the_tools_and_a_link_keeps_them(self):
        self.open('?node=45nm&core=ARM&cores=64')
        self.el('pin-design').click()
        Select(self.el('option-4')).select_by_visible_text('20nm')
        self.el('best').click()
        self.el('pin-design').click()
        self.analysed()
        self.set_budget('60', '140', '20')
        self.js('document.querySelectorAll("#budget-table .pin-point")[2].click()')
        limits = self.limits()
        requests = [['--node', '45nm', '--core', 'ARM', '--cores', '64', '--bw',
                     self.table('compare-table')[0]['bandwidth_limit_gbps']],
                    ['--node', '20nm', '--core', 'ARM', *limits],
                    ['--node', '20nm', '--core', 'ARM', *limits[:3], '100', *limits[4:]]]
        expected = [tool('search', *r, '--format', 'csv') for r in requests]
        page = self.table('compare-table')
        self.assertEqual(len(page), 3)
        for shown, out in zip(page, expected):
            row = rows_of(out)[0]
            self.assertEqual(shown, row)  # every column of the tool's, each written as the tool
        self.assertEqual(page[0]['cores'], '64')
        self.assertEqual(page[2]['power_limit_w'], '100')
        saved = self.download('download-compare-csv', 'comparison.csv').decode()
        self.assertEqual(saved, expected[0] + ''.join(out.split('\n', 1)[1] for out in expected[1:]))
        # The link brings the same comparison back; a removed design leaves it.
        query = self.query()
        self.open(query)
        self.assertEqual(self.messages(), '')
        self.assertEqual(self.table('compare-table'), page)
        self.js('document.querySelectorAll("#compare-table button")[1].click()')
        self.assertEqual(self.table('compare-table'), [page[0], page[2]])
        self.open(self.query())
        self.assertEqual(self.table('compare-table'), [page[0], page[2]])
        # Removed from the keyboard, the focus stays in the table, then on the heading.
        active = 'return document.activeElement.getAttribute("aria-label") || document.activeElement.id'
        self.el('compare-table').find_elements('css selector', 'button')[1].send_keys(Keys.ENTER)
        self.assertEqual(self.js(active), 'Remove design 1')
        self.driver.switch_to.active_element.send_keys(Keys.ENTER)
        self.assertEqual(self.js(active), 'compare-heading')
        self.assertEqual(self.table('compare-table'), [])
        self.assert_no_console_errors()

    def test_a_design_the_tool_cannot_state_is_not_pinned(self):
        # After an option change the window keeps the supply on show (0.8 V from 65 nm), which
        # the tool refuses at 32 nm: the page says so instead of pinning another design.
        self.open('?node=65nm')
        Select(self.el('option-4')).select_by_visible_text('32nm')
        self.assertEqual(self.fields()['vdd_v'], '0.8')
        self.el('pin-design').click()
        refusal = tool_refusal('search', '--node', '32nm', '--scale', '1', '--vdd', '0.8')
        self.assertIn(refusal[2:], self.messages())
        self.assertIn('"Best Performance"', self.messages())
        self.assertEqual(self.table('compare-table'), [])
        self.el('best').click()
        self.el('pin-design').click()
        self.assertEqual(self.messages(), '')
        self.assertEqual(self.table('compare-table')[0]['speedup'], self.fields()['speedup'])

    def test_a_model_file_keeps_the_pins_and_the_set_up(self):
        self.open('?node=32nm&budget=power:50:150:25')
        self.el('pin-design').click()
        pinned = self.table('compare-table')
        path = os.path.join(base.MODEL_FILES, 'parallel-0.95.toml')
        with open(os.path.join(base.MODELS, 'parallel-0.95.toml')) as source, open(path, 'w') as f:
            f.write(source.read())
        self.el('model-file').send_keys(path)
        self.wait_until('document.getElementById("model-pf").textContent === "0.95"')
        self.analysed()
        self.assertEqual(self.table('compare-table'), pinned)
        self.assertIn('budget=power:50:150:25', self.query())
        # The budget now is the model file's, the window as it opens: the tool's with the file.
        rows = rows_of(tool('budget', '--model', path, *self.limits(), '--vary',
                            'power=50:150:25', '--binding', '--format', 'csv'))
        self.assertEqual([r['speedup'] for r in self.table('budget-table')],
                         [r['speedup'] for r in rows])

    def test_figures_csv_is_the_tools_search(self):
        for query, args in (('?memory=3d&node=32nm&power=120', ['--memory', '3d', '--node', '32nm']),
                            ('?node=45nm&cores=64&cache=4', ['--node', '45nm', '--cores', '64',
                                                            '--cache', '4'])):
            self.open(query)
            saved = self.download('download-figures-csv', 'figures.csv').decode()
            expected = tool('search', *args, *self.limits(), '--format', 'csv')
            self.assertEqual(saved, expected)
            row = rows_of(saved)[0]
            self.assertEqual({f: row[f] for f in base.FIELDS}, self.fields())

    def test_pictures_carry_their_legends(self):
        self.open('?node=32nm&memory=3d')
        svg = self.download('download-map-svg', 'map.svg').decode()
        root = ET.fromstring(svg)  # well-formed
        texts = ' '.join(t.text or '' for t in root.iter('{http://www.w3.org/2000/svg}text'))
        for words in ('cores', 'L2 cache, MB', 'power limit', 'best:', 'Speedup 0',
                      'Colours span the configurations that meet the limits'):
            self.assertIn(words, texts)
        self.assertGreater(len(list(root.iter('{http://www.w3.org/2000/svg}rect'))), 35)
        curve = ET.fromstring(self.download('download-curve-svg', 'budget-curve.svg').decode())
        texts = ' '.join(t.text or '' for t in curve.iter('{http://www.w3.org/2000/svg}text'))
        for words in ('best speedup', 'power limit, W', 'power limit in force'):
            self.assertIn(words, texts)
        self.set_budget('100', '100', '1')  # one point: an axis around it, with round ticks
        curve = ET.fromstring(self.download('download-curve-svg', 'budget-curve.svg').decode())
        width = float(curve.get('width'))
        labels = {t.text: float(t.get('x')) for t in curve.iter('{http://www.w3.org/2000/svg}text')}
        self.assertIn('90', labels)
        self.assertIn('110', labels)
        self.assertFalse([text for text in labels if text and text.startswith('100.0')])
        self.assertLess(labels['110'], width)
        for button, name in (('download-map-png', 'map.png'), ('download-curve-png', 'budget-curve.png')):
            png = self.download(button, name)
            self.assertEqual(png[:8], b'\x89PNG\r\n\x1a\n')
            self.assertEqual(int.from_bytes(png[16:20], 'big'), 1440)  # 720 px at twice the size
        self.assert_no_console_errors()

    def test_link_restores_locks_budget_and_pins(self):
        query = ('?node=32nm&memory=3d&cores=64&locks=cores,vdd&budget=area:100:300:25'
                 '&pins=node:32nm,core:ASIC,power:90+node:65nm')
        self.open(query)
        self.assertEqual(self.messages(), '')
        self.assertEqual([self.el(f'lock-{i}').is_selected() for i in range(3)], [True, False, True])
        self.assertEqual(self.el('budget-limit').get_attribute('value'), '0')
        self.assertEqual([self.el(f'budget-{k}').get_attribute('value') for k in ('start', 'end', 'step')],
                         ['100', '300', '25'])
        self.assertEqual(len(self.table('budget-table')), 9)
        pins = self.table('compare-table')
        self.assertEqual([p['core'] for p in pins], ['ASIC', 'Niagara'])
        self.assertEqual(pins[0], rows_of(tool('search', '--node', '32nm', '--core', 'ASIC',
                                               '--power', '90', '--format', 'csv'))[0])
        # The curve's points read by keyboard: the last one's design, as its table row.
        self.el('budget').send_keys(Keys.END)
        last = self.table('budget-table')[-1]
        point = self.el('budget-point').text
        self.assertIn(f"area limit {last['area_limit_mm2']} mm²: best speedup "
                      f"{float(last['speedup']):.4f} with {last['cores']} cores", point)
        written = dict(parse_qsl(urlsplit(self.driver.current_url).query))
        self.assertEqual(written['locks'], 'cores,vdd')
        self.assertEqual(written['budget'], 'area:100:300:25')
        self.assertEqual(len(written['pins'].split(' ')), 2)
        # The locked core count snaps back: the link's locks are in force.
        log = len(self.js('return window.cpuWidget.log'))
        base.Page.slider_to(self, 0, 3)
        self.assertEqual(self.fields()['cores'], '64')
        self.assertGreater(len(self.js('return window.cpuWidget.log')), log)
        self.assert_no_console_errors()

    def test_link_parameters_refused_as_the_tool_refuses(self):
        # Each refused parameter is named, with the tool's own words where it has them.
        cases = [('cores=0x8', ['--cores', '0x8'], 'cores: 0x8'),
                 ('cores=0b1000', ['--cores', '0b1000'], 'cores: 0b1000'),
                 ('scale=1&vdd=1.5', ['--scale', '1', '--vdd', '1.5'], None),
                 ('scale=1&freq=0', ['--scale', '1', '--freq', '0'], 'freq: 0 is out of range'),
                 ('scale=0.7&freq=9', ['--scale', '0.7', '--freq', '9'], None)]
        for params, args, words in cases:
            with self.subTest(params=params):
                refusal = tool_refusal('search', '--node', '32nm', *args)
                self.open(f'?node=32nm&{params}')
                self.assertIn(words or refusal[2:], self.messages())
        # A parameter given twice is refused whole, not read as its first value.
        self.open('?node=32nm&power=80&power=120')
        self.assertIn('power: given 2 times', self.messages())
        default = rows_of(tool('search', '--node', '32nm', '--format', 'csv'))[0]
        self.assertEqual(self.fields()['speedup'], default['speedup'])
        self.assertNotIn('power=', self.query())
        # A pinned design the tool would refuse is named and left out; the others are pinned.
        self.open('?node=32nm&pins=node:32nm,cores:7+node:20nm+colour:red')
        for words in ("pins: design 1 (node:32nm,cores:7): cores: '7' is not on the axis",
                      "pins: design 3 (colour:red): 'colour:red' is not name:value"):
            self.assertIn(words, self.messages())
        self.assertEqual([p['node'] for p in self.table('compare-table')], ['20nm'])
        # A parameter too long to be meant is refused before it reaches the engine.
        self.open('?node=32nm&budget=power:1:' + '9' * 30000 + ':1&pins=node:' + 'x' * 30000)
        for name in ('budget: 30010 characters long', 'pins: 30005 characters long'):
            self.assertIn(name, self.messages())
        self.assertEqual(self.fields()['speedup'], default['speedup'])
        # What the tool accepts the link accepts.
        self.open('?node=32nm&scale=0.7&vdd=0.6')
        self.assertEqual(self.messages(), '')
        self.assertEqual(self.fields()['vdd_v'], '0.6')

    def test_budget_range_refused_or_read_as_meant(self):
        self.open('?node=32nm')
        self.set_budget('50', '150', '25')
        before = self.table('budget-table')
        self.assertEqual(len(before), 5)
        for start, end, step, words in (('300', '100', '10', 'start 300 is above end 100'),
                                         ('0', '100', '0', 'step 0 is not above 0'),
                                         ('0x10', '100', '10', 'not START:END:STEP with numbers'),
                                         ('0', '100000', '1', 'too many'),
                                         # More points than a 32-bit count holds: counted
                                         # and refused in the tool's words.
                                         ('50', '200', '1e-8', tool_refusal(
                                             'budget', '--vary', 'power=50:200:1e-8')),
                                         ('50', '200', '1e-300', tool_refusal(
                                             'budget', '--vary', 'power=50:200:1e-300'))):
            self.set_budget(start, end, step)
            self.assertIn(words, self.messages())
            self.assertEqual(self.table('budget-table'), before)  # nothing changes
            self.assertEqual(self.el('budget-start').get_attribute('value'), '50')
        # A pasted megabyte of digits is refused before it reaches the engine.
        self.js('document.getElementById("budget-end").value = "1".repeat(1500000);'
                'document.getElementById("budget-run").click()')
        self.assertIn('not START:END:STEP with numbers', self.messages())
        self.assertEqual(self.table('budget-table'), before)
        self.set_budget('50', '150', '12,5')  # a decimal comma, as meant
        self.assertEqual(self.messages(), '')
        self.assertEqual([r['power_limit_w'] for r in self.table('budget-table')][:3],
                         ['50', '62.5', '75'])
        self.set_budget('100', '100', '1')  # one point, so named
        self.assertEqual(len(self.table('budget-table')), 1)
        self.assertIn('(1 point)', self.el('budget-note').text)

    def test_history_back_forward_and_undo(self):
        self.open('?node=65nm')
        speedup = lambda: self.fields()['speedup']
        shown = [speedup()]
        self.assertIsNotNone(self.el('undo').get_attribute('disabled'))
        Select(self.el('option-4')).select_by_visible_text('32nm')  # the design on show at 32nm
        self.js('window.cpuWidget.flushLink()')
        shown.append(speedup())
        self.el('best').click()
        self.js('window.cpuWidget.flushLink()')
        shown.append(speedup())
        self.assertEqual(len(set(shown)), 3)
        self.el('pin-design').click()
        self.assertEqual(len(self.table('compare-table')), 1)
        showing = 'document.querySelector("#figures [data-field=speedup]").dataset.value === '
        self.driver.back()  # the pin undone
        self.wait_until('document.querySelectorAll("#compare-table [data-row]").length === 0')
        self.assertEqual(speedup(), shown[2])
        self.driver.back()
        self.wait_until(f'{showing}"{shown[1]}"')
        self.assertEqual(self.messages(), '')
        self.driver.forward()
        self.wait_until(f'{showing}"{shown[2]}"')
        self.driver.forward()
        self.wait_until('document.querySelectorAll("#compare-table [data-row]").length === 1')
        # Undo steps back as Back does, down to the view the page opened with, here from the
        # keyboard: once nothing is left to undo, the focus stays beside the button.
        self.js('document.getElementById("undo").focus()')
        for expected in (shown[2], shown[1], shown[0]):
            self.driver.switch_to.active_element.send_keys(Keys.ENTER)
            self.wait_until(f'{showing}"{expected}"')
        self.wait_until('document.getElementById("undo").disabled')
        self.assertEqual(self.js('return document.activeElement.id'), 'link')
        self.assertIn('node=65nm', self.driver.current_url)
        # What the page shows after restoring views is what its engine gives for its log.
        state = base.replay(self.js('return window.cpuWidget.log'))[-1]['state']
        self.assertEqual(self.fields(), state['fields'])
        self.assert_no_console_errors()


if __name__ == '__main__':
    # The first four arguments are browser_test's (read on import); any more name tests to run.
    unittest.main(argv=[sys.argv[0], '-v', *sys.argv[5:]])
