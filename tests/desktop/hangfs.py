"""A share that stops answering: a FUSE file system that shows a source folder, where reads of
the files named on the command line answer for their first 16 KiB (or --head BYTES) and then
never (as a network share that goes silent after a file's header, or a part of it, was read).
With --slow MS instead, every read of those files answers, but only after MS milliseconds (a
share far away).
Runs in the foreground until it is ended; its mount is then gone and any read still waiting
fails. Once a read waits, the file MOUNTPOINT.waiting exists and holds the number of reads that
have waited so far.

    hangfs.py [--head BYTES | --slow MS] SOURCE MOUNTPOINT NAME..."""

import errno
import os
import sys
import threading
import time

from fusepy import FUSE, FuseOSError, Operations

# As much as a quick look at a file reads (Qt reads in 16 KiB blocks): the player learns that
# the file is there and readable, and its real reads then wait.
HEAD = 16384


class HangFs(Operations):
    def __init__(self, source, mountpoint, hanging, head=HEAD, slow=0):
        self.source = source
        self.head = head
        self.slow = slow
        self.waiting = 0
        self.counting = threading.Lock()
        self.marker = mountpoint.rstrip("/") + ".waiting"
        self.hanging = set(hanging)
        self.never = threading.Event()

    def _real(self, path):
        return os.path.join(self.source, path.lstrip("/"))

    def getattr(self, path, fh=None):
        try:
            st = os.lstat(self._real(path))
        except OSError as e:
            raise FuseOSError(e.errno)
        keys = ("st_mode", "st_nlink", "st_size", "st_uid", "st_gid", "st_atime", "st_mtime", "st_ctime")
        return {k: getattr(st, k) for k in keys}

    def readdir(self, path, fh):
        return [".", ".."] + os.listdir(self._real(path))

    def open(self, path, flags):
        if flags & (os.O_WRONLY | os.O_RDWR):
            raise FuseOSError(errno.EROFS)
        return 0

    def read(self, path, size, offset, fh):
        if self.slow and os.path.basename(path) in self.hanging:
            time.sleep(self.slow / 1000)
        elif os.path.basename(path) in self.hanging and offset + size > self.head:
            if offset >= self.head:
                with self.counting:
                    self.waiting += 1
                    with open(self.marker + ".new", "w") as f:
                        f.write(str(self.waiting))
                    os.replace(self.marker + ".new", self.marker)
                self.never.wait()  # the share has gone silent
            size = self.head - offset
        with open(self._real(path), "rb") as f:
            f.seek(offset)
            return f.read(size)


if __name__ == "__main__":
    args = sys.argv[1:]
    head, slow = HEAD, 0
    if args[0] == "--head":
        head = int(args[1])
        args = args[2:]
    elif args[0] == "--slow":
        slow = int(args[1])
        args = args[2:]
    source, mountpoint, *hanging = args
    FUSE(HangFs(source, mountpoint, hanging, head, slow), mountpoint, foreground=True, nothreads=False, direct_io=True, ro=True)
