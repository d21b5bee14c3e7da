"""The page as a class reads it, in headless Chromium: the map's colours and legend against the
tool's plot, which speedup is which, typed limits refused rather than changed, the map's
cursor, clicks and edge note, help on every control, and the small slips of wording. Figures
are checked against cpu-widget-cli.

    class_page_test.py PAGE_DIR WEB_REPLAY CPU_WIDGET_CLI MODELS_DIR
"""
import os
import re
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import browser_test  # noqa: E402  (reads the same arguments)
from browser_test import CLI, cli_search  # noqa: E402
from selenium.webdriver.common.action_chains import ActionChains  # noqa: E402
from selenium.webdriver.common.keys import Keys  # noqa: E402
from selenium.webdriver.support.ui import Select  # noqa: E402

# The map's margins in CSS pixels (draw.js): where a cell's centre lies on the canvas.
CELL_CENTRE = """
  const [cache, cores] = arguments[0], c = document.getElementById('map');
  const m = window.cpuWidget.model(), w = c.clientWidth, h = c.clientHeight;
  const cw = (w - 52 - 12) / m.core_counts.length, ch = (h - 10 - 40) / m.cache_sizes.length;
  return [52 + (cores + 0.5) * cw, 10 + (m.cache_sizes.length - 1 - cache + 0.5) * ch];
"""
PIXEL = """
  const c = document.getElementById('map'), r = window.devicePixelRatio || 1;
  return [...c.getContext('2d').getImageData(Math.round(arguments[0] * r),
                                             Math.round(arguments[1] * r), 1, 1).data];
"""


AXE = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'node_modules',
                   'axe-core', 'axe.min.js')


def tool_note(*args):
    """The tool's note on a best configuration at the end of an axis, the part in brackets."""
    err = subprocess.run([CLI, 'search', *args], capture_output=True, text=True,
                         check=True).stderr
    found = re.search(r'end of an axis of the design space \((.*)\);', err)
    return found.group(1) if found else ''


