"""A picture of the page in headless Chromium, for the README:

    screenshot.py PAGE_DIR OUT.png WIDTH HEIGHT [QUERY [ELEMENT_ID]]

With an element's id, the page is scrolled to put that element at the top first.
"""
import os
import subprocess
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

page_dir, out, width, height = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
query = sys.argv[5] if len(sys.argv) > 5 else ''
element = sys.argv[6] if len(sys.argv) > 6 else ''
server = subprocess.Popen(['/usr/bin/python3', '-m', 'http.server', '0', '--bind', '127.0.0.1'],
                          cwd=page_dir, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                          env=dict(os.environ, PYTHONUNBUFFERED='1'))
port = int(server.stdout.readline().split(' port ')[1].split()[0])
options = webdriver.ChromeOptions()
options.binary_location = '/usr/bin/chromium'
for flag in ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
             '--disable-background-networking', '--disable-component-update', '--disable-sync',
             '--hide-scrollbars', '--user-data-dir=' + tempfile.mkdtemp(prefix='cpu-widget-shot-'),
             f'--window-size={width},{height}']:
    options.add_argument(flag)
driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
try:
    driver.execute_cdp_cmd('Emulation.setDeviceMetricsOverride',
                           {'width': width, 'height': height, 'deviceScaleFactor': 1,
                            'mobile': width < 600})
    driver.get(f'http://127.0.0.1:{port}/index.html{query}')
    while not driver.execute_script('return !!(window.cpuWidget && window.cpuWidget.ready)'):
        time.sleep(0.05)
    time.sleep(0.3)  # the analysis follows the first result
    if element:
        driver.execute_script('document.getElementById(arguments[0]).scrollIntoView()', element)
        time.sleep(0.2)
    driver.save_screenshot(out)
finally:
    driver.quit()
    server.terminate()
    server.wait()
