"""Lighthouse (npm, pinned in package.json; make web-deps) on the web page from a local server,
as a phone and as a desktop sees it (make bench): the accessibility, best-practices and
performance scores, the layout shift (CLS), the largest contentful paint and the total
blocking time, each the median of RUNS runs in a fresh headless Chromium, beside its target.
Lighthouse simulates a slow phone from what it observes, so on a busy machine its performance
figures move from run to run; the load average is printed with them.

    web_lighthouse.py PAGE_DIR [RUNS]
"""
import json
import os
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
LIGHTHOUSE = os.path.join(HERE, '..', 'node_modules', '.bin', 'lighthouse')
FLAGS = ('--headless --no-sandbox --disable-gpu --disable-quic --no-first-run '
         '--disable-background-networking --disable-component-update --disable-sync '
         '--disable-dev-shm-usage')
TARGETS = {'desktop': 0.95, 'mobile': 0.90}  # performance; accessibility and best practices: 1


def run(url, form):
    out = os.path.join(tempfile.mkdtemp(prefix='cpu-widget-lighthouse-'), 'report.json')
    profile = tempfile.mkdtemp(prefix='cpu-widget-lighthouse-profile-')
    args = [LIGHTHOUSE, url, '--quiet', f'--chrome-flags={FLAGS} --user-data-dir={profile}',
            '--only-categories=performance,accessibility,best-practices', '--output=json',
            f'--output-path={out}']
    if form == 'desktop':
        args.append('--preset=desktop')
    subprocess.run(args, check=True, env=dict(os.environ, CHROME_PATH='/usr/bin/chromium'),
                   stdout=subprocess.DEVNULL)
    with open(out) as f:
        report = json.load(f)
    audits = report['audits']
    return {
        'performance': report['categories']['performance']['score'],
        'accessibility': report['categories']['accessibility']['score'],
        'best-practices': report['categories']['best-practices']['score'],
        'cls': audits['cumulative-layout-shift']['numericValue'],
        'lcp': audits['largest-contentful-paint']['numericValue'],
        'tbt': audits['total-blocking-time']['numericValue'],
    }


def main():
    page_dir = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    if not os.path.exists(LIGHTHOUSE):
        sys.exit('web_lighthouse.py: Lighthouse is missing: make web-deps')
    server = subprocess.Popen(['/usr/bin/python3', '-m', 'http.server', '0', '--bind', '127.0.0.1'],
                              cwd=page_dir, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              text=True, env=dict(os.environ, PYTHONUNBUFFERED='1'))
    port = int(server.stdout.readline().split(' port ')[1].split()[0])
    url = f'http://127.0.0.1:{port}/index.html'
    results = {}
    try:
        for form in ['desktop', 'mobile']:
            results[form] = [run(url, form) for _ in range(runs)]
    finally:
        server.terminate()
        server.wait()
    print(f'Lighthouse 12.2.3, headless Chromium, local server (median of {runs} runs; '
          f'load average {os.getloadavg()[0]:.1f}):')
    for form, reports in results.items():
        median = {k: statistics.median(r[k] for r in reports) for k in reports[0]}
        print(f'  {form:8s} performance {median["performance"] * 100:.0f} '
              f'(target >= {TARGETS[form] * 100:.0f}; runs: '
              f'{", ".join(str(round(r["performance"] * 100)) for r in reports)}), '
              f'accessibility {median["accessibility"] * 100:.0f}, '
              f'best practices {median["best-practices"] * 100:.0f} (targets 100), '
              f'CLS {median["cls"]:.3f} (target <= 0.05), LCP {median["lcp"] / 1000:.1f} s, '
              f'TBT {median["tbt"]:.0f} ms')


if __name__ == '__main__':
    main()
