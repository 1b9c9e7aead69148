# Copies the lines arriving through a named pipe to a file, each stamped with
# seconds on the monotonic clock: how the whole-program benchmark scripts time
# the phases between console lines.
#   python3 bench/stamp_lines.py PIPE READY_FILE LOG
# The reader opens the pipe itself and creates READY_FILE once running, so
# that its own start-up (slow under a version-manager shim) does not delay the
# first stamps.
import sys
import time

open(sys.argv[2], "w").close()
out = open(sys.argv[3], "w")
with open(sys.argv[1], "rb") as pipe:
    for line in iter(pipe.readline, b""):
        out.write("%.6f %s\n" % (time.monotonic(), line.decode(errors="replace").rstrip("\n")))
        out.flush()
