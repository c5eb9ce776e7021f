#include "DirReader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "LocalClock.h"
#include "PosixErrors.h"

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

namespace {

// What kind of entry the read (or, when one was made, a stat) says it is.
unsigned KindsOf(std::string_view name, unsigned char type, const struct stat* st) {
  if (st) type = S_ISDIR(st->st_mode) ? DT_DIR : S_ISLNK(st->st_mode) ? DT_LNK : DT_REG;
  unsigned kinds = type == DT_DIR ? HeldListing::kDir : type == DT_LNK ? HeldListing::kLink : 0;
  if (name.front() == '.') kinds |= HeldListing::kHidden;
  // What "read-only" means here: the owner may not write it.
  if (st && (st->st_mode & S_IWUSR) == 0) kinds |= HeldListing::kReadOnly;
  return kinds;
}

// Copies the name of record d into names, learning on the way what the
// writers will ask of it: the one pass over its bytes that they make. The
// length and the copy are the C library's (many bytes at a time); the facts
// a table lookup a byte, with no test of its own.
std::string_view CopyName(const LinuxDirent64* d, const std::uint8_t* bits, NameArena& names,
                          NameFacts& facts) {
  const std::size_t length = strnlen(d->d_name, d->d_reclen - offsetof(LinuxDirent64, d_name));
  char* at = names.Room(length);
  std::memcpy(at, d->d_name, length);
  const auto* from = reinterpret_cast<const unsigned char*>(d->d_name);
  // Four lookups a turn, on their own chains.
  std::uint8_t f0 = NameFacts::kKnown, f1 = 0, f2 = 0, f3 = 0;
  std::size_t i = 0;
  for (; i + 4 <= length; i += 4) {
    f0 |= bits[from[i]];
    f1 |= bits[from[i + 1]];
    f2 |= bits[from[i + 2]];
    f3 |= bits[from[i + 3]];
  }
  for (; i < length; ++i) f0 |= bits[from[i]];
  facts.Bits = static_cast<std::uint8_t>(f0 | f1 | f2 | f3);
  return {names.Keep(length), length};
}

// How many entries a batch of got bytes holds, "." and ".." left out, and
// the bytes their names take at most: room made for them at once, and no
// more (a walk deep down holds a listing of one entry per level).
struct BatchSize {
  std::size_t entries = 0, nameBytes = 0;
};
BatchSize Records(const char* batch, long got) {
  BatchSize size;
  for (long pos = 0; pos < got;) {
    const auto* d = reinterpret_cast<const LinuxDirent64*>(batch + pos);
    if (!IsDotOrDotDot(d->d_name)) {
      ++size.entries;
      size.nameBytes += d->d_reclen - offsetof(LinuxDirent64, d_name);
    }
    pos += d->d_reclen;
  }
  return size;
}

}  // namespace

StorageFacts StorageOfStat(const struct stat& st) {
  StorageFacts facts;
  facts.Apparent = static_cast<std::uint64_t>(st.st_size);
  facts.Allocated = static_cast<std::uint64_t>(st.st_blocks) * 512;
  facts.Device = static_cast<std::uint64_t>(st.st_dev);
  facts.Inode = static_cast<std::uint64_t>(st.st_ino);
  facts.Links = static_cast<std::uint32_t>(st.st_nlink);
  facts.Special = !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
  facts.Known = true;
  return facts;
}

void ReadOpenDirectory(int fd, bool withDetails, bool storage, std::vector<char>& buffer,
                       HeldListing& out) {
  // A clock for each thread that reads: the readers and the walk.
  thread_local LocalClock clock;
  LocalClock* const details = withDetails ? &clock : nullptr;
  const std::uint8_t* const bits = NameFactBits().data();
  for (;;) {
    long got = syscall(SYS_getdents64, fd, buffer.data(), buffer.size());
    // A read that fails part way (a device or a server error, a directory
    // removed meanwhile) must not pass for the end of a shorter listing.
    if (got < 0) out.failure = MapErrno(errno);
    if (got <= 0) break;
    const BatchSize size = Records(buffer.data(), got);
    out.Reserve(size.entries);
    out.names.Expect(size.nameBytes);
    for (long pos = 0; pos < got;) {
      auto* d = reinterpret_cast<const LinuxDirent64*>(buffer.data() + pos);
      pos += d->d_reclen;
      const char* name = d->d_name;
      if (IsDotOrDotDot(name)) continue;
      struct stat st;
      const bool asked = withDetails || storage || d->d_type == DT_UNKNOWN;
      const bool told = asked && fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
      NameFacts facts;
      const std::string_view kept = CopyName(d, bits, out.names, facts);
      const unsigned kinds = KindsOf(kept, d->d_type, told ? &st : nullptr);
      out.Add(kept, kinds, facts);
      if (details && told) {
        std::int32_t offset = kUnknownUtcOffset;
        const TDateTime time = details->Convert(st.st_mtime, offset);
        const bool sized = (kinds & (HeldListing::kDir | HeldListing::kLink)) == 0;
        out.SetDetails(sized ? static_cast<std::uint64_t>(st.st_size) : 0, time, offset);
      }
      if (storage && told) out.SetStorage(StorageOfStat(st));
    }
  }
}

}  // namespace tvx
