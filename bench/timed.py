#!/usr/bin/python3
"""Runs a command REPEAT times; prints the median wall and CPU milliseconds of one run, the CPU
time from the kernel's own accounting of the child.
usage: timed.py REPEAT COMMAND [ARGS...]"""
import os
import statistics
import subprocess
import sys
import time

repeat = int(sys.argv[1])
walls, cpus = [], []
for _ in range(repeat):
    start = time.perf_counter()
    child = subprocess.Popen(sys.argv[2:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    walls.append((time.perf_counter() - start) * 1000)
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{sys.argv[2]} failed")
    cpus.append((usage.ru_utime + usage.ru_stime) * 1000)
print(f"{statistics.median(walls):.2f} {statistics.median(cpus):.2f}")
