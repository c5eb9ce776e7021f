/* slowfs: a read-only FUSE passthrough that adds a fixed delay to every
 * operation, standing in for a network share in the benchmark.
 *
 *   slowfs SOURCE MOUNTPOINT [--delay-us N] [--deny NAME] [--fail-readdir NAME]
 *          [--fail-readdir-after NAME] [--fail-flush NAME] [FUSE options]
 *
 * --deny NAME refuses access to every directory named NAME (as a server
 * would for a user without rights), also to root; --fail-readdir NAME makes
 * reading every directory named NAME fail with EIO, as a failing disk or
 * server would; --fail-readdir-after NAME does so once the first
 * kLaterEntries entries have been read. --fail-flush NAME lets an existing
 * file named NAME be written, takes the bytes and drops them, and fails its
 * close with EDQUOT, as a network share over quota does. The tests use all.
 *
 * It serves requests on several threads at once (as a network server does),
 * reports each entry's type in directory listings, and is meant to be mounted
 * with entry and attribute timeouts of 0 (bench/run.sh does), so every run
 * pays the delay. Build: cc -O2 -o slowfs slowfs.c $(pkg-config --cflags --libs fuse3)
 */
#define FUSE_USE_VERSION 31
#define _GNU_SOURCE

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fuse.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

static int g_source = -1;        /* the source directory */
static long g_delay_ns = 200000; /* 0.2 ms */
static const char* g_deny = NULL; /* a directory name refused to everyone */
static const char* g_fail_readdir = NULL; /* a directory name whose reading fails */
static const char* g_fail_later = NULL;   /* ... whose reading fails part way */
static const char* g_fail_flush = NULL;   /* a file name whose close fails */
enum { kLaterEntries = 20 };

static void Delay(void) {
  struct timespec t = {g_delay_ns / 1000000000L, g_delay_ns % 1000000000L};
  while (nanosleep(&t, &t) != 0 && errno == EINTR) {
  }
}

/* "/a/b" as a path relative to the source: "a/b", and "." for the root. */
static const char* Rel(const char* path) {
  return path[1] == '\0' ? "." : path + 1;
}

static int Named(const char* path, const char* name) {
  const char* last = strrchr(path, '/');
  return name != NULL && last != NULL && strcmp(last + 1, name) == 0;
}

static int Denied(const char* path) {
  return Named(path, g_deny);
}

static void* Init(struct fuse_conn_info* conn, struct fuse_config* cfg) {
  (void)conn;
  cfg->use_ino = 1;
  cfg->entry_timeout = 0;
  cfg->attr_timeout = 0;
  cfg->negative_timeout = 0;
  return NULL;
}

