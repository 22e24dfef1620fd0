#!/usr/bin/env python3
"""Runs a command and prints its wall time in seconds and the peak resident
memory of the largest process in its tree (KiB) and its exit status, as "SECONDS KIB STATUS"."""
import resource
import subprocess
import sys
import time

start = time.monotonic()
result = subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL)
elapsed = time.monotonic() - start
peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
print(f"{elapsed:.3f} {peak} {result.returncode}")
