#!/usr/bin/python3
"""A slow share for tests and benchmarks: a FUSE passthrough over a folder
that costs a round trip per file opened and per 100 names listed, reads at a
limited rate shared by all readers, and can make reads of chosen files fail
part-way.

    slowfs.py BACKING MOUNTPOINT [--open-ms 10] [--list-ms 10] [--rate-mb 12]

Runs in the foreground until unmounted (fusermount -u MOUNTPOINT).

The mount's root holds a control file, .slowfs, that no listing shows.
Writing lines to it changes the share while mounted:

    open-ms 10          round trip per open, in ms
    list-ms 10          round trip per 100 names listed, in ms
    rate-mb 12          bandwidth in MB/s (0: no limit)
    fail NAME 65536     reads of NAME (a file name, any folder) fail with an
                        I/O error from that byte on
    heal NAME           NAME reads again; "heal *" heals them all
    reset-counts        zeroes the counts below

Reading it gives the settings and counts: opens, bytes_read, listed.
"""

import argparse
import errno
import math
import os
import sys
import threading
import time

from fusepy import FUSE, FuseOSError, Operations

CONTROL = "/.slowfs"


class SlowShare(Operations):
    def __init__(self, backing, open_ms, list_ms, rate_mb):
        self.backing = os.path.realpath(backing)
        self.mutex = threading.Lock()
        self.open_ms = open_ms
        self.list_ms = list_ms
        self.rate = rate_mb * 1000 * 1000
        self.failing = {}  # name -> byte offset where reads fail
        self.link_free_at = 0.0  # when the shared link has sent what it was asked
        self.opens = 0
        self.bytes_read = 0
        self.listed = 0

    def _real(self, path):
        return os.path.join(self.backing, path.lstrip("/"))

    # The control file.

    def _report(self):
        with self.mutex:
            lines = [
                "open-ms %g" % self.open_ms,
                "list-ms %g" % self.list_ms,
                "rate-mb %g" % (self.rate / 1e6),
                "opens %d" % self.opens,
                "bytes_read %d" % self.bytes_read,
                "listed %d" % self.listed,
            ]
            lines += ["fail %s %d" % item for item in sorted(self.failing.items())]
        return ("\n".join(lines) + "\n").encode()

    def _command(self, text):
        for line in text.decode(errors="replace").splitlines():
            words = line.split()
            if not words:
                continue
            with self.mutex:
                try:
                    if words[0] == "open-ms":
                        self.open_ms = float(words[1])
                    elif words[0] == "list-ms":
                        self.list_ms = float(words[1])
                    elif words[0] == "rate-mb":
                        self.rate = float(words[1]) * 1e6
                    elif words[0] == "fail":
                        # A name may hold spaces: the offset is the last word.
                        name, offset = line.split(None, 1)[1].rsplit(None, 1)
                        self.failing[name] = int(offset)
                    elif words[0] == "heal":
                        name = line.split(None, 1)[1]
                        if name == "*":
                            self.failing.clear()
                        else:
                            self.failing.pop(name, None)
                    elif words[0] == "reset-counts":
                        self.opens = self.bytes_read = self.listed = 0
                    else:
                        raise ValueError(line)
                except (IndexError, ValueError):
                    raise FuseOSError(errno.EINVAL)

    # Delays.

    def _round_trip(self, ms):
        if ms > 0:
            time.sleep(ms / 1000.0)

    def _send(self, size):
        # One link for all readers: each read waits its turn and its own time on it.
        with self.mutex:
            self.bytes_read += size
            if self.rate <= 0:
                return
            start = max(time.monotonic(), self.link_free_at)
            self.link_free_at = start + size / self.rate
            done = self.link_free_at
        delay = done - time.monotonic()
        if delay > 0:
            time.sleep(delay)

    # File system operations.

    def getattr(self, path, fh=None):
        if path == CONTROL:
            now = time.time()
            return dict(st_mode=0o100666, st_nlink=1, st_size=len(self._report()),
                        st_uid=os.getuid(), st_gid=os.getgid(),
                        st_atime=now, st_mtime=now, st_ctime=now)
        try:
            st = os.lstat(self._real(path))
        except OSError as e:
            raise FuseOSError(e.errno)
        return {key: getattr(st, key) for key in (
            "st_mode", "st_nlink", "st_size", "st_uid", "st_gid",
            "st_atime", "st_mtime", "st_ctime")}

    def readdir(self, path, fh):
        try:
            names = os.listdir(self._real(path))
        except OSError as e:
            raise FuseOSError(e.errno)
        with self.mutex:
            self.listed += len(names)
            ms = self.list_ms * max(1, math.ceil(len(names) / 100))
        self._round_trip(ms)
        return [".", ".."] + names

    def statfs(self, path):
        st = os.statvfs(self.backing)
        return {key: getattr(st, key) for key in (
            "f_bavail", "f_bfree", "f_blocks", "f_bsize", "f_favail",
            "f_ffree", "f_files", "f_flag", "f_frsize", "f_namemax")}

    def open(self, path, flags):
        if path == CONTROL:
            return 0
        with self.mutex:
            self.opens += 1
            ms = self.open_ms
        self._round_trip(ms)
        try:
            return os.open(self._real(path), flags)
        except OSError as e:
            raise FuseOSError(e.errno)

    def create(self, path, mode, fi=None):
        self._round_trip(self.open_ms)
        try:
            return os.open(self._real(path), os.O_WRONLY | os.O_CREAT | os.O_TRUNC, mode)
        except OSError as e:
            raise FuseOSError(e.errno)

    def read(self, path, size, offset, fh):
        if path == CONTROL:
            return self._report()[offset:offset + size]
        with self.mutex:
            fail_at = self.failing.get(os.path.basename(path))
        if fail_at is not None and offset + size > fail_at:
            if offset >= fail_at:
                raise FuseOSError(errno.EIO)
            size = fail_at - offset  # what comes before the failure still arrives
        os.lseek(fh, offset, os.SEEK_SET)
        data = os.read(fh, size)
        self._send(len(data))
        return data

    def write(self, path, data, offset, fh):
        if path == CONTROL:
            self._command(data)
            return len(data)
        os.lseek(fh, offset, os.SEEK_SET)
        return os.write(fh, data)

    def truncate(self, path, length, fh=None):
        if path == CONTROL:
            return
        with open(self._real(path), "r+b") as f:
            f.truncate(length)

    def flush(self, path, fh):
        return 0 if path == CONTROL else os.fsync(fh)

    def release(self, path, fh):
        return 0 if path == CONTROL else os.close(fh)

    def utimens(self, path, times=None):
        if path != CONTROL:
            os.utime(self._real(path), times)

    def chmod(self, path, mode):
        os.chmod(self._real(path), mode)

    def unlink(self, path):
        os.unlink(self._real(path))

    def rename(self, old, new):
        os.rename(self._real(old), self._real(new))

    def mkdir(self, path, mode):
        os.mkdir(self._real(path), mode)

    def rmdir(self, path):
        os.rmdir(self._real(path))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("backing")
    parser.add_argument("mountpoint")
    parser.add_argument("--open-ms", type=float, default=10)
    parser.add_argument("--list-ms", type=float, default=10)
    parser.add_argument("--rate-mb", type=float, default=12)
    args = parser.parse_args()
    share = SlowShare(args.backing, args.open_ms, args.list_ms, args.rate_mb)
    # direct_io: every read the program makes reaches the share as it asked
    # it, with no page cache or read-ahead between, so counts and failures
    # are the program's own.
    FUSE(share, args.mountpoint, foreground=True, nothreads=False, direct_io=True,
         allow_other=True, default_permissions=False)


if __name__ == "__main__":
    sys.exit(main())
