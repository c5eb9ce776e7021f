#include "DirReader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "platform/DirSource.h"

namespace tvx {

namespace {

struct LinuxDirent64 {
  ino64_t d_ino;
  off64_t d_off;
  unsigned short d_reclen;
  unsigned char d_type;
  char d_name[1];
};

}  // namespace

void ReadListing(int fd, bool withDetails, std::vector<char>& buffer, Listing& out) {
  out.Clear();
  out.readable = true;
  for (;;) {
    long got = syscall(SYS_getdents64, fd, buffer.data(), buffer.size());
    // A read that fails part way (a device or a server error, a directory
    // removed meanwhile) must not pass for the end of a shorter listing.
    if (got < 0) out.error = errno;
    if (got <= 0) break;
    for (long pos = 0; pos < got;) {
      auto* d = reinterpret_cast<const LinuxDirent64*>(buffer.data() + pos);
      pos += d->d_reclen;
      const char* name = d->d_name;
      if (IsDotOrDotDot(name)) continue;
      Listing::Item item{out.names.size(), d->d_type, false, 0, 0, 0};
      if (withDetails || item.type == DT_UNKNOWN) {
        struct stat st;
        item.haveStat = fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
        if (item.haveStat) {
          item.type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK : DT_REG;
          item.size = st.st_size;
          item.mtime = st.st_mtime;
          item.mode = st.st_mode;
        }
      }
      out.items.push_back(item);
      out.names.append(name);
      out.names += '\0';
    }
  }
}

}  // namespace tvx
