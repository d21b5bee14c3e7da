"""Bad arguments: a ValueError naming the argument and what it accepts, nothing printed, and
the model in use unchanged."""

import locale
import os
import subprocess
import sys

import numpy
import pytest

import cpuwidget
from conftest import SOURCE_DIR

# (command, keyword arguments, words the message must hold)
REFUSED = [
    ("search", {"workload": "SPEC"}, ["workload: 'SPEC' is not a workload", "DB2/TPCC"]),
    ("search", {"memory": 3}, ["memory: 3 is not text", "plain"]),
    ("search", {"node": "7nm"}, ["node: '7nm' is not a technology node", "32nm"]),
    ("search", {"area": -1}, ["area: -1 is out of range", ">= 0"]),
    ("search", {"power": float("nan")}, ["power: nan is not a number"]),
    ("search", {"bw": "12GB"}, ["bw: '12GB' is not a number"]),
    ("search", {"tsv": True}, ["tsv: True is not a number"]),
    ("search", {"cores": 7}, ["cores: 7 is not a core count of the design space", "192"]),
    ("search", {"cache": 3}, ["cache: 3 is not a cache size"]),
    ("search", {"scale": 0.75}, ["scale: 0.75 is not a scale step"]),
    ("search", {"vdd": 0.5}, ["vdd: needs a held scale step"]),
    ("search", {"scale": 0.5, "vdd": 9}, ["vdd: 9 V is out of range", "at most"]),
    ("search", {"scale": 0.5, "freq": 99}, ["freq: 99 GHz is out of range"]),
    ("space", {"core": "Z80"}, ["core: 'Z80' is not a core kind"]),
    ("sweep", {"jobs": 0}, ["jobs: 0 is out of range", "1024"]),
    ("sweep", {"jobs": 1.5}, ["jobs: 1.5 is not a whole number"]),
    ("explain", {"step": 0}, ["step: 0 is out of range", "above 0"]),
    ("budget", {}, ["vary: missing", "LIMIT=START:END:STEP"]),
    ("budget", {"vary": "heat=1:2:1"}, ["vary:", "heat"]),
    ("budget", {"vary": "power=300:20:1"}, ["vary:"]),
    ("budget", {"vary": "power=0:1e9:1"}, ["vary:", "too many"]),
    ("budget", {"vary": "tsv=1:100:1"}, ["vary: the TSV limit is checked with 3D memory only"]),
    ("budget", {"vary": "power=20:300:1", "series": "colour"}, ["series: 'colour' is not an option"]),
    ("budget", {"vary": "power=20:30:1,area=1:2:1", "series": "node"}, ["series:", "one limit"]),
    # Whole values, escaped: too large for a double, lone surrogates, NUL.
    ("search", {"power": 10**400}, ["power: 1" + "0" * 400 + " is not a number"]),
    ("search", {"workload": "a\ud800"}, ["workload: 'a\\ud800' is not valid text"]),
    ("search", {"workload": "a\x00b"}, ["workload: 'a\\x00b' is not a workload"]),
    ("budget", {"vary": "power=1\x00:2:1"}, ["vary:", "1\\x00:2"]),
]


@pytest.mark.parametrize("command,arguments,words", REFUSED)
def test_bad_argument_is_refused_with_what_is_accepted(command, arguments, words, capfd):
    with pytest.raises(ValueError) as refused:
        getattr(cpuwidget, command)(**arguments)
    message = str(refused.value)
    for word in words:
        assert word in message
    assert "accepted: " in message
    assert "--" not in message
    assert capfd.readouterr() == ("", "")


def test_unknown_argument_is_a_type_error_listing_the_accepted_ones():
    with pytest.raises(TypeError, match="unexpected keyword argument 'speed'; accepted: workload"):
        cpuwidget.search(speed=3)
    with pytest.raises(TypeError, match="accepted: workload, memory, transistor, core, node, area, power, bw, tsv, cores, cache, scale, jobs"):
        cpuwidget.sweep(vdd=0.5)  # the tool's sweep holds no operating point


def test_refused_model_file_keeps_the_model_in_use(tmp_path, capfd):
    cpuwidget.load_model(f"{SOURCE_DIR}/models/parallel-0.95.toml")
    before = cpuwidget.search()
    bad = tmp_path / "bad.toml"
    bad.write_text('format_version = 1\nextends = "built-in"\n[constants]\nparallel_fraction = 2\n')
    with pytest.raises(ValueError, match=r"bad.toml:4: constants parallel_fraction: .*accepted"):
        cpuwidget.load_model(bad)
    with pytest.raises(ValueError, match="cannot be read|No such file"):
        cpuwidget.load_model(tmp_path / "missing.toml")
    with pytest.raises(ValueError, match="path and text given"):
        cpuwidget.load_model(bad, text="")
    assert cpuwidget.model_info()["parallel_fraction"] == 0.95
    assert cpuwidget.search()["speedup"].tobytes() == before["speedup"].tobytes()
    assert capfd.readouterr() == ("", "")


