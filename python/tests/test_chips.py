"""evaluate, validate and calibrate: evaluate against space to the bit and against the tool,
validate's rows against the tool's CSV, calibrate's file read back, and refusals as ValueError
with nothing written."""

import os

import pytest

import cpuwidget
from conftest import cli_rows, differences, same


def test_evaluate_on_axis_values_is_space_to_the_bit():
    space = cpuwidget.space(memory="3d", transistor="HP", core="ARM", node="32nm", cores=24)
    for i in range(0, len(space["speedup"]), 97):
        row = cpuwidget.evaluate(memory="3d", transistor="HP", core="ARM", node="32nm", cores=24,
                                 cache=int(space["cache_mb"][i]), scale=float(space["scale"][i]))
        for name in ("area_mm2", "power_w", "bandwidth_gbps", "tsv_bandwidth_gbps", "speedup", "vdd_v", "freq_ghz"):
            assert float(row[name]).hex() == float(space[name][i]).hex(), (i, name)


def test_evaluate_matches_the_tool():
    arguments = dict(transistor="HP", node="90nm", cores=8, cache=3, vdd=1.2, freq=1.2, breakdown=True)
    row = cpuwidget.evaluate(**arguments)
    [tool] = cli_rows("evaluate", "--transistor", "HP", "--node", "90nm", "--cores", "8", "--cache", "3",
                      "--vdd", "1.2", "--freq", "1.2", "--breakdown")
    assert list(tool) == list(row)
    assert [name for name in tool if not same(tool[name], row[name])] == []
    assert row["breaks_area"] and not row["feasible"]
    assert "above the nominal 1.1 V" in row["notes"]


@pytest.mark.parametrize("arguments,message", [
    ({"cores": 0}, "cores: 0 is out of range"),
    ({"cores": 2.5}, "cores: 2.5 is out of range"),
    ({"cache": -1}, "cache: -1 MB is out of range"),
    ({"scale": 0.75}, "scale: 0.75 is not a scale step"),
    ({"vdd": "high"}, "vdd: 'high' is not a number"),
])
def test_evaluate_refuses_bad_arguments(arguments, message):
    with pytest.raises(ValueError, match=message):
        cpuwidget.evaluate(**arguments)


def test_validate_matches_the_tool_and_sums_up():
    rows = cpuwidget.validate()
    assert differences(cli_rows("validate"), rows) == []
    summary = cpuwidget.validate(summary=True)
    assert list(summary["count"]) == [8, 4, 4]


def test_calibrate_writes_a_model_that_reproduces_its_fit(tmp_path):
    target = tmp_path / "fitted.toml"
    result = cpuwidget.calibrate(fit=["node.45nm.fmax_LOP", "reference_chip.Cgate"], output=target)
    assert target.read_text() == result["model_text"]
    fitted = dict(zip(result["fields"]["field"], result["fields"]["after"]))
    cpuwidget.load_model(target)
    after = cpuwidget.validate(summary=True)
    errors = result["errors"]
    in_sample = [i for i, s in enumerate(errors["set"]) if s == "after"]
    assert [float(errors["median_error"][i]).hex() for i in in_sample] == [float(v).hex() for v in after["median_error"]]
    assert fitted["node.45nm.fmax_LOP"] < 3.525


def test_calibrate_refuses_and_writes_nothing(tmp_path):
    target = tmp_path / "never.toml"
    with pytest.raises(ValueError, match="no chip's clock, area or power depends on it"):
        cpuwidget.calibrate(fit="constants.parallel_fraction", output=target)
    bad = tmp_path / "chips.toml"
    bad.write_text('format_version = 1\n[[chip]]\nname = "X"\n')
    with pytest.raises(ValueError, match='chip "X" node: the field is missing'):
        cpuwidget.calibrate(chips=bad, fit="node.45nm.fmax_LOP", output=target)
    assert not os.path.exists(target)
