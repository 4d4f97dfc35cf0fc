"""A share that stops answering: a FUSE file system that shows a source folder, where reads of
the files named on the command line answer for their first 16 KiB and then never (as a network
share that goes silent after a file's header was read). Runs in the foreground until it is
ended; its mount is then gone and any read still waiting fails. Once a read waits, the file
MOUNTPOINT.waiting exists.

    hangfs.py SOURCE MOUNTPOINT NAME..."""

import errno
import os
import sys
import threading

from fusepy import FUSE, FuseOSError, Operations

# As much as a quick look at a file reads (Qt reads in 16 KiB blocks): the player learns that
# the file is there and readable, and its real reads then wait.
HEAD = 16384


class HangFs(Operations):
    def __init__(self, source, mountpoint, hanging):
        self.source = source
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
        if os.path.basename(path) in self.hanging and offset + size > HEAD:
            if offset >= HEAD:
                open(self.marker, "w").close()
                self.never.wait()  # the share has gone silent
            size = HEAD - offset
        with open(self._real(path), "rb") as f:
            f.seek(offset)
            return f.read(size)


if __name__ == "__main__":
    source, mountpoint, *hanging = sys.argv[1:]
    FUSE(HangFs(source, mountpoint, hanging), mountpoint, foreground=True, nothreads=False, direct_io=True, ro=True)
