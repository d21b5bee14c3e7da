"""Writes docs/model.md as a page of its own beside the explorer's index.html, so that every
figure on the page can link to the equations behind it (model.html#speedup, ...). Headings get
the ids the Markdown's own links use (lower case, spaces as hyphens), tables and code blocks
are kept. Needs Debian's python3-markdown.

    model_page.py MODEL_MD OUT_HTML
"""
import os
import re
import shutil
import sys

import markdown

HEAD = """<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>The chip model: equations and inputs</title>
<link rel="icon" href="data:,">
<style>
body { font-family: system-ui, sans-serif; color: #1b1b1b; max-width: 52rem; margin: 0 auto;
  padding: 0.75rem; line-height: 1.45; }
pre { background: #f4f4f2; padding: 0.5rem; overflow-x: auto; }
pre:focus-visible, .table:focus-visible { outline: 3px solid #1f5fbf; }
code { font-size: 0.92em; }
.table { overflow-x: auto; }
table { border-collapse: collapse; }
th, td { border-bottom: 1px solid #d0d0cc; padding: 0.2rem 0.5rem; text-align: left; }
a { color: #1a4fa0; }
img { max-width: 100%; height: auto; }
</style>
</head>
<body>
<nav><a href="index.html">Back to the explorer</a></nav>
<main>
"""
TAIL = """</main>
</body>
</html>
"""


def slug(value, separator):
    """GitHub-style heading ids: "Die area" -> "die-area"."""
    value = re.sub(r'[^\w\- ]', '', value.strip().lower())
    return re.sub(r' ', separator, value)


def main():
    source, out = sys.argv[1:3]
    with open(source, encoding='utf-8') as f:
        text = f.read()
    body = markdown.markdown(text, extensions=['tables', 'fenced_code', 'toc'],
                             extension_configs={'toc': {'slugify': slug}})
    # Wide tables and code blocks scroll inside their own box, which the keyboard can reach.
    body = body.replace('<table>', '<div class="table" tabindex="0"><table>')
    body = body.replace('</table>', '</table></div>')
    body = body.replace('<pre>', '<pre tabindex="0">')
    with open(out, 'w', encoding='utf-8') as f:
        f.write(HEAD + body + TAIL)
    # The pictures the equations show go beside the page, as they sit beside the Markdown.
    for picture in re.findall(r'<img [^>]*src="([^":/]+)"', body):
        shutil.copyfile(os.path.join(os.path.dirname(source), picture),
                        os.path.join(os.path.dirname(out), picture))


if __name__ == '__main__':
    main()
