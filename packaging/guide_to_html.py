#!/usr/bin/python3
"""Renders a document (Markdown) of docs/ as one HTML page: headings get the
same anchors as on the project's web view, so contents links work, links to
the other documents (service.md#...) lead to their pages (service.html#...),
and the screenshots are taken from beside the page."""
import re
import sys

import markdown
from markdown.extensions.toc import slugify_unicode

PAGE = """<!DOCTYPE html>
<html lang="ru">
<head>
<meta charset="utf-8">
<title>{title}</title>
<style>
body {{ font-family: sans-serif; max-width: 60em; margin: 2em auto; padding: 0 1em; line-height: 1.45; }}
img {{ max-width: 100%; border: 1px solid #ccc; margin: 0.5em 0; }}
code, pre {{ background: #f3f3f3; }}
pre {{ padding: 0.5em; overflow-x: auto; }}
table {{ border-collapse: collapse; }}
td, th {{ border: 1px solid #bbb; padding: 0.2em 0.5em; vertical-align: top; }}
</style>
</head>
<body>
{body}
</body>
</html>
"""


def main(source, target):
    with open(source, encoding="utf-8") as f:
        text = f.read()
    title = text.splitlines()[0].lstrip("# ").strip()
    body = markdown.markdown(
        text,
        extensions=["tables", "fenced_code", "toc"],
        extension_configs={"toc": {"slugify": slugify_unicode}},
    )
    # the documents are installed side by side as pages of their own
    body = re.sub(r'href="([A-Za-z0-9_-]+)\.md(#[^"]*)?"', r'href="\1.html\2"', body)
    with open(target, "w", encoding="utf-8") as f:
        f.write(PAGE.format(title=title, body=body))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: guide_to_html.py DOCUMENT.md DOCUMENT.html")
    main(sys.argv[1], sys.argv[2])