static int GetAttr(const char* path, struct stat* st, struct fuse_file_info* fi) {
  (void)fi;
  Delay();
  return fstatat(g_source, Rel(path), st, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : -errno;
}

static int Access(const char* path, int mask) {
  Delay();
  if (Denied(path)) return -EACCES;
  return faccessat(g_source, Rel(path), mask, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : -errno;
}

static int ReadLink(const char* path, char* buf, size_t size) {
  Delay();
  ssize_t n = readlinkat(g_source, Rel(path), buf, size - 1);
  if (n < 0) return -errno;
  buf[n] = '\0';
  return 0;
}

static int OpenDir(const char* path, struct fuse_file_info* fi) {
  Delay();
  if (Denied(path)) return -EACCES;
  int fd = openat(g_source, Rel(path), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
  if (fd < 0) return -errno;
  DIR* dir = fdopendir(fd);
  if (!dir) {
    int error = errno;
    close(fd);
    return -error;
  }
  fi->fh = (uint64_t)(uintptr_t)dir;
  return 0;
}

/* Entries from offset on, each with its offset, up to kLaterEntries: the
 * next read, at that offset, fails. */
static int ReadDirThenFail(DIR* dir, void* buf, fuse_fill_dir_t fill, off_t offset) {
  if (offset >= kLaterEntries) return -EIO;
  rewinddir(dir);
  struct dirent* d;
  for (off_t at = 0; at < kLaterEntries && (d = readdir(dir)) != NULL; ++at) {
    if (at < offset) continue;
    struct stat st;
    memset(&st, 0, sizeof st);
    st.st_ino = d->d_ino;
    st.st_mode = (mode_t)(DTTOIF(d->d_type));
    if (fill(buf, d->d_name, &st, at + 1, 0)) break;
  }
  return 0;
}

/* The whole listing in one reply, each entry with its type and inode. */
static int ReadDir(const char* path, void* buf, fuse_fill_dir_t fill, off_t offset,
                   struct fuse_file_info* fi, enum fuse_readdir_flags flags) {
  (void)offset;
  (void)flags;
  Delay();
  if (Named(path, g_fail_readdir)) return -EIO;
  DIR* dir = (DIR*)(uintptr_t)fi->fh;
  if (Named(path, g_fail_later)) return ReadDirThenFail(dir, buf, fill, offset);
  rewinddir(dir);
  struct dirent* d;
  while ((d = readdir(dir)) != NULL) {
    struct stat st;
    memset(&st, 0, sizeof st);
    st.st_ino = d->d_ino;
    st.st_mode = (mode_t)(DTTOIF(d->d_type));
    if (fill(buf, d->d_name, &st, 0, 0)) break;
  }
  return 0;
}

static int ReleaseDir(const char* path, struct fuse_file_info* fi) {
  (void)path;
  closedir((DIR*)(uintptr_t)fi->fh);
  return 0;
}

static int Open(const char* path, struct fuse_file_info* fi) {
  Delay();
  if ((fi->flags & O_ACCMODE) != O_RDONLY) {
    if (!Named(path, g_fail_flush)) return -EROFS;
    fi->fh = (uint64_t)-1; /* nothing is opened: the bytes are dropped */
    fi->direct_io = 1;
    return 0;
  }
  int fd = openat(g_source, Rel(path), O_RDONLY | O_NOFOLLOW);
  if (fd < 0) return -errno;
  fi->fh = (uint64_t)fd;
  return 0;
}

static int Read(const char* path, char* buf, size_t size, off_t offset,
                struct fuse_file_info* fi) {
  (void)path;
  Delay();
  ssize_t n = pread((int)fi->fh, buf, size, offset);
  return n < 0 ? -errno : (int)n;
}

static int Write(const char* path, const char* buf, size_t size, off_t offset,
                 struct fuse_file_info* fi) {
  (void)buf;
  (void)offset;
  (void)fi;
  return Named(path, g_fail_flush) ? (int)size : -EROFS;
}

static int Truncate(const char* path, off_t size, struct fuse_file_info* fi) {
  (void)size;
  (void)fi;
  return Named(path, g_fail_flush) ? 0 : -EROFS;
}

static int Flush(const char* path, struct fuse_file_info* fi) {
  return fi->fh == (uint64_t)-1 && Named(path, g_fail_flush) ? -EDQUOT : 0;
}

static int Release(const char* path, struct fuse_file_info* fi) {
  (void)path;
  if (fi->fh != (uint64_t)-1) close((int)fi->fh);
  return 0;
}

static int StatFs(const char* path, struct statvfs* st) {
  (void)path;
  Delay();
  return fstatvfs(g_source, st) == 0 ? 0 : -errno;
}

static const struct fuse_operations kOperations = {
    .init = Init,
    .getattr = GetAttr,
    .access = Access,
    .readlink = ReadLink,
    .opendir = OpenDir,
    .readdir = ReadDir,
    .releasedir = ReleaseDir,
    .open = Open,
    .read = Read,
    .write = Write,
    .truncate = Truncate,
    .flush = Flush,
    .release = Release,
    .statfs = StatFs,
};

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr,
            "usage: slowfs SOURCE MOUNTPOINT [--delay-us N] [--deny NAME] [--fail-readdir NAME]"
            " [--fail-readdir-after NAME] [--fail-flush NAME] [FUSE options]\n");
    return 2;
  }
  g_source = open(argv[1], O_RDONLY | O_DIRECTORY);
  if (g_source < 0) {
    perror(argv[1]);
    return 1;
  }
  /* FUSE gets the program name, the mount point and the rest. */
  char** args = calloc((size_t)argc + 1, sizeof *args);
  int n = 0;
  args[n++] = argv[0];
  for (int i = 2; i < argc; ++i) {
    if (strcmp(argv[i], "--delay-us") == 0 && i + 1 < argc) {
      g_delay_ns = atol(argv[++i]) * 1000L;
    } else if (strcmp(argv[i], "--deny") == 0 && i + 1 < argc) {
      g_deny = argv[++i];
    } else if (strcmp(argv[i], "--fail-readdir") == 0 && i + 1 < argc) {
      g_fail_readdir = argv[++i];
    } else if (strcmp(argv[i], "--fail-readdir-after") == 0 && i + 1 < argc) {
      g_fail_later = argv[++i];
    } else if (strcmp(argv[i], "--fail-flush") == 0 && i + 1 < argc) {
      g_fail_flush = argv[++i];
    } else {
      args[n++] = argv[i];
    }
  }
  return fuse_main(n, args, &kOperations, NULL);
}
