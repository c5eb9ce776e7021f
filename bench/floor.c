// The machine's limit for a tree walk: what the kernel alone costs to list a
// tree, on one thread, with no output. Each directory is opened relative to
// its parent, read whole with getdents64 and closed; with "stat", each entry
// is also stat'ed (without following links). Every bench run times it beside
// tvx, so that tvx's figures read as ratios to the machine itself.
//
//   floor [-c] [-j N] names|stat TREE
//
// Exit 0; with -c it prints the entries counted. With -j N, N threads share
// the work, each taking a directory open from a common stack, reading it and
// pushing its subdirectories opened: the kernel's own work spread over the
// processors, with nothing else done, which no walker can go below.
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
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

// The subdirectories' names of one directory, kept until it is read whole.
struct names {
  char *bytes;
  size_t used, room;
};

// Reads the directory open as fd whole into batch (a buffer of the size of
// buffer), counting its entries and keeping its subdirectories' names.
static void read_whole(int fd, char *batch, struct names *subdirs, unsigned long long *counted) {
  subdirs->used = 0;
  for (;;) {
    long got = syscall(SYS_getdents64, fd, batch, sizeof buffer);
    if (got <= 0) break;
    for (long pos = 0; pos < got;) {
      struct linux_dirent64 *d = (struct linux_dirent64 *)(batch + pos);
      pos += d->d_reclen;
      const char *name = d->d_name;
      if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
      ++*counted;
      unsigned char type = d->d_type;
      if (with_stat || type == DT_UNKNOWN) {
        struct stat st;
        if (fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
          type = S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
        }
      }
      if (type != DT_DIR) continue;
      size_t length = strlen(name) + 1;
      if (subdirs->used + length > subdirs->room) {
        subdirs->room = 2 * (subdirs->used + length);
        subdirs->bytes = realloc(subdirs->bytes, subdirs->room);
        if (!subdirs->bytes) abort();
      }
      memcpy(subdirs->bytes + subdirs->used, name, length);
      subdirs->used += length;
    }
  }
}

static int open_child(int fd, const char *name) {
  return openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Reads the directory open as fd; enters each subdirectory after the read,
// so that one buffer serves every level.
static void walk(int fd) {
  struct names subdirs = {NULL, 0, 0};
  read_whole(fd, buffer, &subdirs, &entries);
  for (size_t at = 0; at < subdirs.used; at += strlen(subdirs.bytes + at) + 1) {
    int child = open_child(fd, subdirs.bytes + at);
    if (child < 0) continue;
    walk(child);
    close(child);
  }
  free(subdirs.bytes);
}

// The threads of -j: a stack of directories open and not yet read, and how
// many are being read (the walk is over once none is, with the stack empty).
static pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t ready = PTHREAD_COND_INITIALIZER;
static int *stack, stacked, room, reading;

static void push_all(const int *fds, int n) {
  pthread_mutex_lock(&mutex);
  if (stacked + n > room) {
    room = 2 * (stacked + n);
    stack = realloc(stack, room * sizeof *stack);
    if (!stack) abort();
  }
  memcpy(stack + stacked, fds, n * sizeof *fds);
  stacked += n;
  --reading;
  pthread_cond_broadcast(&ready);
  pthread_mutex_unlock(&mutex);
}

static void *worker(void *unused) {
  (void)unused;
  char *batch = malloc(sizeof buffer);
  struct names subdirs = {NULL, 0, 0};
  int *children = NULL, have = 0;
  unsigned long long counted = 0;
  for (;;) {
    pthread_mutex_lock(&mutex);
    while (stacked == 0 && reading > 0) pthread_cond_wait(&ready, &mutex);
    if (stacked == 0) {
      pthread_mutex_unlock(&mutex);
      break;
    }
    int fd = stack[--stacked];
    ++reading;
    pthread_mutex_unlock(&mutex);
    read_whole(fd, batch, &subdirs, &counted);
    int n = 0;
    for (size_t at = 0; at < subdirs.used; at += strlen(subdirs.bytes + at) + 1) {
      int child = open_child(fd, subdirs.bytes + at);
      if (child < 0) continue;
      if (n == have) {
        have = 2 * have + 16;
        children = realloc(children, have * sizeof *children);
        if (!children) abort();
      }
      children[n++] = child;
    }
    close(fd);
    push_all(children, n);
  }
  pthread_mutex_lock(&mutex);
  entries += counted;
  pthread_mutex_unlock(&mutex);
  free(subdirs.bytes);
  free(children);
  free(batch);
  return NULL;
}

static int usage(void) {
  fprintf(stderr, "usage: floor [-c] [-j N] names|stat TREE\n");
  return 2;
}

int main(int argc, char **argv) {
  int count = 0, threads = 1, at = 1;
  for (; at < argc && argv[at][0] == '-'; ++at) {
    if (strcmp(argv[at], "-c") == 0) {
      count = 1;
    } else if (strcmp(argv[at], "-j") == 0 && at + 1 < argc && atoi(argv[at + 1]) > 0) {
      threads = atoi(argv[++at]);
    } else {
      return usage();
    }
  }
  if (argc != at + 2 || (strcmp(argv[at], "names") && strcmp(argv[at], "stat"))) return usage();
  with_stat = strcmp(argv[at], "stat") == 0;
  int root = open(argv[at + 1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (root < 0) {
    perror(argv[at + 1]);
    return 1;
  }
  if (threads == 1) {
    walk(root);
    close(root);
  } else {
    ++reading;  // the root, as if taken and given back with itself
    push_all(&root, 1);
    pthread_t ids[64];
    if (threads > 64) threads = 64;
    for (int i = 0; i < threads; ++i) pthread_create(&ids[i], NULL, worker, NULL);
    for (int i = 0; i < threads; ++i) pthread_join(ids[i], NULL);
  }
  if (count) printf("%llu\n", entries);
  return 0;
}
