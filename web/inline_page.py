"""Writes the page's index.html with its style sheet and its script inside it (make web): the
browser then has all it needs to paint the page and start the engine in one answer, instead of
asking for two more files before the first result.

    inline_page.py INDEX_HTML STYLE_CSS APP_JS OUT_HTML
"""
import sys

STYLE_LINK = '<link rel="stylesheet" href="style.css">'
SCRIPT_TAG = '<script type="module" src="app.js"></script>'


def main():
    index, style, script, out = sys.argv[1:5]
    with open(index, encoding='utf-8') as f:
        page = f.read()
    with open(style, encoding='utf-8') as f:
        css = f.read().strip()
    with open(script, encoding='utf-8') as f:
        js = f.read().strip()
    for tag in (STYLE_LINK, SCRIPT_TAG):
        if page.count(tag) != 1:
            sys.exit(f'inline_page.py: {index} must name {tag} once')
    # Text that would end the element early (or open an HTML comment inside a script) must not
    # be there: the page would break without a word.
    for text, element in (('</style', css), ('</script', js), ('<!--', js)):
        if text in element.lower():
            sys.exit(f'inline_page.py: "{text}" inside the inlined {style if element is css else script}')
    page = page.replace(STYLE_LINK, f'<style>{css}</style>')
    page = page.replace(SCRIPT_TAG, f'<script type="module">{js}</script>')
    with open(out, 'w', encoding='utf-8') as f:
        f.write(page)


if __name__ == '__main__':
    main()
