"""Every command example in the README and docs/*.md, run as a reader would run it, its output
compared with what the document shows.

An example is a line "$ COMMAND" in an indented block, followed by the output it shows. A shown
line that starts with "..." stands for any number of lines, up to the next shown line that
follows it (or the end). The commands run in one scratch folder, in document order, with the
built cpu-widget-cli first on PATH, a copy of models/, an empty docs/ and the files the
documents show with "$ cat" and describe without creating (FILES below).

Usage: doc_examples.py SOURCE_DIR CLI_DIR
"""

import os
import shutil
import subprocess
import sys
import tempfile

# Files that a document shows (with "$ cat FILE") but does not make.
FILES = {
    "typo.toml": 'format_version = 1\nextends = "built-in"\n[constants]\nparalel_fraction = 0.95\n'
                 '[[workload]]\nname = "DB2/TPCC"\ncpi = -3\n',
    "fast.toml": 'format_version = 1\nextends = "built-in"\n[[node]]\nname = "20nm"\nfmax_HP = 12\n'
                 'Vth_HP = 0.95\n',
    "die.toml": 'format_version = 1\nextends = "models/node-14nm.toml"\n[voltage_frequency]\n'
                'frequency_law = "alpha_power"\nalpha = 1.3\n[[node]]\nname = "14nm"\n'
                'uncore_area_mm2 = 60\nuncore_power_W = 15\n',
}


def examples(path):
    """(line number, command, shown output lines) for each example of a document."""
    found = []
    lines = open(path, encoding="utf-8").read().split("\n")
    current = None
    for number, line in enumerate(lines, 1):
        indented = line.startswith("    ")
        text = line[4:] if indented else line
        if indented and text.startswith("$ "):
            current = (number, text[2:], [])
            found.append(current)
        elif current is not None and indented:
            current[2].append(text)
        elif current is not None and line.strip() == "":
            current[2].append("")
        else:
            current = None
    # Blank lines at the end of an example belong to the text around it.
    for _, _, shown in found:
        while shown and shown[-1] == "":
            shown.pop()
    return found


def matches(shown, actual):
    """Whether the actual lines are the shown ones, "..." lines standing for any number."""
    if not shown:
        return not actual
    if shown[0].strip().startswith("..."):
        return any(matches(shown[1:], actual[skip:]) for skip in range(len(actual) + 1))
    return bool(actual) and actual[0] == shown[0] and matches(shown[1:], actual[1:])


def main(source, cli_dir):
    documents = [os.path.join(source, "README.md")] + sorted(
        os.path.join(source, "docs", name) for name in os.listdir(os.path.join(source, "docs"))
        if name.endswith(".md"))
    failures = 0
    count = 0
    with tempfile.TemporaryDirectory() as scratch:
        shutil.copytree(os.path.join(source, "models"), os.path.join(scratch, "models"))
        os.mkdir(os.path.join(scratch, "docs"))
        for name, text in FILES.items():
            with open(os.path.join(scratch, name), "w", encoding="utf-8") as file:
                file.write(text)
        environment = dict(os.environ, PATH=cli_dir + os.pathsep + os.environ["PATH"], LC_ALL="C")
        for document in documents:
            for number, command, shown in examples(document):
                count += 1
                done = subprocess.run(["sh", "-c", command], cwd=scratch, env=environment,
                                      stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                      text=True, timeout=300)
                actual = done.stdout.split("\n")
                if actual and actual[-1] == "":
                    actual.pop()
                if not matches(shown, actual):
                    failures += 1
                    where = f"{os.path.relpath(document, source)}:{number}"
                    print(f"{where}: $ {command}\n  shown:\n    " + "\n    ".join(shown) +
                          "\n  printed:\n    " + "\n    ".join(actual[:40]))
    print(f"{count} examples, {failures} not as shown")
    return 1 if failures or count == 0 else 0


if __name__ == "__main__":
    sys.exit(main(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])))
