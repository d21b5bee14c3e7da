"""Bad arguments: a ValueError naming the argument and what it accepts, nothing printed, and
the model in use unchanged."""

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
    with pytest.raises(TypeError, match="accepted: area, power, bw, tsv, cores, cache, scale, jobs"):
        cpuwidget.sweep(node="32nm")


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