def test_implausible_figures_are_warnings_and_as_errors_keep_the_model(tmp_path):
    import warnings
    odd = tmp_path / "odd.toml"
    odd.write_text('format_version = 1\nextends = "built-in"\n[[workload]]\nname = "DB2/TPCH"\n'
                   'parallel_fraction = 0.95\ncpi = 40\n')
    cpuwidget.load_model()
    before = cpuwidget.search(workload="DB2/TPCH")["speedup"]
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        with pytest.raises(UserWarning, match=r"odd.toml:6: workload \"DB2/TPCH\" cpi: 40 .*typical"):
            cpuwidget.load_model(odd)
    assert cpuwidget.model_info()["source"] == "built-in"
    assert cpuwidget.search(workload="DB2/TPCH")["speedup"].tobytes() == before.tobytes()
    with pytest.warns(UserWarning) as said:
        cpuwidget.load_model(odd)
    assert len(said) == 1
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        cpuwidget.load_model(odd, quiet=True)
    assert cpuwidget.model_info()["workload_parallel_fractions"] == {
        "DB2/TPCC": 0.99, "DB2/TPCH": 0.95, "Apache/Web": 0.99}
    cpuwidget.load_model()


def test_model_written_and_read_back_gives_the_same_figures(tmp_path):
    cpuwidget.load_model(text='format_version = 1\nextends = "built-in"\n[constants]\nparallel_fraction = 0.9\n')
    path = tmp_path / "exported.toml"
    cpuwidget.export_model(path)
    assert path.read_text() == cpuwidget.export_model()
    first = cpuwidget.sweep(jobs=1)["speedup"]
    cpuwidget.load_model()
    assert cpuwidget.model_info()["source"] == "built-in"
    cpuwidget.load_model(bytes(path))  # a path as bytes, as os functions take it
    assert cpuwidget.model_info()["parallel_fraction"] == 0.9
    assert first.tobytes() == cpuwidget.sweep(jobs=1)["speedup"].tobytes()
    with pytest.raises(ValueError, match="path: cannot write"):
        cpuwidget.export_model(tmp_path / "no" / "such" / "dir.toml")


def test_unknown_argument_name_is_shown_escaped():
    with pytest.raises(TypeError, match=r"argument 'a\\x00\\ud800'; accepted: workload"):
        cpuwidget.search(**{"a\x00\ud800": 1})


def test_numpy_numbers_are_numbers_even_from_the_module_s_own_columns():
    best = cpuwidget.search(node="32nm")
    held = {"cores": best["cores"][0], "cache": best["cache_mb"][0], "scale": best["scale"][0]}
    assert all(isinstance(value, numpy.generic) for value in held.values())
    plain = {name: float(value) for name, value in held.items()}
    for power in (numpy.float32(100), numpy.int64(100), numpy.uint8(100), numpy.float64(100)):
        got = cpuwidget.search(node="32nm", power=power, **held)
        assert got["speedup"].tobytes() == cpuwidget.search(node="32nm", power=100, **plain)["speedup"].tobytes()
    with pytest.raises(ValueError, match="power: True is not a number"):
        cpuwidget.search(power=numpy.bool_(True))


def test_messages_write_numbers_with_a_point_whatever_the_locale():
    previous = locale.setlocale(locale.LC_ALL)
    locale.setlocale(locale.LC_ALL, "de_DE.UTF-8")
    try:
        assert f"{1.5:n}" == "1,5"
        with pytest.raises(ValueError, match=r"at most 1\.11144 GHz"):
            cpuwidget.search(scale=0.5, freq=99)
        with pytest.raises(ValueError, match="No such file or directory"):
            cpuwidget.export_model("/nonexistent/folder/model.toml")
    finally:
        locale.setlocale(locale.LC_ALL, previous)


def test_file_names_as_bytes_that_are_not_utf8_open(tmp_path):
    path = os.fsencode(tmp_path) + b"/model-\xff.toml"
    cpuwidget.load_model(text='format_version = 1\nextends = "built-in"\n[constants]\nparallel_fraction = 0.9\n')
    cpuwidget.export_model(path)
    cpuwidget.load_model()
    cpuwidget.load_model(path)
    assert cpuwidget.model_info()["parallel_fraction"] == 0.9
    assert os.fsencode(cpuwidget.model_info()["source"]) == path
    with pytest.raises(ValueError, match=r"model-\\xfe.toml"):
        cpuwidget.load_model(os.fsencode(tmp_path) + b"/model-\xfe.toml")
    with pytest.raises(ValueError, match="path: .* is not a file name"):
        cpuwidget.load_model(str(tmp_path) + "/a\x00b")


def test_failed_export_keeps_the_old_file_and_says_why(tmp_path):
    keep = tmp_path / "keep.toml"
    keep.write_text("the old file\n")
    script = (
        "import resource, cpuwidget\n"
        "resource.setrlimit(resource.RLIMIT_FSIZE, (4096, resource.getrlimit(resource.RLIMIT_FSIZE)[1]))\n"
        "try:\n"
        f"    cpuwidget.export_model({str(keep)!r})\n"
        "except ValueError as refused:\n"
        "    print(refused)\n"
    )
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, check=True)
    assert "path: cannot write" in done.stdout and "File too large" in done.stdout
    assert keep.read_text() == "the old file\n"
    assert [p.name for p in tmp_path.iterdir()] == ["keep.toml"]
    long_name = tmp_path / ("m" * 245 + ".toml")  # 250 bytes, within the usual limit of 255
    cpuwidget.export_model(long_name)
    assert long_name.read_text() == cpuwidget.export_model()
