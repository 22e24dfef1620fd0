#!/usr/bin/env python3
"""Runs a command and prints its wall time in seconds and the peak resident
memory of the largest process in its tree (KiB) and its exit status, as "SECONDS KIB STATUS".
Leading NAME=VALUE arguments are set in the command's environment only."""
import os
import resource
import subprocess
import sys
import time

args = sys.argv[1:]
env = dict(os.environ)
while args and "=" in args[0] and not args[0].startswith(("/", ".")):
    name, value = args.pop(0).split("=", 1)
    env[name] = value
start = time.monotonic()
result = subprocess.run(args, stdout=subprocess.DEVNULL, env=env)
elapsed = time.monotonic() - start
peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
print(f"{elapsed:.3f} {peak} {result.returncode}")
