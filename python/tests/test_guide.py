"""Runs every Python block of docs/python.md in order in an empty folder, and compares each
"Output:" block with what the code before it printed; then runs each block on its own, saved
as a script, as a reader would. With GUIDE_PICTURES set, the pictures the guide draws are
copied there (to refresh docs/)."""

import contextlib
import io
import os
import re
import shutil
import subprocess
import sys

from conftest import SOURCE_DIR

BLOCK = re.compile(r"^```(\w*)\n(.*?)^```", re.S | re.M)


def test_every_block_of_the_guide_runs_and_prints_its_output(tmp_path, monkeypatch):
    with open(os.path.join(SOURCE_DIR, "docs", "python.md"), encoding="utf-8") as file:
        guide = file.read()
    monkeypatch.chdir(tmp_path)
    scope = {"__name__": "__main__"}
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


def blocks_with_output(guide):
    """Each Python block with the Output block that follows it (None when there is none)."""
    found = []
    for match in BLOCK.finditer(guide):
        kind, code = match.group(1), match.group(2)
        if kind == "python":
            found.append([code, None])
        elif kind == "text" and guide[: match.start()].rstrip().endswith("Output:"):
            found[-1][1] = code
    return found


def test_every_block_runs_on_its_own_as_a_saved_script(tmp_path):
    with open(os.path.join(SOURCE_DIR, "docs", "python.md"), encoding="utf-8") as file:
        guide = file.read()
    for number, (code, output) in enumerate(blocks_with_output(guide)):
        folder = tmp_path / f"block{number}"
        folder.mkdir()
        (folder / "block.py").write_text(code, encoding="utf-8")
        # A script that starts processes which import it again (Dask's workers) must not start
        # them anew on import: that would go on until the time runs out.
        done = subprocess.run([sys.executable, "block.py"], cwd=folder, capture_output=True,
                              text=True, timeout=300)
        assert done.returncode == 0, f"block {number}: {done.stderr}"
        if output is not None:
            assert done.stdout == output, f"block {number}"
