"""Parameters and results go through the same files as the program's."""

import os

import pytest

import colorbal
from colorbal import Params, Result, Settings
from conftest import program_json, run_program

RECORDS = [
    Result(Settings(0.1359872, 0.025390625, 0.025390625), positive_lut=True),
    Result(Settings(1e-300, -0.5, 2.0), positive_lut=False),
    Params(),
    Params(exposure_range=(1e-5, 0.2), vary_brightness=False, exposure_step=1e-4, contrast_step=0.5,
           brightness_step=0.0, positive_lut=False),
]


@pytest.mark.parametrize("record", RECORDS, ids=repr)
def test_records_round_trip_through_the_programs_files(tmp_path, record):
    path = tmp_path / "record.bin"
    record.save(path)
    assert type(record).load(str(path)) == record
    assert os.listdir(tmp_path) == ["record.bin"]  # no temporary file left
    shown = program_json("show", str(path))
    if isinstance(record, Result):
        assert (shown["exposure"], shown["contrast"], shown["brightness"]) == record.settings
        assert shown["positive8BitLut"] == record.positive_lut
    else:
        # The program takes the stored parameters as its own.
        saved = tmp_path / "again.bin"
        status, _ = run_program("balance", "--size", "64x48", "--params", str(path), "--save-params", str(saved))
        assert status == 0
        assert Params.load(saved) == record


def test_python_reads_the_programs_result(tmp_path):
    path = tmp_path / "result.bin"
    report = program_json("balance", "--size", "160x120", "--seed", "4", "--save-result", str(path))
    loaded = Result.load(path)
    assert loaded.settings == (report["exposure"], report["contrast"], report["brightness"])
    assert loaded == colorbal.balance(colorbal.SimCamera("chart", (160, 120), 4))


def test_bad_files_raise_and_leave_nothing_behind(tmp_path):
    params = tmp_path / "params.bin"
    Params().save(params)
    with pytest.raises(ValueError, match="parameter archive, not a result archive"):
        Result.load(params)
    data = params.read_bytes()
    cases = {"truncated.bin": data[:-3], "longer.bin": data + b"\0", "foreign.bin": b"\x89PNG not ours"}
    for name, content in cases.items():
        (tmp_path / name).write_bytes(content)
        with pytest.raises(ValueError, match=name):
            Params.load(tmp_path / name)
    with pytest.raises(FileNotFoundError):
        Result.load(tmp_path / "missing.bin")
    with pytest.raises(OSError):
        Result(Settings(1, 2, 3)).save(tmp_path / "no-such-dir" / "result.bin")
    assert not (tmp_path / "no-such-dir").exists()
