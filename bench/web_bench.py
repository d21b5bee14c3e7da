"""The web page's speed in headless Chromium, from a local server (make bench):
- from opening the page to the first result on show (the figures painted; the map, explain and
  the budget follow), in a fresh browser each time (nothing cached) and then reloaded in the
  same one; beside it, side by side, an empty page of one module script that records
  performance.now() when it runs, in as many fresh browsers: the page's first result should
  come within twice the empty page's first script run; and, in as many fresh browsers, the
  floor under any page's first result: a page of one paragraph that only preloads and compiles
  the engine, opens and searches as the page does, and writes the speedup (bench/web_floor.js,
  bundled here with the engine's loader);
- the worst option change: every item of every option box chosen in turn, each answered and
  the map redrawn, timed inside the page (median of 3 rounds per change, the worst change);
- the total size of the page's files, the engine included.

    web_bench.py PAGE_DIR ENGINE_JS
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select

PAGE_DIR, ENGINE_JS = sys.argv[1:3]
HERE = os.path.dirname(os.path.abspath(__file__))


def browser():
    options = webdriver.ChromeOptions()
    options.binary_location = '/usr/bin/chromium'
    for flag in ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
                 '--disable-background-networking', '--disable-component-update',
                 '--disable-sync', '--disable-dev-shm-usage',
                 '--user-data-dir=' + tempfile.mkdtemp(prefix='cpu-widget-bench-'),
                 '--window-size=1400,1000']:
        options.add_argument(flag)
    return webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)


def open_page(driver, url):
    driver.get(url)
    for _ in range(400):
        if driver.execute_script('return !!(window.cpuWidget && window.cpuWidget.ready)'):
            return driver.execute_script('return window.cpuWidget.firstResultMs')
        time.sleep(0.02)
    raise RuntimeError('the page did not start')


EMPTY_PAGE = """<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>empty</title>
<script type="module">window.firstRun = performance.now();</script>
</head><body></body></html>
"""


FLOOR_PAGE = """<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>floor</title>
<link rel="preload" href="engine.wasm" as="fetch" crossorigin>
<script>self.engineWasm = WebAssembly.compileStreaming(fetch('engine.wasm'));</script>
<script type="module">SCRIPT</script>
</head><body><p id="speedup">Speedup</p></body></html>
"""


def floor_page(folder):
    """The floor page's script and the engine's loader as one module, inside the page."""
    work = tempfile.mkdtemp(prefix='cpu-widget-bench-floor-')
    shutil.copy(os.path.join(HERE, 'web_floor.js'), work)
    shutil.copy(ENGINE_JS, os.path.join(work, 'engine.js'))
    bundle = os.path.join(work, 'floor.min.js')
    subprocess.run(['esbuild', os.path.join(work, 'web_floor.js'), '--bundle', '--format=esm',
                    '--minify', '--log-level=warning', f'--outfile={bundle}'], check=True)
    with open(bundle) as f:
        script = f.read().strip()
    if '</script' in script.lower():
        sys.exit('web_bench.py: the floor page\'s script would end its element early')
    with open(os.path.join(folder, 'floor.html'), 'w') as f:
        f.write(FLOOR_PAGE.replace('SCRIPT', script))
    shutil.rmtree(work)


def open_empty(driver, url):
    driver.get(url)
    for _ in range(400):
        ms = driver.execute_script('return window.firstRun')
        if ms is not None:
            return ms
        time.sleep(0.02)
    raise RuntimeError('the empty page did not run')


def main():
    # The page's files and the empty page served from one folder, so both go the same way.
    served = tempfile.mkdtemp(prefix='cpu-widget-bench-page-')
    for name in os.listdir(PAGE_DIR):
        shutil.copy(os.path.join(PAGE_DIR, name), served)
    with open(os.path.join(served, 'empty.html'), 'w') as f:
        f.write(EMPTY_PAGE)
    floor_page(served)
    server = subprocess.Popen(['/usr/bin/python3', '-m', 'http.server', '0', '--bind', '127.0.0.1'],
                              cwd=served, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              text=True, env=dict(os.environ, PYTHONUNBUFFERED='1'))
    port = int(server.stdout.readline().split(' port ')[1].split()[0])
    url = f'http://127.0.0.1:{port}/index.html'
    try:
        cold, empty, floor = [], [], []
        for _ in range(5):  # side by side: an empty page, the floor, the page, each in a fresh browser
            for runs, opener, address in [(empty, open_empty, f'http://127.0.0.1:{port}/empty.html'),
                                          (floor, open_page, f'http://127.0.0.1:{port}/floor.html'),
                                          (cold, open_page, url)]:
                driver = browser()
                try:
                    runs.append(opener(driver, address))
                finally:
                    driver.quit()
        driver = browser()
        try:
            warm = [open_page(driver, url) for _ in range(6)][1:]
            changes = {}
            for _ in range(3):
                for box in range(5):
                    select = Select(driver.find_element(By.ID, f'option-{box}'))
                    count = len(select.options)
                    for item in list(range(1, count)) + [0]:
                        select.select_by_index(item)
                        ms = driver.execute_script('return window.cpuWidget.lastActionMs')
                        changes.setdefault((box, item), []).append(ms)
            medians = {k: statistics.median(v) for k, v in changes.items()}
            worst = max(medians, key=medians.get)
            names = ['workload', 'memory', 'transistor', 'core', 'node']
        finally:
            driver.quit()
    finally:
        server.terminate()
        server.wait()
        shutil.rmtree(served)
    # What opening index.html loads, and the model's equations (model.html, with the pictures
    # it shows) beside it, which only a link opens.
    equations_files = ['model.html'] + [f for f in os.listdir(PAGE_DIR) if f.endswith('.png')]
    files = [f for f in os.listdir(PAGE_DIR) if f not in equations_files]
    size = sum(os.path.getsize(os.path.join(PAGE_DIR, f)) for f in files)
    equations = sum(os.path.getsize(os.path.join(PAGE_DIR, f)) for f in equations_files)
    print('Web page, headless Chromium, local server:')
    print(f'  first result on show, fresh browser: median {statistics.median(cold):.0f} ms '
          f'(runs: {", ".join(f"{c:.0f}" for c in cold)})')
    print(f'  empty page\'s first script run:      median {statistics.median(empty):.0f} ms '
          f'(runs: {", ".join(f"{c:.0f}" for c in empty)}); the page takes '
          f'{statistics.median(cold) / statistics.median(empty):.2f}x (target: at most 2x)')
    print(f'  floor: the engine\'s first result alone: median {statistics.median(floor):.0f} ms '
          f'(runs: {", ".join(f"{c:.0f}" for c in floor)}); '
          f'{statistics.median(floor) / statistics.median(empty):.2f}x the empty page')
    print(f'  first result on show, reloaded:      median {statistics.median(warm):.0f} ms '
          f'(runs: {", ".join(f"{c:.0f}" for c in warm)})')
    print(f'  worst option change + map redrawn:   {medians[worst]:.1f} ms '
          f'({names[worst[0]]} item {worst[1]}; median of 3; all changes: median '
          f'{statistics.median(medians.values()):.1f} ms)')
    print(f'  page files in all:                   {size / 1024:.0f} KiB ({size} bytes; target: '
          f'under 600 KiB); model.html and its pictures beside it {equations / 1024:.0f} KiB')


if __name__ == '__main__':
    main()
