"""The benches' one way of timing Python work: the median of its wall-clock seconds."""
import statistics
import time


def median_seconds(work, repeats):
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        work()
        times.append(time.perf_counter() - start)
    return statistics.median(times)