class ClassPage(browser_test.Page):
    def wait_analysed(self):
        for _ in range(100):
            if self.js('return window.cpuWidget.analysedAfter === window.cpuWidget.log.length'):
                return
            time.sleep(0.05)
        self.fail('no analysis')

    def set_width(self, width):
        """The viewport width in CSS pixels (a phone's too, narrower than a window can be);
        None: the window's own."""
        if width is None:
            self.driver.execute_cdp_cmd('Emulation.clearDeviceMetricsOverride', {})
            return
        self.driver.execute_cdp_cmd('Emulation.setDeviceMetricsOverride', {
            'width': width, 'height': 900, 'deviceScaleFactor': 1, 'mobile': width < 600})

    def data(self, id):
        return self.js('return document.getElementById(arguments[0]).dataset.value', id)

    def shown(self, id):
        return self.js('return !document.getElementById(arguments[0]).hidden && '
                       'document.getElementById(arguments[0]).offsetParent !== null', id)

    # -- honest colours and one "best" ----------------------------------------------------------

    def test_colour_scale_spans_the_configurations_that_meet_the_limits(self):
        self.open()
        scale = self.js('const e = document.querySelector("#map-legend [data-scale-max]");'
                        'return [e.dataset.scaleMin, e.dataset.scaleMax, e.textContent]')
        # The default view's step is the search's own (1.0): its best within the limits is the
        # tool's best with that step held, far below the highest speedup that breaks a limit.
        best = cli_search('--scale', '1.0')['speedup']
        self.assertEqual(scale[0], '0')
        self.assertEqual(float(scale[1]), float(best))
        self.assertIn(f'{float(best):.2f}', scale[2])
        overall = self.js('return Math.max(...window.cpuWidget.mapScaleTops())')
        self.assertGreater(overall, 5 * float(best))
        # The best cell is drawn in the scale's top colour, the tool's yellow (somewhere inside
        # it: limit lines run along its edges).
        cell = self.js('return window.cpuWidget.mapBest()')
        x, y = self.js(CELL_CENTRE, cell)
        inside = [self.js(PIXEL, x + dx, y + dy)[:3] for dx in (-6, 0, 6) for dy in (-2, 0, 2)]
        self.assertIn([253, 231, 37], inside)
        # Nothing meets an area of 1 mm^2: the legend says so.
        self.type_limit(2, '1')
        self.assertIn('No configuration at this scale step meets the limits',
                      self.el('map-legend').text)
        self.assert_no_console_errors()

    def test_which_speedup_is_which_and_the_note_offering_a_search(self):
        self.open()
        self.assertFalse(self.shown('unsearched'))
        Select(self.el('option-4')).select_by_visible_text('32nm')
        self.wait_analysed()
        self.assertEqual(self.log()[-1], 'option 4 3')
        self.assertTrue(self.shown('unsearched'))
        self.assertEqual(self.data('which-shown'), self.fields()['speedup'])
        tool = cli_search('--node', '32nm')['speedup']
        self.assertEqual(self.data('which-limits'), tool)  # explain's best, bit for bit
        self.assertEqual(self.data('which-step'),
                         self.js('return document.querySelector("[data-scale-max]")'
                                 '.dataset.scaleMax'))
        # A typed limit evaluates and does not search; the note stays and offers the search.
        self.type_limit(3, '50')
        self.assertEqual(self.log()[-1], 'limit 3 50')
        self.assertTrue(self.shown('unsearched'))
        self.el('best-again').click()
        self.assertEqual(self.log()[-1], 'best')
        self.assertFalse(self.shown('unsearched'))
        self.assert_as_cli(cli_search('--node', '32nm', '--power', '50'))
        self.assert_no_console_errors()

    # -- limits refused, not clamped ------------------------------------------------------------

    def test_limits_out_of_range_or_unreadable_are_refused(self):
        self.open()
        cases = [('5000', '5000 is out of range'), ('-20', '-20 is out of range'),
                 ('abc', "'abc' is not a number"), ('1e999', "'1e999' is not a number"),
                 ('1,000', "'1,000' is ambiguous"), (' ', 'nothing typed'),
                 ('x' * 5000, "'xxxxxxxxxxxxxxxxxxxxxxxx… (5000 characters)' is not a number")]
        for typed, why in cases:
            with self.subTest(typed=typed):
                before, log = self.fields(), len(self.log())
                self.type_limit(3, typed)
                text = self.messages()
                self.assertIn(f'Power limit: {why}', text)
                self.assertIn('accepted: a number from 0 to 1000 (W); it stays 102 W.', text)
                self.assertEqual(len(self.log()), log)  # nothing sent to the engine
                self.assertEqual(self.fields(), before)
                self.assertEqual(self.el('limit-3').get_attribute('value'), '102')
                self.assertLess(len(text), 400)
        # A decimal comma is read as the decimal point it stands for.
        self.type_limit(3, '12,5')
        self.assertEqual(self.log()[-1], 'limit 3 12.5')
        self.assertEqual(self.messages(), '')
        self.el('best').click()
        self.assert_as_cli(cli_search('--power', '12.5'))
        self.assert_no_console_errors()

    # -- the map for a class --------------------------------------------------------------------

    def test_limit_lines_in_the_plots_colours_and_dash_patterns(self):
        self.open('?memory=3d')
        svg = os.path.join(tempfile.mkdtemp(prefix='cpu-widget-plot-'), 'map.svg')
        subprocess.run([CLI, 'plot', '--memory', '3d', '-o', svg], capture_output=True,
                       check=True)
        with open(svg) as f:
            text = f.read()
        tool = set()
        for style in re.findall(r'style="fill:none;stroke-width:2.5;[^"]*"', text):
            colour = re.search(r'stroke:rgb\(([^)]*)\)', style).group(1)
            dash = re.search(r'stroke-dasharray:([^;]*)', style)
            tool.add((colour, dash.group(1) if dash else ''))
        page = self.js("""
            return [...document.querySelectorAll('#map-legend li[data-limit]')].map((li) => {
              const l = li.querySelector('line'), c = l.getAttribute('stroke');
              const pct = [1, 3, 5].map((i) => Math.round(parseInt(c.slice(i, i + 2), 16) / 2.55) + '%');
              const d = l.getAttribute('stroke-dasharray');
              return [li.dataset.limit, pct.join(','), d === 'none' ? '' : d.replaceAll(' ', ',')];
            })""")
        self.assertEqual([p[0] for p in page], ['area', 'power', 'off-chip bandwidth',
                                                'TSV bandwidth'])
        self.assertEqual({(p[1], p[2]) for p in page}, tool)
        self.assertEqual(len(tool), 4)
        self.assert_no_console_errors()

    def test_coinciding_limit_lines_both_show(self):
        self.open()
        # A made-up map of the model's axes where the area and power limits cut along the same
        # edge: every core count from the tenth on breaks both.
        colours = self.js("""
            const m = window.cpuWidget.model(), n = m.core_counts.length, rows = m.cache_sizes.length;
            const cells = n * rows, breaks = [], speedup = new Float64Array(cells).fill(1);
            for (let i = 0; i < cells; i++) breaks.push(i % n >= 10 ? 3 : 0);
            const fake = { speedup, breaks, limits: [{}, {}, null, null], best: null, shown: null,
                           core_ticks: [], cache_ticks: [] };
            const c = document.getElementById('map');
            return Promise.resolve(window.cpuWidget).then((d) => {
              d.drawMap(c, fake, m);
              const w = c.clientWidth, r = window.devicePixelRatio || 1;
              const x = 52 + 10 * (w - 64) / n, y = (10 + c.clientHeight - 40) / 2;
              const g = c.getContext('2d'), seen = new Set();
              for (let dx = -5; dx <= 5; dx++)
                for (let dy = -12; dy <= 12; dy++)
                  seen.add([...g.getImageData(Math.round((x + dx) * r), Math.round((y + dy) * r), 1, 1).data].slice(0, 3).join(','));
              return [...seen];
            });""")
        self.assertIn('219,20,20', colours)   # area, solid red, in the gaps of
        self.assertIn('255,128,0', colours)   # power, dashed orange over it
        self.assert_no_console_errors()

    def test_tooltip_stays_inside_the_window(self):
        self.driver.set_window_size(1366, 900)
        self.open('?node=32nm&memory=3d')
        canvas = self.el('map')
        w, h = self.js('const r = document.getElementById("map").getBoundingClientRect();'
                       'return [r.width, r.height]')
        for fx, fy in [(0.98, 0.9), (0.98, 0.1), (0.5, 0.5), (0.12, 0.9)]:
            with self.subTest(at=(fx, fy)):
                ActionChains(self.driver).move_to_element_with_offset(
                    canvas, int(w * (fx - 0.5)), int(h * (fy - 0.5))).perform()
                tip = self.js('const r = document.getElementById("map-tip")'
                              '.getBoundingClientRect(); return [r.left, r.right, r.width]')
                self.assertTrue(self.el('map-tip').is_displayed())
                self.assertGreaterEqual(tip[0], 0)
                self.assertLessEqual(tip[1], self.js('return window.innerWidth'))
                self.assertGreater(tip[2], 150)  # not squeezed against the edge
                self.assertLessEqual(self.js('return document.documentElement.scrollWidth'),
                                     self.js('return window.innerWidth'))
        self.driver.set_window_size(1400, 1000)

    def test_cursor_drawn_and_enter_or_click_puts_a_cell_on_show(self):
        self.open('?node=45nm&core=ARM')
        model = self.js('return window.cpuWidget.model()')
        canvas = self.el('map')
        # The cursor shows once the map has the keyboard, on the cell on show.
        unfocused = self.js('return document.getElementById("map").toDataURL()')
        self.js('document.getElementById("map").focus()')
        self.assertNotEqual(self.js('return document.getElementById("map").toDataURL()'),
                            unfocused)
        self.assertEqual(self.js('return window.cpuWidget.mapCursor'),
                         self.js('return window.cpuWidget.mapBest()'))
        canvas.click()
        cores, cache = model['core_counts'].index(64), model['cache_sizes'].index(4)
        # The click put a cell on show; now the keyboard: to 64 cores and 4 MB, then Enter.
        self.js('window.cpuWidget.setMapCursor(arguments[0])', [cache, cores - 1])
        before = self.js('return document.getElementById("map").toDataURL()')
        canvas.send_keys(Keys.ARROW_RIGHT)
        self.assertEqual(self.js('return window.cpuWidget.mapCursor'), [cache, cores])
        self.assertNotEqual(self.js('return document.getElementById("map").toDataURL()'), before)
        locks = self.js('return [0, 1, 2].map((i) => document.getElementById("lock-" + i).checked)')
        canvas.send_keys(Keys.ENTER)
        self.assert_as_replayed()
        self.assert_as_cli(cli_search('--node', '45nm', '--core', 'ARM', '--cores', '64',
                                      '--cache', '4'))
        self.assertEqual(
            self.js('return [0, 1, 2].map((i) => document.getElementById("lock-" + i).checked)'),
            locks)
        # A click on the cell of 16 cores and 2 MB, with the core count locked beforehand.
        self.el('lock-0').click()
        x, y = self.js(CELL_CENTRE, [model['cache_sizes'].index(2), model['core_counts'].index(16)])
        r = self.js('const r = document.getElementById("map").getBoundingClientRect();'
                    'return [r.width, r.height]')
        ActionChains(self.driver).move_to_element_with_offset(
            canvas, int(x - r[0] / 2), int(y - r[1] / 2)).click().perform()
        self.assert_as_replayed()
        self.assert_as_cli(cli_search('--node', '45nm', '--core', 'ARM', '--cores', '16',
                                      '--cache', '2'))
        self.assertTrue(self.el('lock-0').is_selected())
        self.assert_no_console_errors()

    def test_edge_note_as_the_tool_notes_it(self):
        for query, args in [('?core=ARM&node=20nm&memory=3d',
                             ['--core', 'ARM', '--node', '20nm', '--memory', '3d']),
                            ('', []), ('?node=45nm&core=ARM&cores=64', None)]:
            with self.subTest(query=query):
                self.open(query)
                note = self.el('map-edge').text
                if args is None:  # held dimensions are never at an edge; here none is free
                    self.assertNotIn('cores (', note)
                    continue
                expected = tool_note(*args)
                self.assertTrue(expected)
                self.assertIn(f'({expected})', note)
        self.open('?core=ARM&node=20nm&memory=3d')
        self.assertIn('most cores (192)', self.el('map-edge').text)
        # After an option change nothing is searched: no note about a best configuration.
        Select(self.el('option-4')).select_by_visible_text('32nm')
        self.assertEqual(self.el('map-edge').text, '')

    # -- every control and figure explained ----------------------------------------------------

    def test_help_on_every_control_linked_to_the_equations(self):
        self.open()
        for _ in range(100):
            if self.js('return !!document.getElementById("best").title'):
                break
            time.sleep(0.05)
        ids = self.js('return fetch("model.html").then((r) => r.text()).then((t) =>'
                      ' [...t.matchAll(/ id="([^"]+)"/g)].map((m) => m[1]))')
        self.assertIn('speedup', ids)
        # The window's controls and figures, the map, explain and the budget curve.
        controls = ['model-file', 'export-model', 'best', 'slider-0', 'slider-1', 'slider-5',
                    'slider-4', 'speedup-meter', 'gauge', 'map', 'explain', 'budget-limit',
                    'budget'] + [f'option-{i}' for i in range(5)] + \
            [f'lock-{i}' for i in range(3)] + [f'limit-{s}' for s in range(2, 6)]
        for id in controls:
            with self.subTest(control=id):
                if id.startswith('budget') and not self.js(
                        'return !!document.getElementById(arguments[0])', id):
                    continue  # the budget's controls, where the page has them
                title, section = self.js('const e = document.getElementById(arguments[0]);'
                                         'return [e.title, e.dataset.help]', id)
                self.assertGreater(len(title), 20)
                self.assertIn(section, ids)
        links = self.js('return [...document.querySelectorAll("#figures th a")]'
                        '.map((a) => a.getAttribute("href"))')
        self.assertEqual(len(links), 11)
        for href in links:
            self.assertIn(href.split('#')[1], ids)
        # Focus brings the help text and the link to the control's section.
        self.el('limit-4').click()
        self.assertIn('Off-chip bandwidth limit', self.el('help-text').text)
        self.assertTrue(self.el('help-more').get_attribute('href').endswith(
            'model.html#bandwidth-demand'))
        self.el('help').click()
        panel = self.el('help').text
        for words in ['The gauge', 'Binds and slack', 'A limit with slack can still bind',
                      'TSV', 'LOP/HP', 'Scale step']:
            self.assertIn(words, panel)
        binds = self.js('return document.querySelectorAll("#explain thead th")[4].title')
        self.assertIn('slack', binds)
        self.assert_no_console_errors()

    # -- accessibility --------------------------------------------------------------------------

    def axe_violations(self):
        if not self.js('return !!window.axe'):
            with open(AXE) as f:
                self.js(f.read())
        return self.driver.execute_async_script(
            'const done = arguments[arguments.length - 1];'
            'axe.run(document).then((r) => done(r.violations.map((v) => [v.id, v.impact,'
            ' v.nodes.map((n) => n.target.join(" ")).slice(0, 5)])), (e) => done([["axe", String(e)]]));')

    def test_axe_finds_no_violation_in_the_equations_page(self):
        self.assertTrue(os.path.exists(AXE), 'axe-core is missing: make web-deps')
        self.driver.set_script_timeout(60)
        try:
            for width in [1366, 390]:
                with self.subTest(width=width):
                    self.set_width(width)
                    self.driver.get(f'http://127.0.0.1:{self.port}/model.html#power')
                    self.assertEqual(self.axe_violations(), [])
                    self.assertLessEqual(
                        self.js('return document.documentElement.scrollWidth'), width)
        finally:
            self.set_width(None)

    def test_axe_finds_no_violation_in_any_view_at_any_width(self):
        self.assertTrue(os.path.exists(AXE), 'axe-core is missing: make web-deps')
        self.driver.set_script_timeout(60)
        model = os.path.join(tempfile.mkdtemp(prefix='cpu-widget-axe-'), 'parallel-0.95.toml')
        with open(os.path.join(browser_test.MODELS, 'parallel-0.95.toml')) as src, \
                open(model, 'w') as f:
            f.write(src.read())

        def load_model():
            self.el('model-file').send_keys(model)
            for _ in range(100):
                if self.el('model-pf').text == '0.95':
                    return
                time.sleep(0.05)

        def compare():
            # The comparison table: its pin button, when the page has one.
            if self.js('return !!document.getElementById("pin-design")'):
                self.el('pin-design').click()
                self.el('option-4').send_keys(Keys.DOWN)
                self.el('pin-design').click()

        views = [('default', '', None), ('90 nm', '?node=90nm', None),
                 ('3D 20 nm', '?node=20nm&memory=3d', None), ('model file', '', load_model),
                 ('comparison', '?node=32nm', compare)]
        try:
            for width in [1366, 1024, 390, 360]:
                self.set_width(width)
                for name, query, then in views if width != 360 else views[:1]:
                    with self.subTest(width=width, view=name):
                        self.open(query)
                        if then:
                            then()
                        self.wait_analysed()
                        self.assertEqual(self.axe_violations(), [])
                        # Nothing runs out sideways: every table readable in the width.
                        self.assertLessEqual(
                            self.js('return document.documentElement.scrollWidth'), width)
        finally:
            self.set_width(None)

    # -- loading --------------------------------------------------------------------------------

    def test_nothing_moves_while_the_page_fills_in(self):
        # Every layout shift from the start until the analysis is on show, as a phone and as a
        # desktop sees the page (the sum is the layout-shift score of one load).
        watch = self.driver.execute_cdp_cmd('Page.addScriptToEvaluateOnNewDocument', {
            'source': 'window.shifts = []; new PerformanceObserver((list) => {'
                      ' for (const e of list.getEntries()) if (!e.hadRecentInput)'
                      ' window.shifts.push(e.value); }).observe({type: "layout-shift",'
                      ' buffered: true});'})
        try:
            for width in [1366, 390]:
                with self.subTest(width=width):
                    self.set_width(width)
                    self.open('?node=32nm&memory=3d')
                    self.wait_analysed()
                    time.sleep(0.3)
                    self.assertLessEqual(self.js('return window.shifts.reduce((a, b) => a + b, 0)'),
                                         0.05)
        finally:
            self.driver.execute_cdp_cmd('Page.removeScriptToEvaluateOnNewDocument',
                                        {'identifier': watch['identifier']})
            self.set_width(None)

    # -- small faults ---------------------------------------------------------------------------

    def test_small_slips_of_wording(self):
        self.open()
        items = self.js('return [...document.querySelectorAll("#option-4 option")]'
                        '.map((o) => o.textContent.trim())')
        self.assertEqual(items, ['90nm', '65nm', '45nm', '32nm', '20nm'])
        self.assertFalse(self.shown('freq-note'))   # Vdd not locked: the slider moves
        self.el('lock-2').click()
        self.assertTrue(self.shown('freq-note'))
        self.el('lock-2').click()
        self.slider_to(0, 0)
        self.assertEqual(self.el('label-0').text, '1 core')
        self.assertEqual(self.data('label-0'), '1 cores')  # the window's own caption, kept
        self.assertTrue(self.el('label-16').text.startswith('TSV bandwidth:'))
        # The map's read-out and legend of the one-core cell say "1 core" too.
        self.open('?cores=1&cache=1')
        self.js('window.cpuWidget.setMapCursor([0, 1])')
        self.el('map').send_keys(Keys.ARROW_LEFT)
        self.assertTrue(self.el('map-cell').text.startswith('1 core, 1 MB L2 cache'),
                        self.el('map-cell').text)
        self.assertIn('1 core, 1 MB', self.el('map-legend').text)
        self.assertNotIn('1 cores', self.el('map-legend').text)
        units = self.js('return [2, 3, 4, 5].map((s) => '
                        'document.getElementById("limit-" + s).parentElement.textContent.trim())')
        for text, unit in zip(units, ['(mm²)', '(W)', '(GB/s)', '(GB/s)']):
            self.assertTrue(text.endswith(unit), text)
        self.assert_no_console_errors()


if __name__ == '__main__':
    loader = unittest.TestLoader()
    names = [n for n in ClassPage.__dict__ if n.startswith('test_')]
    suite = unittest.TestSuite(ClassPage(n) for n in sorted(names))
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)
