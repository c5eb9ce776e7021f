// The machine's limit for a tree walk: what the kernel alone costs to list a
// tree, on one thread, with no output. Each directory is opened relative to
// its parent, read whole with getdents64 and closed; with "stat", each entry
// is also stat'ed (without following links). Every bench run times it beside
// tvx, so that tvx's figures read as ratios to the machine itself.
//
//   floor names|stat TREE    (exit 0; with -c, prints the entries counted)
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

struct linux_dirent64 {
  ino_t d_ino;
  off_t d_off;
  unsigned short d_reclen;
  unsigned char d_type;
  char d_name[];
};

static int with_stat;
static unsigned long long entries;
static char buffer[1 << 16];

// Reads the directory open as fd; enters each subdirectory after the read,
// so that one buffer serves every level.
static void walk(int fd) {
  // The subdirectories' names, kept until the directory is read whole.
  char *names = NULL;
  size_t used = 0, room = 0;
  for (;;) {
    long got = syscall(SYS_getdents64, fd, buffer, sizeof buffer);
    if (got <= 0) break;
    for (long pos = 0; pos < got;) {
      struct linux_dirent64 *d = (struct linux_dirent64 *)(buffer + pos);
      pos += d->d_reclen;
      const char *name = d->d_name;
      if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
      ++entries;
      unsigned char type = d->d_type;
      if (with_stat || type == DT_UNKNOWN) {
        struct stat st;
        if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
          type = S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
        }
      }
      if (type != DT_DIR) continue;
      size_t length = strlen(name) + 1;
      if (used + length > room) {
        room = 2 * (used + length);
        names = realloc(names, room);
        if (!names) abort();
      }
      memcpy(names + used, name, length);
      used += length;
    }
  }
  for (size_t at = 0; at < used; at += strlen(names + at) + 1) {
    int child = openat(fd, names + at, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (child < 0) continue;
    walk(child);
    close(child);
  }
  free(names);
}

int main(int argc, char **argv) {
  int count = argc > 1 && strcmp(argv[1], "-c") == 0;
  if (argc != 3 + count || (strcmp(argv[1 + count], "names") && strcmp(argv[1 + count], "stat"))) {
    fprintf(stderr, "usage: floor [-c] names|stat TREE\n");
    return 2;
  }
  with_stat = strcmp(argv[1 + count], "stat") == 0;
  int root = open(argv[2 + count], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (root < 0) {
    perror(argv[2 + count]);
    return 1;
  }
  walk(root);
  close(root);
  if (count) printf("%llu\n", entries);
  return 0;
}
