"""Searches on many threads at once (the GIL is released) give what they give alone, and a
model loaded meanwhile changes whole calls only."""

import time
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


def test_a_call_made_while_a_load_waits_uses_the_new_model():
    builtin = speedup(SETS[0])
    cpuwidget.load_model(text=P95)
    p95 = speedup(SETS[0])
    cpuwidget.load_model()
    with ThreadPoolExecutor(3) as pool:
        long_call = pool.submit(cpuwidget.budget, vary="power=0:1000:0.01", jobs=1)
        time.sleep(0.2)  # the long call holds the model
        load = pool.submit(cpuwidget.load_model, text=P95)
        time.sleep(0.2)  # the load waits for the long call
        later = pool.submit(speedup, SETS[0])
        assert later.result() == p95 != builtin
        long_call.result()
        load.result()


def test_a_call_s_parallel_fraction_never_reaches_the_calls_beside_it():
    with_fraction = [dict(options, parallel_fraction=0.9) for options in SETS]
    alone = [speedup(options) for options in SETS + with_fraction]
    with ThreadPoolExecutor(4) as pool:
        assert list(pool.map(speedup, (SETS + with_fraction) * 4)) == alone * 4
    assert cpuwidget.model_info()["parallel_fraction"] == 0.99
