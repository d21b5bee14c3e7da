"""Every kind of chart the tool draws, written as SVG: well-formed XML whose captions, labels and
ticks are <text> elements (upright axis labels turned a quarter left), with no glyph outlines;
and a map of two limits over 200 x 200 points within 1 MB.

Usage: svg_files.py CPU-WIDGET-CLI
"""
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

SVG = "{http://www.w3.org/2000/svg}"

# The command (its output file added), the texts it must show, the upright ones among them.
CHARTS = [
    (["plot", "--workload", "Apache/Web", "--core", "FPGA", "--node", "32nm"],
     ["Speedup over core count and L2 cache size", "cores", "speedup", "512"],
     ["L2 cache (MB)"]),
    (["budget", "--vary", "power=20:300:1", "--series", "memory", "--node", "32nm"],
     ["Best speedup as the power limit varies", "power limit (W)", "plain memory", "3D memory"],
     ["best speedup"]),
    (["budget", "--vary", "area=2:400:2,power=1.5:300:1.5"],
     ["Best speedup over the area and power limits", "area limit (mm^2)", "area binds",
      "nothing meets the limits"],
     ["power limit (W)"]),
    (["plot", "--chart", "scaling"],
     ["Best speedup over technology nodes", "technology node", "90nm", "20nm", "Niagara"],
     ["best speedup", "cores"]),
    (["pareto", "--node", "32nm", "--objectives", "speedup,energy"],
     ["Pareto front: speedup against energy", "on the front", "breaks a limit"],
     ["speedup"]),
    (["sensitivity", "--node", "32nm"],
     ["change of the best speedup (%)", "*: the optimum moves", "constants.working_set_growth *",
      "constants.parallel_fraction"],
     []),
]


def main():
    cli = sys.argv[1]
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        for command, texts, upright in CHARTS:
            name = " ".join(command)
            path = os.path.join(folder, "chart.svg")
            run = subprocess.run([cli] + command + ["-o", path], capture_output=True, text=True)
            if run.returncode != 0:
                failures.append(f"{name}: status {run.returncode}: {run.stderr}")
                continue
            with open(path, "rb") as f:
                raw = f.read()
            try:
                root = ET.fromstring(raw)
            except ET.ParseError as e:
                failures.append(f"{name}: not well-formed XML: {e}")
                continue
            shown = {}
            for element in root.iter(SVG + "text"):
                shown.setdefault(element.text, []).append(element)
                if not element.get("font-size"):
                    failures.append(f"{name}: {element.text!r} has no font size")
            for text in texts + upright:
                if text not in shown:
                    failures.append(f"{name}: no <text> {text!r}")
            for text in upright:
                if not any("rotate(-90)" in (e.get("transform") or "") for e in shown.get(text, [])):
                    failures.append(f"{name}: {text!r} is not turned a quarter left")
            glyphs = [s for s in root.iter(SVG + "symbol") if s.get("id", "").startswith("glyph")]
            if glyphs:
                failures.append(f"{name}: {len(glyphs)} glyph outlines")
            if command[0] == "budget" and "," in command[2] and len(raw) > 1_000_000:
                failures.append(f"{name}: {len(raw)} bytes, more than 1 MB")
    for failure in failures:
        print(failure)
    print(f"{len(CHARTS)} charts, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
