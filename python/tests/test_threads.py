"""Searches on many threads at once (the GIL is released) give what they give alone, and a
model loaded meanwhile changes whole calls only."""

from concurrent.futures import ThreadPoolExecutor

import cpuwidget

SETS = [
    {"workload": w, "memory": m, "node": n}
    for w in ("DB2/TPCC", "Apache/Web")
    for m in ("plain", "3d")
    for n in ("45nm", "32nm", "20nm")
]

P95 = 'format_version = 1\nextends = "built-in"\n[constants]\nparallel_fraction = 0.95\n'


def speedup(options):
    return cpuwidget.search(**options)["speedup"].tobytes()


def test_threads_give_the_answers_of_one_thread():
    alone = [speedup(options) for options in SETS]
    with ThreadPoolExecutor(4) as pool:
        assert list(pool.map(speedup, SETS * 4)) == alone * 4


def test_loading_a_model_meanwhile_leaves_each_call_on_one_model():
    builtin = cpuwidget.sweep(jobs=1)["speedup"].tobytes()
    cpuwidget.load_model(text=P95)
    changed = cpuwidget.sweep(jobs=1)["speedup"].tobytes()
    assert builtin != changed

    def sweep_now(_):
        return cpuwidget.sweep(jobs=2)["speedup"].tobytes()

    def load(i):
        cpuwidget.load_model(text=P95) if i % 2 else cpuwidget.load_model()
        return None

    with ThreadPoolExecutor(4) as pool:
        results = list(pool.map(lambda i: sweep_now(i) if i % 3 else load(i), range(60)))
    sweeps = [result for result in results if result is not None]
    assert sweeps and all(result in (builtin, changed) for result in sweeps)
