"""Runs every Python block of docs/python.md in order in an empty folder, and compares each
"Output:" block with what the code before it printed. With GUIDE_PICTURES set, the pictures
the guide draws are copied there (to refresh docs/)."""

import contextlib
import io
import os
import re
import shutil

from conftest import SOURCE_DIR

BLOCK = re.compile(r"^```(\w*)\n(.*?)^```", re.S | re.M)


def test_every_block_of_the_guide_runs_and_prints_its_output(tmp_path, monkeypatch):
    with open(os.path.join(SOURCE_DIR, "docs", "python.md"), encoding="utf-8") as file:
        guide = file.read()
    monkeypatch.chdir(tmp_path)
    scope = {}
    printed = io.StringIO()
    blocks = 0
    for match in BLOCK.finditer(guide):
        kind, code = match.group(1), match.group(2)
        if kind == "python":
            with contextlib.redirect_stdout(printed):
                exec(compile(code, f"docs/python.md:{guide.count(chr(10), 0, match.start()) + 2}", "exec"), scope)
            blocks += 1
        elif kind == "text" and guide[: match.start()].rstrip().endswith("Output:"):
            assert printed.getvalue() == code
            printed = io.StringIO()
    assert blocks >= 5
    assert (tmp_path / "parallel-fraction.png").stat().st_size > 10000
    if os.environ.get("GUIDE_PICTURES"):
        shutil.copy(tmp_path / "parallel-fraction.png", os.environ["GUIDE_PICTURES"])
